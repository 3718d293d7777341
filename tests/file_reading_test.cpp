// Reading the user's files: anything but a regular file (a pipe, a folder) is refused at once
// with a reason, by every reader and by `tavoka --export`; large files are judged by their
// start and size before they are read.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "images/image_bank.h"
#include "platform/files.h"
#include "tests/image_fixture.h"
#include "tests/program_run.h"
#include "tests/project_fixtures.h"

namespace {

using projecttest::ProjectTest;
using projecttest::WriteBytes;

// Bytes this process has read through read() so far.
long long BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

// A file of size bytes that takes no room on disk: zeros after the given start.
void WriteSparse(const std::string& path, const std::vector<uint8_t>& start, uint64_t size) {
  ASSERT_TRUE(WriteBytes(path, start));
  std::filesystem::resize_file(path, size);
}

class FileReading : public ProjectTest {};

TEST_F(FileReading, PipesAndFoldersAreRefusedAtOnceWithAReason) {
  for (const char* name : {"p.tvp", "p.png", "p.wav"}) {
    ASSERT_EQ(mkfifo(PathOf(name).c_str(), 0600), 0) << name;
  }
  std::filesystem::create_directory(PathOf("folder.tvp"));

  // No writer ever comes: a reader that opened the pipe as a file would wait for ever.
  std::vector<uint8_t> bytes;
  char why[128] = "";
  ProjectProblem problem;
  for (const auto& [name, says] : {std::pair{"p.tvp", "not a regular file"},
                                   {"folder.tvp", "a folder, not a file"},
                                   {"absent.tvp", "No such file or directory"}}) {
    EXPECT_FALSE(ReadWholeFile(PathOf(name).c_str(), 1000, bytes, why, sizeof why));
    EXPECT_STREQ(why, says);
    EXPECT_FALSE(LoadProject(PathOf(name).c_str(), &problem));
    EXPECT_STREQ(problem.message, says);
  }

  const std::string previousFolder = ImageFolder();
  SetImageFolder((dir_ + "/").c_str());
  EXPECT_EQ(GetImage("p.png"), nullptr);
  EXPECT_STREQ(ImageFailureReason("p.png"), "not a regular file");
  SetImageFolder(previousFolder.c_str());

  CopyName(project.workPath, kFileNameSize, (dir_ + "/").c_str());
  EXPECT_EQ(InsertAudioClip("p.wav", 0, 0), -1);
  EXPECT_STREQ(LastSoundProblemText(), "not a regular file");
  EXPECT_EQ(InsertAudioClip("p.wav", 0, 0, MissingSound::kKeepClip), 0);
  EXPECT_EQ(GetClip(0)->wave, nullptr) << "a project naming it keeps its clip, silent";

  // The batch export ends at once with the reason and status 1.
  const ProgramRun run = RunTavoka(dir_, "--export p.tvp");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("couldn't load project p.tvp: not a regular file"), std::string::npos)
      << run.output;
}

TEST_F(FileReading, LargeFilesAreJudgedByTheirStartBeforeTheyAreRead) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  const std::string previousFolder = ImageFolder();
  SetImageFolder((dir_ + "/").c_str());
  long long before = BytesReadSoFar();
  ASSERT_GE(before, 0);

  // 1 GiB of zeros named like an image and like a project.
  WriteSparse(PathOf("junk.png"), {}, kGiB);
  EXPECT_EQ(GetImage("junk.png"), nullptr);
  EXPECT_STREQ(ImageFailureReason("junk.png"), "not a PNG file");
  WriteSparse(PathOf("junk.tvp"), {}, kGiB);
  ProjectProblem problem;
  EXPECT_FALSE(LoadProject(PathOf("junk.tvp").c_str(), &problem));
  EXPECT_NE(std::strstr(problem.message, "larger than any project"), nullptr) << problem.message;

  // Within the size a project may have, the frame rate of 0 at its start ends the read.
  WriteSparse(PathOf("zeros.tvp"), {}, 300 << 20);
  EXPECT_FALSE(LoadProject(PathOf("zeros.tvp").c_str(), &problem));
  EXPECT_STREQ(problem.message, "frame rate 0 is not 1 to 44100");
  EXPECT_EQ(problem.offset, 4u);

  // A real 4 x 4 picture followed by 200 MB: more than such a picture can ever take.
  ASSERT_TRUE(WriteSolidPng(PathOf("small.png")));
  std::filesystem::resize_file(PathOf("small.png"), 200 << 20);
  EXPECT_EQ(GetImage("small.png"), nullptr);
  EXPECT_STREQ(ImageFailureReason("small.png"), "the file is larger than a 4 x 4 image can be");

  EXPECT_LT(BytesReadSoFar() - before, 1 << 20) << "none of them was read beyond its start";
  SetImageFolder(previousFolder.c_str());

  // The start alone is judged as the whole file would be.
  const std::vector<uint8_t> good = WriteProject();
  EXPECT_TRUE(CheckProjectStart(good.data(), std::min(good.size(), kProjectStartBytes), problem));
  projecttest::FileBuilder notRoot;
  notRoot.Int(30).Str("Scene").Int(4);
  EXPECT_FALSE(CheckProjectStart(notRoot.bytes.data(), notRoot.bytes.size(), problem));
  EXPECT_STREQ(problem.message, "the first object is not the root");
  EXPECT_FALSE(CheckProjectStart(good.data(), 6, problem));
  EXPECT_STREQ(problem.message, "the file ends inside an object name");
  EXPECT_GT(kMaxProjectFileBytes, size_t{480} << 20) << "the largest valid project still loads";
  EXPECT_LT(kMaxProjectFileBytes, kGiB);
}

}  // namespace
