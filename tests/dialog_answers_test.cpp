// The end-to-end tests' dialog hook: the answers file is read in order, and anything that is not
// plainly such a file is refused with a message, so the hook cannot be switched on by chance.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/dialogs.h"

namespace {

class DialogAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavoka_answers_XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = pattern;
  }
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::string& text) {
    FILE* file = std::fopen(path_.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
  bool Read() { return ReadDialogAnswers(path_.c_str(), &dialogs_, error_, sizeof error_); }

  std::string path_;
  ScriptedDialogs dialogs_;
  char error_[300] = "";
};

TEST_F(DialogAnswers, AnswersComeInTheirOrder) {
  Write("tavoka test dialog answers\n# the save of the session\nfile /tmp/a b.tvp\n\ncancel\r\n"
        "discard\nsave\nkeep\nfile /tmp/c.png");
  ASSERT_TRUE(Read()) << error_;
  ASSERT_EQ(dialogs_.fileAnswers.size(), 3u);
  EXPECT_EQ(dialogs_.fileAnswers[0], "/tmp/a b.tvp");
  EXPECT_EQ(dialogs_.fileAnswers[1], "");
  EXPECT_EQ(dialogs_.fileAnswers[2], "/tmp/c.png");
  ASSERT_EQ(dialogs_.saveChangesAnswers.size(), 3u);
  EXPECT_EQ(dialogs_.saveChangesAnswers[0], SaveChangesAnswer::kDiscard);
  EXPECT_EQ(dialogs_.saveChangesAnswers[1], SaveChangesAnswer::kSave);
  EXPECT_EQ(dialogs_.saveChangesAnswers[2], SaveChangesAnswer::kCancel);

  // Through the dialogs as the program calls them; a queue run dry cancels.
  SetDialogBackend(&dialogs_);
  char chosen[kDialogPathSize] = "";
  EXPECT_TRUE(ChooseSaveFile(chosen, kProjectFiles));
  EXPECT_STREQ(chosen, "/tmp/a b.tvp");
  EXPECT_FALSE(ChooseOpenFile(chosen, kProjectFiles));
  EXPECT_TRUE(ChooseOpenFile(chosen, kPngFiles));
  EXPECT_FALSE(ChooseOpenFile(chosen, kPngFiles));
  SetDialogBackend(nullptr);
}

TEST_F(DialogAnswers, AnythingElseIsRefusedWithAMessage) {
  EXPECT_FALSE(ReadDialogAnswers("/nonexistent/answers", &dialogs_, error_, sizeof error_));
  EXPECT_NE(std::string(error_).find("/nonexistent/answers"), std::string::npos) << error_;

  Write("");
  EXPECT_FALSE(Read());
  Write("file /tmp/a.tvp\n");  // no header line: not an answers file
  EXPECT_FALSE(Read());
  EXPECT_NE(std::string(error_).find("tavoka test dialog answers"), std::string::npos) << error_;
  Write("tavoka test dialog answers\nfile /tmp/a.tvp\nyes please\n");
  EXPECT_FALSE(Read());
  EXPECT_NE(std::string(error_).find(":3:"), std::string::npos) << error_;
  EXPECT_TRUE(dialogs_.fileAnswers.empty()) << "a refused file answers nothing";
  Write("tavoka test dialog answers\nfile " + std::string(kDialogPathSize + 40, 'x') + "\n");
  EXPECT_FALSE(Read());
  EXPECT_TRUE(dialogs_.fileAnswers.empty());
}

}  // namespace
