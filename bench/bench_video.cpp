// What a film costs per picture: 60 pictures and their sound given to a VideoFile as the export
// gives them (a picture, then the sound up to the next one) and the file finished, timed on the
// wall clock, since the encoding runs on the file's own thread and in the encoder's threads.
// The pictures are synthetic cut-out animation: a sky gradient, a ground, and a dozen flat
// shapes with dark outlines moving and turning over them. The counter ms_per_picture is the
// figure to quote.
//
//   build/bench/bench_video --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "export/video_file.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPictures = 60;
constexpr int kFps = 30;

// Picture k of the film at width x height.
std::vector<uint8_t> CutOutPicture(int k, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const int horizon = height * 2 / 3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      if (y < horizon) {
        p[0] = static_cast<uint8_t>(120 + 100 * y / horizon);
        p[1] = static_cast<uint8_t>(170 + 60 * y / horizon);
        p[2] = 250;
      } else {
        p[0] = 90;
        p[1] = 150;
        p[2] = 60;
      }
    }
  }
  // Shapes: ellipses with a two-pixel outline (scaled with the picture), each on its own path.
  const float scale = width / 640.0f;
  for (int s = 0; s < 12; ++s) {
    const float t = k / static_cast<float>(kFps);
    const float cx = width * (0.1f + 0.07f * s) + 40 * scale * std::sin(t * (1 + s * 0.3f));
    const float cy = height * (0.3f + 0.04f * (s % 5)) + 30 * scale * std::cos(t * (2 + s * 0.2f));
    const float rx = (20 + 4 * s) * scale, ry = (14 + 3 * (s % 4)) * scale;
    const float turn = t * (0.5f + 0.1f * s), c = std::cos(turn), sn = std::sin(turn);
    const uint8_t colour[3] = {static_cast<uint8_t>(60 + 15 * s),
                               static_cast<uint8_t>(200 - 12 * s),
                               static_cast<uint8_t>(40 + 17 * s)};
    const int x0 = std::max(0, static_cast<int>(cx - rx - ry)),
              x1 = std::min(width, static_cast<int>(cx + rx + ry));
    const int y0 = std::max(0, static_cast<int>(cy - rx - ry)),
              y1 = std::min(height, static_cast<int>(cy + rx + ry));
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const float dx = x - cx, dy = y - cy;
        const float u = (dx * c + dy * sn) / rx, v = (-dx * sn + dy * c) / ry;
        const float d = u * u + v * v;
        if (d > 1) continue;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        const bool outline = d > 1 - 4 * scale / std::min(rx, ry);
        for (int i = 0; i < 3; ++i) p[i] = outline ? 30 : colour[i];
      }
    }
  }
  return rgb;
}

// One film of kPictures pictures in format at width x height; range(0) format, (1) width.
void BM_VideoFile(benchmark::State& state) {
  const auto format = static_cast<VideoFormat>(state.range(0));
  const int width = static_cast<int>(state.range(1)), height = width * 3 / 4;
  std::vector<std::vector<uint8_t>> pictures;
  for (int k = 0; k < kPictures; ++k) pictures.push_back(CutOutPicture(k, width, height));
  std::vector<float> sound(size_t{2} * kVideoSoundRate * kPictures / kFps);
  for (size_t i = 0; i < sound.size(); ++i) sound[i] = 0.3f * std::sin(i * 0.02f);
  const std::string path = "/tmp/tavoka_bench_video_" + std::to_string(getpid()) +
                           (format == VideoFormat::kMp4    ? ".mp4"
                            : format == VideoFormat::kWebm ? ".webm"
                                                           : ".gif");
  const int soundPerPicture = kVideoSoundRate / kFps;
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    VideoFile film;
    char why[512];
    if (!film.Open(path.c_str(), {format, width, height, kFps, true}, why, sizeof why)) {
      return state.SkipWithError(why);
    }
    for (int k = 0; k < kPictures; ++k) {
      if (!film.AddPicture(pictures[k].data(), why, sizeof why) ||
          !film.AddSound(&sound[size_t{2} * soundPerPicture * k], soundPerPicture, why,
                         sizeof why)) {
        return state.SkipWithError(why);
      }
    }
    if (!film.Finish(why, sizeof why)) return state.SkipWithError(why);
    total += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  // The finished file's size.
  state.counters["kB"] = std::ifstream(path, std::ios::binary | std::ios::ate).tellg() / 1000.0;
  std::remove(path.c_str());
  state.counters["ms_per_picture"] = total / state.iterations() / kPictures;
}
BENCHMARK(BM_VideoFile)
    ->ArgNames({"format", "width"})
    ->Args({static_cast<int>(VideoFormat::kMp4), 640})
    ->Args({static_cast<int>(VideoFormat::kMp4), 1920})
    ->Args({static_cast<int>(VideoFormat::kWebm), 640})
    ->Args({static_cast<int>(VideoFormat::kGif), 640})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
