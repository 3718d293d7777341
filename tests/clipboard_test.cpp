// Copy and paste through the keys: a pose onto the selected object, onto the counterparts in
// other puppets, and selected keys with their spacing; the refusals and the undo steps.
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
  static void Chord(int key, bool shift = false) {
    HoldKey(kKeyLeftCtrl);
    if (shift) HoldKey(kKeyLeftShift);
    PressKey(key);
    if (shift) ReleaseKey(kKeyLeftShift);
    ReleaseKey(kKeyLeftCtrl);
    RunPasses(1);
  }
  // An object named name under parent (the root for null).
  static SceneObject* Make(const char* name, SceneObject* parent = nullptr) {
    SceneObject* object = CreateObject(parent);
    CopyName(object->name, kNameSize, name);
    return object;
  }
  static SceneObject* Find(const char* path) {
    SceneObject* at = project.root;
    std::string rest = path;
    while (at != nullptr && !rest.empty()) {
      const size_t cut = rest.find('/');
      const std::string name = rest.substr(0, cut);
      rest = cut == std::string::npos ? "" : rest.substr(cut + 1);
      SceneObject* next = nullptr;
      for (int i = 0; i < at->childCount && next == nullptr; ++i) {
        if (name == at->children[i]->name) next = at->children[i];
      }
      at = next;
    }
    return at;
  }
  static Key PoseAt(SceneObject* object, int frame) {
    const int i = FindKeyAtFrame(*object->keys, frame);
    EXPECT_GE(i, 0) << object->name << " has no key at " << frame;
    return i >= 0 ? object->keys->keys[i] : Key();
  }
  static void SetKey(SceneObject* object, int frame, Vec3 position, float rotation, float scale) {
    Key key;
    key.frame = frame;
    key.position = position;
    key.rotation = rotation;
    key.scale = Vec3{scale, scale, 1};
    const int there = FindKeyAtFrame(*object->keys, frame);
    if (there >= 0) {
      object->keys->keys[there] = key;
    } else {
      AddKey(*object->keys, key);
    }
  }
  static std::vector<int> Frames(const SceneObject* object) {
    std::vector<int> frames;
    for (int i = 0; i < object->keys->count; ++i) frames.push_back(object->keys->keys[i].frame);
    return frames;
  }

  ScriptedDialogs dialogs;
};

TEST_F(Clipboard, CounterpartsDifferInTheNameOfOneObjectAbove) {
  // Scene > Girl > Body > ArmL, and around it the paths that are or are not its counterparts.
  SceneObject* arm = Make("ArmL", Make("Body", Make("Girl")));
  SceneObject* boyArm = Make("ArmL", Make("Body", Make("Boy")));
  SceneObject* body2Arm = Make("ArmL", Make("Body2", Find("Girl")));
  Make("ArmL", Make("Torso", Make("Kid")));      // two names differ
  Make("ArmR", Find("Boy/Body"));                 // the last name differs
  Make("ArmL", Make("Body", Make("Girl")));      // a second Girl: the very same path
  Make("Body", Make("Boy2"));                     // shorter
  SceneObject* stage = Make("Stage");
  Make("ArmL", Make("Body", Make("Girl", stage)));  // longer

  const NamePath path = NamePathOf(arm);
  char text[256];
  FormatNamePath(path, text, sizeof text);
  EXPECT_STREQ(text, "Girl > Body > ArmL");
  EXPECT_EQ(NamePathOf(project.root).count, 0);
  EXPECT_EQ(FindCounterparts(project.root, path), (std::vector<SceneObject*>{body2Arm, boyArm}));

  // Deeper in the tree the rule is the same; a top-level object has no counterpart.
  const NamePath staged = NamePathOf(Find("Stage/Girl/Body/ArmL"));
  SceneObject* stagedBoy = Make("ArmL", Make("Body", Make("Boy", stage)));
  EXPECT_EQ(FindCounterparts(project.root, staged), (std::vector<SceneObject*>{stagedBoy}));
  EXPECT_TRUE(FindCounterparts(project.root, NamePathOf(stage)).empty());
  EXPECT_TRUE(FindCounterparts(project.root, NamePathOf(project.camera)).empty());
}

// Ctrl+C takes the evaluated pose at the current frame; Ctrl+V puts it into the selected
// object's key there (made or replaced, its mode kept), one undo step; nothing is copied while
// a name is typed.
TEST_F(Clipboard, APoseIsPastedAsAKeyOnTheCurrentFrame) {
  SceneObject* from = Make("From");
  SetKey(from, 20, Vec3{100, -40, 3}, 90, 2);
  SceneObject* to = Make("To");
  SetKey(to, 30, Vec3{5, 5, 0}, 0, 1);
  to->keys->keys[1].mode = kStationary;
  project.selected = from;
  project.currentFrame = 10;  // between the keys at 0 and 20
  RunPasses(1);
  const Key expected = from->state;
  ASSERT_GT(expected.position.x, 1);
  ASSERT_LT(expected.position.x, 99);
  Chord(kKeyC);
  ASSERT_EQ(ClipboardHolds(), ClipboardContent::kPose);

  project.selected = to;
  project.currentFrame = 30;
  RunPasses(1);
  const int steps = UndoStepCount();
  Chord(kKeyV);
  const Key pasted = PoseAt(to, 30);
  EXPECT_FLOAT_EQ(pasted.position.x, expected.position.x);
  EXPECT_FLOAT_EQ(pasted.position.y, expected.position.y);
  EXPECT_FLOAT_EQ(pasted.position.z, expected.position.z) << "the level too";
  EXPECT_NE(pasted.position.z, 0);
  EXPECT_FLOAT_EQ(pasted.rotation, expected.rotation);
  EXPECT_FLOAT_EQ(pasted.scale.x, expected.scale.x);
  EXPECT_EQ(pasted.mode, kStationary) << "the key keeps its mode";
  EXPECT_EQ(Frames(to), (std::vector<int>{0, 30}));
  EXPECT_FLOAT_EQ(to->state.position.x, expected.position.x) << "shown at once";
  project.currentFrame = 40;
  RunPasses(1);
  Chord(kKeyV);
  EXPECT_EQ(Frames(to), (std::vector<int>{0, 30, 40})) << "a new key";
  EXPECT_EQ(UndoStepCount(), steps + 2);
  Chord(kKeyZ);
  EXPECT_EQ(Frames(project.selected), (std::vector<int>{0, 30}));

  // Ctrl+C and Ctrl+V belong to a name being typed.
  ClearClipboard();
  StartTextEdit(project.selected->name, kNameSize, true);
  Chord(kKeyC);
  EXPECT_EQ(ClipboardHolds(), ClipboardContent::kNothing);
  FinishTextEdit();
}

// Ctrl+Shift+V reaches every counterpart of the copied object, never the object itself; with
// none it says what it would have pasted where.
TEST_F(Clipboard, AMirroredPasteReachesEveryCounterpartOrSaysWhyNot) {
  SceneObject* girlArm = Make("ArmL", Make("Body", Make("Girl")));
  SceneObject* boyArm = Make("ArmL", Make("Body", Make("Boy")));
  SceneObject* kidArm = Make("ArmL", Make("Body", Make("Kid")));
  SetKey(girlArm, 0, Vec3{7, 8, 0}, -30, 1);
  project.selected = girlArm;
  project.currentFrame = 12;
  RunPasses(1);
  Chord(kKeyC);
  const int steps = UndoStepCount();
  Chord(kKeyV, true);
  for (SceneObject* arm : {boyArm, kidArm}) {
    EXPECT_NEAR(PoseAt(arm, 12).rotation, -30, 1e-3) << arm->parent->parent->name;
    EXPECT_NEAR(PoseAt(arm, 12).position.y, 8, 1e-3);
  }
  EXPECT_EQ(Frames(girlArm), (std::vector<int>{0}));
  EXPECT_EQ(UndoStepCount(), steps + 1) << "all of it one step";
  EXPECT_TRUE(dialogs.messages.empty());

  Make("Leg", Find("Girl/Body"));
  project.selected = Find("Girl/Body/Leg");
  Chord(kKeyC);  // the history takes the new Leg as a step in this pass
  const int before = UndoStepCount();
  Chord(kKeyV, true);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "Nothing was pasted: the pose of Girl > Body > Leg goes onto the objects whose path "
            "differs from Girl > Body > Leg in the name of one object above it (* > Body > Leg, "
            "Girl > * > Leg), and there is none.");
  project.selected = Find("Girl");
  Chord(kKeyC);
  Chord(kKeyV, true);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_NE(dialogs.messages[1].text.find("Girl lies right under the scene"), std::string::npos);
  EXPECT_EQ(UndoStepCount(), before) << "nothing changed";
}

// Selected keys go with their spacing from the current frame, replacing keys on their frames,
// and become the selection; a paste past frame 1999 or beyond 200 keys is refused whole.
TEST_F(Clipboard, SelectedKeysArePastedWithTheirSpacingOrRefusedWhole) {
  SceneObject* object = Make("Walk");
  SetKey(object, 10, Vec3{10, 0, 0}, 0, 1);
  SetKey(object, 14, Vec3{14, 0, 0}, 0, 1);
  SetKey(object, 20, Vec3{20, 0, 0}, 0, 1);
  SetKey(object, 54, Vec3{-1, 0, 0}, 0, 1);
  object->keys->keys[2].mode = kCorner;
  project.selected = object;
  SelectKeysInFrames(*object->keys, 10, 20, nullptr);
  Chord(kKeyC);
  ASSERT_EQ(ClipboardHolds(), ClipboardContent::kKeys);

  project.currentFrame = 50;
  RunPasses(1);
  Chord(kKeyV);
  EXPECT_EQ(Frames(object), (std::vector<int>{0, 10, 14, 20, 50, 54, 60}));
  EXPECT_EQ(PoseAt(object, 54).position.x, 14) << "the key on 54 was replaced";
  EXPECT_EQ(PoseAt(object, 54).mode, kCorner);
  EXPECT_EQ(SelectedKeyCount(*object->keys), 3);
  EXPECT_TRUE(KeySelected(*object->keys, FindKeyAtFrame(*object->keys, 60)));

  // Onto another object, which starts with one key.
  SceneObject* other = Make("Other");
  project.selected = other;
  project.currentFrame = 0;
  RunPasses(1);
  Chord(kKeyV);
  EXPECT_EQ(Frames(other), (std::vector<int>{0, 4, 10}));

  project.currentFrame = 1990;
  RunPasses(1);
  Chord(kKeyV);
  EXPECT_EQ(Frames(other), (std::vector<int>{0, 4, 10}));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            "Couldn't paste 3 keys of Walk onto Other at frame 1990: a key would land on frame "
            "2000, past frame 1999.");

  KeyTrack full;
  full.count = kMaxKeys - 2;
  for (int i = 0; i < full.count; ++i) full.keys[i].frame = 2 * i;
  char reason[128];
  Key keys[3];
  keys[1].frame = 1;
  keys[2].frame = 2;
  EXPECT_FALSE(PasteKeys(full, keys, 3, 1000, reason, sizeof reason));
  EXPECT_STREQ(reason, "its track would hold 201 keys, more than 200");
  EXPECT_EQ(full.count, kMaxKeys - 2);
  EXPECT_TRUE(PasteKeys(full, keys, 3, 10, reason, sizeof reason)) << "two of them replace";
  EXPECT_EQ(full.count, kMaxKeys - 1);
}

}  // namespace
