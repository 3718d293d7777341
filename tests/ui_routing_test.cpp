// How presses reach regions: the last drawn region under a press owns the mouse from the next
// frame on, double clicks, Left Alt, window focus and dragging, and the region stack's limits.
#include "tests/ui_fixture.h"

namespace {

class Routing : public UiTest {
 protected:
  // Two windows: "back" at (100, 100) 200 x 150 and "front" at (200, 150) 200 x 150, drawn
  // after it. Their overlap is x 200..299, y 150..261.
  int backX = 100, backY = 100, frontX = 200, frontY = 150;
  WindowView back, front;

  void Windows() {
    back = OpenWindow(&backX, &backY, 200, 150, "back");
    front = OpenWindow(&frontX, &frontY, 200, 150, "front");
  }
  void RunFrame() {
    Frame([&] { Windows(); });
  }
};

TEST_F(Routing, APressInTheOverlapGoesToTheLaterWindowOneFrameLate) {
  PressLeft(250, 200);
  RunFrame();  // the press lands: nobody sees it yet
  EXPECT_FALSE(back.flags.leftPressed || back.flags.leftDown);
  EXPECT_FALSE(front.flags.leftPressed || front.flags.leftDown);
  EXPECT_STREQ(ui->mouseOwner, "front00000001");

  MoveTo(260, 210);
  RunFrame();  // handed over with the pointer at the press position
  EXPECT_TRUE(front.flags.leftPressed);
  EXPECT_TRUE(front.flags.leftDown);
  EXPECT_EQ(front.mouseX, 250);
  EXPECT_EQ(front.mouseY, 200);
  EXPECT_FALSE(back.flags.leftPressed || back.flags.leftDown);
  EXPECT_TRUE(front.focused);
  EXPECT_FALSE(back.focused);

  RunFrame();  // from now on the current input
  EXPECT_FALSE(front.flags.leftPressed);
  EXPECT_TRUE(front.flags.leftDown);
  EXPECT_EQ(front.mouseX, 260);
  EXPECT_FALSE(back.flags.leftDown);
}

TEST_F(Routing, APressOutsideEveryWindowBelongsToTheRoot) {
  PressLeft(250, 200);
  RunFrame();
  RunFrame();
  ReleaseAll();
  RunFrame();
  RunFrame();
  PressLeft(700, 600);
  RunFrame();
  EXPECT_STREQ(ui->mouseOwner, "");
  for (int frame = 0; frame < 3; ++frame) {
    RunFrame();
    EXPECT_FALSE(front.flags.leftDown || front.flags.leftPressed);
    EXPECT_FALSE(back.flags.leftDown || back.flags.leftPressed);
  }
  // The focus stays with the window that had it.
  EXPECT_TRUE(front.focused);
}

TEST_F(Routing, AReleaseRightAfterThePressShowsOnlyAsTheButtonGoingUp) {
  PressLeft(150, 130);  // back window only
  RunFrame();
  ReleaseAll();
  RunFrame();
  EXPECT_TRUE(back.flags.leftPressed);
  EXPECT_TRUE(back.flags.leftDown);
  RunFrame();
  EXPECT_FALSE(back.flags.leftDown);
  EXPECT_FALSE(back.flags.leftReleased);
}

TEST_F(Routing, ALaterReleaseIsSeen) {
  PressLeft(150, 130);
  RunFrame();
  RunFrame();
  RunFrame();
  ReleaseAll();
  RunFrame();
  EXPECT_TRUE(back.flags.leftReleased);
  EXPECT_FALSE(back.flags.leftDown);
}

TEST_F(Routing, DoubleClicksNeedAStillPointerAndFewerThanTwentyFrames) {
  auto click = [&](int x, int y, int framesAfter) {
    PressLeft(x, y);
    RunFrame();
    const bool doubled = back.flags.leftDouble || ui->inputSnapshot[0].leftDouble;
    ReleaseAll();
    for (int i = 0; i < framesAfter; ++i) RunFrame();
    return doubled;
  };
  EXPECT_FALSE(click(150, 130, 5));
  // The second press of a double click reaches the owner in its own frame.
  PressLeft(150, 130);
  RunFrame();
  EXPECT_TRUE(back.flags.leftDouble);
  EXPECT_TRUE(back.flags.leftPressed);
  ReleaseAll();
  for (int i = 0; i < 30; ++i) RunFrame();

  // 19 frames between the presses still count, 20 do not.
  EXPECT_FALSE(click(150, 130, 18));
  EXPECT_TRUE(click(150, 130, 30));
  EXPECT_FALSE(click(150, 130, 19));
  EXPECT_FALSE(click(150, 130, 30));
  // A pointer that moved between the presses cancels it.
  EXPECT_FALSE(click(150, 130, 2));
  MoveTo(151, 130);
  RunFrame();
  EXPECT_FALSE(click(151, 130, 2));
}

TEST_F(Routing, TheSecondPressOfADoubleClickDoesNotMoveOwnership) {
  PressLeft(150, 130);  // back
  RunFrame();
  ReleaseAll();
  RunFrame();
  // The front window moves under the still pointer: the second press lands in it too, but
  // as a double click it stays with the owner.
  frontX = frontY = 100;
  PressLeft(150, 130);
  RunFrame();
  EXPECT_TRUE(back.flags.leftDouble);
  EXPECT_STREQ(ui->mouseOwner, "back00000001");
}

TEST_F(Routing, LeftAltTurnsTheLeftButtonIntoTheMiddleOne) {
  HoldKey(kKeyLeftAlt, true);
  PressLeft(150, 130);
  RunFrame();
  RunFrame();
  EXPECT_TRUE(back.flags.middlePressed);
  EXPECT_TRUE(back.flags.middleDown);
  EXPECT_FALSE(back.flags.leftDown);
  // Letting go of Alt during the drag keeps it a middle drag until the button is released.
  HoldKey(kKeyLeftAlt, false);
  RunFrame();
  EXPECT_TRUE(back.flags.middleDown);
  EXPECT_FALSE(back.flags.leftDown);
  EXPECT_FALSE(back.flags.leftPressed);
  ReleaseAll();
  RunFrame();
  EXPECT_TRUE(back.flags.middleReleased);
  RunFrame();
  EXPECT_FALSE(back.flags.middleDown);
  EXPECT_FALSE(back.flags.leftDown);
  EXPECT_EQ(mouseState.middle, 0) << "the window layer's record is left alone";
}

TEST_F(Routing, ADraggedTitleBarMovesTheWindowEvenOffTheScreen) {
  PressLeft(110, 105);  // back's title bar
  RunFrame();
  RunFrame();
  int x = 110, y = 105;
  for (int step = 0; step < 10; ++step) {
    x -= 30;
    y -= 20;
    MoveTo(x, y);
    RunFrame();
  }
  EXPECT_EQ(backX, 100 - 300);
  EXPECT_EQ(backY, 100 - 200);
  EXPECT_TRUE(back.focused);
  ReleaseAll();
  RunFrame();
  RunFrame();
  MoveTo(500, 500);
  RunFrame();
  EXPECT_EQ(backX, -200);
}

TEST_F(Routing, RegionsBeyondThirtyTwoLevelsAreRefusedAndTheStackStaysWhole) {
#ifdef NDEBUG
  BeginFrame();
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  for (int level = 2; level < 40; ++level) BeginRegion("deep", level, level, 0, 0, 100, 100);
  EXPECT_EQ(ui->depth, kMaxRegions - 1);
  EXPECT_EQ(ui->regionOverflow, 40 - kMaxRegions);
  for (int level = 2; level < 40; ++level) EndRegion();
  EXPECT_EQ(ui->depth, 1);
  EXPECT_EQ(ui->regionOverflow, 0);
  EndRegion();
  EndRegion();  // one too many: ignored
  EndRegion();
  EXPECT_EQ(ui->depth, 0);
  EXPECT_EQ(ui->originX, 0);
#else
  BeginFrame();
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  EXPECT_DEATH(
      {
        for (int level = 2; level < 40; ++level) BeginRegion("deep", 0, 0, 0, 0, 10, 10);
      },
      "more than 32 nested regions");
  EndRegion();
  EXPECT_DEATH(EndRegion(), "no region is open");
#endif
}

TEST_F(Routing, NestedRegionsClipToTheirParents) {
  ClearScreen(1, 1, 1);
  BeginFrame();
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  BeginRegion("outer", 100, 100, 0, 0, 50, 50);
  BeginRegion("inner", 120, 120, 0, 0, 100, 100);
  FillRect(0, 0, 100, 100, 6);
  EndRegion();
  FillRect(-10, -10, 5, 5, 11);  // outside the outer region: cut away
  EndRegion();
  EndRegion();
  EXPECT_EQ(ReadPixel(125, 125).r, 0);
  EXPECT_EQ(ReadPixel(149, 149).r, 0);
  EXPECT_EQ(ReadPixel(150, 149).r, 255);
  EXPECT_EQ(ReadPixel(149, 150).r, 255);
  EXPECT_EQ(ReadPixel(92, 92).g, 255);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

}  // namespace
