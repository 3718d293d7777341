// The editor's layout at the window sizes people use, and the interface scale: every window in
// reach and working at 800 x 600, 1024 x 768 and 1920 x 1080; presses at 2x reaching the window
// under the pointer; exported pictures that never change with the scale.
#include <GL/gl.h>
#include <SDL.h>

#include <cstring>
#include <vector>

#include "tests/editor_driver.h"
#include "tests/export_fixture.h"

namespace {

class Layout : public EditorTest {
 protected:
  void TearDown() override {
    SetInterfaceScale(1.0f);
    SetWindowClientSize(1024, 768);
    RunPasses(1);
    EditorTest::TearDown();
  }
  static void Resize(int width, int height) {
    SetWindowClientSize(width, height);
    RunPasses(2);
  }
  // Window w's whole rectangle, title bar included.
  static SDL_Rect Rect(EditorWindow w) {
    const WindowPosition& p = WindowPositionOf(w);
    const WindowLayout& layout = CurrentLayout(w);
    return SDL_Rect{p.x, p.y, layout.width, layout.height + kTitleBarHeight};
  }
  // A press in window w's body, which makes it the focused window.
  static bool FocusByClick(EditorWindow w) {
    const SDL_Rect r = Rect(w);
    Click(Point{r.x + r.w / 3, r.y + kTitleBarHeight + (r.h - kTitleBarHeight) / 3});
    char id[kIdSize];
    std::snprintf(id, sizeof id, "%s%.8X", CurrentLayout(w).name, 1);
    return std::strcmp(ui->focusWindow, id) == 0;
  }
};

TEST_F(Layout, EveryWindowIsWholeSeparateAndWorkingAtSmallMiddleAndLargeSizes) {
  const SceneObject* camera = project.camera;
  for (const SDL_Point size : {SDL_Point{800, 600}, SDL_Point{1024, 768}, SDL_Point{1920, 1080}}) {
    SCOPED_TRACE(testing::Message() << size.x << " x " << size.y);
    Resize(size.x, size.y);
    ASSERT_EQ(logicalWidth, size.x);
    ASSERT_EQ(logicalHeight, size.y);
    const SDL_Rect screen{0, 0, size.x, size.y};
    for (int w = 0; w < kEditorWindowCount; ++w) {
      const SDL_Rect r = Rect(static_cast<EditorWindow>(w));
      SDL_Rect inside;
      ASSERT_TRUE(SDL_IntersectRect(&r, &screen, &inside));
      EXPECT_TRUE(SDL_RectEquals(&inside, &r)) << CurrentLayout(static_cast<EditorWindow>(w)).name;
      for (int other = w + 1; other < kEditorWindowCount; ++other) {
        const SDL_Rect o = Rect(static_cast<EditorWindow>(other));
        EXPECT_FALSE(SDL_HasIntersection(&r, &o)) << w << " overlaps " << other;
      }
      EXPECT_TRUE(FocusByClick(static_cast<EditorWindow>(w)));
    }
    // The lists keep to the right edge, the timeline to the bottom; the view's pixel space is its
    // body, centred on the scene.
    EXPECT_EQ(Rect(kObjectWindow).x + 224, size.x);
    EXPECT_EQ(Rect(kTimelineWindow).y + 208, size.y);
    EXPECT_EQ(project.viewWidth, CurrentLayout(kViewWindow).width);
    EXPECT_EQ(project.viewHeight, CurrentLayout(kViewWindow).height);
    EXPECT_FLOAT_EQ(project.root->state.screenPos.x, project.viewWidth / 2.0f);
    Click(ObjectRow(1));
    EXPECT_EQ(project.selected, camera);
    Click(ObjectRow(0));
  }
  Resize(1024, 768);
  EXPECT_EQ(editor.viewWindow.x, kWindowLayout[kViewWindow].x);  // back at the design's places
  EXPECT_EQ(editor.imageWindow.y, kWindowLayout[kImageWindow].y);
}

TEST_F(Layout, AMovedWindowKeepsItsOffsetOnResizeAndItsTitleBarInReach) {
  const Point title{editor.objectWindow.x + 100, editor.objectWindow.y + 5};
  Drag(title, Point{title.x - 300, title.y + 50});
  EXPECT_EQ(editor.objectWindow.x, 500);
  Resize(1200, 700);
  EXPECT_EQ(editor.objectWindow.x, 500 + 176);
  EXPECT_EQ(editor.objectWindow.y, 60);

  // Dragged far past the left and bottom edges, the title bar stays where it can be grabbed.
  Drag(Point{editor.objectWindow.x + 100, 65}, Point{-900, 2000}, 4);
  RunPasses(1);
  EXPECT_EQ(editor.objectWindow.x, kTitleBarReach - CurrentLayout(kObjectWindow).width);
  EXPECT_EQ(editor.objectWindow.y, logicalHeight - kTitleBarHeight);
  Drag(Point{editor.objectWindow.x + 190, editor.objectWindow.y + 5}, Point{600, 100});
  EXPECT_GT(editor.objectWindow.x, 300);
}

TEST_F(Layout, AtTwiceTheScaleWindowPixelsMapToTheInterfaceAndPressesReachTheirWindow) {
  SceneObject* object = CreateObject(nullptr);
  ASSERT_TRUE(SetInterfaceScale(2.0f));
  EXPECT_FALSE(SetInterfaceScale(3.0f));
  Resize(2048, 1536);
  EXPECT_EQ(logicalWidth, 1024);
  EXPECT_EQ(logicalHeight, 768);

  // Real pointer events in window pixels: the object's row at logical (861, 47).
  const Point row = ObjectRow(2);
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = 2 * row.x;
  event.motion.y = 2 * row.y;
  SDL_PushEvent(&event);
  event = SDL_Event{};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.state = SDL_PRESSED;
  event.button.x = 2 * row.x + 1;  // inside the same logical pixel
  event.button.y = 2 * row.y + 1;
  SDL_PushEvent(&event);
  RunPasses(2);
  EXPECT_EQ(mouseState.pressX, row.x);
  EXPECT_EQ(mouseState.pressY, row.y);
  event.type = SDL_MOUSEBUTTONUP;
  event.button.state = SDL_RELEASED;
  SDL_PushEvent(&event);
  RunPasses(1);
  EXPECT_EQ(project.selected, object);
  EXPECT_TRUE(editor.objectWindowActive);

  // Clipping and lines follow the scale; a window of 1.5x keeps whole logical pixels.
  SetScissor(10, 20, 30, 40);
  GLint box[4];
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ(std::vector<GLint>(box, box + 4), (std::vector<GLint>{20, 1536 - 120, 60, 80}));
  ASSERT_TRUE(SetInterfaceScale(1.5f));
  EXPECT_EQ(logicalWidth, 1365);
  EXPECT_EQ(logicalHeight, 1024);
}

// The display's density picks the scale, as far as the smallest window still fits the screen.
TEST(InterfaceScale, FollowsTheDisplayDensityWhileTheSmallestWindowFits) {
  EXPECT_EQ(ScaleForDisplay(96, 1920, 1080, 800, 600), 1.0f);
  EXPECT_EQ(ScaleForDisplay(150, 1920, 1080, 800, 600), 1.5f);
  EXPECT_EQ(ScaleForDisplay(220, 3840, 2160, 800, 600), 2.0f);
  EXPECT_EQ(ScaleForDisplay(220, 1920, 1080, 800, 600), 1.5f);  // 1600 x 1200 would not fit
  EXPECT_EQ(ScaleForDisplay(220, 1000, 700, 800, 600), 1.0f);
}

TEST_F(ExportTest, ExportedPicturesAreTheSameAtEveryInterfaceScale) {
  AddImageObject("red.png", 20, -10);
  ASSERT_TRUE(Export("plain", 0, 0, false, nullptr));
  ASSERT_TRUE(SetInterfaceScale(2.0f));
  const bool exported = Export("scaled", 0, 0, false, nullptr);
  SetInterfaceScale(1.0f);
  ASSERT_TRUE(exported);
  EXPECT_EQ(Frame("plain", 0).rgb.size(), size_t{640 * 480 * 3});
  EXPECT_EQ(Frame("scaled", 0).rgb, Frame("plain", 0).rgb);
}

}  // namespace
