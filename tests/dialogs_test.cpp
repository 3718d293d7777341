#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>

#include "platform/dialogs.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "tests/harness.h"

namespace {

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRememberedFileNames();
    SetDialogBackend(&scripted);
  }
  void TearDown() override { SetDialogBackend(nullptr); }
  ScriptedDialogs scripted;
};

TEST_F(Dialogs, EachKindHasItsTitleAndFilter) {
  char path[kDialogPathSize] = "";
  scripted.fileAnswers = {"/tmp/a.tvp", "/tmp/b.png", "/tmp/c.wav"};
  EXPECT_TRUE(ChooseSaveFile(path, kProjectFiles));
  EXPECT_TRUE(ChooseOpenFile(path, kPngFiles));
  EXPECT_TRUE(ChooseOpenFile(path, kWavFiles));
  ASSERT_EQ(scripted.requests.size(), 3u);
  EXPECT_TRUE(scripted.requests[0].save);
  EXPECT_STREQ(scripted.requests[0].title, "Save As");
  ASSERT_EQ(scripted.requests[0].filterCount, 1);
  EXPECT_STREQ(scripted.requests[0].filters[0].label, "Project Files (*.tvp)");
  EXPECT_STREQ(scripted.requests[0].filters[0].pattern, "*.tvp");
  EXPECT_FALSE(scripted.requests[1].save);
  EXPECT_STREQ(scripted.requests[1].title, "Load");
  EXPECT_STREQ(scripted.requests[1].filters[0].label, "PNG Files (*.png)");
  EXPECT_STREQ(scripted.requests[2].filters[0].label, "WAV Files (*.wav)");
  EXPECT_STREQ(scripted.requests[2].filters[0].pattern, "*.wav");
  EXPECT_STREQ(path, "/tmp/c.wav");

  // An export offers pictures first, then the films; picking a type renames what was typed.
  scripted.fileAnswers = {"/tmp/d.png"};
  EXPECT_TRUE(ChooseSaveFile(path, kExportFiles));
  ASSERT_EQ(scripted.requests[3].filterCount, 4);
  const char* labels[] = {"PNG Files (*.png)", "MP4 video (*.mp4)", "WebM video (*.webm)",
                          "GIF animation (*.gif)"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(scripted.requests[3].filters[i].label, labels[i]);
  char renamed[kDialogPathSize];
  const char* cases[][3] = {{"walk.png", "*.mp4", "walk.mp4"},
                            {"walk", "*.webm", "walk.webm"},
                            {"walk.webm", "*.gif", "walk.gif"},
                            {"walk.v2.final", "*.png", "walk.v2.final.png"},
                            {"my.film/walk", "*.gif", "my.film/walk.gif"}};
  for (const auto& c : cases) {
    NameWithExtensionOf(c[0], c[1], renamed, sizeof renamed);
    EXPECT_STREQ(renamed, c[2]) << c[0];
  }
}

TEST_F(Dialogs, EachKindStartsFromItsLastChosenName) {
  char path[kDialogPathSize] = "";
  scripted.fileAnswers = {"/work/walk.tvp", "/work/arm.png", "", "/work/run.tvp"};
  ChooseSaveFile(path, kProjectFiles);
  ChooseOpenFile(path, kPngFiles);
  EXPECT_FALSE(ChooseOpenFile(path, kProjectFiles));  // cancelled
  EXPECT_STREQ(path, "/work/arm.png");                // untouched by the cancel
  ChooseOpenFile(path, kProjectFiles);
  ChooseOpenFile(path, kProjectFiles);
  ChooseOpenFile(path, kPngFiles);
  ChooseOpenFile(path, kWavFiles);
  ASSERT_EQ(scripted.requestStartNames.size(), 7u);
  EXPECT_EQ(scripted.requestStartNames[0], "");
  EXPECT_EQ(scripted.requestStartNames[1], "");
  EXPECT_EQ(scripted.requestStartNames[2], "/work/walk.tvp");
  EXPECT_EQ(scripted.requestStartNames[3], "/work/walk.tvp");
  EXPECT_EQ(scripted.requestStartNames[4], "/work/run.tvp");
  EXPECT_EQ(scripted.requestStartNames[5], "/work/arm.png");
  EXPECT_EQ(scripted.requestStartNames[6], "");
}

TEST_F(Dialogs, MessagesAndQuestionsAreRecordedAndAnswered) {
  ShowMessage("Error", "Couldn't load project", true);
  ShowMessage("Info", "Export completed", false);
  ASSERT_EQ(scripted.messages.size(), 2u);
  EXPECT_EQ(scripted.messages[0].caption, "Error");
  EXPECT_EQ(scripted.messages[0].text, "Couldn't load project");
  EXPECT_TRUE(scripted.messages[0].warning);
  EXPECT_FALSE(scripted.messages[1].warning);

  scripted.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  EXPECT_EQ(AskSaveChanges("Save changes to walk.tvp?"), SaveChangesAnswer::kDiscard);
  EXPECT_EQ(AskSaveChanges("Save changes to walk.tvp?"), SaveChangesAnswer::kCancel);
  EXPECT_EQ(scripted.questions.size(), 2u);
}

TEST_F(Dialogs, KeysHeldWhenADialogOpensMustBePressedAgain) {
  EnsureGLContext();
  FreeInputDevices();
  CreateInputDevices();
  PollInputDevices();  // the first pass sees nothing
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.scancode = SDL_SCANCODE_LCTRL;
  SDL_PushEvent(&event);
  event.key.keysym.scancode = SDL_SCANCODE_S;
  SDL_PushEvent(&event);
  DrainEvents();
  PollInputDevices();
  ASSERT_TRUE(KeyDown(kKeyLeftCtrl) && KeyDown(kKeyS));

  char path[kDialogPathSize];
  scripted.fileAnswers = {"/tmp/x.tvp"};
  ChooseSaveFile(path, kProjectFiles);
  EXPECT_FALSE(KeyDown(kKeyS));
  DrainEvents();
  PollInputDevices();
  EXPECT_FALSE(KeyDown(kKeyLeftCtrl));
  EXPECT_FALSE(KeyDown(kKeyS));
  FreeInputDevices();
}

TEST(BatchDialogs, ChooseNothingAndCancelQuestions) {
  SetDialogBackend(BatchDialogs());
  char path[kDialogPathSize] = "unchanged";
  EXPECT_FALSE(ChooseOpenFile(path, kProjectFiles));
  EXPECT_STREQ(path, "unchanged");
  EXPECT_EQ(AskSaveChanges("Save changes?"), SaveChangesAnswer::kCancel);
}

}  // namespace
