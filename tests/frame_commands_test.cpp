// The per-frame keyboard commands and the playback clock, driven through the keyboard snapshot
// and a clock the test advances by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/frame_commands.h"
#include "audio/audio.h"
#include "editor/editor_state.h"
#include "platform/dialogs.h"
#include "platform/input.h"
#include "platform/stopwatch.h"
#include "project/project_file.h"
#include "scene/scene.h"
#include "tests/harness.h"
#include "ui/ui.h"

namespace {

uint64_t fakeMilliseconds = 0;
uint64_t FakeCounter() { return fakeMilliseconds; }

class FrameCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEditor();
    fakeMilliseconds = 0;
    stopwatch.Start(FakeCounter, 1000);
    ForgetHeldKeys();
    RunFrameCommands();  // a pass with no keys settles the snapshot
  }
  void TearDown() override {
    ForgetHeldKeys();
    stopwatch.Start();
  }
  static void Press(int code) { NoteKeyEvent(code, true); }
  static void Release(int code) { NoteKeyEvent(code, false); }
  static void Passes(int count) {
    for (int i = 0; i < count; ++i) RunFrameCommands();
  }
};

TEST_F(FrameCommands, AHeldArrowStepsAtOnceThenAfterSixteenPassesThenEverySecondPass) {
  Press(kKeyRight);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 1);
  Passes(15);
  EXPECT_EQ(project.currentFrame, 1);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 2);
  Passes(23);  // 40 passes in all
  EXPECT_EQ(project.currentFrame, 13);
  Release(kKeyRight);
  Passes(1);
  EXPECT_EQ(editor.stepRepeat, -1);
}

TEST_F(FrameCommands, StepsStopAtTheEndsOfTheFrameRange) {
  project.currentFrame = 1999;
  Press(kKeyRight);
  Passes(3);
  EXPECT_EQ(project.currentFrame, 1999);
  Release(kKeyRight);
  Passes(1);
  project.currentFrame = 5;
  Press(kKeyPageUp);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 0);
  Release(kKeyPageUp);
  Passes(1);
  Press(kKeyPageDown);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 12);
  Passes(20);
  EXPECT_EQ(project.currentFrame, 12);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 24);
}

TEST_F(FrameCommands, CtrlHomeSetsThePlayStartAndHomeJumpsToIt) {
  project.currentFrame = 40;
  Press(kKeyLeftCtrl);
  Press(kKeyHome);
  Passes(1);
  EXPECT_EQ(project.playStart, 40);
  EXPECT_EQ(project.currentFrame, 40);
  Release(kKeyLeftCtrl);
  Release(kKeyHome);
  Passes(1);
  project.currentFrame = 70;
  Press(kKeyRightCtrl);
  Press(kKeyEnd);
  Passes(1);
  EXPECT_EQ(project.playEnd, 70);
  Release(kKeyRightCtrl);
  Release(kKeyEnd);
  Passes(1);

  project.currentFrame = 3;
  editor.animationPlaying = 0;
  Press(kKeyHome);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 40);
  EXPECT_EQ(editor.animationPlaying, -1);
  Release(kKeyHome);
  Press(kKeyEnd);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 70);
}

TEST_F(FrameCommands, SpacePlaysThePlayRangeInAboutThreeSecondsAt30Fps) {
  ASSERT_EQ(project.playEnd, 89);
  Press(kKeySpace);
  Passes(1);
  EXPECT_EQ(editor.animationPlaying, 0);
  Release(kKeySpace);
  int passes = 0;
  while (editor.animationPlaying == 0 && passes < 1000) {
    fakeMilliseconds += 10;
    Passes(1);
    ++passes;
  }
  EXPECT_EQ(project.currentFrame, 89);
  EXPECT_EQ(editor.animationPlaying, -1);
  EXPECT_NEAR(fakeMilliseconds, 2967, 40);  // 89 frames of 1/30 s
}

TEST_F(FrameCommands, SlowPassesCatchUpOneFramePerPass) {
  Press(kKeySpace);
  Passes(1);
  Release(kKeySpace);
  fakeMilliseconds += 200;  // six frames' worth in one pass
  Passes(1);
  EXPECT_EQ(project.currentFrame, 1);
  Passes(5);
  EXPECT_EQ(project.currentFrame, 6);
  Passes(1);
  EXPECT_EQ(project.currentFrame, 6);
}

TEST_F(FrameCommands, SpaceActsOncePerPressAndStopsPlayback) {
  Press(kKeySpace);
  Passes(3);
  EXPECT_EQ(editor.animationPlaying, 0);
  Release(kKeySpace);
  Passes(1);
  Press(kKeySpace);
  Passes(1);
  EXPECT_EQ(editor.animationPlaying, -1);
  Release(kKeySpace);
  Passes(1);
  EXPECT_FALSE(sounding);  // the open-ended sound stopped with the animation
}

TEST_F(FrameCommands, PlaybackPastThePlayRangeStopsAtTheLastFrame) {
  project.currentFrame = 1990;
  project.playEnd = 89;
  Press(kKeySpace);
  Passes(1);
  Release(kKeySpace);
  for (int i = 0; i < 40; ++i) {
    fakeMilliseconds += 40;
    Passes(1);
  }
  EXPECT_EQ(project.currentFrame, 1999);
  EXPECT_EQ(editor.animationPlaying, -1);
}

TEST_F(FrameCommands, LTogglesALoopThatWrapsToThePlayStartWithItsSound) {
  project.playStart = 10;
  project.playEnd = 13;
  project.currentFrame = 10;
  Press(kKeyL);
  Passes(3);  // held: one toggle
  Release(kKeyL);
  Passes(1);
  ASSERT_TRUE(editor.loopPlayback);
  Press(kKeySpace);
  Passes(1);
  Release(kKeySpace);
  std::vector<int> frames;
  for (int i = 0; i < 9; ++i) {
    fakeMilliseconds += 34;
    Passes(1);
    frames.push_back(project.currentFrame);
    if (frames.size() == 4 && !AudioStreamOpen()) {
      EXPECT_EQ(playPosition, 10 * 44100 / 30) << "the sound starts again with the range";
    }
  }
  EXPECT_EQ(frames, (std::vector<int>{11, 12, 13, 10, 11, 12, 13, 10, 11}));
  EXPECT_EQ(editor.animationPlaying, 0);

  // Switched off while playing, the design's stop at the range's end is back.
  Press(kKeyL);
  Passes(1);
  Release(kKeyL);
  for (int i = 0; i < 5; ++i) {
    fakeMilliseconds += 34;
    Passes(1);
  }
  EXPECT_EQ(project.currentFrame, 13);
  EXPECT_EQ(editor.animationPlaying, -1);
  EXPECT_FALSE(editor.loopPlayback);

  // Ctrl+L is still the load dialog, not the loop.
  Press(kKeyLeftCtrl);
  Press(kKeyL);
  Passes(1);
  Release(kKeyL);
  Release(kKeyLeftCtrl);
  Passes(1);
  EXPECT_FALSE(editor.loopPlayback);
}

TEST_F(FrameCommands, TypingInANameFieldBlocksEveryCommand) {
  SceneObject* object = CreateObject(nullptr);
  char name[kNameSize];
  std::strcpy(name, "arm");
  StartTextEdit(name, sizeof name);
  Press(kKeySpace);
  Press(kKeyRight);
  Press(kKeyTab);
  Passes(2);
  EXPECT_EQ(editor.animationPlaying, -1);
  EXPECT_EQ(project.currentFrame, 0);
  EXPECT_EQ(editor.viewMode, kEditView);
  CancelTextEdit();
  Release(kKeySpace);
  Release(kKeyRight);
  Release(kKeyTab);
  EXPECT_EQ(object->parent, project.root);
}

TEST_F(FrameCommands, TabTogglesTheViewOncePerPressAndEscapeEndsAttachMode) {
  Press(kKeyTab);
  Passes(3);
  EXPECT_EQ(editor.viewMode, kCameraView);
  Release(kKeyTab);
  Passes(1);
  Press(kKeyTab);
  Passes(1);
  EXPECT_EQ(editor.viewMode, kEditView);
  Release(kKeyTab);
  editor.attachMode = true;
  Press(kKeyEscape);
  Passes(1);
  EXPECT_FALSE(editor.attachMode);
  Release(kKeyEscape);
}

TEST_F(FrameCommands, AInTheObjectListEditsTheAlignmentAndCutsLongNames) {
  SceneObject* object = CreateObject(nullptr);
  std::memset(object->name, 'n', kNameSize - 1);
  object->name[kNameSize - 1] = '\0';
  project.selected = object;
  editor.objectWindowActive = false;
  Press(kKeyA);
  Passes(1);
  EXPECT_EQ(project.selected, object);  // only while the object list is active
  editor.objectWindowActive = true;
  editor.attachMode = true;
  Passes(1);
  SceneObject* child = object->children[0];
  EXPECT_EQ(project.selected, child);
  EXPECT_EQ(project.alignmentParent, object);
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(std::strlen(child->name), static_cast<size_t>(kNameSize - 1));
  EXPECT_STREQ(child->name + kNameSize - 13, "   Alignment");
  Release(kKeyA);
  Passes(1);
  EXPECT_EQ(project.alignmentParent, object);  // the child has no children: it stays
  project.selected = object;
  Passes(1);
  EXPECT_EQ(project.alignmentParent, nullptr);
  editor.objectWindowActive = false;
}

TEST_F(FrameCommands, DeleteInTheImageListFreesTheSelectedEntry) {
  SceneObject* object = CreateObject(nullptr);
  ImageTrack& track = *object->children[0]->images;
  AddImageEntry(track, "arm", "arm.png");
  AddImageEntry(track, "leg", "leg.png");
  track.frameImage[3] = 2;
  project.selected = object;
  editor.imageWindowActive = true;
  editor.selectedImageRow = 2;
  Press(kKeyDelete);
  Passes(1);
  Release(kKeyDelete);
  EXPECT_STREQ(track.entries[1].file, "");
  EXPECT_STREQ(track.entries[1].name, "");
  EXPECT_STREQ(track.entries[0].file, "arm.png");
  EXPECT_EQ(track.count, 2);
  EXPECT_EQ(track.frameImage[3], 2);

  editor.selectedImageRow = 9;  // beyond the entries: nothing happens
  Press(kKeyDelete);
  Passes(1);
  Release(kKeyDelete);
  EXPECT_STREQ(track.entries[0].file, "arm.png");
  editor.imageWindowActive = false;
}

TEST_F(FrameCommands, ChangingTheFrameClearsTheKeyAndRangeSelections) {
  project.selectedKey = 0;
  editor.selectionStart = 4;
  editor.selectionEnd = 8;
  Passes(1);
  EXPECT_EQ(project.selectedKey, 0);
  Press(kKeyRight);
  Passes(1);
  Release(kKeyRight);
  EXPECT_EQ(project.selectedKey, -1);
  EXPECT_EQ(editor.selectionStart, -1);
  EXPECT_EQ(editor.selectionEnd, -1);
}

TEST_F(FrameCommands, TheTreeIsEvaluatedAtTheCurrentFrameEveryPass) {
  SceneObject* object = CreateObject(nullptr);
  Key key;
  key.frame = 10;
  key.position = Vec3{100, 0, 0};
  AddKey(*object->keys, key);
  project.currentFrame = 10;
  Passes(1);
  EXPECT_FLOAT_EQ(object->state.position.x, 100.0f);
}

}  // namespace

namespace {

class FileCommands : public FrameCommands {
 protected:
  void SetUp() override {
    FrameCommands::SetUp();
    SetDialogBackend(&dialogs);
    directory = std::filesystem::temp_directory_path() /
                ("tavoka_file_commands_" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
  }
  void TearDown() override {
    SetDialogBackend(nullptr);
    std::filesystem::remove_all(directory);
    FrameCommands::TearDown();
  }
  ScriptedDialogs dialogs;
  std::filesystem::path directory;
};

TEST_F(FileCommands, CtrlSSavesThroughTheDialogAndDoesNotReopenIt) {
  std::string path = (directory / "walk.tvp").string();
  CreateObject(nullptr);
  dialogs.fileAnswers = {path};
  Press(kKeyLeftCtrl);
  Press(kKeyS);
  Passes(3);  // still held: the dialog forgot them, so it opens once
  EXPECT_EQ(dialogs.requests.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::string(project.workPath), directory.string() + "/");
  Release(kKeyS);
  Release(kKeyLeftCtrl);
}

TEST_F(FileCommands, CtrlLLoadsAndAFailedLoadKeepsTheOpenProject) {
  std::string good = (directory / "good.tvp").string();
  std::string bad = (directory / "bad.tvp").string();
  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(good.c_str()));
  FILE* file = std::fopen(bad.c_str(), "wb");
  std::fputs("not a project", file);
  std::fclose(file);

  NewProject();
  SceneObject* a = CreateObject(nullptr);
  SceneObject* b = CreateObject(nullptr);
  dialogs.fileAnswers = {bad};
  Press(kKeyLeftCtrl);
  Press(kKeyL);
  Passes(1);
  Release(kKeyL);
  Release(kKeyLeftCtrl);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_EQ(dialogs.messages[0].text,
            "Couldn't load project " + bad + ": frame rate 544501614 is not 1 to 44100");
  EXPECT_TRUE(dialogs.messages[0].warning);
  EXPECT_EQ(project.root->childCount, 3);
  EXPECT_EQ(project.root->children[1], a);
  EXPECT_EQ(project.root->children[2], b);

  Passes(1);
  dialogs.fileAnswers = {good};
  Press(kKeyRightCtrl);
  Press(kKeyL);
  Passes(1);
  Release(kKeyL);
  Release(kKeyRightCtrl);
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(CountObjects(project.root), 4);
}

}  // namespace
