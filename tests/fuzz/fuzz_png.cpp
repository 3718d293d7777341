// Feeds arbitrary bytes to the PNG decoder: signature and chunk checks, every colour type and
// bit depth, interlacing, libpng's errors. Whatever it accepts must fill exactly its pixels.

#include <cstdlib>

#include "images/image_bank.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedPng png;
  if (!DecodePng(data, size, png)) {
    if (!png.rgba.empty() || png.problem[0] == '\0') std::abort();
    return 0;
  }
  if (png.width <= 0 || png.height <= 0 || png.width > kMaxPngSide || png.height > kMaxPngSide ||
      png.rgba.size() != static_cast<size_t>(png.width) * png.height * 4) {
    std::abort();
  }
  unsigned sum = 0;
  for (uint8_t byte : png.rgba) sum += byte;
  return sum == 0xFFFFFFFFu;
}
