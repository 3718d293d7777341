#include "tests/image_fixture.h"

#include <GL/gl.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "images/image_bank.h"
#include "platform/platform.h"
#include "scene/scene.h"

namespace fs = std::filesystem;

RgbaImage::RgbaImage(int w, int h, Rgba fill) : width(w), height(h) {
  pixels.resize(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) Set(x, y, fill);
  }
}

Rgba RgbaImage::At(int x, int y) const {
  const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
  return Rgba{p[0], p[1], p[2], p[3]};
}

void RgbaImage::Set(int x, int y, Rgba colour) {
  uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
  p[0] = colour.r;
  p[1] = colour.g;
  p[2] = colour.b;
  p[3] = colour.a;
}

namespace {

// Appends one sample of an 8-bit value at the format's depth: one byte per sample below 8 bits
// (the writer packs them), two big-endian bytes at 16.
void PutSample(std::vector<uint8_t>& row, uint8_t value, int depth) {
  if (depth == 16) {
    row.push_back(value);  // value * 257 is the byte repeated
    row.push_back(value);
  } else if (depth == 8) {
    row.push_back(value);
  } else {
    row.push_back(static_cast<uint8_t>(value * ((1 << depth) - 1) / 255));
  }
}

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  FILE* file = nullptr;
  ~PngWriter() {
    png_destroy_write_struct(&png, &info);
    if (file != nullptr) std::fclose(file);
  }
};

bool WriteRows(PngWriter& w, const RgbaImage& image, const PngFormat& format,
               std::vector<std::vector<uint8_t>>& rows, std::vector<png_color>& palette,
               std::vector<uint8_t>& paletteAlpha, const png_color_16& key) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, w.file);
  png_set_IHDR(w.png, w.info, image.width, image.height, format.bitDepth, format.colorType,
               format.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (format.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(w.png, w.info, palette.data(), static_cast<int>(palette.size()));
    if (!paletteAlpha.empty()) {
      png_set_tRNS(w.png, w.info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()),
                   nullptr);
    }
  }
  if (format.colourKey) png_set_tRNS(w.png, w.info, nullptr, 0, const_cast<png_color_16*>(&key));
  png_write_info(w.png, w.info);
  if (format.bitDepth < 8) png_set_packing(w.png);
  png_set_interlace_handling(w.png);
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  png_write_image(w.png, pointers.data());
  png_write_end(w.png, nullptr);
  return true;
}

}  // namespace

bool WriteSolidPng(const std::string& path, int side, Rgba colour) {
  return WritePngFile(path, RgbaImage(side, side, colour), PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8});
}

bool WritePngFile(const std::string& path, const RgbaImage& image, const PngFormat& format) {
  const int type = format.colorType, depth = format.bitDepth;
  std::vector<png_color> palette;
  std::vector<Rgba> paletteColours;
  std::vector<uint8_t> paletteAlpha;
  png_color_16 key{};
  bool haveKey = false;
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    std::vector<uint8_t>& row = rows[y];
    for (int x = 0; x < image.width; ++x) {
      const Rgba p = image.At(x, y);
      if (format.colourKey && p.a == 0 && !haveKey) {
        haveKey = true;
        const int scale = depth == 16 ? 257 : 1;
        const int grey = depth < 8 ? p.r * ((1 << depth) - 1) / 255 : p.r * scale;
        key.red = static_cast<png_uint_16>(p.r * scale);
        key.green = static_cast<png_uint_16>(p.g * scale);
        key.blue = static_cast<png_uint_16>(p.b * scale);
        key.gray = static_cast<png_uint_16>(grey);
      }
      switch (type) {
        case PNG_COLOR_TYPE_GRAY:
          PutSample(row, p.r, depth);
          break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
          PutSample(row, p.r, depth);
          PutSample(row, p.a, depth);
          break;
        case PNG_COLOR_TYPE_RGB:
          for (uint8_t v : {p.r, p.g, p.b}) PutSample(row, v, depth);
          break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
          for (uint8_t v : {p.r, p.g, p.b, p.a}) PutSample(row, v, depth);
          break;
        case PNG_COLOR_TYPE_PALETTE: {
          auto at = std::find(paletteColours.begin(), paletteColours.end(), p);
          if (at == paletteColours.end()) {
            if (paletteColours.size() >= (size_t{1} << depth)) return false;
            paletteColours.push_back(p);
            at = paletteColours.end() - 1;
          }
          row.push_back(static_cast<uint8_t>(at - paletteColours.begin()));
          break;
        }
        default:
          return false;
      }
    }
  }
  for (const Rgba& c : paletteColours) palette.push_back(png_color{c.r, c.g, c.b});
  for (const Rgba& c : paletteColours) {
    if (c.a != 255) {
      for (const Rgba& d : paletteColours) paletteAlpha.push_back(d.a);
      break;
    }
  }
  PngWriter writer;
  writer.file = std::fopen(path.c_str(), "wb");
  if (writer.file == nullptr) return false;
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (writer.png == nullptr) return false;
  writer.info = png_create_info_struct(writer.png);
  if (writer.info == nullptr) return false;
  return WriteRows(writer, image, format, rows, palette, paletteAlpha, key);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

void ImageTest::SetUp() {
  EnsureGLContext();
  char pattern[] = "/tmp/tavoka_images_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  directory_ = pattern;
  workPath_ = directory_.string() + "/";
  previousFolder_ = ImageFolder();
  SetImageFolder(workPath_.c_str());
  FreeImageBank();
  InitImageBank();
  exporting = false;
  SetProjection(logicalWidth, logicalHeight);
  glDisable(GL_TEXTURE_2D);
  ClearScreen(Rgba{255, 255, 255, 255});
}

void ImageTest::TearDown() {
  FreeImageBank();
  SetImageFolder(previousFolder_.c_str());
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

std::string ImageTest::PathOf(const std::string& name) const { return workPath_ + name; }

void ClearScreen(Rgba colour) {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

Rgba ScreenAt(int x, int y) {
  const RgbaImage one = ReadScreen(x, y, 1, 1);
  return one.At(0, 0);
}

RgbaImage ReadScreen(int x, int y, int w, int h) {
  RgbaImage image(w, h, Rgba{0, 0, 0, 0});
  std::vector<uint8_t> bottomUp(static_cast<size_t>(w) * h * 4);
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, logicalHeight - y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  for (int row = 0; row < h; ++row) {
    std::copy_n(&bottomUp[static_cast<size_t>(h - 1 - row) * w * 4], static_cast<size_t>(w) * 4,
                &image.pixels[static_cast<size_t>(row) * w * 4]);
  }
  return image;
}

PictureDifference ComparePictures(const RgbaImage& a, const RgbaImage& b, bool withAlpha) {
  PictureDifference difference;
  if (a.width != b.width || a.height != b.height) {
    difference.largest = 256;
    return difference;
  }
  for (size_t i = 0; i < a.pixels.size(); i += 4) {
    int largest = 0;
    for (int c = 0; c < (withAlpha ? 4 : 3); ++c) largest = std::max(largest, std::abs(a.pixels[i + c] - b.pixels[i + c]));
    difference.largest = std::max(difference.largest, largest);
    if (largest > 0) difference.pixels += 1;
  }
  return difference;
}
