// Small PNG helpers for tests that compare what was drawn with a golden image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows top first, 3 bytes a pixel
};

bool ReadPngRgb(const char* path, RgbImage* image);
bool WritePngRgb(const char* path, const RgbImage& image);
// The back buffer's rectangle (x, y, w, h), y counted from the top.
RgbImage ReadBackRgb(int x, int y, int w, int h);

// Pixels whose red, green or blue differ by more than tolerance.
struct ImageDifference {
  int differingPixels = 0;
  int largestDelta = 0;
  std::string firstDifference;  // "x,y expected r,g,b got r,g,b"
};
// Sizes must match; a size mismatch counts every pixel as differing.
ImageDifference CompareImages(const RgbImage& expected, const RgbImage& actual, int tolerance);

// The golden-picture check of a screenshot test: actual may differ from the golden file by more
// than 24 levels in at most one pixel in 500 (renderers round lines, points and filtered texels
// a little differently); otherwise the test fails and actual is written to actualPath.
// TAVOKA_UPDATE_GOLDEN=1 writes actual as the golden picture and skips the test instead.
void ExpectMatchesGolden(const std::string& golden, const RgbImage& actual, const char* actualPath);
