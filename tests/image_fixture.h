// Helpers for the image bank and scene drawing tests: PNG files written in any colour type and
// bit depth, a temporary work directory the bank reads from, and drawing on the offscreen
// context with a pixel projection (origin top left, y down, as the editor's view).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/harness.h"

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// A picture in memory, RGBA rows top first.
struct RgbaImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  RgbaImage() = default;
  RgbaImage(int w, int h, Rgba fill);
  Rgba At(int x, int y) const;
  void Set(int x, int y, Rgba colour);
};

// How a PNG file stores the picture: libpng colour type (PNG_COLOR_TYPE_*), bit depth,
// interlacing, and for grey or RGB files a transparent key colour (tRNS).
struct PngFormat {
  int colorType;
  int bitDepth;
  bool interlaced = false;
  bool colourKey = false;
  const char* label = "";
};
// Writes image in that format. The picture must be representable: grey for grey types, levels
// that the bit depth holds exactly, at most 2^depth colours for palettes, and with a colour key
// every pixel of alpha 0 in the key colour (the first transparent pixel's) and no other alpha.
bool WritePngFile(const std::string& path, const RgbaImage& image, const PngFormat& format);
// A small opaque RGBA picture of side x side pixels in one colour: a file the image bank loads.
bool WriteSolidPng(const std::string& path, int side = 4, Rgba colour = Rgba{200, 40, 40, 255});
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A test with the offscreen OpenGL context, an empty image bank reading from a fresh temporary
// directory (removed afterwards), and a cleared white screen with the pixel projection.
class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Full path of a file in the work directory.
  std::string PathOf(const std::string& name) const;
  std::filesystem::path directory_;
  std::string workPath_;  // directory_ with a trailing separator, given to the bank
  std::string previousFolder_;  // the bank's folder before the test
};

// Clears to an opaque colour, sets the editor's blending and an identity model-view matrix.
void ClearScreen(Rgba colour);
// The colour drawn at pixel (x, y), counted from the top left.
Rgba ScreenAt(int x, int y);
// Back-buffer rectangle (x, y from the top left) as RGBA rows top first.
RgbaImage ReadScreen(int x, int y, int w, int h);

// Largest difference of red, green or blue (and alpha when asked) between two equally sized
// pictures (256 when the sizes differ) and how many pixels differ at all.
struct PictureDifference {
  int largest = 0;
  int pixels = 0;
};
PictureDifference ComparePictures(const RgbaImage& a, const RgbaImage& b, bool withAlpha = false);
