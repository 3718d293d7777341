// The file commands as a desktop editor has them, through the scripted dialogs: Ctrl+S saving to
// the project's own file, Ctrl+Shift+S, Ctrl+N, Ctrl+O and Ctrl+Q asking about unsaved changes
// first, the view menu's file entries, and the list of recent projects kept in the user's
// configuration folder (also printed by `tavoka --recent`).
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "editor/commands.h"
#include "editor/history.h"
#include "editor/recent_projects.h"
#include "platform/dialogs.h"
#include "tests/editor_driver.h"
#include "tests/program_run.h"
#include "tests/project_fixtures.h"

namespace {

class DesktopFiles : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
    folder = MakeWorkDirectory();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    savedConfig = config != nullptr ? config : "";
    setenv("XDG_CONFIG_HOME", (folder + "/config").c_str(), 1);
  }
  void TearDown() override {
    SetDialogBackend(nullptr);
    quitFlag = 0;
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    EditorTest::TearDown();
  }
  // An edit the history sees: a new object, then a pass with input.
  void Edit() {
    CreateObject(nullptr);
    MoveMouse(Point{1020, mouseState.y == 700 ? 701 : 700});
  }
  // The view's menu, opened on its empty space; the entry with label, clicked.
  bool ChooseFromViewMenu(const std::string& label) {
    Click(InView(700, 480), Button::kRight);
    if (!ui->menuOpen || ui->menuId != 10) return false;
    const MenuEntryList& menu = kMenus[10];
    for (int i = 0; i < menu.count + ui->extraCount; ++i) {
      const char* text = i < menu.count ? menu.labels[i] : ui->extraLabels[i - menu.count];
      if (label == text) {
        Click(Point{ui->menuX + 20, ui->menuY + kMenuEntryHeight * i + 5});
        return true;
      }
    }
    Click(Point{1020, 760});  // closes the menu
    return false;
  }
  std::string Path(const char* name) const { return folder + "/" + name; }

  ScriptedDialogs dialogs;
  std::string folder, savedConfig;
};

TEST_F(DesktopFiles, SaveKeepsToTheOwnFileAndNewOpenAndQuitAskBeforeDroppingChanges) {
  Edit();
  dialogs.fileAnswers = {Path("walk.tvp")};
  Chord(kKeyS);  // never saved: Save As
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_STREQ(dialogs.requests[0].title, "Save As");
  const std::vector<uint8_t> first = projecttest::ReadBytes(Path("walk.tvp"));

  // Saved once: Ctrl+S writes the same file without a dialog, once however long it is held.
  Edit();
  HoldKey(kKeyLeftCtrl);
  PressKey(kKeyS, 3);
  ReleaseKey(kKeyLeftCtrl);
  EXPECT_EQ(dialogs.requests.size(), 1u);
  EXPECT_FALSE(HasUnsavedChanges());
  EXPECT_EQ(projecttest::ReadBytes(Path("walk.tvp.bak")), first) << "one save: the first file";
  EXPECT_NE(projecttest::ReadBytes(Path("walk.tvp")), first);

  dialogs.fileAnswers = {Path("copy.tvp")};
  Chord(kKeyS, true);
  EXPECT_EQ(dialogs.requests.size(), 2u);
  EXPECT_EQ(std::string(ProjectPath()), Path("copy.tvp"));

  // New: Cancel keeps the work, Discard drops it.
  Edit();
  const int objects = CountObjects(project.root);
  Chord(kKeyN);
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions[0], "Save changes to copy.tvp?");
  EXPECT_EQ(CountObjects(project.root), objects);
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  Chord(kKeyN);
  EXPECT_EQ(CountObjects(project.root), 2);
  EXPECT_STREQ(ProjectPath(), "");

  // Open asks as well, then takes the chosen file.
  Edit();
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  dialogs.fileAnswers = {Path("walk.tvp")};
  Chord(kKeyO);
  EXPECT_EQ(dialogs.questions.size(), 3u);
  EXPECT_EQ(std::string(ProjectPath()), Path("walk.tvp"));
  EXPECT_EQ(CountObjects(project.root), objects - 2);

  // Quit: Cancel keeps the editor running; Save saves to the own file, then it ends.
  Edit();
  Chord(kKeyQ);
  EXPECT_EQ(quitFlag, 0);
  EXPECT_EQ(dialogs.questions.size(), 4u);
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kSave};
  HoldKey(kKeyLeftCtrl);
  HoldKey(kKeyQ);
  EXPECT_FALSE(RunPasses(1));
  ReleaseKey(kKeyQ);
  ReleaseKey(kKeyLeftCtrl);
  quitFlag = 0;
  EXPECT_FALSE(HasUnsavedChanges());
  EXPECT_EQ(dialogs.requests.size(), 3u) << "saved without a dialog";

  // The view's menu holds the same commands after its own entries.
  Edit();
  dialogs.fileAnswers = {Path("menu.tvp")};
  ASSERT_TRUE(ChooseFromViewMenu("save as..."));
  EXPECT_EQ(std::string(ProjectPath()), Path("menu.tvp"));
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  Edit();
  ASSERT_TRUE(ChooseFromViewMenu("new project"));
  EXPECT_EQ(CountObjects(project.root), 2);
}

TEST_F(DesktopFiles, RecentProjectsAreTheLastEightSavedOrOpenedNewestFirst) {
  // Every save and open puts its file first; the view's menu offers them by name.
  for (const char* name : {"a.tvp", "b.tvp", "c.tvp"}) {
    dialogs.fileAnswers = {Path(name)};
    Chord(kKeyS, true);
  }
  dialogs.fileAnswers = {Path("a.tvp")};
  Chord(kKeyO);
  RecentProjects recent = LoadRecentProjects();
  ASSERT_EQ(recent.count, 3);
  EXPECT_EQ(std::string(recent.paths[0].data()), Path("a.tvp"));
  EXPECT_EQ(std::string(recent.paths[1].data()), Path("c.tvp"));
  Edit();
  dialogs.saveChangesAnswers = {SaveChangesAnswer::kDiscard};
  ASSERT_TRUE(ChooseFromViewMenu("open recent: c.tvp"));
  EXPECT_EQ(std::string(ProjectPath()), Path("c.tvp"));

  // A file that has gone is reported and leaves the list.
  std::filesystem::remove(Path("b.tvp"));
  ASSERT_TRUE(ChooseFromViewMenu("open recent: b.tvp"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("b.tvp"), std::string::npos);
  EXPECT_EQ(LoadRecentProjects().count, 2);
  EXPECT_EQ(std::string(ProjectPath()), Path("c.tvp"));

  // Eight at most, a repeat moves up, and what is no full path is left out of a damaged file.
  RecentProjects list;
  for (int i = 0; i < 10; ++i) AddRecentProject(list, ("/p/" + std::to_string(i)).c_str());
  EXPECT_EQ(list.count, kMaxRecentProjects);
  EXPECT_STREQ(list.paths[0].data(), "/p/9");
  EXPECT_STREQ(list.paths[7].data(), "/p/2");
  AddRecentProject(list, "/p/5");
  EXPECT_STREQ(list.paths[0].data(), "/p/5");
  EXPECT_STREQ(list.paths[5].data(), "/p/4");
  EXPECT_STREQ(list.paths[7].data(), "/p/2");
  EXPECT_FALSE(AddRecentProject(list, "relative.tvp"));
  const std::string text = "/x.tvp\r\n\nrelative.tvp\n/x.tvp\n/bad\x01name\n" +
                           std::string(600, 'l').insert(0, "/") + "\n/y.tvp";
  list = ParseRecentProjects(text.data(), text.size());
  ASSERT_EQ(list.count, 2);
  EXPECT_STREQ(list.paths[0].data(), "/x.tvp");
  EXPECT_STREQ(list.paths[1].data(), "/y.tvp");

  // `tavoka --recent` prints the same list.
  const ProgramRun run = RunTavoka(folder, "--recent");  // with this test's XDG_CONFIG_HOME
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, Path("c.tvp") + "\n" + Path("a.tvp") + "\n");
}

}  // namespace
