// PNG decoding over a byte buffer with libpng 1.6. libpng reports errors by calling our error
// function, which jumps back to the setjmp in ReadPng; nothing with a destructor lives in the
// frames it jumps over, and ReadPng keeps only plain locals that are not changed after setjmp.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "images/image_bank.h"

namespace {

// Deflate expands at most about 1032 times, so a file whose pixels would need more bytes than
// this many times its size is certainly truncated: refusing it early avoids a large allocation.
constexpr uint64_t kMaxExpansion = 1100;

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t position;
  char* problem;  // out.problem, filled by the error function
};

void ReadFromSource(png_structp png, png_bytep into, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->size - source->position) png_error(png, "the file is truncated");
  std::memcpy(into, source->data + source->position, length);
  source->position += length;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(source->problem, sizeof(DecodedPng::problem), "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void Refuse(png_structp png, PngSource& source, const char* problem) {
  std::snprintf(source.problem, sizeof(DecodedPng::problem), "%s", problem);
  png_longjmp(png, 1);
}

// The libpng part: reads the header, checks the size, sets the conversions to 8-bit RGBA and
// reads the rows into out.rgba (sized before the jump point can be reached from the rows).
bool ReadPng(png_structp png, png_infop info, PngSource& source, DecodedPng& out,
             std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;

  png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
  png_set_read_fn(png, &source, ReadFromSource);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width == 0 || height == 0) Refuse(png, source, "the image is empty");
  if (uint64_t{width} * height > static_cast<uint64_t>(kMaxPngPixels)) {
    Refuse(png, source, "the image is too large");
  }
  const uint64_t storedBytes = uint64_t{height} * (png_get_rowbytes(png, info) + 1);
  if (storedBytes > uint64_t{source.size} * kMaxExpansion) {
    Refuse(png, source, "the file is truncated");
  }
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.channels = png_get_channels(png, info);

  // Palettes become RGB and their transparency alpha; grey below 8 bits is widened; 16-bit
  // samples are rounded to 8; grey becomes RGB; images without alpha get an opaque one.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t{width} * 4 || png_get_bit_depth(png, info) != 8) {
    Refuse(png, source, "the pixel format cannot be converted");
  }

  out.rgba.resize(size_t{width} * height * 4);
  rows.resize(height);
  for (png_uint_32 row = 0; row < height; ++row) {
    rows[row] = out.rgba.data() + size_t{row} * width * 4;
  }
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

bool NoHeader(char* problem, size_t problemSize, const char* reason) {
  std::snprintf(problem, problemSize, "%s", reason);
  return false;
}

}  // namespace

bool ReadPngHeader(const uint8_t* data, size_t size, PngHeader& header, char* problem,
                   size_t problemSize) {
  header = PngHeader();
  if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
    return NoHeader(problem, problemSize, "not a PNG file");
  }
  if (size < kPngHeaderBytes) return NoHeader(problem, problemSize, "the file is truncated");
  if (BigEndian32(data + 8) != 13 || std::memcmp(data + 12, "IHDR", 4) != 0) {
    return NoHeader(problem, problemSize, "the file is damaged (no image header)");
  }
  header.width = BigEndian32(data + 16);
  header.height = BigEndian32(data + 20);
  header.bitDepth = data[24];
  header.colourType = data[25];
  if (header.width == 0 || header.height == 0) {
    return NoHeader(problem, problemSize, "the image is empty");
  }
  if (header.width > static_cast<uint32_t>(kMaxPngSide) ||
      header.height > static_cast<uint32_t>(kMaxPngSide)) {
    std::snprintf(problem, problemSize, "the image is %u x %u pixels, more than %d a side",
                  header.width, header.height, kMaxPngSide);
    return false;
  }
  if (uint64_t{header.width} * header.height > static_cast<uint64_t>(kMaxPngPixels)) {
    std::snprintf(problem, problemSize, "the image is %u x %u pixels, more than %lld in all",
                  header.width, header.height, static_cast<long long>(kMaxPngPixels));
    return false;
  }
  return true;
}

size_t LargestPngFile(const PngHeader& header) {
  // Samples per pixel by colour type; unknown types count as the widest so the bound stays one.
  int channels = 4;
  if (header.colourType == 0 || header.colourType == 3) channels = 1;
  if (header.colourType == 4) channels = 2;
  if (header.colourType == 2) channels = 3;
  const int depth = header.bitDepth >= 1 && header.bitDepth <= 16 ? header.bitDepth : 16;
  const uint64_t bits = uint64_t{header.width} * channels * depth;
  const uint64_t raw = uint64_t{header.height} * ((bits + 7) / 8 + 1);
  const uint64_t largest = 2 * raw + (uint64_t{16} << 20);
  return static_cast<size_t>(std::min<uint64_t>(largest, kMaxPngFileBytes));
}

bool DecodePng(const uint8_t* data, size_t size, DecodedPng& out) {
  out = DecodedPng();
  PngHeader header;
  if (!ReadPngHeader(data, size, header, out.problem, sizeof out.problem)) return false;
  PngSource source{data, size, 0, out.problem};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnPngError,
                                           OnPngWarning);
  if (png == nullptr) {
    std::snprintf(out.problem, sizeof out.problem, "libpng cannot start");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(out.problem, sizeof out.problem, "libpng cannot start");
    return false;
  }
  std::vector<png_bytep> rows;
  bool decoded = false;
  // The pixels are the one large allocation; without memory for them the file is refused.
  try {
    decoded = ReadPng(png, info, source, out, rows);
  } catch (const std::bad_alloc&) {
    std::snprintf(out.problem, sizeof out.problem, "not enough memory for the image");
    out.outOfMemory = true;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!decoded) {
    out.rgba.clear();
    out.rgba.shrink_to_fit();
    out.width = out.height = 0;
  }
  return decoded;
}
