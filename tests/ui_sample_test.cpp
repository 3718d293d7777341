// A rendered sample of the toolkit (two overlapping windows, a scroll area with both bars,
// outlined and plain text with every glyph, an open menu with a highlighted entry) compared with
// the golden image tests/data/ui_sample.png. On a difference the picture that was drawn is
// written to ui_sample_actual.png in the test's working directory; after an intended change of
// the look, copy that file over the golden one.
#include <cstdio>
#include <string>

#include "tests/png_compare.h"
#include "tests/ui_fixture.h"

namespace {

constexpr int kSampleWidth = 432;
constexpr int kSampleHeight = 300;

// Every character the font knows, in lines that fit the glyph window.
const char* const kGlyphLines[] = {
    " !\"#$%&'()*+,-./0123456789:;<=>?",
    "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`",
    "abcdefghijklmnopqrstuvwxyz{|}~",
    "\xC5\xC4\xD6\xE5\xE4\xF6  The quick brown fox jumps over the lazy dog.",
};

class UiSample : public UiTest {
 protected:
  int glyphX = 6, glyphY = 6, listX = 40, listY = 118;
  float listScrollX = 0.25f, listScrollY = 0.5f;

  void Windows() {
    int w = 400, h = 96;
    Window(&glyphX, &glyphY, &w, &h, "Glyphs 100% plain", "glyphwin");
    float noScrollX = 0, noScrollY = 0;
    ScrollArea(1, 12, w - 2, h - 1, &noScrollX, &noScrollY, w - 2, h - 1, 10, "glyphscroll");
    for (int i = 0; i < 4; ++i) DrawTextOutlined(4, 4 + 11 * i, 9, 6, kGlyphLines[i]);
    DrawText(4, 50, 6, kGlyphLines[0]);
    DrawText(4, 60, 12, kGlyphLines[1]);
    DrawText(4, 70, 11, kGlyphLines[2]);
    DrawText(4, 80, 6, kGlyphLines[3]);
    EndRegion();
    EndRegion();

    w = 260;
    h = 160;
    Window(&listX, &listY, &w, &h, "Timeline - 30 fps", "listwin");
    ScrollArea(1, 12, w - 2, h - 1, &listScrollX, &listScrollY, 520, 400, 9, "listscroll");
    for (int row = 0; row < 40; ++row) {
      if (row % 2 == 1) FillRect(0, row * 10, 520, 10, 10);
      DrawTextFormat(2, row * 10 + 1, 6, "Row %02d  frame %d  %s", row, row * 12,
                     row % 3 == 0 ? "key" : "image");
    }
    EndRegion();
    EndRegion();

    // A strip of timeline frame cells with the four key markers under them.
    BeginRegion("", 306, 236, 0, 0, 120, 56);
    FillRect(0, 0, 120, 56, 10);
    FillRect(0, 10, 120, 1, 6);
    for (int f = 0; f < 14; ++f) {
      const int x = 1 + 8 * f;
      DrawOutline(x, 20, 7, 7, f == 4 ? 9 : 15);
    }
    const int markers[][2] = {{1, kSkinKey}, {3, kSkinKeyCorner}, {5, kSkinKeyStationary},
                              {7, kSkinKey}, {10, kSkinKeyCorner}};
    for (const auto& marker : markers) DrawImage(ui->skin[marker[1]], 1 + 8 * marker[0] - 4, 27);
    DrawImage(ui->skin[kSkinKeySelected], 1 + 8 * 7 - 4, 27);
    DrawImage(ui->skin[kSkinKeySelected], 1 + 8 * 12 - 4, 27);  // a selected manual key
    DrawText(2, 44, 6, "0");
    EndRegion();
  }
};

TEST_F(UiSample, MatchesTheGoldenImage) {
  // Focus the list window with a press on its body, then open the object menu and hover its
  // third entry.
  PressLeft(100, 250);
  for (int frame = 0; frame < 3; ++frame) {
    ClearScreen(1.0f, 0.97f, 0.95f);
    Frame([&] { Windows(); });
    ReleaseAll();
  }
  MoveTo(315, 150);
  ClearScreen(1.0f, 0.97f, 0.95f);
  Frame([&] {
    Windows();
    OpenMenu(1);
  });
  MoveTo(340, 171);
  ClearScreen(1.0f, 0.97f, 0.95f);
  ASSERT_EQ(Frame([&] { Windows(); }), -1);

  RgbImage actual = ReadBackRgb(0, 0, kSampleWidth, kSampleHeight);
  RgbImage golden;
  const std::string goldenPath = std::string(TAVOKA_TEST_DATA) + "/ui_sample.png";
  const bool haveGolden = ReadPngRgb(goldenPath.c_str(), &golden);
  ImageDifference difference = CompareImages(golden, actual, 12);
  // A broken glyph changes a handful of pixels: allow almost none.
  if (!haveGolden || difference.differingPixels > 4) {
    WritePngRgb("ui_sample_actual.png", actual);
  }
  ASSERT_TRUE(haveGolden) << "missing " << goldenPath << "; the drawn sample is in ui_sample_actual.png";
  EXPECT_LE(difference.differingPixels, 4)
      << "first difference at " << difference.firstDifference
      << "; the drawn sample is in ui_sample_actual.png";
}

}  // namespace
