#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/user_files.h"

namespace {

TEST(UserFiles, FollowTheXdgFoldersOrTheHomeAndMakeTheFolder) {
  char pattern[] = "/tmp/tavoka_user_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string root = pattern;
  char path[kUserPathSize];

  setenv("XDG_CONFIG_HOME", (root + "/config/").c_str(), 1);
  ASSERT_TRUE(UserConfigFile("recent", path, sizeof path));
  EXPECT_EQ(std::string(path), root + "/config/tavoka/recent");
  EXPECT_TRUE(std::filesystem::is_directory(root + "/config/tavoka"));

  // Unset or relative (which the XDG rules say to ignore): the home's usual folders.
  setenv("HOME", root.c_str(), 1);
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  unsetenv("XDG_DATA_HOME");
  ASSERT_TRUE(UserConfigFile("settings", path, sizeof path));
  EXPECT_EQ(std::string(path), root + "/.config/tavoka/settings");
  ASSERT_TRUE(UserDataFile("Untitled.recovered.tvp", path, sizeof path));
  EXPECT_EQ(std::string(path), root + "/.local/share/tavoka/Untitled.recovered.tvp");
  EXPECT_TRUE(std::filesystem::is_directory(root + "/.local/share/tavoka"));

  // No room, no home, or a folder that cannot be made: refused with an empty path.
  char small[8];
  EXPECT_FALSE(UserConfigFile("settings", small, sizeof small));
  EXPECT_STREQ(small, "");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_FALSE(UserConfigFile("settings", path, sizeof path));
  setenv("XDG_DATA_HOME", "/proc/none", 1);
  EXPECT_FALSE(UserDataFile("x", path, sizeof path));
  std::filesystem::remove_all(root);
}

}  // namespace
