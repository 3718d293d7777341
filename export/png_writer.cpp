// Exported pictures as 8-bit RGB PNG files. libpng reports its errors by a long jump, so the
// setjmp frame holds nothing with a destructor; every write is checked, so a full disk is
// noticed where it happens, and the picture reaches its name only once it is whole.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "export/export.h"
#include "export/export_internal.h"

namespace {

struct PngSink {
  FILE* file = nullptr;
  int error = 0;              // errno of the first failed write or flush, 0 when none
  char libpngMessage[160] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  std::snprintf(sink->libpngMessage, sizeof sink->libpngMessage, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void WriteData(png_structp png, png_bytep data, size_t length) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  errno = 0;
  if (std::fwrite(data, 1, length, sink->file) != length) {
    sink->error = errno != 0 ? errno : EIO;
    png_error(png, "write failed");
  }
}

void FlushData(png_structp png) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  errno = 0;
  if (std::fflush(sink->file) != 0) {
    sink->error = errno != 0 ? errno : EIO;
    png_error(png, "flush failed");
  }
}

// The libpng part: header, rows, end. False when libpng gave up (sink says why).
bool EncodeRows(PngSink& sink, png_bytepp rows, int width, int height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(sink.libpngMessage, sizeof sink.libpngMessage, "libpng cannot start a file");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(sink.libpngMessage, sizeof sink.libpngMessage, "libpng cannot start a file");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &sink, WriteData, FlushData);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

void SetWhy(char* why, size_t whySize, const char* text) {
  if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", text);
}

// The system's text for error; pictures are written on several threads at once, so not
// through strerror's shared buffer.
void SetWhyError(char* why, size_t whySize, int error) {
  char buffer[128];
  SetWhy(why, whySize, strerror_r(error, buffer, sizeof buffer));
}

}  // namespace

bool WritePng(const char* path, const uint8_t* rgb, int width, int height, char* why,
              size_t whySize) {
  if (path == nullptr || rgb == nullptr || width <= 0 || height <= 0) {
    SetWhy(why, whySize, "no picture to write");
    return false;
  }
  ExportFile file;
  int error = 0;
  if (!file.Open(path, &error)) {
    SetWhyError(why, whySize, error);
    return false;
  }
  PngSink sink;
  sink.file = file.stream();
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int i = 0; i < height; ++i) rows[i] = const_cast<png_bytep>(rgb + i * stride);

  if (!EncodeRows(sink, rows.data(), width, height)) {
    file.Abandon();
    if (sink.error != 0) {
      SetWhyError(why, whySize, sink.error);
    } else {
      SetWhy(why, whySize, sink.libpngMessage);
    }
    return false;
  }
  if (!file.Commit(&error)) {
    SetWhyError(why, whySize, error);
    return false;
  }
  return true;
}
