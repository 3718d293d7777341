// The headless harness: an offscreen OpenGL context (no window server), the application brought
// up on it, and passes of the main loop driven with scripted input.
#pragma once

#include <cstdint>

// Opens the offscreen window and context once per process.
void EnsureGLContext();
// EnsureGLContext, then InitApplication once per process (with XDG_CONFIG_HOME pointing at a
// fresh temporary folder, so the user's own settings play no part); later calls start a new
// project.
void StartEditor();
// Runs count main-loop passes; false if one of them ended the loop.
bool RunPasses(int count);

struct Rgb {
  uint8_t r, g, b;
};
// The colour of pixel (x, y) of the back buffer, (0, 0) at the top left as the interface counts.
Rgb ReadPixel(int x, int y);
// Writes the whole back buffer to a PNG (for looking at a failing test).
bool SaveScreenshot(const char* path);
