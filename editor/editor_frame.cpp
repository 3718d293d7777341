#include "editor/editor_frame.h"

#include <GL/gl.h>

#include <cstdio>

#include "editor/commands.h"
#include "editor/image_panel.h"
#include "editor/object_panel.h"
#include "editor/timeline_window.h"
#include "editor/view_window.h"
#include "platform/platform.h"
#include "scene/draw.h"
#include "scene/scene.h"
#include "ui/ui.h"

// The view's content is the edit view's pixel space (740 x 520 with its centre at 370, 260), so
// its content area never scrolls.
const std::array<WindowLayout, kEditorWindowCount> kWindowLayout = {{
    {"viewwin", 740, 520, "viewscroll", 738, 519, 738, 519, 9},
    {"objectwin", 200, 370, "objectscroll", 198, 369, 198, 900, 10},
    {"imagewin", 200, 300, "imagescroll", 198, 299, 198, 900, 10},
    {"timewin", 740, 180, "timescroll", 738, 179, 3840, 179, 10},
}};

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
  const WindowLayout& layout = kWindowLayout[window];
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
  const char* mode = editor.viewMode == kCameraView ? "View - Camera" : "View - Edit";
  // The last picture the view drew held more images than a picture can: say how many it lost.
  if (imageDrawList.dropped <= 0) return mode;
  static char title[64];
  std::snprintf(title, sizeof title, "%s (%d images left out)", mode, imageDrawList.dropped);
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

void FormatTimelineWindowTitle(char* title, size_t size) {
  const SceneObject* object = project.selected;
  if (object != nullptr && object->keys) {
    std::snprintf(title, size, "%.*s   Timeline - %i fps", kNameSize - 1, object->name,
                  project.fps);
  } else {
    std::snprintf(title, size, "Timeline - %i fps", project.fps);
  }
}

bool EditorFrame() {
  glClearColor(1.0f, 0.97f, 0.95f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();

  BeginFrame();
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
