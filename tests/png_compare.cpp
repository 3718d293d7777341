#include "tests/png_compare.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "export/export.h"
#include "platform/platform.h"

bool ReadPngRgb(const char* path, RgbImage* image) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_read_update_info(png, info);
  image->width = static_cast<int>(png_get_image_width(png, info));
  image->height = static_cast<int>(png_get_image_height(png, info));
  image->rgb.assign(static_cast<size_t>(image->width) * image->height * 3, 0);
  std::vector<png_bytep> rows(image->height);
  for (int y = 0; y < image->height; ++y) rows[y] = image->rgb.data() + static_cast<size_t>(y) * image->width * 3;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return true;
}

bool WritePngRgb(const char* path, const RgbImage& image) {
  return WritePng(path, image.rgb.data(), image.width, image.height);
}

RgbImage ReadBackRgb(int x, int y, int w, int h) {
  RgbImage image;
  image.width = w;
  image.height = h;
  std::vector<uint8_t> bottomUp(static_cast<size_t>(w) * h * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, logicalHeight - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  image.rgb.resize(bottomUp.size());
  const size_t row = static_cast<size_t>(w) * 3;
  for (int r = 0; r < h; ++r) {
    std::copy(bottomUp.begin() + (h - 1 - r) * row, bottomUp.begin() + (h - r) * row,
              image.rgb.begin() + r * row);
  }
  return image;
}

ImageDifference CompareImages(const RgbImage& expected, const RgbImage& actual, int tolerance) {
  ImageDifference result;
  if (expected.width != actual.width || expected.height != actual.height ||
      expected.rgb.size() != actual.rgb.size()) {
    result.differingPixels = expected.width * expected.height;
    result.largestDelta = 255;
    result.firstDifference = "sizes differ";
    return result;
  }
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const size_t i = (static_cast<size_t>(y) * expected.width + x) * 3;
      int delta = 0;
      for (int k = 0; k < 3; ++k) delta = std::max(delta, std::abs(expected.rgb[i + k] - actual.rgb[i + k]));
      result.largestDelta = std::max(result.largestDelta, delta);
      if (delta > tolerance) {
        if (result.differingPixels++ == 0) {
          char text[128];
          std::snprintf(text, sizeof text, "%d,%d expected %d,%d,%d got %d,%d,%d", x, y,
                        expected.rgb[i], expected.rgb[i + 1], expected.rgb[i + 2], actual.rgb[i],
                        actual.rgb[i + 1], actual.rgb[i + 2]);
          result.firstDifference = text;
        }
      }
    }
  }
  return result;
}

void ExpectMatchesGolden(const std::string& golden, const RgbImage& actual, const char* actualPath) {
  if (std::getenv("TAVOKA_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePngRgb(golden.c_str(), actual));
    GTEST_SKIP() << "wrote " << golden;
  }
  RgbImage expected;
  ASSERT_TRUE(ReadPngRgb(golden.c_str(), &expected)) << golden;
  const ImageDifference difference = CompareImages(expected, actual, 24);
  if (difference.differingPixels > 0) WritePngRgb(actualPath, actual);
  EXPECT_LE(difference.differingPixels, actual.width * actual.height / 500)
      << difference.firstDifference << " (largest difference " << difference.largestDelta
      << "; the picture drawn is " << actualPath << ")";
}
