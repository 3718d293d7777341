// Undo and redo through the keys, the steps a gesture makes, the '*' of unsaved changes in the
// title, and the question before closing or loading over unsaved changes.
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "editor/commands.h"
#include "editor/history.h"
#include "platform/dialogs.h"
#include "platform/input.h"
#include "project/project_file.h"
#include "tests/audio_fixtures.h"
#include "tests/editor_driver.h"
#include "tests/image_fixture.h"
#include "tests/project_fixtures.h"

namespace {

using Bytes = std::vector<uint8_t>;

class History : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
    folder = MakeWorkDirectory();
    object = CreateObject(nullptr);
    CopyName(object->name, kNameSize, "arm");
    project.selected = object;
    RunPasses(1);
    Nudge();  // the set-up above is the first step
  }
  void TearDown() override {
    if (ui->editing) FinishTextEdit();
    SetDialogBackend(nullptr);
    quitFlag = 0;
    EditorTest::TearDown();
  }

  // Moves the pointer a little: a pass with input, after which the history looks for edits.
  void Nudge() {
    MoveMouse(Point{1020, mouseState.y == 700 ? 701 : 700});
  }
  void Chord(int modifier, int key, int second = -1) {
    HoldKey(modifier);
    if (second >= 0) HoldKey(second);
    PressKey(key);
    if (second >= 0) ReleaseKey(second);
    ReleaseKey(modifier);
    RunPasses(1);
  }
  void Undo() { Chord(kKeyLeftCtrl, kKeyZ); }
  void Redo() { Chord(kKeyLeftCtrl, kKeyY); }
  void RedoWithShift() { Chord(kKeyLeftCtrl, kKeyZ, kKeyLeftShift); }

  // The edit changes the project; one undo gives back exactly the bytes before it and one redo
  // those after it, at the same frame.
  void ExpectOneStep(const char* what, const std::function<void()>& edit) {
    SCOPED_TRACE(what);
    const Bytes before = WriteProject();
    const int steps = UndoStepCount();
    edit();
    Nudge();
    const Bytes after = WriteProject();
    ASSERT_NE(after, before) << "the edit changed nothing";
    EXPECT_EQ(UndoStepCount(), steps + 1);
    Undo();
    EXPECT_EQ(WriteProject(), before);
    Redo();
    EXPECT_EQ(WriteProject(), after);
  }

  // Undo and redo rebuild the tree: objects are found again by name.
  static SceneObject* Named(const char* name, SceneObject* from = nullptr) {
    if (from == nullptr) from = project.root;
    if (std::strcmp(from->name, name) == 0) return from;
    for (int i = 0; i < from->childCount; ++i) {
      if (SceneObject* found = Named(name, from->children[i])) return found;
    }
    return nullptr;
  }

  void WriteWav(const std::string& name) {
    ASSERT_TRUE(audiotest::WriteFile(folder + "/" + name,
                                     audiotest::Wav16(std::vector<int16_t>(4410, 1000))));
  }

  ScriptedDialogs dialogs;
  std::string folder;
  SceneObject* object = nullptr;
};

TEST_F(History, EveryKindOfEditIsUndoneAndRedoneToTheSameBytes) {
  ASSERT_TRUE(WriteSolidPng(folder + "/hand.png"));
  WriteWav("beep.wav");
  project.currentFrame = 12;
  RunPasses(1);

  ExpectOneStep("new object", [] {
    RunCommand(kCommandNewSibling);
    FinishTextEdit();
  });
  project.selected = Named("arm");
  ExpectOneStep("rename", [&] {
    RunCommand(kCommandRenameObject);
    TypeAtEnd("x");
    FinishTextEdit();
  });
  EXPECT_EQ(project.selected, Named("armx")) << "the selection is found again";
  ExpectOneStep("hide", [] { RunCommand(kCommandHideShow); });
  ExpectOneStep("delete", [&] {
    project.selected = project.root->children[project.root->childCount - 1];
    RunCommand(kCommandDeleteObject);
  });
  ExpectOneStep("attach", [&] {
    SceneObject* other = CreateObject(nullptr);
    CopyName(other->name, kNameSize, "body");
    AttachTo(Named("armx"), other);
  });
  project.selected = Named("armx");
  ExpectOneStep("key reset creates a key", [] { RunCommand(kCommandResetRotation); });
  ExpectOneStep("key mode", [] {
    project.selectedKey = 0;
    RunCommand(kCommandModeStationary);
  });
  ExpectOneStep("play range", [&] { Chord(kKeyLeftCtrl, kKeyHome); });
  ExpectOneStep("frame rate", [] { RunCommand(kCommandFps10 + 3); });
  ExpectOneStep("image import", [&] {
    dialogs.fileAnswers = {folder + "/hand.png"};
    RunCommand(kCommandImportNewImage);
  });
  ExpectOneStep("flip", [] {
    editor.selectedImageRow = 1;
    RunCommand(kCommandFlipHorizontally);
  });
  ExpectOneStep("frame image", [] {
    // The first import shows its image on every frame; frame 20 now shows nothing.
    SetFrameImage(*project.selected->children[0]->images, 20, 0);
  });
  ExpectOneStep("sound import", [&] {
    dialogs.fileAnswers = {folder + "/beep.wav"};
    editor.laneMenuFrame = 5;
    editor.laneMenuRow = 2;
    RunCommand(kCommandImportSound);
  });
  ExpectOneStep("clip volume and pan", [] {
    GetClip(0)->volume = 0.25f;
    GetClip(0)->pan = -0.5f;
  });
  ExpectOneStep("clip move", [] { MoveClip(0, 40, 3); });
  ExpectOneStep("clip delete", [] {
    editor.selectedClip = 0;
    RunCommand(kCommandDeleteClip);
  });
  EXPECT_EQ(project.currentFrame, 12) << "undo keeps the current frame";
  EXPECT_EQ(project.selected, Named("armx")) << "and the selected object";
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(History, ADragIsOneStepAndUndoWaitsUntilItEnds) {
  const Bytes before = WriteProject();
  const int steps = UndoStepCount();
  const Point p = PivotOf(object);
  Press(p);
  DragTo(Point{p.x + 60, p.y + 20}, 8);
  // Undo in the middle of the drag does nothing.
  Chord(kKeyLeftCtrl, kKeyZ);
  DragTo(Point{p.x + 80, p.y + 30}, 4);
  EXPECT_EQ(UndoStepCount(), steps);
  Release();
  Nudge();
  EXPECT_EQ(UndoStepCount(), steps + 1);
  const Bytes dragged = WriteProject();
  EXPECT_NE(dragged, before);
  Undo();
  EXPECT_EQ(WriteProject(), before);
  RedoWithShift();
  EXPECT_EQ(WriteProject(), dragged);
}

TEST_F(History, UndoWhileANameIsTypedDoesNothing) {
  RunCommand(kCommandRenameObject);
  RunPasses(1);
  ASSERT_TRUE(ui->editing);
  const int steps = UndoStepCount();
  Chord(kKeyLeftCtrl, kKeyZ);
  EXPECT_TRUE(ui->editing);
  EXPECT_EQ(project.selected, object);
  EXPECT_EQ(ui->editText, object->name) << "the name being typed still belongs to the object";
  TypeAtEnd("y");
  FinishTextEdit();
  Nudge();
  EXPECT_EQ(UndoStepCount(), steps + 1);
  EXPECT_STREQ(object->name, "army");
  Undo();
  EXPECT_STREQ(project.selected->name, "arm");
  EXPECT_EQ(project.selected, Named("arm"));
}

TEST_F(History, ANewEditEndsRedoAndFarStepsStayReachable) {
  RunCommand(kCommandHideShow);
  Nudge();
  Undo();
  EXPECT_EQ(RedoStepCount(), 1);
  RunCommand(kCommandFps10);
  Nudge();
  EXPECT_EQ(RedoStepCount(), 0);
  Redo();  // nothing to redo: nothing changes
  EXPECT_EQ(project.fps, 10);

  const Bytes start = WriteProject();
  for (int i = 0; i < 120; ++i) {
    RunCommand(kCommandFps10 + (i % 2 == 0 ? 7 : 0));
    Nudge();
  }
  for (int i = 0; i < 120; ++i) ASSERT_TRUE(UndoEdit()) << i;
  EXPECT_EQ(WriteProject(), start);
  for (int i = 0; i < kMaxUndoSteps + 20; ++i) {
    RunCommand(kCommandFps10 + (i % 2 == 0 ? 7 : 0));
    Nudge();
  }
  EXPECT_EQ(UndoStepCount(), kMaxUndoSteps);
}

TEST_F(History, TheTitleShowsTheFileAndAStarWhileChangesAreUnsaved) {
  StartEditor();
  RunPasses(1);
  EXPECT_STREQ(WindowTitle(), "Tavoka");
  EXPECT_FALSE(HasUnsavedChanges());
  project.currentFrame = 30;  // moving in time is no change
  Nudge();
  EXPECT_FALSE(HasUnsavedChanges());

  RunCommand(kCommandNewObject);
  FinishTextEdit();
  Nudge();
  EXPECT_STREQ(WindowTitle(), "Tavoka - Untitled*");

  const std::string path = folder + "/walk.tvp";
  dialogs.fileAnswers = {path};
  Chord(kKeyLeftCtrl, kKeyS);
  EXPECT_STREQ(WindowTitle(), "Tavoka - walk.tvp");
  EXPECT_STREQ(ProjectPath(), path.c_str());

  RunCommand(kCommandHideShow);
  Nudge();
  EXPECT_STREQ(WindowTitle(), "Tavoka - walk.tvp*");
  Undo();
  EXPECT_STREQ(WindowTitle(), "Tavoka - walk.tvp") << "back at the saved state";
  Undo();
  EXPECT_STREQ(WindowTitle(), "Tavoka - walk.tvp*") << "before the save";

  ASSERT_TRUE(LoadProject(path.c_str()));
  RunPasses(1);
  EXPECT_STREQ(WindowTitle(), "Tavoka - walk.tvp");
  EXPECT_EQ(UndoStepCount(), 0) << "a loaded project starts its own history";
}

TEST_F(History, ClosingWithUnsavedChangesAsksAndEachAnswerDoesWhatItSays) {
  const std::string path = folder + "/walk.tvp";
  ASSERT_TRUE(SaveProject(path.c_str()));
  RunCommand(kCommandHideShow);
  Nudge();
  ASSERT_TRUE(HasUnsavedChanges());

  // Cancel: the editor stays open with its changes.
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kCancel};
  quitFlag = 1;
  EXPECT_TRUE(RunMainLoopPass());
  EXPECT_EQ(quitFlag, 0);
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0], "Save changes to walk.tvp?");
  EXPECT_TRUE(HasUnsavedChanges());

  // Save, failing: the editor stays open.
  SetSaveFaultHook([](SaveStep) { return false; });
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kSave};
  quitFlag = 1;
  EXPECT_TRUE(RunMainLoopPass());
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(dialogs.messages.back().text, "Couldn't save project " + path + ": Input/output error");
  EXPECT_TRUE(HasUnsavedChanges());

  // Save: written to the project's own file, then the loop ends.
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kSave};
  quitFlag = 1;
  EXPECT_FALSE(RunMainLoopPass());
  EXPECT_FALSE(HasUnsavedChanges());
  EXPECT_EQ(projecttest::ReadBytes(path), WriteProject());
  quitFlag = 0;

  // Discard: the loop ends and the file stays as it was.
  RunCommand(kCommandFps10);
  Nudge();
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  quitFlag = 1;
  EXPECT_FALSE(RunMainLoopPass());
  EXPECT_NE(projecttest::ReadBytes(path), WriteProject());
  quitFlag = 0;

  // Nothing unsaved: no question.
  ASSERT_TRUE(SaveProject(path.c_str()));
  const size_t asked = dialogs.questions.size();
  quitFlag = 1;
  EXPECT_FALSE(RunMainLoopPass());
  EXPECT_EQ(dialogs.questions.size(), asked);
}

TEST_F(History, LoadingOverUnsavedChangesAsksFirst) {
  const std::string path = folder + "/other.tvp";
  ASSERT_TRUE(SaveProject(path.c_str()));
  RunCommand(kCommandHideShow);
  Nudge();
  const Bytes edited = WriteProject();

  dialogs.saveChangesAnswers = {SaveChangesAnswer::kCancel};
  Chord(kKeyLeftCtrl, kKeyL);
  EXPECT_TRUE(dialogs.requests.empty()) << "cancel: no file dialog";
  EXPECT_EQ(WriteProject(), edited);

  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  dialogs.fileAnswers = {path};
  Chord(kKeyLeftCtrl, kKeyL);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_FALSE(Named("arm")->hidden) << "the file's project is open";
  EXPECT_FALSE(HasUnsavedChanges());
}

// Closing while a new object's name is typed: the object counted as a change from the start, and
// what is saved is the typed name without the text cursor.
TEST_F(History, ANewObjectCountsAtOnceAndClosingWhileItsNameIsTypedKeepsTheName) {
  StartEditor();
  RunPasses(1);
  RunCommand(kCommandNewObject);
  ASSERT_TRUE(ui->editing);
  EXPECT_STREQ(WindowTitle(), "Tavoka - Untitled*") << "before its name is typed";
  const std::string name(project.selected->name, std::strlen(project.selected->name) - 1);
  TypeAtEnd("Kite");
  const std::string path = folder + "/kite.tvp";
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kSave};
  dialogs.fileAnswers = {path};
  quitFlag = 1;
  EXPECT_FALSE(RunMainLoopPass());
  quitFlag = 0;
  ASSERT_EQ(dialogs.questions.size(), 1u) << "the new object alone is worth the question";
  ASSERT_TRUE(LoadProject(path.c_str()));
  EXPECT_NE(Named((name + "Kite").c_str()), nullptr) << "saved as typed, without the cursor";
}

// Nobody to ask (no box can be shown, or the session is ending with a quit signal): the work
// goes to the recovery file, beside the project or in the user's data folder, and the program
// ends; a recovery is not a save. With nowhere to write it, the editor stays open.
TEST_F(History, WhenNobodyCanBeAskedTheWorkGoesToARecoveryFile) {
  const std::string data = folder + "/data";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  EXPECT_EQ(RecoveryFileName("/x/walk.TVP"), "walk.recovered.tvp");
  RunCommand(kCommandHideShow);
  Nudge();
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kUnavailable};
  quitFlag = 1;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(RunMainLoopPass());
  const std::string said = ::testing::internal::GetCapturedStderr();
  quitFlag = 0;
  const std::string untitled = data + "/tavoka/Untitled.recovered.tvp";
  EXPECT_EQ(projecttest::ReadBytes(untitled), WriteProject());
  EXPECT_NE(said.find(untitled), std::string::npos) << said;
  EXPECT_TRUE(HasUnsavedChanges());

  // SIGTERM while a name is typed: no question, the name without its cursor, beside the file.
  const std::string path = folder + "/walk.tvp";
  ASSERT_TRUE(SaveProject(path.c_str()));
  const Bytes saved = WriteProject();
  RunCommand(kCommandRenameObject);
  TypeAtEnd("y");
  const size_t asked = dialogs.questions.size();
  raise(SIGTERM);
  EXPECT_FALSE(RunMainLoopPass());
  quitFlag = 0;
  EXPECT_EQ(dialogs.questions.size(), asked);
  EXPECT_EQ(projecttest::ReadBytes(path), saved);
  ASSERT_TRUE(LoadProject((folder + "/walk.recovered.tvp").c_str()));
  EXPECT_NE(Named("army"), nullptr);

  // SIGHUP, the project's folder gone: the data folder.
  std::filesystem::create_directories(folder + "/gone");
  ASSERT_TRUE(SaveProject((folder + "/gone/run.tvp").c_str()));
  std::filesystem::remove_all(folder + "/gone");
  RunCommand(kCommandFps10);
  Nudge();
  raise(SIGHUP);
  EXPECT_FALSE(RunMainLoopPass());
  quitFlag = 0;
  EXPECT_EQ(projecttest::ReadBytes(data + "/tavoka/run.recovered.tvp"), WriteProject());

  StartEditor();
  RunPasses(1);
  RunCommand(kCommandNewObject);
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/root";
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kUnavailable};
  quitFlag = 1;
  EXPECT_TRUE(RunMainLoopPass());
  setenv("HOME", home.c_str(), 1);
}

}  // namespace
