// The timeline's tools for timing: many keys selected at once (Shift+click, a sweep) moved,
// deleted and given a mode together, and the values a clip's volume and pan drags show.
#include <cstring>
#include <string>
#include <vector>

#include "editor/commands.h"
#include "editor/history.h"
#include "editor/key_selection.h"
#include "tests/timeline_fixture.h"

namespace {

class TimelineTools : public TimelineTest {
 protected:
  // White pixels in a rectangle of the screen.
  static int WhitePixels(Point at, int w, int h) {
    int count = 0;
    for (int y = at.y; y < at.y + h; ++y) {
      for (int x = at.x; x < at.x + w; ++x) {
        const Rgb p = ReadPixel(x, y);
        count += p.r > 240 && p.g > 240 && p.b > 240;
      }
    }
    return count;
  }
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
  static void Undo() {
    HoldKey(kKeyLeftCtrl);
    PressKey(kKeyZ);
    ReleaseKey(kKeyLeftCtrl);
    RunPasses(1);
  }
  // Picks entry of the menu that a right press at p opened.
  static void ChooseMenuEntry(Point p, int entry) {
    Click(p, Button::kRight);
    ASSERT_TRUE(ui->menuOpen);
    Click(Point{ui->menuX + 30, ui->menuY + 10 * entry + 5});
  }
};

TEST_F(TimelineTools, VolumeAndPanDragsShowTheirValuesAndTheMenuResetsEither) {
  Clip probe;
  char text[32];
  probe.volume = 0.5f;
  ASSERT_TRUE(FormatClipGaugeValue(probe, kDragClipVolume, text, sizeof text));
  EXPECT_STREQ(text, "volume 0.50");
  probe.pan = -0.4f;
  ASSERT_TRUE(FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text));
  EXPECT_STREQ(text, "pan -0.40");
  probe.pan = -0.001f;
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan 0.00");
  probe.pan = 1.0f;
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan +1.00");
  EXPECT_FALSE(FormatClipGaugeValue(probe, kDragClipMove, text, sizeof text));

  // The value stands beside the gauge while the drag lasts.
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 3), 0);
  Clip* clip = GetClip(0);
  const int before = WhitePixels(OnClip(*clip, 10, -24), 60, 8);
  Press(OnClip(*clip, 3, 3));
  DragTo(Point{mouseState.x, mouseState.y + 25}, 5);
  EXPECT_NEAR(clip->volume, 0.5f, 1e-4);
  EXPECT_GT(WhitePixels(OnClip(*clip, 10, -24), 60, 8), before + 20);
  Release();
  EXPECT_EQ(WhitePixels(OnClip(*clip, 10, -24), 60, 8), before);
  Press(OnClip(*clip, 13, 3));
  DragTo(Point{mouseState.x - 10, mouseState.y}, 2);
  EXPECT_GT(WhitePixels(OnClip(*clip, -25, -11), 50, 8), 20);
  Release();

  // "reset volume" beside "reset pan" in the clip's menu.
  EXPECT_STREQ(kMenus[11].labels[0], "reset pan");
  EXPECT_STREQ(kMenus[11].labels[1], "reset volume");
  ChooseMenuEntry(OnClip(*clip, 40, 7), 1);
  EXPECT_FLOAT_EQ(clip->volume, 1.0f);
  EXPECT_NEAR(clip->pan, -0.4f, 1e-4) << "the pan stays";
  ChooseMenuEntry(OnClip(*clip, 40, 7), 0);
  EXPECT_FLOAT_EQ(clip->pan, 0.0f);
}

// Shift+click adds a key or takes it out, a sweep over the key row selects the keys it passes
// (with Shift, besides those selected), and dragging a selected key moves them all as one undo
// step, or none when one would land on another key or outside the film.
TEST_F(TimelineTools, SelectedKeysAreChosenTogetherAndMovedAsOne) {
  SceneObject* object = SelectObjectWithKeys({10, 20, 30, 40});
  Click(KeyMarker(10));
  ShiftClick(KeyMarker(30));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{10, 30}));
  ShiftClick(KeyMarker(10));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{30}));
  ShiftClick(KeyMarker(30));
  EXPECT_TRUE(SelectedFrames(object).empty());

  Drag(KeyMarker(15), KeyMarker(35));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{20, 30}));
  EXPECT_EQ(project.currentFrame, 35) << "a sweep scrubs like the ruler";
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
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{12, 22, 32}));
  EXPECT_EQ(UndoStepCount(), steps + 1);
  Undo();
  object = project.selected;  // the undo made the tree anew
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 20, 30, 40}));

  // Outside 0..1999 the whole move is refused.
  SelectKeysInFrames(*object->keys, 20, 40, nullptr);
  EXPECT_FALSE(MoveSelectedKeys(*object->keys, 1960));
  EXPECT_FALSE(MoveSelectedKeys(*object->keys, -21));
  EXPECT_TRUE(MoveSelectedKeys(*object->keys, 1959));
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 1979, 1989, 1999}));

  // A click on one of several selected keys that moves nothing selects it alone.
  SelectKeysInFrames(*object->keys, 0, 10, nullptr);
  Click(KeyMarker(10));
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{10}));
}

// Delete and the key menu's modes act on every selected key, each as one undo step; Delete
// never takes the track's last key.
TEST_F(TimelineTools, DeleteAndModesActOnEverySelectedKey) {
  SceneObject* object = SelectObjectWithKeys({10, 20, 30, 40});
  Drag(KeyMarker(5), KeyMarker(33));
  ChooseMenuEntry(KeyMarker(20), 3);  // "stationary"
  for (int i = 0; i < 5; ++i) {
    const int frame = object->keys->keys[i].frame;
    EXPECT_EQ(object->keys->keys[i].mode, frame >= 10 && frame <= 30 ? kStationary : kAuto)
        << "key at " << frame;
  }
  EXPECT_EQ(SelectedFrames(object), (std::vector<int>{10, 20, 30})) << "the menu kept them";
  ChooseMenuEntry(KeyMarker(40), 0);  // "manual" on a key outside the selection: it alone
  EXPECT_EQ(object->keys->keys[4].mode, kManual);
  EXPECT_EQ(object->keys->keys[1].mode, kStationary);

  Drag(KeyMarker(5), KeyMarker(33));
  const int steps = UndoStepCount();
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 40}));
  EXPECT_EQ(UndoStepCount(), steps + 1);
  Undo();
  object = project.selected;  // the undo made the tree anew
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0, 10, 20, 30, 40}));

  Drag(KeyMarker(45), KeyMarker(0));  // a sweep begins on the row's empty space
  EXPECT_EQ(SelectedKeyCount(*object->keys), 5);
  PressKey(kKeyDelete);
  EXPECT_EQ(KeyFrames(object), (std::vector<int>{0})) << "the first key stays";
  EXPECT_EQ(object->keys->keys[0].position.x, 0);
}

}  // namespace
