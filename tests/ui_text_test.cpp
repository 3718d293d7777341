// Glyph metrics, text widths and what text drawing puts on the screen.
#include <string>

#include "tests/ui_fixture.h"

namespace {

class Text : public UiTest {
 protected:
  // Draws text at (x, y) on white and returns the rightmost column with ink in rows y..y+7,
  // or x - 1 when nothing was drawn.
  static int RightmostInk(const char* text, int x, int y) {
    ClearScreen(1, 1, 1);
    DrawText(x, y, 6, text);
    int rightmost = x - 1;
    for (int column = x; column < x + 300; ++column) {
      for (int row = y; row < y + 8; ++row) {
        if (ReadPixel(column, row).r < 128) rightmost = column;
      }
    }
    return rightmost;
  }
};

TEST_F(Text, EveryPrintableCharacterAndTheSixLettersHaveInk) {
  for (int cell = 1; cell < 95; ++cell) {
    EXPECT_GE(ui->glyphWidth[cell], 1) << static_cast<char>(cell + 32);
    EXPECT_LE(ui->glyphWidth[cell] + ui->glyphOffset[cell], 8);
  }
  for (int cell = 96; cell <= 101; ++cell) EXPECT_GE(ui->glyphWidth[cell], 3) << cell;
  // Empty cells measure like the space.
  EXPECT_EQ(ui->glyphWidth[0], 2);
  EXPECT_EQ(ui->glyphWidth[95], 2);
  EXPECT_EQ(ui->glyphWidth[109], 2);
}

TEST_F(Text, WidthsFollowTheGlyphMetrics) {
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextWidthFormat("%s", ""), 0);
  EXPECT_EQ(TextWidth(" "), 3);
  EXPECT_EQ(TextWidth("1"), TextWidth("0"));
  EXPECT_EQ(TextWidth("11"), TextWidth("00"));
  EXPECT_EQ(TextWidth("i"), 2);
  EXPECT_EQ(TextWidth("M"), 6);
  EXPECT_EQ(TextWidthFormat("%d fps", 30), TextWidth("30 fps"));
  // The six Latin-1 letters use cells 96..101.
  EXPECT_EQ(TextWidth("\xC5"), ui->glyphWidth[96] + 1);
  EXPECT_EQ(TextWidth("\xC4\xD6\xE5\xE4\xF6"),
            ui->glyphWidth[97] + ui->glyphWidth[98] + ui->glyphWidth[99] + ui->glyphWidth[100] +
                ui->glyphWidth[101] + 5);
  EXPECT_EQ(GlyphCell(0xC5), 96);
  EXPECT_EQ(GlyphCell(0xF6), 101);
}

TEST_F(Text, BytesWithoutAGlyphShowAsAQuestionMark) {
  // Control characters and other Latin-1 or UTF-8 bytes would index past the glyph table.
  EXPECT_EQ(GlyphCell('\n'), '?' - 32);
  EXPECT_EQ(GlyphCell(0xE9), '?' - 32);
  EXPECT_EQ(GlyphCell(0xFF), '?' - 32);
  EXPECT_EQ(TextWidth("a\tb"), TextWidth("a?b"));
}

TEST_F(Text, DrawnTextEndsWhereTextWidthSays) {
  const char* samples[] = {"Hello", "Timeline - 30 fps", "1111", "\xC5sa \xF6l", "W.i.l",
                           "new object [INSERT]"};
  for (const char* text : samples) {
    // The advance includes a one-pixel gap after the last glyph.
    EXPECT_EQ(RightmostInk(text, 20, 30), 20 + TextWidth(text) - 2) << text;
  }
  EXPECT_EQ(RightmostInk("", 20, 30), 19);
}

TEST_F(Text, APercentSignInANameIsDrawnNotFormatted) {
  const char* name = "100%s done %d";
  const int plain = RightmostInk(name, 10, 10);
  EXPECT_EQ(plain, 10 + TextWidth(name) - 2);
  EXPECT_GT(TextWidth(name), TextWidth("100% done"));
}

TEST_F(Text, OutlinedTextHasTheSameAdvanceAndABorder) {
  ClearScreen(0, 0, 1);
  DrawTextOutlined(40, 40, 9, 6, "l");
  // "l" has ink in column 0 from row 1; its outline reaches one pixel to the left and above.
  Rgb ink = ReadPixel(40, 42), left = ReadPixel(39, 42), above = ReadPixel(40, 40);
  EXPECT_EQ(ink.r, 255);
  EXPECT_EQ(left.r + left.g + left.b, 0);
  EXPECT_EQ(above.r + above.g + above.b, 0);
  Rgb far = ReadPixel(37, 42);
  EXPECT_EQ(far.b, 255);
}

TEST_F(Text, TextIsPlacedRelativeToTheCurrentRegion) {
  ClearScreen(1, 1, 1);
  BeginFrame();
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  BeginRegion("area", 100, 200, 10, 20, 50, 50);  // scrolled by (10, 20)
  DrawGlyph('l', 15, 25, 6);
  EndRegion();
  EndRegion();
  // Content (15, 25) shows at (100 + 15 - 10, 200 + 25 - 20); "l" is inked from row 1.
  EXPECT_LT(ReadPixel(105, 206).r, 128);
  EXPECT_GT(ReadPixel(105, 205).r, 128);
}

}  // namespace
