// The context-menu commands: objects, key-frame resets and modes, views, frame rates, clips,
// sound import, mute and both exports, called as the editor frame calls them and, for a few,
// picked from their menus through the whole editor.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "audio/audio.h"
#include "editor/commands.h"
#include "platform/dialogs.h"
#include "project/project_file.h"
#include "tests/allocation_fault.h"
#include "tests/audio_fixtures.h"
#include "tests/editor_driver.h"

namespace {

namespace fs = std::filesystem;

class Commands : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
  }
  void TearDown() override {
    if (ui->editing) FinishTextEdit();
    SetDialogBackend(nullptr);
    EditorTest::TearDown();
  }

  // Picks entry of the menu that a right click at p opened (menus open 10 left of and 4 above
  // the pointer, entries are 10 pixels high).
  static void ChooseFromMenuAt(Point p, int entry) {
    Click(p, Button::kRight);
    ASSERT_TRUE(ui->menuOpen);
    Click(Point{p.x, p.y - 4 + 10 * entry + 5});
    EXPECT_FALSE(ui->menuOpen);
  }
  static SceneObject* NewSelectedObject(SceneObject* parent = nullptr) {
    SceneObject* object = CreateObject(parent);
    project.selected = object;
    return object;
  }
  static void SetKey(SceneObject* object, int frame, Vec3 position, float rotation) {
    Key key;
    key.frame = frame;
    key.position = position;
    key.rotation = rotation;
    key.scale = Vec3{2, 2, 1};
    const int index = FindKeyAtFrame(*object->keys, frame);
    if (index >= 0) {
      object->keys->keys[index] = key;
    } else {
      AddKey(*object->keys, key);
    }
  }
  void WriteText(const std::string& name, const std::string& text) {
    std::ofstream(workDirectory_ + "/" + name) << text;
  }
  void WriteWav(const std::string& name) {
    ASSERT_TRUE(audiotest::WriteFile(workDirectory_ + "/" + name,
                                     audiotest::Wav16(std::vector<int16_t>(4410, 1000))));
  }

  ScriptedDialogs dialogs;
};

TEST_F(Commands, NewObjectOnTheRootOrTheCameraMakesAChildOfTheRootOnAnObjectASibling) {
  for (SceneObject* start : {project.root, project.camera}) {
    project.selected = start;
    const int before = project.root->childCount;
    EXPECT_TRUE(RunCommand(kCommandNewObject));
    ASSERT_EQ(project.root->childCount, before + 1);
    SceneObject* created = project.root->children[before];
    EXPECT_EQ(project.selected, created);
    EXPECT_EQ(created->parent, project.root);
    EXPECT_TRUE(ui->editing);  // the name can be typed at once
    EXPECT_EQ(ui->editText, created->name);
    FinishTextEdit();
  }

  SceneObject* parent = CreateObject(nullptr);
  NewSelectedObject(parent);
  EXPECT_TRUE(RunCommand(kCommandNewSibling));
  ASSERT_EQ(parent->childCount, 3);  // its image child and two objects
  EXPECT_EQ(project.selected, parent->children[2]);
  EXPECT_EQ(project.selected->parent, parent);

  // While an alignment is edited the selection is the image child; a new object goes next to
  // its object, never beside the image child.
  project.selected = parent;
  RunCommand(kCommandEditAlignment);
  ASSERT_EQ(project.selected, parent->children[0]);
  RunCommand(kCommandNewObject);
  EXPECT_EQ(project.selected->parent, project.root);
}

TEST_F(Commands, NewObjectFromTheMenusOfTheObjectList) {
  // The root's row opens the menu with "new object" only.
  ChooseFromMenuAt(ObjectRow(0), 0);
  ASSERT_EQ(project.root->childCount, 2);
  SceneObject* first = project.root->children[1];
  EXPECT_EQ(project.selected, first);
  EXPECT_STREQ(first->name, "Object-002_");  // being renamed
  FinishTextEdit();

  SceneObject* child = CreateObject(first);
  RunPasses(1);
  // Rows: Scene, Camera, Object-002, its child; entry 5 of an object's menu is "new object".
  ChooseFromMenuAt(ObjectRow(3), 5);
  ASSERT_EQ(first->childCount, 3);
  EXPECT_EQ(project.selected, first->children[2]);
  EXPECT_NE(project.selected, child);
}

TEST_F(Commands, NewObjectInAFullParentChangesNothingAndSaysSo) {
  while (project.root->childCount < kMaxChildren) ASSERT_NE(CreateObject(nullptr), nullptr);
  project.selected = project.camera;
  EXPECT_TRUE(RunCommand(kCommandNewObject));
  EXPECT_EQ(project.root->childCount, kMaxChildren);
  EXPECT_EQ(project.selected, project.camera);
  EXPECT_FALSE(ui->editing);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_NE(dialogs.messages[0].text.find("Scene already holds 64 objects"), std::string::npos);
}

TEST_F(Commands, DeleteFreesOrdinaryObjectsOnlyAndSelectsTheParent) {
  for (SceneObject* kept : {project.root, project.camera}) {
    project.selected = kept;
    RunCommand(kCommandDeleteObject);
    EXPECT_EQ(project.selected, kept);
  }
  EXPECT_EQ(project.root->childCount, 1);

  SceneObject* a = CreateObject(nullptr);
  SceneObject* b = NewSelectedObject(nullptr);
  SceneObject* c = CreateObject(nullptr);
  CreateObject(b);
  project.selectedKey = 0;
  StartTextEdit(b->children[1]->name, kNameSize);  // a name inside the doomed subtree
  RunCommand(kCommandDeleteObject);
  EXPECT_FALSE(ui->editing);
  ASSERT_EQ(project.root->childCount, 3);
  EXPECT_EQ(project.root->children[1], a);
  EXPECT_EQ(project.root->children[2], c);
  EXPECT_EQ(project.selected, project.root);
  EXPECT_EQ(project.selectedKey, -1);

  // The image child that an alignment selects is part of its object, not a deletable object.
  project.selected = a;
  RunCommand(kCommandEditAlignment);
  SceneObject* imageChild = project.selected;
  RunCommand(kCommandDeleteObject);
  EXPECT_EQ(project.selected, imageChild);
  EXPECT_EQ(a->childCount, 1);
}

TEST_F(Commands, AttachHideRenameAndAlignmentActOnOrdinaryObjects) {
  project.selected = project.root;
  RunCommand(kCommandAttachTo);
  EXPECT_FALSE(editor.attachMode);
  RunCommand(kCommandEditAlignment);  // the root's first child is the camera
  EXPECT_EQ(project.selected, project.root);
  EXPECT_STREQ(project.camera->name, "Camera");
  RunCommand(kCommandRenameObject);
  EXPECT_FALSE(ui->editing);

  SceneObject* object = NewSelectedObject();
  RunCommand(kCommandAttachTo);
  EXPECT_TRUE(editor.attachMode);
  RunCommand(kCommandHideShow);
  EXPECT_EQ(object->hidden, 1);
  RunCommand(kCommandHideShow);
  EXPECT_EQ(object->hidden, 0);
  RunCommand(kCommandRenameObject);
  EXPECT_TRUE(ui->editing);
  EXPECT_EQ(ui->editText, object->name);
  FinishTextEdit();

  std::memset(object->name, 'n', kNameSize - 1);
  object->name[kNameSize - 1] = '\0';
  project.selectedKey = 0;
  RunCommand(kCommandEditAlignment);
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(project.alignmentParent, object);
  EXPECT_EQ(project.selected, object->children[0]);
  EXPECT_EQ(project.selectedKey, -1);
  const std::string name = project.selected->name;
  EXPECT_EQ(name.size(), static_cast<size_t>(kNameSize - 1));
  EXPECT_EQ(name.substr(name.size() - 12), "   Alignment");
}

TEST_F(Commands, ResetPositionKeepsTheLevelAndBothLevelEntriesAgree) {
  SceneObject* object = NewSelectedObject();
  SetKey(object, 0, Vec3{5, 6, 3}, 30);
  RunCommand(kCommandResetPosition);
  const Key& key = object->keys->keys[0];
  EXPECT_FLOAT_EQ(key.position.x, 0);
  EXPECT_FLOAT_EQ(key.position.y, 0);
  EXPECT_FLOAT_EQ(key.position.z, 3);
  EXPECT_FLOAT_EQ(object->state.position.z, 3);  // evaluated at once

  for (int code : {kCommandResetLevel, kCommandResetPositionLevel}) {
    SetKey(object, 0, Vec3{5, 6, 3}, 30);
    RunCommand(code);
    EXPECT_FLOAT_EQ(key.position.x, 5) << code;
    EXPECT_FLOAT_EQ(key.position.y, 6) << code;
    EXPECT_FLOAT_EQ(key.position.z, 0) << code;
    EXPECT_FLOAT_EQ(key.rotation, 30) << code;
  }
  RunCommand(kCommandResetRotation);
  EXPECT_FLOAT_EQ(key.rotation, 0);
  EXPECT_FLOAT_EQ(key.scale.x, 2);
  RunCommand(kCommandResetScale);
  EXPECT_FLOAT_EQ(key.scale.x, 1);
  EXPECT_FLOAT_EQ(key.scale.y, 1);
  EXPECT_FLOAT_EQ(key.scale.z, 1);
}

TEST_F(Commands, AResetOnAFrameWithoutAKeyCreatesItThereAndLeavesTheNeighboursAlone) {
  SceneObject* object = NewSelectedObject();
  SetKey(object, 0, Vec3{0, 0, 0}, 0);
  SetKey(object, 20, Vec3{100, 40, 2}, 90);
  project.selectedKey = 1;  // the key at frame 20
  project.currentFrame = 10;
  RunCommand(kCommandResetRotation);
  KeyTrack& track = *object->keys;
  ASSERT_EQ(track.count, 3);
  EXPECT_EQ(track.keys[1].frame, 10);
  EXPECT_FLOAT_EQ(track.keys[1].rotation, 0);
  EXPECT_NEAR(track.keys[1].position.x, 50, 1);  // the pose that was evaluated there
  EXPECT_FLOAT_EQ(track.keys[0].rotation, 0);
  EXPECT_FLOAT_EQ(track.keys[2].rotation, 90);
  EXPECT_FLOAT_EQ(track.keys[2].position.x, 100);
  EXPECT_FLOAT_EQ(track.keys[2].position.z, 2);
  EXPECT_EQ(project.selectedKey, 2);  // still the key at frame 20
  EvaluateObject(object, 10, 0);
  EXPECT_FLOAT_EQ(object->state.rotation, 0);

  // The same frame again edits that key instead of adding one.
  RunCommand(kCommandResetPosition);
  EXPECT_EQ(track.count, 3);
  EXPECT_FLOAT_EQ(track.keys[1].position.x, 0);
}

TEST_F(Commands, AFullTrackRefusesAResetAtANewFrameAndSaysSo) {
  SceneObject* object = NewSelectedObject();
  for (int frame = 1; frame < kMaxKeys; ++frame) SetKey(object, frame * 2, Vec3{1, 1, 1}, 10);
  ASSERT_EQ(object->keys->count, kMaxKeys);
  project.currentFrame = 3;
  RunCommand(kCommandResetRotation);
  EXPECT_EQ(object->keys->count, kMaxKeys);
  EXPECT_EQ(FindKeyAtFrame(*object->keys, 3), -1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("Couldn't add a key at frame 3"), std::string::npos);
  // A frame that holds a key still takes the reset.
  project.currentFrame = 4;
  RunCommand(kCommandResetRotation);
  EXPECT_FLOAT_EQ(object->keys->keys[FindKeyAtFrame(*object->keys, 4)].rotation, 0);
}

TEST_F(Commands, WithoutAKeyTrackTheResetsEditTheAlignmentPose) {
  SceneObject* object = NewSelectedObject();
  RunCommand(kCommandEditAlignment);
  SceneObject* child = project.selected;
  ASSERT_EQ(child, object->children[0]);
  child->state.position = Vec3{7, 8, 4};
  child->state.rotation = 45;
  child->state.scale = Vec3{3, 3, 3};
  RunCommand(kCommandResetPosition);
  EXPECT_FLOAT_EQ(child->state.position.x, 0);
  EXPECT_FLOAT_EQ(child->state.position.z, 4);
  RunCommand(kCommandResetLevel);
  EXPECT_FLOAT_EQ(child->state.position.z, 0);
  RunCommand(kCommandToggleAutoVelocity);  // keys only
  RunCommand(kCommandResetRotation);
  RunCommand(kCommandResetScale);
  EXPECT_FLOAT_EQ(child->state.rotation, 0);
  EXPECT_FLOAT_EQ(child->state.scale.y, 1);
  EXPECT_EQ(object->keys->count, 1);
}

TEST_F(Commands, AutoManualVelocityTogglesTheCurrentKey) {
  SceneObject* object = NewSelectedObject();
  project.currentFrame = 5;
  RunCommand(kCommandToggleAutoVelocity);
  const int index = FindKeyAtFrame(*object->keys, 5);
  ASSERT_GE(index, 0);
  EXPECT_EQ(object->keys->keys[index].autoVelocity, 0);
  RunCommand(kCommandToggleAutoVelocity);
  EXPECT_EQ(object->keys->keys[index].autoVelocity, 1);
}

TEST_F(Commands, KeyModesActOnTheSelectedKeyWhileItExists) {
  SceneObject* object = NewSelectedObject();
  SetKey(object, 10, Vec3{}, 0);
  project.selectedKey = -1;
  RunCommand(kCommandModeManual);
  EXPECT_EQ(object->keys->keys[0].mode, kAuto);
  EXPECT_EQ(object->keys->keys[1].mode, kAuto);

  project.selectedKey = 1;
  const std::pair<int, int> modes[] = {{kCommandModeManual, kManual},
                                       {kCommandModeCorner, kCorner},
                                       {kCommandModeStationary, kStationary},
                                       {kCommandModeAuto, kAuto}};
  for (const auto& [code, mode] : modes) {
    RunCommand(code);
    EXPECT_EQ(object->keys->keys[1].mode, mode) << code;
    EXPECT_EQ(object->keys->keys[0].mode, kAuto) << code;
  }
  // A key index left behind by a delete names nothing now.
  DeleteKey(*object->keys, 1);
  RunCommand(kCommandModeCorner);
  EXPECT_EQ(object->keys->count, 1);
  EXPECT_EQ(object->keys->keys[0].mode, kAuto);
}

TEST_F(Commands, ViewCommandsAndMute) {
  RunCommand(kCommandCameraView);
  EXPECT_EQ(editor.viewMode, kCameraView);
  RunCommand(kCommandEditView);
  EXPECT_EQ(editor.viewMode, kEditView);
  project.viewPanX = 30;
  project.viewPanY = -12;
  project.viewZoom = 2.5f;
  RunCommand(kCommandResetEditView);
  EXPECT_EQ(project.viewPanX, 0);
  EXPECT_EQ(project.viewPanY, 0);
  EXPECT_EQ(project.viewZoom, 1.0f);

  EXPECT_FALSE(muted);
  RunCommand(kCommandMute);
  EXPECT_TRUE(muted);
  RunCommand(kCommandMute);
  EXPECT_FALSE(muted);

  // The view's background menu: entry 1 is "camera view".
  ChooseFromMenuAt(InView(300, 300), 1);
  EXPECT_EQ(editor.viewMode, kCameraView);
}

TEST_F(Commands, AnFpsEntryChangesTheFrameRateAndNothingElse) {
  project.currentFrame = 17;
  project.playStart = 5;
  project.playEnd = 40;
  project.selected = CreateObject(nullptr);
  const int expected[8] = {10, 12, 15, 24, 25, 30, 50, 60};
  for (int i = 0; i < 8; ++i) {
    const ProjectState before = project;
    const EditorState editorBefore = editor;
    EXPECT_TRUE(RunCommand(kCommandFps10 + i));
    EXPECT_EQ(project.fps, expected[i]);
    EXPECT_EQ(project.currentFrame, before.currentFrame);
    EXPECT_EQ(project.playStart, before.playStart);
    EXPECT_EQ(project.playEnd, before.playEnd);
    EXPECT_EQ(project.selected, before.selected);
    EXPECT_EQ(project.selectedKey, before.selectedKey);
    EXPECT_EQ(project.viewZoom, before.viewZoom);
    EXPECT_EQ(project.root->childCount, before.root->childCount);
    EXPECT_EQ(editor.viewMode, editorBefore.viewMode);
    EXPECT_EQ(editor.selectionStart, editorBefore.selectionStart);
    EXPECT_EQ(editor.selectedClip, editorBefore.selectedClip);
    EXPECT_EQ(editor.animationPlaying, editorBefore.animationPlaying);
    EXPECT_EQ(muted.load(), false);
    EXPECT_FALSE(ui->editing);
  }
  RunCommand(138);  // no such entry
  EXPECT_EQ(project.fps, 60);
}

TEST_F(Commands, AClipKeepsItsFrameWhenTheFrameRateChangesAsTheSavedProjectLoads) {
  MakeWorkDirectory();
  WriteWav("beep.wav");
  ASSERT_EQ(InsertAudioClip("beep.wav", 30, 1), 0);
  ASSERT_EQ(GetClip(0)->startSample.load(), 44100);
  const int columnsAt30 = GetClip(0)->wave->overviewLength;
  RunCommand(kCommandFps10 + 7);  // 60 fps
  EXPECT_EQ(GetClip(0)->startFrame, 30);
  EXPECT_EQ(GetClip(0)->startSample.load(), 22050) << "heard where it is drawn";
  EXPECT_EQ(GetClip(0)->wave->overviewLength, 2 * columnsAt30) << "drawn twice as wide";

  // What the session plays is what the saved project plays after loading.
  const std::string path = workDirectory_ + "/retimed.tvp";
  ASSERT_TRUE(SaveProject(path.c_str()));
  const int32_t sessionStart = GetClip(0)->startSample.load();
  ASSERT_TRUE(LoadProject(path.c_str()));
  ASSERT_EQ(ClipCount(), 1);
  EXPECT_EQ(GetClip(0)->startSample.load(), sessionStart);
  EXPECT_EQ(GetClip(0)->wave->overviewLength, 2 * columnsAt30);
}

// The mixer plays the order published to it; a frame rate change must publish the new starts,
// or the clip is heard late or not at all until the project is loaded again.
TEST_F(Commands, AfterAFrameRateChangeAClipSoundsAsItDoesAfterReloading) {
  MakeWorkDirectory();
  std::vector<int16_t> ramp(8000);
  for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = static_cast<int16_t>(3 * k);
  ASSERT_TRUE(audiotest::WriteFile(workDirectory_ + "/ramp.wav", audiotest::Wav16(ramp)));
  ASSERT_EQ(InsertAudioClip("ramp.wav", 30, 1), 0);
  // From frame 29 for two frames: the frame before the clip and its first frame.
  auto heardAround = [] {
    exporting = true;  // keeps the stream's callback (if there is a device) out of the way
    AudioPlay(29);
    std::vector<float> out(2 * 2 * 44100 / project.fps);
    MixAudio(out.data(), static_cast<int>(out.size() / 2));
    AudioStop();
    exporting = false;
    return out;
  };
  const std::vector<float> at30 = heardAround();
  for (int fps : {60, 12, 25}) {
    SCOPED_TRACE(fps);
    RunCommand(kCommandFps10 + (fps == 60 ? 7 : fps == 12 ? 1 : 4));
    ASSERT_EQ(project.fps, fps);
    const std::vector<float> session = heardAround();
    const std::string path = workDirectory_ + "/retimed.tvp";
    ASSERT_TRUE(SaveProject(path.c_str()));
    ASSERT_TRUE(LoadProject(path.c_str()));
    EXPECT_EQ(heardAround(), session);
    EXPECT_NE(session.back(), 0.0f) << "the clip sounds on its frame";
    EXPECT_EQ(session.front(), 0.0f) << "and not before it";
  }
  EXPECT_NE(at30.back(), 0.0f);
}

TEST_F(Commands, ClipCommandsActOnTheSelectedClipWhileItExists) {
  MakeWorkDirectory();
  WriteWav("beep.wav");
  ASSERT_EQ(InsertAudioClip("beep.wav", 10, 1), 0);
  ASSERT_EQ(InsertAudioClip("beep.wav", 30, 2), 1);
  editor.selectedClip = 1;
  GetClip(1)->pan = 0.5f;
  RunCommand(kCommandResetClipPan);
  EXPECT_EQ(GetClip(1)->pan.load(), 0.0f);

  RunCommand(kCommandRenameClip);
  EXPECT_TRUE(ui->editing);
  EXPECT_EQ(ui->editText, GetClip(1)->label);
  RunCommand(kCommandDeleteClip);  // the label being typed goes with its clip
  EXPECT_FALSE(ui->editing);
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_EQ(GetClip(0)->startFrame, 10);
  EXPECT_EQ(editor.selectedClip, -1);

  for (int stale : {-1, 1, 7}) {
    editor.selectedClip = stale;
    RunCommand(kCommandDeleteClip);
    RunCommand(kCommandRenameClip);
    RunCommand(kCommandResetClipPan);
    EXPECT_EQ(ClipCount(), 1);
    EXPECT_FALSE(ui->editing);
  }
}

TEST_F(Commands, ImportSoundPlacesAClipWhereTheLaneMenuOpened) {
  const std::string folder = MakeWorkDirectory();
  WriteWav("step.wav");
  editor.laneMenuFrame = 25;
  editor.laneMenuRow = 3;
  dialogs.fileAnswers = {folder + "/step.wav"};
  RunCommand(kCommandImportSound);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].kind, kWavFiles);
  EXPECT_STREQ(dialogs.requests[0].title, "Load");
  ASSERT_EQ(ClipCount(), 1);
  EXPECT_STREQ(GetClip(0)->fileName, "step.wav");
  EXPECT_EQ(GetClip(0)->startFrame, 25);
  EXPECT_EQ(GetClip(0)->row, 3);
  EXPECT_EQ(editor.selectedClip, 0);
  EXPECT_TRUE(dialogs.messages.empty());

  RunCommand(kCommandImportSound);  // cancelled
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Commands, ASoundThatCannotBeLoadedShowsItsMessage) {
  const std::string folder = MakeWorkDirectory();
  WriteText("noise.wav", "this is no RIFF file");
  dialogs.fileAnswers = {folder + "/noise.wav"};
  RunCommand(kCommandImportSound);
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(editor.selectedClip, -1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_EQ(dialogs.messages[0].text, "Couldn't load sample (needs uncompressed wav)");
  EXPECT_TRUE(dialogs.messages[0].warning);

  // A pipe named like a sound and a sound too large for the memory left say why, and the
  // program carries on.
  ASSERT_EQ(mkfifo((folder + "/pipe.wav").c_str(), 0600), 0);
  ASSERT_TRUE(audiotest::WriteFile(folder + "/long.wav",
                                   audiotest::Wav16(std::vector<int16_t>(441000, 100))));
  dialogs.fileAnswers = {folder + "/pipe.wav", folder + "/long.wav"};
  RunCommand(kCommandImportSound);
  {
    testalloc::RefuseLargeAllocations scarce(1 << 20);
    RunCommand(kCommandImportSound);
  }
  EXPECT_EQ(ClipCount(), 0);
  ASSERT_EQ(dialogs.messages.size(), 3u);
  EXPECT_EQ(dialogs.messages[1].text, "Couldn't load sample pipe.wav: not a regular file");
  EXPECT_EQ(dialogs.messages[2].text, "Couldn't load sample long.wav: not enough memory");
}

TEST_F(Commands, ASoundOutsideTheProjectsFolderIsRefusedWithTheReason) {
  MakeWorkDirectory();
  const fs::path elsewhere = fs::path(workDirectory_) / "elsewhere";
  fs::create_directories(elsewhere);
  WriteWav("elsewhere/far.wav");
  dialogs.fileAnswers = {(elsewhere / "far.wav").string()};
  RunCommand(kCommandImportSound);
  EXPECT_EQ(ClipCount(), 0);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("far.wav is not in the project's folder"),
            std::string::npos);
}

TEST_F(Commands, AnUnsavedProjectTakesTheFolderOfTheFirstImportedSound) {
  const std::string folder = MakeWorkDirectory();
  WriteWav("drum.wav");
  project.workPath[0] = '\0';  // never saved
  dialogs.fileAnswers = {folder + "/drum.wav"};
  RunCommand(kCommandImportSound);
  EXPECT_EQ(std::string(project.workPath), folder + "/");
  ASSERT_EQ(ClipCount(), 1);
  EXPECT_NE(GetClip(0)->wave, nullptr);
  EXPECT_STREQ(GetClip(0)->fileName, "drum.wav");
}

// Export through the command: the files of the play range, the frame put back, the frame not
// presented, and what the user is told.
class ExportCommand : public Commands {
 protected:
  void SetUp() override {
    Commands::SetUp();
    folder = MakeWorkDirectory();
    project.playStart = 0;
    project.playEnd = 2;
    project.currentFrame = 40;
  }
  std::string folder;
};

TEST_F(ExportCommand, ExportWritesThePlayRangeRestoresTheFrameAndIsNotPresented) {
  dialogs.fileAnswers = {folder + "/walk.png"};
  EXPECT_FALSE(RunCommand(kCommandExport));
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_TRUE(dialogs.requests[0].save);
  EXPECT_EQ(dialogs.requests[0].kind, kExportFiles);
  for (const char* name : {"walk_frame0000.png", "walk_frame0001.png", "walk_frame0002.png",
                           "walk_audio.wav"}) {
    EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
  }
  EXPECT_FALSE(fs::exists(folder + "/walk_frame0003.png"));
  EXPECT_EQ(project.currentFrame, 40);
  EXPECT_FALSE(exporting);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Info");
  EXPECT_EQ(dialogs.messages[0].text, "Export completed");
  EXPECT_FALSE(dialogs.messages[0].warning);

  dialogs.fileAnswers = {folder + "/blur.png"};
  EXPECT_FALSE(RunCommand(kCommandExportMotionBlur));
  EXPECT_TRUE(fs::exists(folder + "/blur_frame0002.png"));
  EXPECT_EQ(project.currentFrame, 40);
}

TEST_F(ExportCommand, ACancelledDialogExportsNothingAndTheFrameIsPresented) {
  EXPECT_TRUE(RunCommand(kCommandExport));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(ExportCommand, AFailedExportSaysWhatFailedInsteadOfCompleted) {
  dialogs.fileAnswers = {folder + "/no/such/dir/walk.png"};
  EXPECT_FALSE(RunCommand(kCommandExport));
  EXPECT_EQ(project.currentFrame, 40);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_TRUE(dialogs.messages[0].warning);
  EXPECT_NE(dialogs.messages[0].text.find("walk_frame0000.png"), std::string::npos)
      << dialogs.messages[0].text;
}

TEST_F(ExportCommand, APlayRangeEndingBeforeItsStartExportsNothingAndSaysSo) {
  project.playStart = 30;
  project.playEnd = 10;
  dialogs.fileAnswers = {folder + "/walk.png"};
  RunCommand(kCommandExport);
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(project.currentFrame, 40);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_EQ(dialogs.messages[0].text.rfind("Nothing to export", 0), 0u)
      << dialogs.messages[0].text;
}

TEST_F(ExportCommand, TheViewMenuExportsAndTheNextFrameIsDrawnAtTheOldFrame) {
  dialogs.fileAnswers = {folder + "/menu.png"};
  ChooseFromMenuAt(InView(300, 300), 3);  // "export animation"
  EXPECT_TRUE(fs::exists(folder + "/menu_frame0002.png"));
  EXPECT_EQ(project.currentFrame, 40);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "Export completed");
}

}  // namespace
