// The editor's progress screen during an export: the bar fills with the pictures done, the
// window keeps answering, and Escape or a close request stops the export.
#include <gtest/gtest.h>

#include "editor/export_progress.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "tests/harness.h"
#include "ui/ui.h"

namespace {

class ExportProgressScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEditor();
    ForgetHeldKeys();
    ASSERT_TRUE(RunPasses(1));  // the first pass settles the keyboard snapshot
  }
  void TearDown() override {
    ForgetHeldKeys();
    quitFlag = 0;
  }
  // The bar's rectangle in the window: the panel is centred.
  static int BarX() { return (logicalWidth - 320) / 2 + 12; }
  static int BarY() { return (logicalHeight - 74) / 2 + 24; }
};

bool IsBarBlue(Rgb p) { return p.r < 60 && p.b > 150; }
bool IsWhite(Rgb p) { return p.r == 255 && p.g == 255 && p.b == 255; }

TEST_F(ExportProgressScreen, TheBarFillsInProportionToTheFrame) {
  DrawExportProgress(45, 90);
  EXPECT_TRUE(IsBarBlue(ReadPixel(BarX() + 10, BarY() + 6)));
  EXPECT_TRUE(IsBarBlue(ReadPixel(BarX() + 140, BarY() + 6)));
  EXPECT_TRUE(IsWhite(ReadPixel(BarX() + 160, BarY() + 6)));
  EXPECT_TRUE(IsWhite(ReadPixel(BarX() + 280, BarY() + 6)));

  DrawExportProgress(90, 90);
  EXPECT_TRUE(IsBarBlue(ReadPixel(BarX() + 280, BarY() + 6)));
  DrawExportProgress(1, 2000);
  EXPECT_TRUE(IsWhite(ReadPixel(BarX() + 10, BarY() + 6)));

  // "frame n of N" is written below the bar in black.
  int dark = 0;
  for (int x = BarX(); x < BarX() + 120; ++x) {
    for (int y = BarY() + 18; y < BarY() + 28; ++y) {
      const Rgb p = ReadPixel(x, y);
      if (p.r < 60 && p.g < 60 && p.b < 60) ++dark;
    }
  }
  EXPECT_GT(dark, 20);
}

TEST_F(ExportProgressScreen, EscapeOrClosingTheWindowStopsTheExport) {
  EXPECT_TRUE(ShowExportProgress(3, 10, nullptr));
  EXPECT_TRUE(IsBarBlue(ReadPixel(BarX() + 10, BarY() + 6))) << "the screen was presented";

  NoteKeyEvent(kKeyEscape, true);
  EXPECT_FALSE(ShowExportProgress(4, 10, nullptr));
  NoteKeyEvent(kKeyEscape, false);
  PollInputDevices();
  EXPECT_FALSE(KeyDown(kKeyEscape)) << "the Escape that stopped it is used up";
  EXPECT_TRUE(ShowExportProgress(4, 10, nullptr));

  quitFlag = 1;
  EXPECT_FALSE(ShowExportProgress(5, 10, nullptr));
  EXPECT_EQ(quitFlag, 1) << "the main loop still ends";
}

}  // namespace
