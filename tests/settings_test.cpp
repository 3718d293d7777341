// The user's settings file: key=value lines read without trusting the file, and one setting
// saved without losing the others.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/settings.h"

namespace {

namespace fs = std::filesystem;

std::string TextOf(const Settings& settings) {
  char text[8192];
  FormatSettings(settings, text, sizeof text);
  return text;
}

TEST(Settings, LinesAreKeysAndValuesAndAnythingElseIsSkipped) {
  const std::string text =
      "# the user's own note\n\n  export-scale = 2 \r\nname=a=b\nno equals sign\n=x\n"
      "sp ace=1\nexport-scale=3\n" +
      std::string(kSettingKeySize, 'k') + "=1\nlong=" + std::string(kSettingValueSize, 'v') +
      "\nnul=a" + std::string(1, '\0') + "b\nlast=no newline";
  Settings settings;
  EXPECT_EQ(ParseSettings(text.data(), text.size(), &settings), 6);
  EXPECT_EQ(TextOf(settings), "export-scale=3\nname=a=b\nlast=no newline\n");
  EXPECT_STREQ(GetSetting(settings, "name"), "a=b");
  EXPECT_EQ(GetSetting(settings, "nul"), nullptr);

  // Setting refuses what the file could not hold, and a full table.
  EXPECT_FALSE(SetSetting(&settings, "name", "two\nlines"));
  EXPECT_FALSE(SetSetting(&settings, "bad key", "1"));
  EXPECT_FALSE(SetSetting(&settings, "", "1"));
  EXPECT_STREQ(GetSetting(settings, "name"), "a=b");
  while (settings.count < kMaxSettings) {
    ASSERT_TRUE(SetSetting(&settings, ("k" + std::to_string(settings.count)).c_str(), "1"));
  }
  EXPECT_FALSE(SetSetting(&settings, "one-more", "1"));
  EXPECT_TRUE(SetSetting(&settings, "name", "changed")) << "an existing key still changes";
  Settings again;
  const std::string written = TextOf(settings);
  EXPECT_EQ(ParseSettings(written.data(), written.size(), &again), 0);
  EXPECT_EQ(TextOf(again), written);
}

TEST(Settings, SavingOneKeepsTheOthersAndNeverReplacesAFileItCannotRead) {
  char pattern[] = "/tmp/tavoka_settings_test_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string path = std::string(pattern) + "/settings";
  auto read = [&path] {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
  };

  EXPECT_EQ(LoadUserSettings(path.c_str()).count, 0) << "no file yet";
  ASSERT_TRUE(SaveUserSetting("export-scale", "2", path.c_str()));
  EXPECT_EQ(read(), "export-scale=2\n");
  std::ofstream(path) << "theme=dark\njunk\nexport-scale=2\n";
  ASSERT_TRUE(SaveUserSetting("export-scale", "4", path.c_str()));
  EXPECT_EQ(read(), "theme=dark\nexport-scale=4\n");
  EXPECT_STREQ(GetSetting(LoadUserSettings(path.c_str()), "export-scale"), "4");

  // Too large to be settings: nothing is read and the file stays.
  const std::string huge(kMaxSettingsFileBytes + 1, 'x');
  std::ofstream(path) << huge;
  EXPECT_EQ(LoadUserSettings(path.c_str()).count, 0);
  EXPECT_FALSE(SaveUserSetting("export-scale", "1", path.c_str()));
  EXPECT_EQ(fs::file_size(path), huge.size());

  // A folder in the file's place.
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_FALSE(SaveUserSetting("export-scale", "1", path.c_str()));
  EXPECT_TRUE(fs::is_directory(path));
  fs::remove_all(pattern);
}

}  // namespace
