// The two audio costs a user feels: importing a long sound (decode, resample to 44100 Hz,
// overview) and mixing one stream buffer with sixteen clips sounding.
//   build/bench/bench_audio --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio.h"

namespace {

const char* const kDir = "/tmp/tavoka_bench_audio";

void PutU32(FILE* file, uint32_t v) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  std::fwrite(bytes, 1, 4, file);
}

// A stereo 16-bit file of frames at rate: two slow sawtooth waves.
bool WriteWav(const std::string& path, int rate, int frames) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const uint32_t dataBytes = static_cast<uint32_t>(frames) * 4;
  std::fwrite("RIFF", 1, 4, file);
  PutU32(file, 36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, file);
  PutU32(file, 16);
  PutU32(file, 1 | (2 << 16));  // PCM, two channels
  PutU32(file, static_cast<uint32_t>(rate));
  PutU32(file, static_cast<uint32_t>(rate) * 4);
  PutU32(file, 4 | (16 << 16));  // block align 4, 16 bits
  std::fwrite("data", 1, 4, file);
  PutU32(file, dataBytes);
  std::vector<int16_t> block(2 * 65536);
  for (int done = 0; done < frames;) {
    const int count = std::min(frames - done, 65536);
    for (int i = 0; i < count; ++i) {
      block[static_cast<size_t>(2 * i)] = static_cast<int16_t>(((done + i) * 37) % 60000 - 30000);
      block[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(((done + i) * 11) % 50000 - 25000);
    }
    std::fwrite(block.data(), 4, static_cast<size_t>(count), file);
    done += count;
  }
  return std::fclose(file) == 0;
}

void PrepareDirectory() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  std::system((std::string("mkdir -p ") + kDir).c_str());
  CopyName(project.workPath, kFileNameSize, (std::string(kDir) + "/").c_str());
  std::atexit([] { std::system((std::string("rm -rf ") + kDir).c_str()); });
}

void BM_LoadTenMinuteSound(benchmark::State& state) {
  PrepareDirectory();
  static const bool written = WriteWav(std::string(kDir) + "/ten_minutes.wav", 48000, 48000 * 600);
  if (!written) {
    state.SkipWithError("cannot write the sound");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    FreeAudio(false);
    state.ResumeTiming();
    Clip clip;
    CopyName(clip.fileName, kFileNameSize, "ten_minutes.wav");
    if (!LoadSample(clip)) state.SkipWithError("the sound did not load");
    benchmark::DoNotOptimize(clip.wave->overview);
  }
  FreeAudio(false);
}
BENCHMARK(BM_LoadTenMinuteSound)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MixBufferWithSixteenClips(benchmark::State& state) {
  PrepareDirectory();
  FreeAudio(false);
  InitAudio(false);
  static const bool written = WriteWav(std::string(kDir) + "/ten_seconds.wav", 44100, 441000);
  for (int i = 0; written && i < kMaxActiveClips; ++i) {
    const int index = InsertAudioClip("ten_seconds.wav", i, i % kLaneCount);
    if (index >= 0) GetClip(index)->pan = static_cast<float>(i - 8) / 8;
  }
  if (ClipCount() != kMaxActiveClips) {
    state.SkipWithError("the clips did not load");
    return;
  }
  AudioPlay(16);
  std::vector<float> out(2 * kFramesPerBuffer);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (playPosition > 44100 * 8) AudioPlay(16);
    MixAudio(out.data(), kFramesPerBuffer);
    benchmark::DoNotOptimize(out.data());
  }
  // Time per buffer as a percentage of the buffer's own duration (11.6 ms).
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double period = static_cast<double>(kFramesPerBuffer) / kMixRate;
  state.counters["percent_of_period"] = 100.0 * seconds / static_cast<double>(state.iterations()) / period;
  FreeAudio(false);
}
BENCHMARK(BM_MixBufferWithSixteenClips)->Unit(benchmark::kMicrosecond);

}  // namespace
