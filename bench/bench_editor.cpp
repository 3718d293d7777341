// One editor frame (EditorFrame: the view with its scene, motion path and handles, the object
// list, the menus) on the offscreen OpenGL context (Mesa llvmpipe), presentation excluded. The
// scene: 60 objects in six chains ten levels deep, 200 keys each, an image on every object, the
// deepest object of one chain selected, so the motion path walks ten ancestors 201 times; once
// as it is and once with the onion skin on (3 frames on each side).
// glFinish ends every iteration, so the rasteriser's work lands in the frame that caused it.
// The timeline alone is measured too, with a 20-second sound in each of its seven lanes.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "editor/timeline_window.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

constexpr int kChains = 6, kDepth = 10, kFrameStep = 10;

bool WritePicture(const std::string& path, int width, int height, int seed) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      row[x * 4 + 0] = static_cast<png_byte>(40 * seed + x);
      row[x * 4 + 1] = static_cast<png_byte>(y * 2);
      row[x * 4 + 2] = static_cast<png_byte>(200 - seed * 20);
      row[x * 4 + 3] = static_cast<png_byte>((x + y) % 7 == 0 ? 0 : 255);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// A mono 16-bit 44100 Hz WAV file of seconds of a swelling tone.
bool WriteSound(const std::string& path, int seconds) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const uint32_t samples = 44100u * static_cast<uint32_t>(seconds), bytes = 2 * samples;
  auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, file); };
  auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, file); };
  std::fwrite("RIFF", 1, 4, file);
  u32(36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  u32(16);
  u16(1);
  u16(1);
  u32(44100);
  u32(88200);
  u16(2);
  u16(16);
  std::fwrite("data", 1, 4, file);
  u32(bytes);
  for (uint32_t i = 0; i < samples; ++i) {
    const int16_t value = static_cast<int16_t>(((i / 50) % 2 == 0 ? 1 : -1) * static_cast<int>(i % 20000));
    std::fwrite(&value, 2, 1, file);
  }
  return std::fclose(file) == 0;
}

// The scene, built once; returns the object to select, or null when start-up failed.
SceneObject* BuildScene() {
  static std::string directory;
  if (!CreateGLWindow("bench", 1024, 768, 32, true) || !InitApplication()) return nullptr;
  directory = (std::filesystem::temp_directory_path() /
               ("tavoka_bench_editor_" + std::to_string(getpid())))
                  .string();
  std::filesystem::create_directories(directory);
  for (int i = 0; i < kChains; ++i) {
    if (!WritePicture(directory + "/part" + std::to_string(i) + ".png", 60 + 10 * i, 90, i)) {
      return nullptr;
    }
  }
  SetWorkPath((directory + "/").c_str());

  SceneObject* deepest = nullptr;
  for (int chain = 0; chain < kChains; ++chain) {
    SceneObject* parent = nullptr;
    for (int level = 0; level < kDepth; ++level) {
      SceneObject* object = CreateObject(parent);
      KeyTrack& track = *object->keys;
      for (int k = 0; k < kMaxKeys; ++k) {
        Key key;
        key.frame = k * kFrameStep;
        key.position = Vec3{level == 0 ? -250.0f + 100 * chain : 20.0f + (k % 5) * 3,
                            level == 0 ? 0.0f : 15.0f + (k % 3) * 4, static_cast<float>(level)};
        key.rotation = static_cast<float>((k % 7) * 4 - 12);
        key.mode = k % 4;
        track.keys[k] = key;
      }
      track.count = kMaxKeys;
      ImageTrack& images = *object->children[0]->images;
      const std::string file = "part" + std::to_string(chain) + ".png";
      const int entry = AddImageEntry(images, file.c_str(), file.c_str());
      for (int f = 0; f < kMaxFrames; ++f) images.frameImage[f] = entry + 1;
      parent = object;
    }
    if (chain == 2) deepest = parent;
  }
  for (int lane = 0; lane < kLaneCount; ++lane) {
    const std::string name = "lane" + std::to_string(lane) + ".wav";
    if (!WriteSound(directory + "/" + name, 20)) return nullptr;
    InsertAudioClip(name.c_str(), 3 * lane, lane);
  }
  // Removed at exit; the bank keeps the loaded images, so nothing reads the files again.
  std::atexit([] { std::filesystem::remove_all(directory); });
  return deepest;
}

void BM_EditorFrame(benchmark::State& state) {
  static SceneObject* selected = BuildScene();
  if (selected == nullptr) {
    state.SkipWithError("no OpenGL context, skin or scene");
    return;
  }
  project.selected = selected;
  project.currentFrame = 500;
  EvaluateTree(project.root, project.currentFrame, 0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  EditorFrame();  // loads the images
  glFinish();
  for (auto _ : state) {
    benchmark::DoNotOptimize(EditorFrame());
    glFinish();
  }
  state.counters["objects"] = CountObjects(project.root);
}
BENCHMARK(BM_EditorFrame)->Unit(benchmark::kMillisecond);

// The same frame with the onion skin on, three frames on each side: six more pictures of the
// whole scene behind the current one.
void BM_EditorFrameOnionSkin(benchmark::State& state) {
  static SceneObject* selected = BuildScene();
  if (selected == nullptr) {
    state.SkipWithError("no OpenGL context, skin or scene");
    return;
  }
  project.selected = selected;
  project.currentFrame = 500;
  editor.onionSkin = true;
  editor.onionFrames = 3;
  EvaluateTree(project.root, project.currentFrame, 0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  EditorFrame();
  glFinish();
  for (auto _ : state) {
    benchmark::DoNotOptimize(EditorFrame());
    glFinish();
  }
  editor.onionSkin = false;
  state.counters["objects"] = CountObjects(project.root);
}
BENCHMARK(BM_EditorFrameOnionSkin)->Unit(benchmark::kMillisecond);

// The timeline window on its own, in its own root region as the editor frame opens it.
void BM_TimelineWindow(benchmark::State& state) {
  static SceneObject* selected = BuildScene();
  if (selected == nullptr) {
    state.SkipWithError("no OpenGL context, skin or scene");
    return;
  }
  project.selected = selected;
  project.currentFrame = 200;
  editor.selectedClip = 3;
  for (auto _ : state) {
    BeginFrame();
    BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
    DrawTimelineWindow();
    EndRegion();
    glFinish();
  }
  state.counters["clips"] = ClipCount();
}
BENCHMARK(BM_TimelineWindow)->Unit(benchmark::kMillisecond);

}  // namespace
