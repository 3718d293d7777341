#include "tests/export_fixture.h"

#include <png.h>

#include <algorithm>
#include <filesystem>

#include "audio/audio.h"
#include "project/project_file.h"
#include "scene/animation.h"

namespace fs = std::filesystem;

void ExportTest::SetUp() {
  ImageTest::SetUp();
  FreeAudio(false);
  InitAudio(false);
  muted = false;
  NewProject();
  SetWorkPath(workPath_.c_str());
  project.fps = 30;
  SetDialogBackend(&dialogs_);
  ASSERT_TRUE(WritePngFile(PathOf("red.png"), RgbaImage(60, 60, Rgba{255, 0, 0, 255}),
                           PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8}));
  ASSERT_TRUE(WritePngFile(PathOf("blue.png"), RgbaImage(60, 60, Rgba{0, 0, 255, 255}),
                           PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8}));
}

void ExportTest::TearDown() {
  SetDialogBackend(nullptr);
  FreeAudio(false);
  muted = false;
  exporting = false;
  ImageTest::TearDown();
}

SceneObject* ExportTest::AddImageObject(const char* file, float x, float y) {
  SceneObject* object = CreateObject(project.root);
  EXPECT_NE(object, nullptr);
  Key& first = object->keys->keys[0];
  first.position = Vec3{x, y, 0};
  first.mode = kCorner;
  object->state.position = first.position;
  ImageTrack& track = *object->children[0]->images;
  const int entry = AddImageEntry(track, file, file);
  for (int frame = 0; frame < 100; ++frame) SetFrameImage(track, frame, entry + 1);
  return object;
}

void ExportTest::AddCornerKey(SceneObject* object, int frame, float x, float y) {
  Key key;
  key.frame = frame;
  key.position = Vec3{x, y, 0};
  key.mode = kCorner;
  ASSERT_GE(AddKey(*object->keys, key), 0);
}

float ExportTest::PoseX(SceneObject* object, int frame, float fraction) {
  EvaluateTree(project.root, frame, fraction);
  return object->state.position.x;
}

bool ExportTest::Export(const std::string& name, int start, int end, bool blur,
                        ExportResult* result, int threads, ExportProgress progress, void* data,
                        int scale) {
  char path[kDialogPathSize];
  std::snprintf(path, sizeof path, "%s", PathOf(name).c_str());
  ExportOptions options;
  options.encoderThreads = threads;
  options.progress = progress;
  options.progressData = data;
  options.scale = scale;
  return ExportAnimation(path, start, end, blur, options, result);
}

std::string ExportTest::FrameName(const std::string& name, int index) const {
  char file[64];
  std::snprintf(file, sizeof file, "_frame%.4i.png", index);
  return name + file;
}

RgbImage ExportTest::Frame(const std::string& name, int index) const {
  RgbImage image;
  if (!ReadPngRgb(PathOf(FrameName(name, index)).c_str(), &image)) return RgbImage();
  return image;
}

bool ExportTest::Exists(const std::string& file) const {
  std::error_code ignored;
  return fs::exists(PathOf(file), ignored);
}

std::vector<std::string> ExportTest::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory_)) {
    const std::string name = entry.path().filename().string();
    if (name != "red.png" && name != "blue.png") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}
