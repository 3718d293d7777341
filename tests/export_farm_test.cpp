// Exports a render farm can split: a frame's picture is the same bytes whether it is exported
// alone, in a piece or in the whole range, whatever was drawn before it, so pieces numbered from
// their place (--number-from) fill one folder with exactly the single export's files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "images/image_bank.h"
#include "project/project_file.h"
#include "tests/export_fixture.h"
#include "tests/program_run.h"

namespace {

namespace fs = std::filesystem;

const std::string kExample = std::string(TAVOKA_SOURCE_DIR) + "/examples/puppet/puppet.tvp";

std::vector<std::string> SortedNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

using ExportFarm = ExportTest;

TEST_F(ExportFarm, PiecesNumberedFromTheirPlaceMakeTheWholeExportByteForByte) {
  fs::create_directories(directory_ / "whole");
  fs::create_directories(directory_ / "farm");
  const std::string project = "'" + kExample + "'";
  ProgramRun run = RunTavoka(directory_.string(),
                             "--export " + project + " --frames 0-59 --output whole/film.png");
  ASSERT_EQ(run.status, 0) << run.output;

  // Three pieces as three machines would run them, then the sound once, whole.
  const struct {
    const char* frames;
    int from;
  } pieces[] = {{"0-19", 0}, {"20-44", 20}, {"45-59", 45}};
  for (const auto& piece : pieces) {
    run = RunTavoka(directory_.string(), "--export " + project + " --frames " + piece.frames +
                                             " --number-from " + std::to_string(piece.from) +
                                             " --pictures-only --output farm/film.png");
    ASSERT_EQ(run.status, 0) << run.output;
  }
  EXPECT_NE(run.output.find("farm/film_frame0045.png .. farm/film_frame0059.png"),
            std::string::npos)
      << run.output;
  run = RunTavoka(directory_.string(),
                  "--export " + project + " --frames 0-59 --sound-only --output farm/film.png");
  ASSERT_EQ(run.status, 0) << run.output;

  const std::vector<std::string> names = SortedNames(directory_ / "whole");
  ASSERT_EQ(names.size(), 61u);
  EXPECT_EQ(SortedNames(directory_ / "farm"), names);
  for (const std::string& name : names) {
    const std::vector<uint8_t> whole = ReadFileBytes((directory_ / "whole" / name).string());
    ASSERT_FALSE(whole.empty()) << name;
    EXPECT_TRUE(ReadFileBytes((directory_ / "farm" / name).string()) == whole) << name;
  }
}

// In one process: a frame exported alone, within a range, and after other images were loaded
// (the example's pictures backwards, an order no export uses) gives the same bytes.
TEST_F(ExportFarm, AFramesPictureDoesNotDependOnWhatWasLoadedBefore) {
  ASSERT_TRUE(LoadProject(kExample.c_str()));
  ASSERT_TRUE(Export("range", 40, 47, false, nullptr));
  FreeImageBank();
  InitImageBank();
  ASSERT_TRUE(Export("alone", 45, 45, false, nullptr));
  FreeImageBank();
  InitImageBank();
  std::vector<std::string> pictures;
  for (const auto& entry : fs::directory_iterator(fs::path(kExample).parent_path())) {
    if (entry.path().extension() == ".png") pictures.push_back(entry.path().filename().string());
  }
  std::sort(pictures.rbegin(), pictures.rend());
  for (const std::string& name : pictures) ASSERT_NE(GetImage(name.c_str()), nullptr) << name;
  ASSERT_TRUE(Export("after", 45, 45, false, nullptr));

  const std::vector<uint8_t> inRange = ReadFileBytes(PathOf(FrameName("range", 5)));
  ASSERT_FALSE(inRange.empty());
  EXPECT_TRUE(ReadFileBytes(PathOf(FrameName("alone", 0))) == inRange);
  EXPECT_TRUE(ReadFileBytes(PathOf(FrameName("after", 0))) == inRange);
}

}  // namespace
