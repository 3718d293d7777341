// The timeline over the whole film: keys late in the film shown and dragged at any zoom, the
// zoom's limits about the pointer, the current frame kept in sight while playing and stepping
// (not while dragging), and the title's frame counter with the frame typed to go to.
#include <cstring>
#include <string>
#include <vector>

#include "platform/stopwatch.h"
#include "tests/timeline_fixture.h"

namespace {

uint64_t fakeMilliseconds = 0;
uint64_t FakeCounter() { return fakeMilliseconds; }

class TimelineRange : public TimelineTest {
 protected:
  void TearDown() override {
    stopwatch.Start();
    TimelineTest::TearDown();
  }
  static void CtrlWheel(Point at, int notches) {
    MoveMouse(at);
    HoldKey(kKeyLeftCtrl);
    Wheel(notches);
    ReleaseKey(kKeyLeftCtrl);
    RunPasses(1);
  }
  static int FrameUnder(Point p) {
    return TimelineFrameAt(p.x - editor.timelineWindow.x, ScrollPixels(), Z());
  }
  static bool InSight(int f) {
    const int left = 1 + Z() * f - ScrollPixels();
    return left >= 0 && left + Z() <= CurrentLayout(kTimelineWindow).visibleWidth;
  }
  static std::string Title() {
    char title[kWindowTitleSize];
    FormatTimelineWindowTitle(title, sizeof title);
    return title;
  }
  static void GoToWithKeys(const char* typed) {
    Chord(kKeyG);
    Type(typed);
    RunPasses(1);
  }
};

TEST_F(TimelineRange, KeysLateInTheFilmAreShownAndDraggedAndCtrlWheelZoomsAboutThePointer) {
  SceneObject* object = SelectObjectWithKeys({1500, 1990});
  project.currentFrame = 1495;
  RunPasses(2);
  ASSERT_TRUE(InSight(1500));
  Click(KeyMarker(1500));
  EXPECT_EQ(project.selectedKey, 1);
  Drag(KeyMarker(1500), KeyMarker(1510));
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 1510, 1990}));

  const Point at = Ruler(1505);
  CtrlWheel(at, 1);
  EXPECT_EQ(Z(), 12);
  EXPECT_EQ(FrameUnder(at), 1505);
  CtrlWheel(at, 10);
  EXPECT_EQ(Z(), kMaxFramePixels);
  EXPECT_EQ(FrameUnder(at), 1505);
  EXPECT_FLOAT_EQ(project.viewZoom, 1.0f) << "Ctrl+wheel over the timeline is not the view's";

  // Zoomed all the way out, the last frames are there to drag to.
  CtrlWheel(at, -20);
  EXPECT_EQ(Z(), kMinFramePixels);
  editor.timelineScroll = 1;
  RunPasses(1);
  Drag(KeyMarker(1990), KeyMarker(1999));
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 1510, 1999}));

  // The plain wheel over the timeline zooms the view, as it always did.
  MoveMouse(at);
  Wheel(1);
  EXPECT_GT(project.viewZoom, 1.0f);
  EXPECT_EQ(Z(), kMinFramePixels);
}

TEST_F(TimelineRange, TheCurrentFrameStaysInSightWhilePlayingAndSteppingButNotWhileDragging) {
  fakeMilliseconds = 0;
  stopwatch.Start(FakeCounter, 1000);
  project.playEnd = 250;
  project.currentFrame = 60;
  PressKey(kKeySpace);
  bool alwaysInSight = true;
  for (int i = 0; i < 2000 && editor.animationPlaying >= 0; ++i) {
    fakeMilliseconds += 34;
    RunPasses(1);
    alwaysInSight = alwaysInSight && InSight(project.currentFrame);
  }
  EXPECT_EQ(project.currentFrame, 250);
  EXPECT_TRUE(alwaysInSight);
  EXPECT_GT(ScrollPixels(), 0);

  // Stepping back a page at a time keeps it in sight too.
  for (int i = 0; i < 10; ++i) {
    PressKey(kKeyPageUp);
    EXPECT_TRUE(InSight(project.currentFrame)) << project.currentFrame;
  }
  EXPECT_EQ(project.currentFrame, 250 - 10 * 12);

  // A scrub dragged past the right end moves the frame but never the timeline, during the drag
  // or after it.
  const int scroll = ScrollPixels();
  Press(Ruler(project.currentFrame));
  DragTo(Point{editor.timelineWindow.x + 900, Ruler(0).y});
  EXPECT_EQ(ScrollPixels(), scroll);
  EXPECT_FALSE(InSight(project.currentFrame));
  Release();
  RunPasses(2);
  EXPECT_EQ(ScrollPixels(), scroll);
}

TEST_F(TimelineRange, TheTitleCountsFramesAndTimeAndTakesAFrameToGoTo) {
  project.currentFrame = 137;
  EXPECT_EQ(Title(), "Scene   Timeline - frame 137  4:17  30 fps");
  editor.loopPlayback = true;
  EXPECT_EQ(Title(), "Scene   Timeline - frame 137  4:17  30 fps  loop");
  editor.loopPlayback = false;

  GoToWithKeys("15");
  EXPECT_EQ(Title(), "Scene   Timeline - go to frame: 15_");
  Type("00\r");
  EXPECT_EQ(project.currentFrame, 1500);
  EXPECT_TRUE(InSight(1500));
  EXPECT_FALSE(ui->editing);

  // A click on the counter; seconds:frames count at the project's rate.
  project.fps = 24;
  RunPasses(1);
  const Point counter = InWindow(3 + TextWidth("Scene   Timeline - ") + 12, 5);
  Click(counter);
  ASSERT_TRUE(editor.goToTyping);
  Type("2:05\r");
  RunPasses(1);
  EXPECT_EQ(project.currentFrame, 53);

  // Escape, and text that names no frame, leave the frame alone; a number past the film goes to
  // its last frame.
  Click(counter);
  Type("12\x1b");
  RunPasses(1);
  EXPECT_EQ(project.currentFrame, 53);
  EXPECT_FALSE(editor.goToTyping);
  GoToWithKeys("4x\r");
  EXPECT_EQ(project.currentFrame, 53);
  GoToWithKeys("99999\r");
  EXPECT_EQ(project.currentFrame, kMaxFrames - 1);

  int frame = -1;
  EXPECT_TRUE(ParseGoToFrame(" 7 ", 30, &frame));
  EXPECT_EQ(frame, 7);
  for (const char* bad : {"", "1:", ":5", "3:4:5", "-3", "1 2", "1234567"}) {
    EXPECT_FALSE(ParseGoToFrame(bad, 30, &frame)) << bad;
  }
}

// Ruler labels may fall within a second when zoomed in; the lane grid counts seconds, so its
// labels stay on whole seconds at every rate and zoom, and neither set of labels touches.
TEST(TimelineLabels, RulerLabelsNeverTouchAndLaneLabelsFallOnWholeSeconds) {
  const int labelWidth = 20;
  for (int fps : {1, 12, 24, 25, 30, 60, 44100}) {
    for (int z = kMinFramePixels; z <= kMaxFramePixels; ++z) {
      const int ruler = LabelStepFrames(fps, z, labelWidth);
      const int lanes = SecondLabelStepFrames(fps, z, labelWidth);
      EXPECT_GT(ruler * z, labelWidth) << fps << " fps at " << z;
      EXPECT_GT(lanes * z, labelWidth) << fps << " fps at " << z;
      EXPECT_EQ(lanes % fps, 0) << fps << " fps at " << z;
    }
  }
  EXPECT_EQ(SecondLabelStepFrames(30, kMaxFramePixels, labelWidth), 30);
}

}  // namespace
