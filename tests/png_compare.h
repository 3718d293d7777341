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
