// The timeline window driven through the whole editor: scrubbing and range selection, key
// markers and key drags, clip moves, volume and pan, Delete and Ctrl+A, the menus it opens.
#include <cstdlib>
#include <vector>

#include "tests/png_compare.h"
#include "tests/timeline_fixture.h"

namespace {

constexpr Rgb kWaveBlue{102, 153, 255};
constexpr Rgb kLaneGrey{115, 120, 130};
constexpr Rgb kGreyGreen{153, 158, 145};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kDarkGrey{77, 77, 77};

bool Near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}
::testing::AssertionResult Is(Rgb expected, Rgb actual) {
  if (Near(expected, actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << int{actual.r} << "," << int{actual.g} << ","
                                       << int{actual.b} << " expected " << int{expected.r} << ","
                                       << int{expected.g} << "," << int{expected.b};
}

bool MenuOpen(int menu) { return ui->menuOpen && ui->menuId == menu; }

class Timeline : public TimelineTest {
 protected:
  // The 16 x 16 pixels where frame f's key marker is drawn.
  static RgbImage MarkerBlock(int f) {
    const Point p = InContent(kFramePixels * f + 1 - 4, 27);
    return ReadBackRgb(p.x, p.y, 16, 16);
  }
  static void PressRight(Point p) {
    Press(p, Button::kRight);
    Release(Button::kRight);
  }
};

TEST(TimelineGeometry, FramesAndLanesUnderThePointerStayInRange) {
  EXPECT_EQ(TimelineFrameAt(2, 0, 8), 0);
  EXPECT_EQ(TimelineFrameAt(9, 0, 8), 0);
  EXPECT_EQ(TimelineFrameAt(10, 0, 8), 1);
  EXPECT_EQ(TimelineFrameAt(-500, 0, 8), 0);
  EXPECT_EQ(TimelineFrameAt(5, 3102, 8), 388);
  EXPECT_EQ(TimelineFrameAt(100000, 3102, 8), kMaxFrames - 1);
  EXPECT_EQ(TimelineFrameAt(5, 1000, 1), 1003);
  EXPECT_EQ(TimelineFrameAt(33, 0, 32), 0);
  EXPECT_EQ(TimelineFrameAt(34, 0, 32), 1);
  EXPECT_EQ(TimelineLaneAt(69), 0);
  EXPECT_EQ(TimelineLaneAt(85), 1);
  EXPECT_EQ(TimelineLaneAt(0), 0);
  EXPECT_EQ(TimelineLaneAt(5000), kLaneCount - 1);
}

TEST(TimelineKeys, MarkersFollowTheKeyModeAndReorderingKeepsFrameOrder) {
  KeyTrack track;
  const int modes[] = {kAuto, kAuto, kCorner, kStationary, kManual, kAuto};
  for (int i = 0; i < 6; ++i) {
    track.keys[i].frame = 10 * i;
    track.keys[i].mode = modes[i];
  }
  track.count = 6;
  EXPECT_EQ(KeyMarkerImage(track, 0), kSkinKeyCorner) << "the first auto key";
  EXPECT_EQ(KeyMarkerImage(track, 1), kSkinKey);
  EXPECT_EQ(KeyMarkerImage(track, 2), kSkinKeyCorner);
  EXPECT_EQ(KeyMarkerImage(track, 3), kSkinKeyStationary);
  EXPECT_EQ(KeyMarkerImage(track, 4), kManualKeyMarker) << "a manual key has one of its own";
  EXPECT_EQ(KeyMarkerImage(track, 5), kSkinKeyCorner) << "the last auto key";
  EXPECT_EQ(KeyMarkerImage(track, 6), -1);

  track.keys[4].frame = 5;  // the moved key travels past its neighbours, whole
  EXPECT_EQ(RestoreKeyOrder(track, 4), 1);
  EXPECT_EQ(track.keys[1].mode, kManual);
  track.keys[1].frame = 55;
  EXPECT_EQ(RestoreKeyOrder(track, 1), 5);
  for (int i = 1; i < track.count; ++i) EXPECT_LT(track.keys[i - 1].frame, track.keys[i].frame);
  EXPECT_EQ(RestoreKeyOrder(track, 9), 9) << "no key to move";
}

TEST_F(Timeline, ScrubbingFollowsThePointerPastTheRightEdgeUpTo1999) {
  project.selectedKey = 0;
  editor.selectionStart = 3;
  editor.selectionEnd = 8;
  editor.animationPlaying = 0;
  Press(Ruler(10));
  EXPECT_EQ(project.currentFrame, 10);
  EXPECT_EQ(editor.dragState, kDragScrub);
  EXPECT_EQ(editor.animationPlaying, -1) << "a ruler click stops playback";
  EXPECT_EQ(project.selectedKey, -1);
  EXPECT_EQ(editor.selectionStart, -1);
  if (!AudioStreamOpen()) {
    EXPECT_TRUE(sounding) << "a snippet of the frame plays";
    EXPECT_EQ(playPosition, 10 * 44100 / 30);
  }
  DragTo(Point{20000, Ruler(10).y});
  EXPECT_EQ(project.currentFrame, kMaxFrames - 1);
  DragTo(Point{-400, Ruler(10).y});
  EXPECT_EQ(project.currentFrame, 0);
  Release();
  EXPECT_EQ(editor.dragState, kDragNone);
  MoveMouse(Ruler(30));
  EXPECT_EQ(project.currentFrame, 0) << "the drag ended with the button";

  // Scrolled to its end, the timeline shows the film's last frames.
  editor.timelineScroll = 1;
  Click(InWindow(5, 20));
  EXPECT_EQ(project.currentFrame, (5 + kFramePixels * kMaxFrames + 8 - 738 - 2) / kFramePixels);
}

TEST_F(Timeline, ARangeSpansAnchorAndPointerAndOneFrameOpensNoMenu) {
  Click(Cell(5));
  EXPECT_EQ(editor.selectionStart, 5);
  EXPECT_EQ(editor.selectionEnd, 5);
  PressRight(Ruler(7));
  EXPECT_FALSE(ui->menuOpen) << "a one-frame selection has no menu";

  Drag(Cell(12), Cell(4));
  EXPECT_EQ(editor.selectionAnchor, 12);
  EXPECT_EQ(editor.selectionStart, 4);
  EXPECT_EQ(editor.selectionEnd, 12);
  Drag(Cell(12), Point{30000, Cell(12).y});
  EXPECT_EQ(editor.selectionStart, 12);
  EXPECT_EQ(editor.selectionEnd, kMaxFrames - 1) << "a range stays within the frames";
  PressRight(Ruler(7));
  EXPECT_TRUE(MenuOpen(9));
}

TEST_F(Timeline, ARightPressOnAKeyInTheRulerOpensTheKeyMenuOverTheSelectionMenu) {
  SelectObjectWithKeys({10, 20});
  Drag(Cell(2), Cell(30));
  ASSERT_NE(editor.selectionStart, editor.selectionEnd);
  PressRight(KeyMarker(20));
  EXPECT_TRUE(MenuOpen(6));
  EXPECT_EQ(project.selectedKey, 2);
}

TEST_F(Timeline, AManualKeyHasAGreyMarkerOfItsOwnAndCanBeClicked) {
  SceneObject* object = SelectObjectWithKeys({20, 40});
  RunPasses(1);
  const RgbImage withoutKey = MarkerBlock(30);
  Key manual = object->keys->keys[1];
  manual.frame = 30;
  manual.mode = kManual;
  const int index = AddKey(*object->keys, manual);
  RunPasses(1);
  // A triangle in the grey of the view's velocity handle, edged in black, unlike any other.
  const RgbImage manualMarker = MarkerBlock(30);
  EXPECT_GT(CompareImages(withoutKey, manualMarker, 0).differingPixels, 20);
  int grey = 0, black = 0;
  for (size_t i = 0; i < manualMarker.rgb.size(); i += 3) {
    const Rgb c{manualMarker.rgb[i], manualMarker.rgb[i + 1], manualMarker.rgb[i + 2]};
    grey += Near(c, kLaneGrey);
    black += Near(c, kBlack);
  }
  EXPECT_GE(grey, 9);
  EXPECT_GE(black, 16);
  EXPECT_GT(CompareImages(MarkerBlock(40), manualMarker, 0).differingPixels, 0);
  EXPECT_GT(CompareImages(MarkerBlock(20), manualMarker, 0).differingPixels, 0);

  // A key inserted after it takes its mode, and is still seen and clicked.
  Key next = object->keys->keys[index];
  next.frame = 33;
  const int nextIndex = AddKey(*object->keys, next);
  RunPasses(1);
  EXPECT_EQ(CompareImages(manualMarker, MarkerBlock(33), 0).differingPixels, 0);
  Click(KeyMarker(33));
  EXPECT_EQ(project.selectedKey, nextIndex);
  ASSERT_TRUE(DeleteKey(*object->keys, nextIndex));
  project.selectedKey = -1;
  RunPasses(1);

  project.selectedKey = index;
  RunPasses(1);
  EXPECT_GT(CompareImages(manualMarker, MarkerBlock(30), 0).differingPixels, 20)
      << "the selection ring is drawn over it";

  project.selectedKey = -1;
  object->keys->keys[index].mode = kStationary;
  RunPasses(1);
  EXPECT_GT(CompareImages(withoutKey, MarkerBlock(30), 0).differingPixels, 20);
  const RgbImage stationary = MarkerBlock(30);
  object->keys->keys[index].mode = kCorner;
  RunPasses(1);
  EXPECT_GT(CompareImages(stationary, MarkerBlock(30), 0).differingPixels, 0);
  EXPECT_EQ(CompareImages(MarkerBlock(40), MarkerBlock(30), 0).differingPixels, 0)
      << "a corner key looks like the last auto key";
}

TEST_F(Timeline, ADraggedKeySkipsOccupiedFramesAndKeepsTheTrackSorted) {
  SceneObject* object = SelectObjectWithKeys({10, 20});
  Press(KeyMarker(10));
  EXPECT_EQ(editor.dragState, kDragKey);
  EXPECT_EQ(project.selectedKey, 1);
  DragTo(KeyMarker(20), 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 20})) << "frame 20 holds a key";
  EXPECT_EQ(project.currentFrame, 20) << "the key drag scrubs";
  DragTo(KeyMarker(21), 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 20, 21}));
  EXPECT_EQ(project.selectedKey, 2);
  DragTo(KeyMarker(5), 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 5, 20}));
  EXPECT_EQ(project.selectedKey, 1);
  EXPECT_EQ(object->keys->keys[1].position.x, 10) << "the key's pose moved with it";
  DragTo(Point{KeyMarker(8).x, KeyMarker(8).y + 200}, 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 5, 20})) << "the pointer left the ruler";
  Release();

  // A key removed in the middle of its drag ends the drag's effect.
  Press(KeyMarker(5));
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 20}));
  DragTo(KeyMarker(30));
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 20}));
  Release();
}

TEST_F(Timeline, DeleteRemovesTheLastClickedKeyOrClipButNeverTheLastKey) {
  SceneObject* object = SelectObjectWithKeys({10, 20});
  ASSERT_EQ(AddSoundClip("hit.wav", 0.5, 40, 0), 0);
  // The clip clicked last: Delete removes it and leaves the key alone.
  Click(KeyMarker(10));
  Click(Lane(45, 0));
  ASSERT_EQ(editor.selectedClip, 0);
  EXPECT_EQ(project.selectedKey, -1) << "selecting the clip deselects the key";
  PressKey(kKeyDelete);
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 20}));
  EXPECT_EQ(editor.selectedClip, -1);

  // The key clicked last: Delete removes it and leaves the clip alone.
  ASSERT_EQ(AddSoundClip("hit.wav", 0.5, 40, 0), 0);
  Click(Lane(45, 0));
  Click(KeyMarker(20));
  EXPECT_EQ(editor.selectedClip, -1) << "selecting the key deselects the clip";
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10}));
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_EQ(project.selectedKey, -1);
  DeleteClip(0);
  Click(KeyMarker(10));
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0}));

  Click(KeyMarker(0));
  ASSERT_EQ(project.selectedKey, 0);
  PressKey(kKeyDelete, 3);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0})) << "the last key stays";

  // Only while the timeline is the active window.
  ASSERT_EQ(AddSoundClip("hit.wav", 0.5, 40, 0), 0);
  Click(Lane(45, 0));
  ASSERT_EQ(editor.selectedClip, 0);
  Click(ObjectRow(0));
  PressKey(kKeyDelete);
  EXPECT_EQ(ClipCount(), 1);
}

TEST_F(Timeline, CtrlASelectsEveryFrameOnlyInTheActiveTimeline) {
  Click(ObjectRow(0));  // the root: the object list has the keyboard
  HoldKey(kKeyLeftCtrl);
  PressKey(kKeyA);
  EXPECT_EQ(editor.selectionStart, -1);
  ReleaseKey(kKeyLeftCtrl);

  Click(Ruler(3));
  HoldKey(kKeyLeftCtrl);
  PressKey(kKeyA);
  ReleaseKey(kKeyLeftCtrl);
  EXPECT_EQ(editor.selectionStart, 0);
  EXPECT_EQ(editor.selectionEnd, kMaxFrames - 1);
  PressKey(kKeyA);
  EXPECT_EQ(editor.selectionEnd, kMaxFrames - 1);
}

TEST_F(Timeline, AClipStopsAtOtherClipsAndAtFrameZeroAndChangesLanes) {
  // Half a second is 15 frames at 30 fps.
  ASSERT_GE(AddSoundClip("a.wav", 0.5, 10, 0), 0);
  ASSERT_GE(AddSoundClip("b.wav", 0.5, 40, 0), 0);
  Clip* a = ClipNamed("a.wav");
  Press(OnClip(*a, 30, 10));  // frame 13: three frames after the clip's start
  EXPECT_EQ(editor.dragState, kDragClipMove);
  EXPECT_EQ(editor.clipGrabOffset, 3);
  DragTo(Lane(41, 0), 1);  // it would start at 38 and cover b
  EXPECT_EQ(a->startFrame, 10);
  EXPECT_EQ(a->row, 0);
  DragTo(Lane(41, 1), 1);
  RunPasses(1);  // first the lane, then the time in the free lane
  EXPECT_EQ(a->startFrame, 38);
  EXPECT_EQ(a->row, 1);
  EXPECT_EQ(SelectedClipName(), "a.wav");
  DragTo(Lane(70, 1), 1);
  EXPECT_EQ(a->startFrame, 67);
  EXPECT_EQ(SelectedClipName(), "a.wav") << "the selection follows the clip past b";
  DragTo(Point{-300, Lane(0, 1).y}, 1);
  EXPECT_EQ(a->startFrame, 0);
  DragTo(Point{-300, Lane(0, 6).y + 400}, 1);
  EXPECT_EQ(a->row, kLaneCount - 1);
  Release();
  EXPECT_EQ(editor.dragState, kDragNone);
  EXPECT_EQ(ClipNamed("b.wav")->startFrame, 40);

  Click(Lane(80, 3));
  EXPECT_EQ(editor.selectedClip, -1) << "a press on empty lane space";
}

TEST_F(Timeline, MutingRecoloursEveryWaveform) {
  ASSERT_GE(AddSoundClip("a.wav", 0.5, 10, 0), 0);
  ASSERT_GE(AddSoundClip("b.wav", 0.5, 10, 2), 0);
  Click(OnClip(*ClipNamed("b.wav"), 60, 10));
  ASSERT_EQ(SelectedClipName(), "b.wav");
  // Column 100 of each clip, on its middle row (every waveform bar covers it).
  EXPECT_TRUE(Is(kWaveBlue, PixelOfClip(*ClipNamed("a.wav"), 100, 6)));
  EXPECT_TRUE(Is(kWhite, PixelOfClip(*ClipNamed("b.wav"), 100, 6)));
  muted = true;
  RunPasses(1);
  EXPECT_TRUE(Is(kLaneGrey, PixelOfClip(*ClipNamed("a.wav"), 100, 6)));
  EXPECT_TRUE(Is(kGreyGreen, PixelOfClip(*ClipNamed("b.wav"), 100, 6)));
}

TEST_F(Timeline, VolumeAndPanHandlesDragWithTheirGauges) {
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 2), 0);
  Clip* clip = GetClip(0);
  Press(OnClip(*clip, 3, 3));
  EXPECT_EQ(editor.dragState, kDragClipVolume);
  DragTo(Point{mouseState.x, mouseState.y - 10}, 2);
  EXPECT_FLOAT_EQ(clip->volume, 1.0f) << "the volume stops at 1";
  DragTo(Point{mouseState.x, mouseState.y + 25}, 5);
  EXPECT_NEAR(clip->volume, 0.5f, 1e-4);
  EXPECT_EQ(clip->startFrame, 40) << "a volume drag does not move the clip";
  // The gauge: a white frame around a black box with the knob 23 pixels up from the bottom.
  EXPECT_TRUE(Is(kWhite, PixelOfClip(*clip, 0, -10)));
  EXPECT_TRUE(Is(kBlack, PixelOfClip(*clip, 3, -15)));
  EXPECT_TRUE(Is(kWhite, PixelOfClip(*clip, 3, 0)));
  DragTo(Point{mouseState.x, mouseState.y + 100}, 2);
  EXPECT_FLOAT_EQ(clip->volume, 0.0f);
  Release();
  EXPECT_FALSE(Near(kWhite, PixelOfClip(*clip, 0, -10))) << "the gauge is gone";

  Press(OnClip(*clip, 13, 3));
  EXPECT_EQ(editor.dragState, kDragClipPan);
  DragTo(Point{mouseState.x + 10, mouseState.y}, 2);
  EXPECT_NEAR(clip->pan, 0.4f, 1e-4);
  EXPECT_TRUE(Is(kWhite, PixelOfClip(*clip, -25, 2)));   // the gauge's frame
  EXPECT_TRUE(Is(kBlack, PixelOfClip(*clip, -20, 2)));   // its box
  EXPECT_TRUE(Is(kWhite, PixelOfClip(*clip, 9, 2)));     // the knob, 9 pixels right of centre
  DragTo(Point{mouseState.x - 100, mouseState.y}, 2);
  EXPECT_FLOAT_EQ(clip->pan, -1.0f);
  Release();
  EXPECT_EQ(clip->startFrame, 40);
}

TEST_F(Timeline, AClipWithoutItsSoundIsDrawnMovedAndDeletedButNeverHeard) {
  MakeWorkDirectory();
  ASSERT_EQ(InsertAudioClip("gone.wav", 60, 2, MissingSound::kKeepClip), 0);
  ASSERT_EQ(AddSoundClip("b.wav", 0.5, 30, 0), 0);
  Clip* gone = ClipNamed("gone.wav");
  RunPasses(1);
  EXPECT_TRUE(Is(kDarkGrey, PixelOfClip(*gone, 50, 2)));
  EXPECT_TRUE(Is(kBlack, PixelOfClip(*gone, kMissingClipWidth - 1, 2))) << "its outline";
  EXPECT_TRUE(Is(kLaneGrey, PixelOfClip(*gone, kMissingClipWidth + 2, 2)));

  Press(OnClip(*gone, 50, 10));
  EXPECT_EQ(SelectedClipName(), "gone.wav");
  DragTo(Lane(35, 0), 1);
  RunPasses(1);
  EXPECT_EQ(gone->row, 2) << "not onto b in lane 0";
  DragTo(Lane(24, 0), 1);
  RunPasses(1);
  EXPECT_EQ(gone->row, 0);
  EXPECT_EQ(gone->startFrame, 24 - 6) << "grabbed six frames after its start";
  Release();

  // The mixer leaves it out; b starts later and is not heard yet either.
  AudioPlay(gone->startFrame);
  std::vector<float> out(2 * 512, 1.0f);
  MixAudio(out.data(), 512);
  for (float v : out) ASSERT_EQ(v, 0.0f);
  AudioStop();

  PressKey(kKeyDelete);
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_STREQ(GetClip(0)->fileName, "b.wav");
}

TEST_F(Timeline, RightPressesOpenTheFrameRateClipAndLaneMenus) {
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 1), 0);
  PressRight(InWindow(300, 5));
  EXPECT_TRUE(MenuOpen(13));
  ui->menuOpen = 0;

  PressRight(Lane(70, 3));
  EXPECT_TRUE(MenuOpen(12));
  EXPECT_EQ(editor.laneMenuFrame, 70);
  EXPECT_EQ(editor.laneMenuRow, 3);
  ui->menuOpen = 0;

  PressRight(Lane(45, 1));
  EXPECT_TRUE(MenuOpen(11)) << "the clip's menu, not the lane's";
  EXPECT_EQ(editor.selectedClip, 0);
  ui->menuOpen = 0;

  // The whole of the bottom lane opens it.
  PressRight(InContent(kFramePixels * 7 + 4, kLaneTop + kLaneSpacing * 6 + 12));
  EXPECT_TRUE(MenuOpen(12));
  EXPECT_EQ(editor.laneMenuRow, 6);
  EXPECT_EQ(editor.laneMenuFrame, 7);
  ui->menuOpen = 0;
}

TEST_F(Timeline, AStaleClipSelectionIsNeverUsed) {
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 1), 0);
  Clip* clip = GetClip(0);
  Press(OnClip(*clip, 3, 3));
  ASSERT_EQ(editor.dragState, kDragClipVolume);
  DeleteClip(0);  // as the clip menu's delete does
  DragTo(Point{mouseState.x, mouseState.y + 30});
  Release();
  EXPECT_EQ(ClipCount(), 0);

  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 1), 0);
  editor.selectedClip = 3;
  Click(Ruler(2));
  PressKey(kKeyDelete);
  EXPECT_EQ(ClipCount(), 1);

  // Delete belongs to the text while the clip's label is being renamed.
  Click(Lane(45, 1));
  ASSERT_EQ(editor.selectedClip, 0);
  StartTextEdit(GetClip(0)->label, kNameSize);
  PressKey(kKeyDelete);
  EXPECT_EQ(ClipCount(), 1);
  ASSERT_TRUE(ui->editing);
  FinishTextEdit();

  NewProject();
  EXPECT_EQ(editor.selectedClip, -1) << "a new project selects no clip";
}

TEST_F(Timeline, LabelsAreDrawnAsTheyAre) {
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 1), 0);
  CopyName(GetClip(0)->label, kNameSize, "%s%n%s%n 100%");
  SceneObject* object = SelectObjectWithKeys({});
  CopyName(object->name, kNameSize, "%s%n%s%n");
  RunPasses(2);
  const Point p = OnClip(*GetClip(0), 3, 5);
  const RgbImage label = ReadBackRgb(p.x, p.y, 60, 8);
  int ink = 0;
  for (size_t i = 0; i < label.rgb.size(); i += 3) ink += label.rgb[i] == 255 ? 1 : 0;
  EXPECT_GT(ink, 30) << "the label's characters are drawn";
}

}  // namespace
