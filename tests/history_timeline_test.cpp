// The timeline's drags are undo steps of their own: a key dragged over many frames, and a
// clip's volume dragged through many values, each come back in one undo.
#include <vector>

#include "editor/history.h"
#include "platform/input.h"
#include "project/project_file.h"
#include "tests/timeline_fixture.h"

namespace {

class TimelineHistory : public TimelineTest {
 protected:
  // The key drag scrubs, so the frames differ: compare what the edits made.
  static std::vector<uint8_t> Edits() { return WriteProject(PoseBytes::kZeroForKeyedObjects); }
  void Settle() { MoveMouse(Point{1020, mouseState.y == 760 ? 761 : 760}); }
  void Undo() {
    HoldKey(kKeyLeftCtrl);
    PressKey(kKeyZ);
    ReleaseKey(kKeyLeftCtrl);
    RunPasses(1);
  }
};

TEST_F(TimelineHistory, AKeyDragAndAVolumeDragAreOneStepEach) {
  SelectObjectWithKeys({10, 20});
  AddSoundClip("a.wav", 0.5, 40, 2);
  Settle();
  const std::vector<uint8_t> start = Edits();
  const int steps = UndoStepCount();

  Press(KeyMarker(10));
  DragTo(KeyMarker(25), 6);
  DragTo(KeyMarker(30), 3);
  Release();
  Settle();
  EXPECT_EQ(UndoStepCount(), steps + 1);
  const std::vector<uint8_t> keyMoved = Edits();
  ASSERT_NE(keyMoved, start);

  Press(OnClip(*GetClip(0), 3, 3));
  ASSERT_EQ(editor.dragState, kDragClipVolume);
  DragTo(Point{mouseState.x, mouseState.y + 20}, 5);
  Release();
  Settle();
  EXPECT_EQ(UndoStepCount(), steps + 2);
  EXPECT_NE(Edits(), keyMoved);

  Undo();
  EXPECT_EQ(Edits(), keyMoved);
  EXPECT_FLOAT_EQ(GetClip(0)->volume, 1.0f);
  Undo();
  EXPECT_EQ(Edits(), start);
  EXPECT_EQ(KeyFrames(project.selected), (std::vector<int>{0, 10, 20}))
      << "the selected object is found again after the undo";
}

}  // namespace
