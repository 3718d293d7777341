#include "tests/harness.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "tests/png_compare.h"

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
    // The editor reads the user's settings at start-up: never the real user's.
    static char settingsHome[] = "/tmp/tavoka_settings_XXXXXX";
    if (mkdtemp(settingsHome) != nullptr) {
      setenv("XDG_CONFIG_HOME", settingsHome, 1);
      std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(settingsHome, ignored);
      });
    }
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
  return WritePngRgb(path, ReadBackRgb(0, 0, logicalWidth, logicalHeight));
}
