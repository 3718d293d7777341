#include "editor/editor_frame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/commands.h"
#include "editor/image_panel.h"
#include "editor/object_panel.h"
#include "editor/timeline_window.h"
#include "editor/view_window.h"
#include "platform/platform.h"
#include "scene/draw.h"
#include "scene/scene.h"
#include "ui/ui.h"

// The view's content is the edit view's pixel space (740 x 520 at this size, with its centre in
// the middle), so its content area never scrolls.
const std::array<WindowLayout, kEditorWindowCount> kWindowLayout = {{
    {"viewwin", 10, 10, 740, 520, "viewscroll", 738, 519, 738, 519, 9},
    {"objectwin", 800, 10, 200, 370, "objectscroll", 198, 369, 198, 900, 10},
    {"imagewin", 800, 420, 200, 300, "imagescroll", 198, 299, 198, 900, 10},
    {"timewin", 10, 560, 740, 180, "timescroll", 738, 179, 3840, 179, 10},
}};

namespace {

constexpr int kDesignWidth = 1024, kDesignHeight = 768;
constexpr int kSmallestBody = 40;  // below the smallest screen the windows overlap, never vanish

std::array<WindowLayout, kEditorWindowCount> currentLayout = kWindowLayout;
int arrangedWidth = kDesignWidth, arrangedHeight = kDesignHeight;

}  // namespace

WindowLayout LayoutFor(EditorWindow window, int screenWidth, int screenHeight) {
  WindowLayout layout = kWindowLayout[window];
  const int dw = screenWidth - kDesignWidth, dh = screenHeight - kDesignHeight;
  // The lists share the height they gain or lose; an odd pixel goes to the image list.
  const int objectGain = dh / 2, imageGain = dh - dh / 2;
  switch (window) {
    case kViewWindow:
      layout.width = std::max(kWindowLayout[window].width + dw, kSmallestBody);
      layout.height = std::max(kWindowLayout[window].height + dh, kSmallestBody);
      break;
    case kObjectWindow:
      layout.x += dw;
      layout.height = std::max(layout.height + objectGain, kSmallestBody);
      // The list grows past its 90 rows when the tree holds more, so every row can be reached.
      layout.contentHeight =
          std::max(layout.contentHeight, kObjectRowHeight * (ObjectListRowCount() + 1));
      break;
    case kImageWindow:
      layout.x += dw;
      layout.y += objectGain;
      layout.height = std::max(layout.height + imageGain, kSmallestBody);
      break;
    case kTimelineWindow:
      layout.y += dh;
      layout.width = std::max(layout.width + dw, kSmallestBody);
      break;
    default:
      break;
  }
  layout.visibleWidth = layout.width - 2;
  layout.visibleHeight = layout.height - 1;
  if (window == kViewWindow) {
    layout.contentWidth = layout.visibleWidth;
    layout.contentHeight = layout.visibleHeight;
  }
  if (window == kTimelineWindow) layout.contentWidth = TimelineContentWidth();
  return layout;
}

const WindowLayout& CurrentLayout(EditorWindow window) { return currentLayout[window]; }

void ArrangeWindows(int screenWidth, int screenHeight) {
  for (int w = 0; w < kEditorWindowCount; ++w) {
    const EditorWindow window = static_cast<EditorWindow>(w);
    const WindowLayout layout = LayoutFor(window, screenWidth, screenHeight);
    WindowPosition& position = WindowPositionOf(window);
    if (screenWidth != arrangedWidth || screenHeight != arrangedHeight) {
      const WindowLayout before = LayoutFor(window, arrangedWidth, arrangedHeight);
      position.x += layout.x - before.x;
      position.y += layout.y - before.y;
    }
    position.x = std::clamp(position.x, kTitleBarReach - layout.width,
                            std::max(screenWidth - kTitleBarReach, 0));
    position.y = std::clamp(position.y, 0, std::max(screenHeight - kTitleBarHeight, 0));
    currentLayout[window] = layout;
  }
  arrangedWidth = screenWidth;
  arrangedHeight = screenHeight;
}

WindowPosition& WindowPositionOf(EditorWindow window) {
  switch (window) {
    case kObjectWindow:
      return editor.objectWindow;
    case kImageWindow:
      return editor.imageWindow;
    case kTimelineWindow:
      return editor.timelineWindow;
    default:
      return editor.viewWindow;
  }
}

bool BeginEditorWindow(EditorWindow window, const char* title, float* scrollX, float* scrollY) {
  const WindowLayout& layout = currentLayout[window];
  WindowPosition& position = WindowPositionOf(window);
  const bool focused =
      Window(&position.x, &position.y, &layout.width, &layout.height, title, layout.name);
  ScrollArea(1, kTitleBarHeight, layout.visibleWidth, layout.visibleHeight, scrollX, scrollY,
             layout.contentWidth, layout.contentHeight, layout.background, layout.scrollName);
  return focused;
}

void EndEditorWindow() {
  EndRegion();  // content area
  EndRegion();  // window
}

const char* ViewWindowTitle() {
  static char title[96];
  const bool cameraView = editor.viewMode == kCameraView;
  std::snprintf(title, sizeof title, "%s", cameraView ? "View - Camera" : "View - Edit");
  if (!cameraView && editor.onionSkin) {
    const size_t used = std::strlen(title);
    std::snprintf(title + used, sizeof title - used, "   onion skin %i + %i", editor.onionFrames,
                  editor.onionFrames);
  }
  // The last picture the view drew held more images than a picture can: say how many it lost.
  if (imageDrawList.dropped > 0) {
    const size_t used = std::strlen(title);
    std::snprintf(title + used, sizeof title - used, " (%d images left out)",
                  imageDrawList.dropped);
  }
  return title;
}

void FormatImageWindowTitle(char* title, size_t size) {
  const SceneObject* object = project.selected;
  if (object != nullptr && object->keys && object->kind != kRootObject &&
      object->kind != kCameraObject) {
    std::snprintf(title, size, "%.*s   Images", kNameSize - 1, object->name);
  } else {
    std::snprintf(title, size, "Images");
  }
}

int FormatTimelineWindowTitle(char* title, size_t size) {
  const SceneObject* object = project.selected;
  int start = 0;
  if (object != nullptr && object->keys) {
    start = std::snprintf(title, size, "%.*s   Timeline - ", kNameSize - 1, object->name);
  } else {
    start = std::snprintf(title, size, "Timeline - ");
  }
  start = std::clamp(start, 0, static_cast<int>(size) - 1);
  char* counter = title + start;
  const size_t room = size - static_cast<size_t>(start);
  if (editor.goToTyping) {
    std::snprintf(counter, room, "go to frame: %s", editor.goToText);
    return start;
  }
  const int fps = std::max(project.fps, 1), frame = project.currentFrame;
  std::snprintf(counter, room, "frame %i  %i:%02i  %i fps%s", frame, frame / fps, frame % fps,
                project.fps, editor.loopPlayback ? "  loop" : "");
  return start;
}

bool EditorFrame() {
  glClearColor(1.0f, 0.97f, 0.95f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();

  ArrangeWindows(logicalWidth, logicalHeight);
  BeginFrame();
  // Ctrl+wheel over the timeline is its zoom; every other wheel zooms the view.
  ZoomTimelineWithWheel();
  std::snprintf(ui->idSuffix, sizeof ui->idSuffix, "%.8X", 1);
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");

  RunViewWindow();
  RunObjectPanel();
  RunImagePanel();
  DrawTimelineWindow();

  const int code = RunMenus();
  const bool present = RunCommand(code);
  EndRegion();  // the root
  return present;
}
