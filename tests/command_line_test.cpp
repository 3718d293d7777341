#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

bool Parse(std::vector<std::string> words, CommandLine* options, std::string* error) {
  std::vector<char*> argv;
  static std::string program = "tavoka";
  argv.push_back(program.data());
  for (std::string& word : words) argv.push_back(word.data());
  char message[256] = "";
  bool ok = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, message,
                             sizeof message);
  *error = message;
  return ok;
}

TEST(CommandLine, OpensOneProjectAndTakesTheLogSwitch) {
  CommandLine options;
  std::string error;
  ASSERT_TRUE(Parse({"--log", "/tmp/t.log", "walk.tvp"}, &options, &error));
  EXPECT_STREQ(options.projectPath, "walk.tvp");
  EXPECT_STREQ(options.logPath, "/tmp/t.log");
  ASSERT_TRUE(Parse({}, &options, &error));
  EXPECT_EQ(options.projectPath, nullptr);
  ASSERT_TRUE(Parse({"--version"}, &options, &error));
  EXPECT_TRUE(options.version);
}

TEST(CommandLine, RefusesUnknownOptionsAMissingLogFileAndTwoProjects) {
  CommandLine options;
  std::string error;
  EXPECT_FALSE(Parse({"--frobnicate"}, &options, &error));
  EXPECT_NE(error.find("--frobnicate"), std::string::npos);
  EXPECT_FALSE(Parse({"--log"}, &options, &error));
  EXPECT_FALSE(Parse({"a.tvp", "b.tvp"}, &options, &error));
  EXPECT_NE(error.find("b.tvp"), std::string::npos);
}

TEST(CommandLine, TakesAnInterfaceScaleOfOneOneAndAHalfOrTwoAndTheRecentList) {
  CommandLine options;
  std::string error;
  ASSERT_TRUE(Parse({"--ui-scale", "1.5", "walk.tvp"}, &options, &error));
  EXPECT_FLOAT_EQ(options.uiScale, 1.5f);
  ASSERT_TRUE(Parse({"--ui-scale", "2x"}, &options, &error));
  EXPECT_FLOAT_EQ(options.uiScale, 2.0f);
  ASSERT_TRUE(Parse({}, &options, &error));
  EXPECT_FLOAT_EQ(options.uiScale, 0.0f) << "from the display";
  for (const char* bad : {"3", "1.25", "", "2xx", "-1"}) {
    EXPECT_FALSE(Parse({"--ui-scale", bad}, &options, &error)) << bad;
    EXPECT_NE(error.find("1, 1.5 or 2"), std::string::npos);
  }
  ASSERT_TRUE(Parse({"--recent"}, &options, &error));
  EXPECT_TRUE(options.recent);
  EXPECT_FALSE(Parse({"--export", "a.tvp", "--recent"}, &options, &error));
}

}  // namespace

namespace {

TEST(CommandLine, ExportTakesItsProjectOutputBlurAndFrameRange) {
  CommandLine options;
  std::string error;
  ASSERT_TRUE(Parse({"--export", "walk.tvp", "--output", "out/take.png", "--motion-blur",
                     "--frames", "12-1999"},
                    &options, &error))
      << error;
  EXPECT_TRUE(options.exportMode);
  EXPECT_STREQ(options.projectPath, "walk.tvp");
  EXPECT_STREQ(options.outputPath, "out/take.png");
  EXPECT_TRUE(options.motionBlur);
  EXPECT_TRUE(options.framesGiven);
  EXPECT_EQ(options.firstFrame, 12);
  EXPECT_EQ(options.lastFrame, 1999);

  ASSERT_TRUE(Parse({"--frames", "0-0", "--export", "w.tvp"}, &options, &error)) << error;
  EXPECT_EQ(options.firstFrame, 0);
  EXPECT_EQ(options.lastFrame, 0);
  EXPECT_EQ(options.outputPath, nullptr);
  EXPECT_FALSE(options.motionBlur);
}

TEST(CommandLine, SoundOnlyBelongsToTheExportAndBlursNothing) {
  CommandLine options;
  std::string error;
  ASSERT_TRUE(Parse({"--export", "w.tvp", "--sound-only", "--frames", "0-89"}, &options, &error))
      << error;
  EXPECT_TRUE(options.soundOnly);
  ASSERT_TRUE(Parse({"--export", "w.tvp"}, &options, &error)) << error;
  EXPECT_FALSE(options.soundOnly);

  EXPECT_FALSE(Parse({"--sound-only", "w.tvp"}, &options, &error));
  EXPECT_NE(error.find("--sound-only works only with --export"), std::string::npos) << error;
  EXPECT_FALSE(Parse({"--export", "w.tvp", "--sound-only", "--motion-blur"}, &options, &error));
  EXPECT_NE(error.find("--sound-only"), std::string::npos) << error;
}

TEST(CommandLine, RefusesFrameRangesThatAreNotTwoOrderedFramesOfTheModel) {
  CommandLine options;
  std::string error;
  for (const char* range : {"7-3", "a-b", "0-2000", "-4", "3-", "-", "", "1-2-3", "+1-2",
                            "00001-2", "1 -2", "99999999999-1"}) {
    EXPECT_FALSE(Parse({"--export", "w.tvp", "--frames", range}, &options, &error)) << range;
    EXPECT_FALSE(error.empty()) << range;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
  }
  EXPECT_FALSE(Parse({"--export", "w.tvp", "--frames"}, &options, &error));
  EXPECT_FALSE(Parse({"--export"}, &options, &error));
  EXPECT_FALSE(Parse({"--export", "a.tvp", "b.tvp"}, &options, &error));
  EXPECT_FALSE(Parse({"a.tvp", "--export", "b.tvp"}, &options, &error));
  EXPECT_FALSE(Parse({"--export", "a.tvp", "--export", "a.tvp"}, &options, &error));
  EXPECT_FALSE(Parse({"--export", "a.tvp", "--output", ""}, &options, &error));
  // The export's switches mean nothing to the editor.
  EXPECT_FALSE(Parse({"walk.tvp", "--motion-blur"}, &options, &error));
  EXPECT_NE(error.find("--motion-blur"), std::string::npos);
  EXPECT_FALSE(Parse({"--output", "x.png"}, &options, &error));
}

TEST(CommandLine, ScaleNumberingStrictAndPicturesOnlyBelongToAPictureExport) {
  CommandLine options;
  std::string error;
  ASSERT_TRUE(Parse({"--export", "w.tvp", "--scale", "4", "--number-from", "9999", "--strict",
                     "--pictures-only"},
                    &options, &error))
      << error;
  EXPECT_EQ(options.scale, 4);
  EXPECT_EQ(options.numberFrom, 9999);
  EXPECT_TRUE(options.strict);
  EXPECT_TRUE(options.picturesOnly);
  ASSERT_TRUE(Parse({"--export", "w.tvp"}, &options, &error));
  EXPECT_EQ(options.scale, 1);
  EXPECT_EQ(options.numberFrom, 0);

  const std::vector<std::vector<std::string>> refused = {
      {"--scale", "0"},        {"--scale", "5"},          {"--scale", "2x"},
      {"--scale", "-1"},       {"--scale"},               {"--number-from", "10000"},
      {"--number-from", "-3"}, {"--number-from", "1e3"},  {"--number-from", ""},
      {"--sound-only", "--scale", "2"}, {"--sound-only", "--number-from", "4"},
      {"--sound-only", "--pictures-only"}};
  for (std::vector<std::string> words : refused) {
    words.insert(words.begin(), {"--export", "w.tvp"});
    EXPECT_FALSE(Parse(words, &options, &error)) << words[2];
    EXPECT_NE(error.find(words[2] == "--sound-only" ? words[3] : words[2]), std::string::npos)
        << error;
  }
  EXPECT_FALSE(Parse({"w.tvp", "--strict"}, &options, &error));
  EXPECT_NE(error.find("--strict works only with --export"), std::string::npos) << error;
}

}  // namespace
