// Saving replaces a project file only with a complete new one: a save that fails at any step
// leaves the old file as it was and no temporary file behind. The editor's save and load
// commands tell the user when they fail.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <string>

#include "platform/dialogs.h"
#include "tests/project_fixtures.h"

namespace {

using namespace projecttest;

SaveStep failingStep;
bool FailOneStep(SaveStep step) { return step != failingStep; }

class ProjectSave : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    SetDialogBackend(&dialogs_);
  }
  void TearDown() override {
    SetDialogBackend(nullptr);
    ProjectTest::TearDown();
  }

  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    DIR* dir = opendir(dir_.c_str());
    if (dir == nullptr) return names;
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }

  ScriptedDialogs dialogs_;
};

TEST_F(ProjectSave, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
  const std::string path = PathOf("walk.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  const std::vector<uint8_t> old = ReadBytes(path);
  CopyName(project.workPath, kFileNameSize, "/old/place/");
  // The project grows so that a half-written file would differ from the old one.
  for (int i = 0; i < 20; ++i) CreateObject(nullptr);

  for (SaveStep step : {SaveStep::kCreate, SaveStep::kWrite, SaveStep::kSync, SaveStep::kRename}) {
    failingStep = step;
    SetSaveFaultHook(FailOneStep);
    EXPECT_FALSE(SaveProjectAndReport(path.c_str())) << static_cast<int>(step);
    EXPECT_EQ(ReadBytes(path), old) << static_cast<int>(step);
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"walk.tvp"}) << static_cast<int>(step);
    EXPECT_STREQ(project.workPath, "/old/place/") << "the project still belongs where it was";
  }
  ASSERT_EQ(dialogs_.messages.size(), 4u);
  for (const auto& message : dialogs_.messages) {
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.text, "Couldn't save project");
    EXPECT_TRUE(message.warning);
  }

  SetSaveFaultHook(nullptr);
  EXPECT_TRUE(SaveProjectAndReport(path.c_str()));
  EXPECT_EQ(ReadBytes(path), WriteProject());
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"walk.tvp", "walk.tvp.bak"}));
  EXPECT_EQ(ReadBytes(path + ".bak"), old) << "the save that worked kept the file it replaced";
  EXPECT_EQ(dialogs_.messages.size(), 4u);
}

TEST_F(ProjectSave, EachSaveKeepsThePreviousFileAsABackup) {
  const std::string path = PathOf("walk.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"walk.tvp"}) << "nothing to keep yet";
  const std::vector<uint8_t> first = ReadBytes(path);

  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(path.c_str()));
  const std::vector<uint8_t> second = ReadBytes(path);
  EXPECT_NE(second, first);
  EXPECT_EQ(ReadBytes(path + ".bak"), first);

  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(path.c_str()));
  EXPECT_EQ(ReadBytes(path + ".bak"), second) << "the backup is the save before the last";
  // Saving the same bytes again leaves two names of equal content and no stray file.
  ASSERT_TRUE(SaveProject(path.c_str()));
  ASSERT_TRUE(SaveProject(path.c_str()));
  EXPECT_EQ(ReadBytes(path + ".bak"), ReadBytes(path));
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"walk.tvp", "walk.tvp.bak"}));

  // The backup is a file of its own: the next save does not change it through the project.
  const std::vector<uint8_t> kept = ReadBytes(path + ".bak");
  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(path.c_str()));
  EXPECT_EQ(ReadBytes(path + ".bak"), kept);
}

TEST_F(ProjectSave, AFailedSaveKeepsTheOlderBackup) {
  const std::string path = PathOf("walk.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  const std::vector<uint8_t> first = ReadBytes(path);
  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(path.c_str()));
  CreateObject(nullptr);
  failingStep = SaveStep::kRename;
  SetSaveFaultHook(FailOneStep);
  EXPECT_FALSE(SaveProject(path.c_str()));
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(ReadBytes(path + ".bak"), first);
  EXPECT_EQ(DirectoryEntries(), (std::vector<std::string>{"walk.tvp", "walk.tvp.bak"}));
}

TEST_F(ProjectSave, ASaveWhereNoFileCanBeMadeFails) {
  EXPECT_FALSE(SaveProject(PathOf("no/such/dir/walk.tvp").c_str()));
  EXPECT_FALSE(SaveProject(dir_.c_str())) << "a directory is not replaced by a file";
  EXPECT_FALSE(SaveProject(""));
  struct stat info;
  EXPECT_EQ(stat(dir_.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_STREQ(project.workPath, "");
}

TEST_F(ProjectSave, TheReplacementKeepsPermissionsAndLinks) {
  const std::string real = PathOf("real.tvp");
  const std::string link = PathOf("link.tvp");
  ASSERT_TRUE(SaveProject(real.c_str()));
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.tvp", link.c_str()), 0);
  CreateObject(nullptr);
  ASSERT_TRUE(SaveProject(link.c_str()));

  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link still points at the project";
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(real), WriteProject());
}

TEST_F(ProjectSave, TheEditorsCommandsAskForAFileAndReportFailures) {
  const std::string path = PathOf("chosen.tvp");
  dialogs_.fileAnswers = {path};
  EXPECT_TRUE(SaveProjectAs());
  ASSERT_EQ(dialogs_.requests.size(), 1u);
  EXPECT_TRUE(dialogs_.requests[0].save);
  EXPECT_EQ(dialogs_.requests[0].kind, kProjectFiles);
  EXPECT_EQ(ReadBytes(path), FileBuilder::NewProjectFile());

  dialogs_.fileAnswers = {path};
  EXPECT_TRUE(OpenProject());
  EXPECT_FALSE(dialogs_.requests[1].save);
  EXPECT_EQ(dialogs_.requests[1].kind, kProjectFiles);
  EXPECT_TRUE(dialogs_.messages.empty());

  // Cancelling does nothing and says nothing.
  EXPECT_FALSE(SaveProjectAs());
  EXPECT_FALSE(OpenProject());
  EXPECT_TRUE(dialogs_.messages.empty());

  ASSERT_TRUE(WriteBytes(PathOf("broken.tvp"), {1, 2, 3}));
  dialogs_.fileAnswers = {PathOf("broken.tvp"), PathOf("missing/x.tvp")};
  EXPECT_FALSE(OpenProject());
  EXPECT_FALSE(SaveProjectAs());
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].text, "Couldn't load project");
  EXPECT_EQ(dialogs_.messages[0].caption, "Error");
  EXPECT_TRUE(dialogs_.messages[0].warning);
  EXPECT_EQ(dialogs_.messages[1].text, "Couldn't save project");
}

}  // namespace
