// Films against pictures: the whole export of the example (examples/puppet, 90 frames) as a
// PNG sequence with its WAV file and as an MP4 film, at 640 x 480 and at 1920 x 1440 (scale 3),
// and the same range rendered into an output that keeps nothing, which is what a film costs
// besides its encoding. Per-frame figures are the counter ms_per_frame (wall clock: the PNG
// writers and the film's encoder run on threads of their own).
//
//   build/bench/bench_film --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "export/export.h"
#include "export/export_output.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/scene.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string outputDirectory;

bool Ready() {
  static bool ready = [] {
    if (!CreateGLWindow("bench", kExportWidth, kExportHeight, 32, true)) return false;
    char pattern[] = "/tmp/tavoka_bench_film_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    outputDirectory = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(outputDirectory, ignored);
    });
    InitBatchApplication();
    ProjectProblem problem;
    const std::string example = std::string(TAVOKA_SOURCE_DIR) + "/examples/puppet/puppet.tvp";
    if (!LoadProject(example.c_str(), &problem)) {
      std::fprintf(stderr, "bench_film: %s does not load: %s\n", example.c_str(), problem.message);
      return false;
    }
    return true;
  }();
  return ready;
}

// An output that takes every picture and block of sound and keeps none.
class DiscardedOutput : public ExportOutput {
 public:
  bool Begin(const ExportFormat& format, ExportResult&) override {
    buffer_.resize(static_cast<size_t>(format.width) * static_cast<size_t>(format.height) * 3);
    return true;
  }
  uint8_t* PictureBuffer() override { return buffer_.data(); }
  void AddPicture(int, uint8_t*) override {}
  void AddSound(const float*, int) override {}
  bool Failed() override { return false; }
  bool Finish(ExportEnd, ExportResult&) override { return true; }

 private:
  std::vector<uint8_t> buffer_;
};

// kind 0: PNG pictures and WAV; 1: MP4; 2: rendered and discarded.
void BM_ExportExample(benchmark::State& state) {
  if (!Ready()) return state.SkipWithError("no example");
  const int kind = static_cast<int>(state.range(0));
  ExportOptions options;
  options.scale = static_cast<int>(state.range(1));
  const int first = project.playStart, last = project.playEnd;
  double total = 0;
  for (auto _ : state) {
    char path[kExportMessageSize];
    std::snprintf(path, sizeof path, "%s/film.%s", outputDirectory.c_str(),
                  kind == 1 ? "mp4" : "png");
    ExportResult result;
    const auto start = Clock::now();
    bool ok = false;
    if (kind == 2) {
      DiscardedOutput output;
      ok = RenderExport(output, first, last, false, options, result);
    } else {
      ok = ExportAnimation(path, first, last, false, options, &result);
    }
    total += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (!ok) return state.SkipWithError(result.message);
  }
  state.counters["ms_per_frame"] = total / state.iterations() / (last - first + 1);
}
BENCHMARK(BM_ExportExample)
    ->ArgNames({"kind", "scale"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 3})
    ->Args({2, 3})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
