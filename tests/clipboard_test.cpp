// Copy and paste through the keys: a pose onto the selected object or onto the counterparts in
// other puppets, selected keys with their spacing; the refusals and the undo steps.
#include <algorithm>
#include <string>
#include <vector>

#include "editor/clipboard.h"
#include "editor/history.h"
#include "editor/key_selection.h"
#include "platform/dialogs.h"
#include "tests/editor_driver.h"

namespace {

class Clipboard : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
    ClearClipboard();
  }
  void TearDown() override {
    SetDialogBackend(nullptr);
    ClearClipboard();
    EditorTest::TearDown();
  }
  static SceneObject* Make(const char* name, SceneObject* parent = nullptr) {
    SceneObject* object = CreateObject(parent);
    CopyName(object->name, kNameSize, name);
    return object;
  }
  // A key on frame posed (x, x, x) with rotation x and scale x / 10.
  static void KeyAt(SceneObject* object, int frame, float x) {
    Key key;
    key.frame = frame;
    key.position = Vec3{x, x, x};
    key.rotation = x;
    key.scale = Vec3{x / 10, x / 10, 1};
    AddKey(*object->keys, key);
  }
  static const Key& KeyOn(const SceneObject* object, int frame) {
    const int i = FindKeyAtFrame(*object->keys, frame);
    EXPECT_GE(i, 0) << object->name << " has no key on " << frame;
    return object->keys->keys[std::max(i, 0)];
  }
  static std::vector<int> Frames(const SceneObject* object) {
    std::vector<int> frames;
    for (int i = 0; i < object->keys->count; ++i) frames.push_back(object->keys->keys[i].frame);
    return frames;
  }
  static void GoTo(SceneObject* object, int frame) {
    project.selected = object;
    project.currentFrame = frame;
    RunPasses(1);
  }

  ScriptedDialogs dialogs;
};

TEST_F(Clipboard, CounterpartsDifferInTheNameOfOneObjectAbove) {
  SceneObject* girlBody = Make("Body", Make("Girl"));
  SceneObject* arm = Make("ArmL", girlBody);
  SceneObject* boyBody = Make("Body", Make("Boy"));
  SceneObject* boyArm = Make("ArmL", boyBody);
  SceneObject* body2Arm = Make("ArmL", Make("Body2", girlBody->parent));
  Make("ArmL", Make("Torso", Make("Kid")));  // two names differ
  Make("ArmR", boyBody);                      // the last name differs
  Make("ArmL", Make("Body", Make("Girl")));  // another Girl: the very same path
  SceneObject* stage = Make("Stage");
  SceneObject* stagedArm = Make("ArmL", Make("Body", Make("Girl", stage)));  // a longer path

  char text[256];
  FormatNamePath(NamePathOf(arm), text, sizeof text);
  EXPECT_STREQ(text, "Girl > Body > ArmL");
  EXPECT_EQ(FindCounterparts(project.root, NamePathOf(arm)),
            (std::vector<SceneObject*>{body2Arm, boyArm}));
  SceneObject* stagedBoyArm = Make("ArmL", Make("Body", Make("Boy", stage)));
  EXPECT_EQ(FindCounterparts(project.root, NamePathOf(stagedArm)),
            (std::vector<SceneObject*>{stagedBoyArm}));
  EXPECT_TRUE(FindCounterparts(project.root, NamePathOf(stage)).empty()) << "under the scene";
}

// Ctrl+C takes the evaluated pose; Ctrl+V puts it into the key on the current frame, made or
// replaced (keeping its mode), one undo step each; nothing is copied while a name is typed.
TEST_F(Clipboard, APoseIsPastedAsAKeyOnTheCurrentFrame) {
  SceneObject* from = Make("From");
  KeyAt(from, 20, 80);
  SceneObject* to = Make("To");
  KeyAt(to, 30, 5);
  to->keys->keys[1].mode = kStationary;
  GoTo(from, 10);
  const Key expected = from->state;
  ASSERT_GT(expected.position.z, 1);
  Chord(kKeyC);
  ASSERT_EQ(ClipboardHolds(), ClipboardContent::kPose);

  GoTo(to, 30);
  const int steps = UndoStepCount();
  Chord(kKeyV);
  const Key& pasted = KeyOn(to, 30);
  EXPECT_FLOAT_EQ(pasted.position.x, expected.position.x);
  EXPECT_FLOAT_EQ(pasted.position.z, expected.position.z) << "the level too";
  EXPECT_FLOAT_EQ(pasted.rotation, expected.rotation);
  EXPECT_FLOAT_EQ(pasted.scale.y, expected.scale.y);
  EXPECT_EQ(pasted.mode, kStationary);
  EXPECT_FLOAT_EQ(to->state.position.x, expected.position.x) << "shown at once";
  GoTo(to, 40);
  Chord(kKeyV);
  EXPECT_EQ(Frames(to), (std::vector<int>{0, 30, 40}));
  EXPECT_EQ(UndoStepCount(), steps + 2);
  Chord(kKeyZ);
  EXPECT_EQ(Frames(project.selected), (std::vector<int>{0, 30}));

  ClearClipboard();
  StartTextEdit(project.selected->name, kNameSize, true);
  Chord(kKeyC);
  EXPECT_EQ(ClipboardHolds(), ClipboardContent::kNothing) << "Ctrl+C belongs to the name";
  FinishTextEdit();
}

// Ctrl+Shift+V reaches every counterpart, not the copied object, as one step; with none it says
// what would have gone where.
TEST_F(Clipboard, AMirroredPasteReachesEveryCounterpartOrSaysWhyNot) {
  SceneObject* girlArm = Make("ArmL", Make("Body", Make("Girl")));
  SceneObject* boyArm = Make("ArmL", Make("Body", Make("Boy")));
  SceneObject* kidArm = Make("ArmL", Make("Body", Make("Kid")));
  KeyAt(girlArm, 12, -30);
  GoTo(girlArm, 12);
  Chord(kKeyC);
  const int steps = UndoStepCount();
  Chord(kKeyV, true);
  EXPECT_FLOAT_EQ(KeyOn(boyArm, 12).rotation, -30);
  EXPECT_FLOAT_EQ(KeyOn(kidArm, 12).position.y, -30);
  EXPECT_EQ(Frames(girlArm), (std::vector<int>{0, 12}));
  EXPECT_EQ(UndoStepCount(), steps + 1);

  GoTo(Make("Leg", girlArm->parent), 12);
  Chord(kKeyC);
  const int before = UndoStepCount();  // the new Leg was taken as a step in that pass
  Chord(kKeyV, true);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "Nothing was pasted: the pose of Girl > Body > Leg goes onto the objects whose path "
            "differs from Girl > Body > Leg in the name of one object above it (* > Body > Leg, "
            "Girl > * > Leg), and there is none.");
  EXPECT_EQ(UndoStepCount(), before);
}

// Selected keys go with their spacing from the current frame, replacing keys on their frames,
// and become the selection; a paste past frame 1999 or beyond 200 keys is refused whole.
TEST_F(Clipboard, SelectedKeysArePastedWithTheirSpacingOrRefusedWhole) {
  SceneObject* walk = Make("Walk");
  for (int frame : {10, 14, 20, 54}) KeyAt(walk, frame, static_cast<float>(frame));
  walk->keys->keys[2].mode = kCorner;
  GoTo(walk, 50);
  SelectKeysInFrames(*walk->keys, 10, 20, nullptr);
  Chord(kKeyC);
  Chord(kKeyV);
  EXPECT_EQ(Frames(walk), (std::vector<int>{0, 10, 14, 20, 50, 54, 60}));
  EXPECT_EQ(KeyOn(walk, 54).position.x, 14) << "the key on 54 was replaced";
  EXPECT_EQ(KeyOn(walk, 54).mode, kCorner);
  EXPECT_EQ(SelectedKeyCount(*walk->keys), 3);
  EXPECT_TRUE(KeySelected(*walk->keys, FindKeyAtFrame(*walk->keys, 60)));

  SceneObject* other = Make("Other");
  GoTo(other, 1990);
  Chord(kKeyV);
  EXPECT_EQ(Frames(other), (std::vector<int>{0}));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "Couldn't paste 3 keys of Walk onto Other at frame 1990: a key would land on frame "
            "2000, past frame 1999.");

  KeyTrack full;
  full.count = kMaxKeys - 2;
  for (int i = 0; i < full.count; ++i) full.keys[i].frame = 2 * i;
  Key keys[3];
  keys[1].frame = 1;
  keys[2].frame = 2;
  char reason[128];
  EXPECT_FALSE(PasteKeys(full, keys, 3, 1000, reason, sizeof reason));
  EXPECT_STREQ(reason, "its track would hold 201 keys, more than 200");
  EXPECT_TRUE(PasteKeys(full, keys, 3, 10, reason, sizeof reason)) << "two of them replace";
  EXPECT_EQ(full.count, kMaxKeys - 1);
}

}  // namespace
