// The image path of every drawn frame. Queueing, sorting and bank lookups of 1000 image draws
// from 200 images (CPU only), and whole 640 x 480 pictures (a 20-part puppet, and 20 opaque
// 150 x 150 squares) on the offscreen OpenGL context (Mesa llvmpipe: software rasterising,
// where every texture change costs), each image's tiles in pages of its own.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "images/image_bank.h"
#include "platform/platform.h"
#include "scene/draw.h"
#include "scene/scene.h"

namespace {

std::string workPath;

bool WriteRgbaPng(const std::string& path, const std::vector<uint8_t>& rgba, int w, int h) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, &rgba[static_cast<size_t>(y) * w * 4]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// A filled ellipse or rounded rectangle with a soft edge, shading and stripes on a transparent
// surround, as the puppet generator draws its parts.
std::vector<uint8_t> DrawPart(int w, int h, bool ellipse, uint8_t red, uint8_t green, uint8_t blue) {
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0);
  const float hw = w / 2.0f - 2, hh = h / 2.0f - 2, r = 0.35f * std::min(hw, hh);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const float x = i + 0.5f - w / 2.0f, y = j + 0.5f - h / 2.0f;
      float d;
      if (ellipse) {
        d = (std::hypot(x / hw, y / hh) - 1) * std::min(hw, hh);
      } else {
        const float qx = std::fabs(x) - (hw - r), qy = std::fabs(y) - (hh - r);
        d = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
      }
      const float cover = std::clamp(0.5f - d, 0.0f, 1.0f);
      if (cover == 0) continue;
      const float shade = (0.75f + 0.25f * (1 - static_cast<float>(j) / h)) *
                          (d > -3 ? 0.3f : ((static_cast<int>((x + y / 2) / 7) & 1) ? 0.9f : 1.0f));
      uint8_t* p = &rgba[(static_cast<size_t>(j) * w + i) * 4];
      p[0] = static_cast<uint8_t>(red * shade);
      p[1] = static_cast<uint8_t>(green * shade);
      p[2] = static_cast<uint8_t>(blue * shade);
      p[3] = static_cast<uint8_t>(std::lround(255 * cover));
    }
  }
  return rgba;
}

bool Ready() {
  static bool ready = [] {
    if (!CreateGLWindow("bench", 1024, 768, 32, true)) return false;
    char pattern[] = "/tmp/tavoka_bench_images_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    workPath = std::string(pattern) + "/";
    SetImageFolder(workPath.c_str());
    InitImageBank();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(workPath, ignored);
    });
    return true;
  }();
  return ready;
}

void SetImage(SceneObject* object, const std::string& file) {
  ImageTrack& track = *object->children[0]->images;
  const int entry = AddImageEntry(track, file.c_str(), file.c_str());
  for (int frame = 0; frame < 90; ++frame) SetFrameImage(track, frame, entry + 1);
}

// 1000 objects in 20 groups, each showing one of 200 images, on 16 levels with many ties.
void BuildCrowd() {
  NewProject();
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    const std::string name = "part" + std::to_string(i) + ".png";
    if (!std::filesystem::exists(workPath + name)) {
      WriteRgbaPng(workPath + name, DrawPart(40, 40, i % 2 == 0, 200, 100, 50), 40, 40);
    }
  }
  for (int group = 0; group < 20; ++group) {
    SceneObject* holder = CreateObject(nullptr);
    holder->state.position = Vec3{static_cast<float>(group * 30 - 300), 0, static_cast<float>(group % 4)};
    for (int i = 0; i < 50; ++i) {
      SceneObject* object = CreateObject(holder);
      object->state.position = Vec3{static_cast<float>(random() % 300), static_cast<float>(random() % 400),
                                    static_cast<float>(random() % 16) - 8};
      object->state.rotation = static_cast<float>(random() % 360);
      SetImage(object, "part" + std::to_string((group * 50 + i) * 7 % 200) + ".png");
    }
  }
}

void BM_QueueSortLookup1000(benchmark::State& state) {
  if (!Ready()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  BuildCrowd();
  glLoadIdentity();
  imageDrawList.count = 0;
  DrawObject(project.root, false, false, 0);
  for (int k = 0; k < imageDrawList.count; ++k) GetImage(imageDrawList.images[k].entry->file);
  if (imageBank.count != 200 || imageDrawList.count != 1000) {
    state.SkipWithError("the crowd did not load");
    return;
  }
  for (auto _ : state) {
    imageDrawList.count = 0;
    DrawObject(project.root, false, false, 0);
    SortQueue();
    for (int k = 0; k < imageDrawList.count; ++k) {
      const QueuedImage& queued = imageDrawList.images[imageDrawList.order[k].index];
      benchmark::DoNotOptimize(GetImage(queued.entry->file));
    }
  }
  state.counters["draws"] = imageDrawList.count;
}
BENCHMARK(BM_QueueSortLookup1000)->Unit(benchmark::kMicrosecond);

void BM_SortQueue1000(benchmark::State& state) {
  std::mt19937 random(11);
  std::vector<SortEntry> queued(kMaxImageDraws);
  for (int i = 0; i < kMaxImageDraws; ++i) {
    queued[i] = SortEntry{i, static_cast<float>(random() % 16)};
  }
  for (auto _ : state) {
    std::copy(queued.begin(), queued.end(), imageDrawList.order.begin());
    imageDrawList.count = kMaxImageDraws;
    SortQueue();
    benchmark::DoNotOptimize(imageDrawList.order[0]);
  }
}
BENCHMARK(BM_SortQueue1000)->Unit(benchmark::kMicrosecond);

// The puppet: 20 parts from 60 x 110 to 200 x 200 pixels, a body with head, hat, arms and legs
// in three joints each, and scenery, at a pose of the walk.
struct PuppetPart {
  const char* name;
  int parent;  // index into the list, -1 for the root
  int w, h;
  bool ellipse;
  float x, y, level, degrees;
};
const PuppetPart kPuppet[] = {
    {"tree", -1, 200, 200, true, -230, 100, 0, 0},      {"cloud", -1, 200, 120, true, 0, -185, 1, 0},
    {"sun", -1, 150, 150, true, 220, -170, 1, 0},        {"bush", -1, 180, 120, false, 180, 160, 2, 0},
    {"ball", -1, 80, 80, true, 160, 120, 3, 0},          {"body", -1, 140, 200, false, -50, -20, 10, -5},
    {"head", 5, 150, 150, true, 0, -95, 10, 7},          {"hat", 6, 120, 80, false, 0, -120, 1, -4},
    {"upper_arm_l", 5, 60, 120, false, 60, -80, 20, 30}, {"forearm_l", 8, 60, 110, false, 0, 100, 1, 20},
    {"hand_l", 9, 70, 70, true, 0, 90, 1, 10},           {"upper_arm_r", 5, 60, 120, false, -60, -80, -5, -30},
    {"forearm_r", 11, 60, 110, false, 0, 100, 1, -15},   {"hand_r", 12, 70, 70, true, 0, 90, 1, -5},
    {"thigh_l", 5, 70, 130, false, 30, 85, -2, 20},      {"shin_l", 14, 64, 120, false, 0, 110, 0, -10},
    {"foot_l", 15, 110, 60, false, 0, 100, 0, 5},        {"thigh_r", 5, 70, 130, false, -30, 85, -4, -20},
    {"shin_r", 17, 64, 120, false, 0, 110, 0, 15},       {"foot_r", 18, 110, 60, false, 0, 100, 0, -5},
};

void BuildPuppet() {
  NewProject();
  std::vector<SceneObject*> made;
  int index = 0;
  for (const PuppetPart& part : kPuppet) {
    const std::string file = std::string(part.name) + ".png";
    if (!std::filesystem::exists(workPath + file)) {
      WriteRgbaPng(workPath + file,
                   DrawPart(part.w, part.h, part.ellipse, static_cast<uint8_t>(60 + index * 9),
                            static_cast<uint8_t>(200 - index * 7), static_cast<uint8_t>(90 + index * 5)),
                   part.w, part.h);
    }
    SceneObject* object = CreateObject(part.parent < 0 ? nullptr : made[part.parent]);
    object->state.position = Vec3{part.x, part.y, part.level};
    object->state.rotation = part.degrees;
    object->state.scale = part.parent < 0 && std::string(part.name) == "body" ? Vec3{0.7f, 0.7f, 1}
                                                                             : Vec3{1, 1, 1};
    SetImage(object, file);
    made.push_back(object);
    index += 1;
  }
}

// Twenty opaque 150 x 150 squares over the picture: 25 tiles each, 500 in all.
void BuildSquares() {
  NewProject();
  for (int i = 0; i < 20; ++i) {
    const std::string file = "square" + std::to_string(i) + ".png";
    if (!std::filesystem::exists(workPath + file)) {
      std::vector<uint8_t> rgba(150 * 150 * 4, 255);
      for (size_t p = 0; p < rgba.size(); p += 4) rgba[p] = static_cast<uint8_t>(i * 12 + p % 97);
      WriteRgbaPng(workPath + file, rgba, 150, 150);
    }
    SceneObject* object = CreateObject(nullptr);
    object->state.position = Vec3{static_cast<float>(i % 5 * 120 - 240),
                                  static_cast<float>(i / 5 * 110 - 165), static_cast<float>(i % 3)};
    object->state.rotation = static_cast<float>(i * 17);
    SetImage(object, file);
  }
}

// One exported picture: clear, the image pass, sort, paint, and wait for the rasteriser.
void DrawPicture() {
  glViewport(0, 0, 640, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-320, 320, 240, -240, 1, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(1, 1, 1, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  imageDrawList.count = 0;
  DrawObject(project.root, false, false, 0);
  SortQueue();
  DrawQueue();
  glFinish();
}

void BM_Picture(benchmark::State& state, void (*build)()) {
  if (!Ready()) {
    state.SkipWithError("no OpenGL context");
    return;
  }
  FreeImageBank();
  InitImageBank();
  build();
  DrawPicture();  // loads the images
  size_t tiles = 0, pages = 0;
  for (int i = 0; i < imageBank.count; ++i) {
    tiles += imageBank.slots[i]->tiles.size();
    pages += imageBank.slots[i]->pages.size();
  }
  if (imageBank.count != 20) {
    state.SkipWithError("the images did not load");
    return;
  }
  for (auto _ : state) DrawPicture();
  state.counters["tiles"] = static_cast<double>(tiles);
  state.counters["pages"] = static_cast<double>(pages);
  FreeImageBank();
  InitImageBank();
}
BENCHMARK_CAPTURE(BM_Picture, puppet, BuildPuppet)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, squares, BuildSquares)->Unit(benchmark::kMillisecond);

}  // namespace
