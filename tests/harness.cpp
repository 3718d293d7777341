#include "tests/harness.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app.h"
#include "app/platform.h"
#include "scene/scene.h"

namespace {
bool contextUp = false;
bool editorUp = false;
}  // namespace

void EnsureGLContext() {
  if (contextUp) return;
  if (!CreateGLWindow("Tavoka", 1024, 768, 32, true)) {
    std::fprintf(stderr, "harness: cannot create the offscreen OpenGL context\n");
    std::abort();
  }
  contextUp = true;
}

void StartEditor() {
  EnsureGLContext();
  if (!editorUp) {
    if (!InitApplication()) std::abort();
    editorUp = true;
  } else {
    NewProject();
  }
}

bool RunPasses(int count) {
  for (int i = 0; i < count; ++i) {
    if (!RunMainLoopPass()) return false;
  }
  return true;
}

Rgb ReadPixel(int x, int y) {
  unsigned char pixel[4] = {};
  glReadBuffer(GL_BACK);
  glReadPixels(x, logicalHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  return Rgb{pixel[0], pixel[1], pixel[2]};
}

bool SaveScreenshot(const char* path) {
  int width = logicalWidth, height = logicalHeight;
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int row = height - 1; row >= 0; --row) {
    png_write_row(png, rgb.data() + static_cast<size_t>(row) * width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return true;
}
