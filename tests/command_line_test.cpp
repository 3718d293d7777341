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

}  // namespace
