// Helpers for the export tests: a fresh project on the offscreen context whose work directory
// holds a 60 x 60 red and a 60 x 60 blue PNG, empty audio tables, scripted dialogs, and readers
// for the files an export writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "export/export.h"
#include "platform/dialogs.h"
#include "scene/scene.h"
#include "tests/image_fixture.h"
#include "tests/png_compare.h"

class ExportTest : public ImageTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // An object at (x, y) under the root showing file on frames 0..99, its track's first key
  // holding that place in Corner mode.
  static SceneObject* AddImageObject(const char* file, float x, float y);
  // Adds a Corner key at frame with position (x, y).
  static void AddCornerKey(SceneObject* object, int frame, float x, float y);
  // The object's pivot x in the scene at frame + fraction, as the export evaluates it.
  static float PoseX(SceneObject* object, int frame, float fraction);

  // ExportAnimation with the base path name in the work directory; threads and scale as
  // ExportOptions.
  bool Export(const std::string& name, int start, int end, bool blur, ExportResult* result,
              int threads = -1, ExportProgress progress = nullptr, void* data = nullptr,
              int scale = 1);
  // Exported picture index of base name, or an empty image when it cannot be read.
  RgbImage Frame(const std::string& name, int index) const;
  std::string FrameName(const std::string& name, int index) const;
  bool Exists(const std::string& file) const;
  // Names of the files in the work directory, sorted, the two test images left out.
  std::vector<std::string> Files() const;

  ScriptedDialogs dialogs_;
};

struct Rgb8 {
  int r, g, b;
};
inline Rgb8 PixelAt(const RgbImage& image, int x, int y) {
  const uint8_t* p = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
  return Rgb8{p[0], p[1], p[2]};
}
