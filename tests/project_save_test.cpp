// Saving replaces a project file only with a complete new one: a save that fails at any step
// leaves the old file as it was and no temporary file behind. The editor's save and load
// commands tell the user when they fail.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
  // The reasons the system gives for each step (a full disk for the write).
  const char* reasons[] = {"Input/output error", "No space left on device",
                           "Input/output error", "Input/output error"};
  for (size_t i = 0; i < 4; ++i) {
    const auto& message = dialogs_.messages[i];
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.text, "Couldn't save project " + path + ": " + reasons[i]);
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
  EXPECT_EQ(dialogs_.messages[0].text,
            "Couldn't load project " + PathOf("broken.tvp") +
                ": the file ends inside the frame rate");
  EXPECT_EQ(dialogs_.messages[0].caption, "Error");
  EXPECT_TRUE(dialogs_.messages[0].warning);
  EXPECT_EQ(dialogs_.messages[1].text,
            "Couldn't save project " + PathOf("missing/x.tvp") + ": No such file or directory");

  FileBuilder zeroFps;
  zeroFps.Int(0);
  ASSERT_TRUE(WriteBytes(PathOf("zero.tvp"), zeroFps.bytes));
  EXPECT_FALSE(LoadProjectAndReport(PathOf("zero.tvp").c_str()));
  EXPECT_EQ(dialogs_.messages.back().text,
            "Couldn't load project " + PathOf("zero.tvp") + ": frame rate 0 is not 1 to 44100");
}

// A file the user made read-only is not replaced (for root, whom the system lets write anything,
// a file without any write bit counts as read-only); a backup that had to be copied keeps the
// project's permissions.
TEST_F(ProjectSave, AReadOnlyProjectIsRefusedAndACopiedBackupKeepsPermissions) {
  const std::string path = PathOf("walk.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  const std::vector<uint8_t> old = ReadBytes(path);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  CreateObject(nullptr);
  EXPECT_FALSE(SaveProjectAndReport(path.c_str()));
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"walk.tvp"});
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].text, "Couldn't save project " + path + ": Permission denied");

  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  failingStep = SaveStep::kLink;  // a file system without hard links
  SetSaveFaultHook(FailOneStep);
  ASSERT_TRUE(SaveProject(path.c_str()));
  SetSaveFaultHook(nullptr);
  EXPECT_EQ(ReadBytes(path + ".bak"), old);
  struct stat info;
  ASSERT_EQ(stat((path + ".bak").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// The temporary files of a save whose process was killed go with the next save of that project;
// those of a process still running, of other projects and names that only look alike stay.
TEST_F(ProjectSave, TheNextSaveRemovesTemporariesOfAKilledSave) {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child), alive = std::to_string(getppid());
  const std::vector<std::string> stale = {".walk.tvp.tmp-" + dead + "-3",
                                          "walk.tvp.bak.tmp-" + dead};
  const std::vector<std::string> kept = {
      ".walk.tvp.tmp-" + alive + "-1", "walk.tvp.bak.tmp-" + alive, ".walk.tvp.tmp-" + dead + "-x",
      ".other.tvp.tmp-" + dead + "-1", "walk.tvp.bak.tmp-" + dead + "-2"};
  for (const std::string& name : stale) ASSERT_TRUE(WriteBytes(PathOf(name), {1}));
  for (const std::string& name : kept) ASSERT_TRUE(WriteBytes(PathOf(name), {1}));
  ASSERT_EQ(mkdir(PathOf(".walk.tvp.tmp-" + dead + "-4").c_str(), 0700), 0);
  ASSERT_TRUE(SaveProject(PathOf("walk.tvp").c_str()));
  std::vector<std::string> expected = kept;
  expected.push_back(".walk.tvp.tmp-" + dead + "-4");
  expected.push_back("walk.tvp");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(DirectoryEntries(), expected);
}

// Save As into another folder brings the project's images and sounds along: copied when the
// folder has no file of that name, never over one, and the user learns what happened.
TEST_F(ProjectSave, SavingIntoAnotherFolderCopiesTheFilesTheProjectNames) {
  ASSERT_EQ(mkdir(PathOf("old").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(PathOf("new").c_str(), 0700), 0);
  for (const char* name : {"hand.png", "arm.png", "leg.png", "tune.wav"}) {
    ASSERT_TRUE(WriteBytes(PathOf(std::string("old/") + name), {1, 2}));
  }
  ASSERT_TRUE(WriteBytes(PathOf("new/arm.png"), {9}));     // another picture of that name
  ASSERT_TRUE(WriteBytes(PathOf("new/leg.png"), {1, 2}));  // the same one
  SetWorkPath(PathOf("old/").c_str());
  ImageTrack& images = *ImageTrackOf(CreateObject(nullptr));
  for (const char* file : {"hand.png", "arm.png", "leg.png", "gone.png", "../x.png", "hand.png"}) {
    CopyName(images.entries[images.count++].file, kFileNameSize, file);
  }
  ASSERT_GE(InsertAudioClip("tune.wav", 3, 0, MissingSound::kKeepClip), 0);

  const std::string path = PathOf("new/walk.tvp");
  EXPECT_TRUE(SaveProjectAndReport(path.c_str()));
  EXPECT_EQ(ReadBytes(PathOf("new/hand.png")), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(ReadBytes(PathOf("new/tune.wav")), (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(ReadBytes(PathOf("new/arm.png")), std::vector<uint8_t>{9}) << "never overwritten";
  EXPECT_EQ(std::string(project.workPath), PathOf("new/"));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].caption, "Warning");
  EXPECT_TRUE(dialogs_.messages[0].warning);
  EXPECT_EQ(dialogs_.messages[0].text,
            "Saved the project in " + PathOf("new/") + ". Copied its files there: hand.png, "
            "tune.wav. Could not copy: arm.png (another file of that name is there), gone.png (No "
            "such file or directory); the project will miss them until they are put there.");
  EXPECT_TRUE(SaveProjectAndReport(path.c_str()));
  EXPECT_EQ(dialogs_.messages.size(), 1u) << "a save in the same folder copies nothing";
}

}  // namespace
