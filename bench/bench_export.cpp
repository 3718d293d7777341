// The export of the 20-image puppet scene (bench/puppet/make_puppet.py) on the offscreen
// context, against its floor: reading back and encoding the same 90 pictures one after the
// other with no scene work at all. Also the parts: one picture rendered, one read back, one
// encoded, and one motion-blurred picture. Per-frame figures are the counter ms_per_frame.
//
//   build/bench/bench_export --benchmark_repetitions=5 --benchmark_report_aggregates_only
//
// The scene is made in a temporary folder by the generator (python3), found through
// TAVOKA_PUPPET_SCRIPT or the source tree.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "export/export.h"
#include "export/export_internal.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/scene.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPuppetFrames = 90;
constexpr size_t kPictureBytes = size_t{kExportWidth} * kExportHeight * 3;

std::string sceneDirectory;
std::vector<std::vector<uint8_t>> pictures;  // the exported pictures, rows bottom first

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Renders the 90 pictures once and keeps them, as glReadPixels delivers them.
bool KeepPictures() {
  ExportTarget target;
  if (!target.Begin(kExportWidth, kExportHeight)) return false;
  exporting = true;
  pictures.assign(kPuppetFrames, std::vector<uint8_t>(kPictureBytes));
  for (int frame = 0; frame < kPuppetFrames; ++frame) {
    project.currentFrame = frame;
    DrawSubFrame(-0.125f);
    target.Read(pictures[frame].data());
  }
  exporting = false;
  return true;
}

bool Ready() {
  static bool ready = [] {
    if (!CreateGLWindow("bench", kExportWidth, kExportHeight, 32, true)) return false;
    char pattern[] = "/tmp/tavoka_bench_export_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    sceneDirectory = pattern;
    const char* script = std::getenv("TAVOKA_PUPPET_SCRIPT");
    const std::string generator =
        script != nullptr ? script : std::string(TAVOKA_SOURCE_DIR) + "/bench/puppet/make_puppet.py";
    const std::string command = "python3 '" + generator + "' '" + sceneDirectory + "' >/dev/null";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "bench_export: cannot make the puppet scene with %s\n", generator.c_str());
      return false;
    }
    InitBatchApplication();
    ProjectProblem problem;
    if (!LoadProject((sceneDirectory + "/puppet.tvp").c_str(), &problem)) {
      std::fprintf(stderr, "bench_export: puppet.tvp does not load: %s\n", problem.message);
      return false;
    }
    fs::create_directory(sceneDirectory + "/out");
    return KeepPictures();
  }();
  return ready;
}

std::string OutputPath(const char* name) { return sceneDirectory + "/out/" + name; }

// The whole export of frames 0..89 (plain) or 30..39 (motion blur), as the menu runs it.
void BM_Export(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no scene");
  const bool blur = state.range(0) != 0;
  const int first = blur ? 30 : 0, last = blur ? 39 : kPuppetFrames - 1;
  double total = 0;
  for (auto _ : state) {
    char path[kExportMessageSize];
    std::snprintf(path, sizeof path, "%s", OutputPath("t.png").c_str());
    const auto start = Clock::now();
    if (!ExportAnimation(path, first, last, blur)) return state.SkipWithError("export failed");
    total += Milliseconds(start, Clock::now());
  }
  state.counters["ms_per_frame"] = total / state.iterations() / (last - first + 1);
}
BENCHMARK(BM_Export)->ArgName("blur")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: each of the same pictures put into the target (not timed), then read back and
// encoded to its file, one after the other.
void BM_ReadBackAndEncodeFloor(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no scene");
  ExportTarget target;
  if (!target.Begin(kExportWidth, kExportHeight)) return state.SkipWithError("no framebuffer object");
  std::vector<uint8_t> picture(kPictureBytes);
  double total = 0;
  int frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const int index = frames % kPuppetFrames;
    glRasterPos2f(-kExportWidth / 2, -kExportHeight / 2);
    glDrawPixels(kExportWidth, kExportHeight, GL_RGB, GL_UNSIGNED_BYTE, pictures[index].data());
    glFinish();
    char name[64];
    std::snprintf(name, sizeof name, "floor_frame%.4i.png", index);
    const std::string path = OutputPath(name);
    state.ResumeTiming();
    const auto start = Clock::now();
    target.Read(picture.data());
    if (!WritePng(path.c_str(), picture.data(), kExportWidth, kExportHeight)) {
      return state.SkipWithError("cannot write");
    }
    total += Milliseconds(start, Clock::now());
    ++frames;
  }
  state.counters["ms_per_frame"] = total / frames;
}
BENCHMARK(BM_ReadBackAndEncodeFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(90);

// The parts of one plain picture.
void BM_RenderPicture(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no scene");
  ExportTarget target;
  if (!target.Begin(kExportWidth, kExportHeight)) return state.SkipWithError("no framebuffer object");
  int frame = 0;
  for (auto _ : state) {
    project.currentFrame = frame;
    DrawSubFrame(-0.125f);
    glFinish();
    frame = (frame + 1) % kPuppetFrames;
  }
}
BENCHMARK(BM_RenderPicture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadBack(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no scene");
  ExportTarget target;
  if (!target.Begin(kExportWidth, kExportHeight)) return state.SkipWithError("no framebuffer object");
  std::vector<uint8_t> picture(kPictureBytes);
  for (auto _ : state) {
    target.Read(picture.data());
    benchmark::DoNotOptimize(picture.data());
  }
}
BENCHMARK(BM_ReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodePicture(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no scene");
  const std::string path = OutputPath("encode.png");
  int index = 0;
  for (auto _ : state) {
    WritePng(path.c_str(), pictures[index].data(), kExportWidth, kExportHeight);
    index = (index + 1) % kPuppetFrames;
  }
}
BENCHMARK(BM_EncodePicture)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
