// Feeds arbitrary bytes to the WAV reader: the chunk walk, the format checks, decoding with
// resampling, and the overview. Anything it accepts must decode within its arrays.

#include <cstdio>

#include "audio/wav_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WavFormat format;
  WavProblem problem;
  if (!ReadWavFormat(data, size, format, problem)) {
    char message[256];
    std::snprintf(message, sizeof message, problem.message, problem.value);
    return 0;
  }
  // Slow rates stretch a few bytes into millions of frames; that path is bounded by
  // kMaxWaveFrames and tested elsewhere, and would only slow the search down here.
  if (ResampledLength(format.frameCount, format.sampleRate) > (1 << 20)) return 0;
  WavSamples samples;
  if (!DecodeWavSamples(data, size, format, samples, problem)) return 0;
  const float* left = samples.left.data();
  const float* right = samples.right.empty() ? left : samples.right.data();
  const int fps = 10 + static_cast<int>(size % 51);
  BuildOverview(left, right, samples.length, fps);
  return 0;
}
