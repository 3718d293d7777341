// The timeline's timing tools: many keys selected at once (Shift+click, a sweep) moved, deleted
// and given a mode together; the value a clip's volume or pan drag shows and "reset volume".
#include <vector>

#include "editor/history.h"
#include "editor/key_selection.h"
#include "tests/png_compare.h"
#include "tests/timeline_fixture.h"

namespace {

class TimelineTools : public TimelineTest {
 protected:
  static std::vector<int> SelectedFrames(const SceneObject* object) {
    std::vector<int> frames;
    for (int i = 0; i < object->keys->count; ++i) {
      if (KeySelected(*object->keys, i)) frames.push_back(object->keys->keys[i].frame);
    }
    return frames;
  }
  static void ShiftClick(Point p) {
    HoldKey(kKeyLeftShift);
    Click(p);
    ReleaseKey(kKeyLeftShift);
  }
  // Entry of the menu that a right press at p opens.
  static void ChooseMenuEntry(Point p, int entry) {
    Click(p, Button::kRight);
    ASSERT_TRUE(ui->menuOpen);
    Click(Point{ui->menuX + 30, ui->menuY + 10 * entry + 5});
  }
};

TEST_F(TimelineTools, SelectedKeysAreChosenTogetherAndMovedAsOne) {
  SceneObject* object = SelectObjectWithKeys({10, 20, 30, 40});
  Click(KeyMarker(10));
  ShiftClick(KeyMarker(30));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{10, 30}));
  ShiftClick(KeyMarker(10));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{30}));

  // A sweep on the key row's empty space, then one with Shift that adds.
  Drag(KeyMarker(15), KeyMarker(35));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{20, 30}));
  HoldKey(kKeyLeftShift);
  Drag(KeyMarker(42), KeyMarker(38));
  ReleaseKey(kKeyLeftShift);
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{20, 30, 40}));

  const int steps = UndoStepCount();
  Press(KeyMarker(20));
  DragTo(KeyMarker(23), 3);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 23, 33, 43}));
  EXPECT_EQ(object->keys->keys[3].position.x, 30) << "each key keeps its pose";
  DragTo(KeyMarker(10), 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 23, 33, 43})) << "23 would land on 10";
  DragTo(KeyMarker(12), 1);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 12, 22, 32})) << "past an unselected key";
  Release();
  EXPECT_EQ(UndoStepCount(), steps + 1);
  Chord(kKeyZ);
  object = project.selected;  // the undo made the tree anew
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 20, 30, 40}));

  SelectKeysInFrames(*object->keys, 20, 40, nullptr);
  EXPECT_FALSE(MoveSelectedKeys(*object->keys, 1960)) << "past frame 1999";
  EXPECT_FALSE(MoveSelectedKeys(*object->keys, -21)) << "before frame 0";
  EXPECT_TRUE(MoveSelectedKeys(*object->keys, 1959));
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 1979, 1989, 1999}));

  // A click on one of several selected keys that moves nothing selects it alone.
  SelectKeysInFrames(*object->keys, 0, 10, nullptr);
  Click(KeyMarker(10));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{10}));
}

TEST_F(TimelineTools, DeleteAndModesActOnEverySelectedKey) {
  SceneObject* object = SelectObjectWithKeys({10, 20, 30, 40});
  Drag(KeyMarker(5), KeyMarker(33));
  ChooseMenuEntry(KeyMarker(20), 3);  // "stationary"
  for (int i = 0; i < 5; ++i) {
    const int frame = object->keys->keys[i].frame;
    EXPECT_EQ(object->keys->keys[i].mode, frame >= 10 && frame <= 30 ? kStationary : kAuto)
        << "key at " << frame;
  }
  ChooseMenuEntry(KeyMarker(40), 0);  // a key outside the selection: "manual" for it alone
  EXPECT_EQ(object->keys->keys[4].mode, kManual);
  EXPECT_EQ(object->keys->keys[3].mode, kStationary);

  Drag(KeyMarker(5), KeyMarker(33));
  const int steps = UndoStepCount();
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 40}));
  EXPECT_EQ(UndoStepCount(), steps + 1);
  Chord(kKeyZ);
  object = project.selected;
  Drag(KeyMarker(45), KeyMarker(0));
  EXPECT_EQ(SelectedKeyCount(*object->keys), 5);
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0})) << "the first key stays";
}

TEST_F(TimelineTools, VolumeAndPanDragsShowTheirValueAndTheMenuResetsEither) {
  Clip probe;
  char text[32];
  probe.volume = 0.5f;
  probe.pan = -0.001f;
  FormatClipGaugeValue(probe, kDragClipVolume, text, sizeof text);
  EXPECT_STREQ(text, "volume 0.50");
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan 0.00");
  probe.pan = -0.4f;
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan -0.40");
  EXPECT_FALSE(FormatClipGaugeValue(probe, kDragClipMove, text, sizeof text));

  // The number stands right of the volume gauge's top while the drag lasts.
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 3), 0);
  Clip* clip = GetClip(0);
  const Point label = OnClip(*clip, 10, -24);
  const RgbImage before = ReadBackRgb(label.x, label.y, 60, 8);
  Press(OnClip(*clip, 3, 3));
  DragTo(Point{mouseState.x, mouseState.y + 25}, 5);
  EXPECT_GT(CompareImages(before, ReadBackRgb(label.x, label.y, 60, 8), 40).differingPixels, 40);
  Release();
  EXPECT_EQ(CompareImages(before, ReadBackRgb(label.x, label.y, 60, 8), 40).differingPixels, 0);
  Press(OnClip(*clip, 13, 3));
  DragTo(Point{mouseState.x - 10, mouseState.y}, 2);
  Release();

  EXPECT_STREQ(kMenus[11].labels[1], "reset volume");
  ChooseMenuEntry(OnClip(*clip, 40, 7), 1);
  EXPECT_FLOAT_EQ(clip->volume, 1.0f);
  EXPECT_NEAR(clip->pan, -0.4f, 1e-4) << "the pan stays";
  ChooseMenuEntry(OnClip(*clip, 40, 7), 0);
  EXPECT_FLOAT_EQ(clip->pan, 0.0f);
}

}  // namespace
