// Reading RIFF WAVE sound files from bytes in memory: the chunk walk, the sample encodings, the
// import gain, the conversion to the mixer's 44100 Hz and the waveform overview. Pure functions
// without I/O or globals, so the wave table, the tests and the fuzz target share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kMixRate = 44100;          // every wave is held at this rate
constexpr float kImportGain = 0.33f;     // every sample is scaled by it on loading
constexpr int kOverviewPixelsPerFrame = 8;
constexpr int kOverviewMinColumns = 16;
constexpr int kOverviewMaxHeight = 14;
// Longest sound accepted, in frames at 44100 Hz (one hour): a header cannot make us allocate more.
constexpr int64_t kMaxWaveFrames = int64_t{kMixRate} * 60 * 60;
// Sample rates a sound file may have. Within them one frame of the file becomes at most 44.1
// frames at 44100 Hz, so what a sound takes in memory follows from the file's size.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;

enum class WavEncoding { kUnsigned8, kSigned16, kSigned24, kSigned32, kFloat32, kFloat64 };

// What the header says about the samples, after the chunk walk.
struct WavFormat {
  WavEncoding encoding = WavEncoding::kSigned16;
  int channels = 0;
  int sampleRate = 0;
  int bytesPerSample = 0;  // container size of one sample of one channel
  int frameSize = 0;       // bytesPerSample * channels
  size_t dataOffset = 0;   // first byte of the samples
  int64_t frameCount = 0;  // whole frames present (a size that claims more than the file is cut)
};

// Why a file was refused: a printf format for the log, with at most one %i filled by value.
struct WavProblem {
  const char* message = nullptr;
  int value = 0;
};

// Walks the chunks of a RIFF WAVE file and reads its "fmt " and "data" chunks. Accepts integer
// PCM of 8 to 32 bits, 32- and 64-bit float, and WAVE_FORMAT_EXTENSIBLE with a PCM or float
// sub-format, at kMinSampleRate..kMaxSampleRate; false with the reason for anything else.
bool ReadWavFormat(const uint8_t* bytes, size_t size, WavFormat& format, WavProblem& problem);

// Frames after conversion to 44100 Hz: 44100 / rate x frames rounded to nearest (ties to even).
int64_t ResampledLength(int64_t frames, int sampleRate);

// Channels of a decoded sound at 44100 Hz, scaled by the import gain. right is empty for a mono
// file; a file of more than two channels keeps its first two as left and right.
struct WavSamples {
  int64_t length = 0;
  std::vector<float> left;
  std::vector<float> right;
};

// Decodes the samples that ReadWavFormat found and resamples them to 44100 Hz by linear
// interpolation. False (nothing allocated) when the result would exceed kMaxWaveFrames.
bool DecodeWavSamples(const uint8_t* bytes, size_t size, const WavFormat& format,
                      WavSamples& samples, WavProblem& problem);

// The waveform overview drawn on the timeline: one height 1..14 per 8 pixels-per-frame column
// at fps, at least 16 columns. right may equal left (mono).
std::vector<uint8_t> BuildOverview(const float* left, const float* right, int64_t length, int fps);
