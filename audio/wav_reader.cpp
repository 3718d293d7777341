#include "audio/wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kFormatPcm = 1;
constexpr int kFormatFloat = 3;
constexpr int kFormatExtensible = 0xFFFE;
constexpr size_t kExtensibleFormatSize = 40;
// Bytes 2..15 of the KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT GUIDs; bytes 0..1 hold the format.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool Refuse(WavProblem& problem, const char* message, int value = 0) {
  problem.message = message;
  problem.value = value;
  return false;
}

// Float samples are taken as they are within -1..1; anything else (NaN, infinities, stray
// values from a broken file) is brought back into that range.
float FloatSample(double value) {
  if (!(value == value)) return 0.0f;
  return static_cast<float>(std::clamp(value, -1.0, 1.0));
}

// Sample readers: one sample of one channel, scaled to -1..1.
struct ReadUnsigned8 {
  float operator()(const uint8_t* p) const { return (static_cast<int>(p[0]) - 128) / 128.0f; }
};
struct ReadSigned16 {
  float operator()(const uint8_t* p) const {
    return static_cast<int16_t>(ReadU16(p)) / 32768.0f;
  }
};
struct ReadSigned24 {
  float operator()(const uint8_t* p) const {
    int32_t value = static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    if (value & 0x800000) value -= 0x1000000;
    return value / 8388608.0f;
  }
};
struct ReadSigned32 {
  float operator()(const uint8_t* p) const {
    return static_cast<float>(static_cast<int32_t>(ReadU32(p)) / 2147483648.0);
  }
};
struct ReadFloat32 {
  float operator()(const uint8_t* p) const {
    float value;
    std::memcpy(&value, p, sizeof value);
    return FloatSample(value);
  }
};
struct ReadFloat64 {
  float operator()(const uint8_t* p) const {
    double value;
    std::memcpy(&value, p, sizeof value);
    return FloatSample(value);
  }
};

// Converts every frame of one channel into out (length frames at 44100 Hz). Reading the file's
// bytes directly keeps only the result in memory, even for long sounds that need resampling.
template <typename Read>
void ConvertChannel(const uint8_t* data, const WavFormat& format, int channel, int64_t outLength,
                    float* out) {
  const Read read;
  const int64_t inLength = format.frameCount;
  auto in = [&](int64_t frame) {
    return kImportGain *
           read(data + frame * format.frameSize + int64_t{channel} * format.bytesPerSample);
  };
  if (format.sampleRate == kMixRate) {
    for (int64_t k = 0; k < outLength; ++k) out[k] = in(k);
    return;
  }
  // Too short to interpolate: a single frame in or out is held as it is.
  if (inLength < 2 || outLength < 2) {
    for (int64_t k = 0; k < outLength; ++k) out[k] = in(0);
    return;
  }
  for (int64_t k = 0; k < outLength; ++k) {
    const double t = static_cast<double>(k) / static_cast<double>(outLength - 1) *
                     static_cast<double>(inLength - 1);
    const double whole = std::nearbyint(t - 0.5);
    const double f = t - whole;
    const int64_t i = std::clamp(static_cast<int64_t>(whole), int64_t{0}, inLength - 2);
    out[k] = static_cast<float>((1.0 - f) * in(i) + f * in(i + 1));
  }
}

void ConvertChannel(const uint8_t* data, const WavFormat& format, int channel, int64_t outLength,
                    float* out) {
  switch (format.encoding) {
    case WavEncoding::kUnsigned8:
      return ConvertChannel<ReadUnsigned8>(data, format, channel, outLength, out);
    case WavEncoding::kSigned16:
      return ConvertChannel<ReadSigned16>(data, format, channel, outLength, out);
    case WavEncoding::kSigned24:
      return ConvertChannel<ReadSigned24>(data, format, channel, outLength, out);
    case WavEncoding::kSigned32:
      return ConvertChannel<ReadSigned32>(data, format, channel, outLength, out);
    case WavEncoding::kFloat32:
      return ConvertChannel<ReadFloat32>(data, format, channel, outLength, out);
    case WavEncoding::kFloat64:
      return ConvertChannel<ReadFloat64>(data, format, channel, outLength, out);
  }
}

// Picks the encoding from the format code (PCM or float) and the container size in bits.
bool ChooseEncoding(int code, int bits, WavFormat& format, WavProblem& problem) {
  if (code == kFormatPcm) {
    // Integer samples of 9..32 bits sit left-justified in whole bytes, so the container decides
    // the scale. Fewer than 8 bits would make frames of 0 bytes.
    if (bits < 8 || bits > 32) return Refuse(problem, "unsupported sample size (%i bits)", bits);
    format.bytesPerSample = (bits + 7) / 8;
    constexpr WavEncoding kByBytes[] = {WavEncoding::kUnsigned8, WavEncoding::kSigned16,
                                        WavEncoding::kSigned24, WavEncoding::kSigned32};
    format.encoding = kByBytes[format.bytesPerSample - 1];
    return true;
  }
  if (code == kFormatFloat) {
    if (bits == 32) {
      format.encoding = WavEncoding::kFloat32;
    } else if (bits == 64) {
      format.encoding = WavEncoding::kFloat64;
    } else {
      return Refuse(problem, "unsupported float sample size (%i bits)", bits);
    }
    format.bytesPerSample = bits / 8;
    return true;
  }
  return Refuse(problem, "unsupported compression format (%i)", code);
}

bool ReadFormatChunk(const uint8_t* chunk, size_t size, WavFormat& format, WavProblem& problem) {
  if (size < 16) return Refuse(problem, "format chunk too short (%i bytes)", static_cast<int>(size));
  int code = ReadU16(chunk);
  const int channels = ReadU16(chunk + 2);
  const uint32_t rate = ReadU32(chunk + 4);
  const int bits = ReadU16(chunk + 14);
  if (code == kFormatExtensible) {
    if (size < kExtensibleFormatSize || ReadU16(chunk + 16) < 22) {
      return Refuse(problem, "extensible format chunk too short (%i bytes)", static_cast<int>(size));
    }
    code = ReadU16(chunk + 24);
    if (std::memcmp(chunk + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) {
      return Refuse(problem, "unsupported compression format (%i)", kFormatExtensible);
    }
  }
  if (code != kFormatPcm && code != kFormatFloat) {
    return Refuse(problem, "unsupported compression format (%i)", code);
  }
  if (channels == 0) return Refuse(problem, "no channels");
  if (rate < static_cast<uint32_t>(kMinSampleRate) || rate > static_cast<uint32_t>(kMaxSampleRate)) {
    return Refuse(problem, "unsupported sample rate (%i)", static_cast<int>(rate & 0x7FFFFFFF));
  }
  if (!ChooseEncoding(code, bits, format, problem)) return false;
  format.channels = channels;
  format.sampleRate = static_cast<int>(rate);
  format.frameSize = format.bytesPerSample * channels;
  return true;
}

}  // namespace

bool ReadWavFormat(const uint8_t* bytes, size_t size, WavFormat& format, WavProblem& problem) {
  format = WavFormat();
  problem = WavProblem();
  if (bytes == nullptr || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
      std::memcmp(bytes + 8, "WAVE", 4) != 0) {
    return Refuse(problem, "not a RIFF WAVE file");
  }
  // Chunks follow one another, each an id, a size and a body padded to an even length. Real
  // tools put LIST, fact, bext, JUNK and others anywhere; only "fmt " and "data" matter here.
  const uint8_t* formatChunk = nullptr;
  size_t formatSize = 0;
  bool haveData = false;
  size_t dataSize = 0;
  uint64_t offset = 12;
  while (offset + 8 <= size) {
    const uint8_t* header = bytes + offset;
    const uint64_t chunkSize = ReadU32(header + 4);
    const uint64_t body = offset + 8;
    const size_t present = static_cast<size_t>(std::min<uint64_t>(chunkSize, size - body));
    if (formatChunk == nullptr && std::memcmp(header, "fmt ", 4) == 0) {
      formatChunk = bytes + body;
      formatSize = present;
    } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
      haveData = true;
      format.dataOffset = static_cast<size_t>(body);
      dataSize = present;
    }
    offset = body + chunkSize + (chunkSize & 1);
  }
  if (formatChunk == nullptr) return Refuse(problem, "missing fmt chunk");
  const size_t dataOffset = format.dataOffset;
  if (!ReadFormatChunk(formatChunk, formatSize, format, problem)) return false;
  if (!haveData) return Refuse(problem, "missing data chunk");
  format.dataOffset = dataOffset;
  format.frameCount = static_cast<int64_t>(dataSize / static_cast<size_t>(format.frameSize));
  return true;
}

int64_t ResampledLength(int64_t frames, int sampleRate) {
  if (sampleRate <= 0) return 0;
  if (sampleRate == kMixRate) return frames;
  return static_cast<int64_t>(
      std::nearbyint(static_cast<double>(kMixRate) / sampleRate * static_cast<double>(frames)));
}

bool DecodeWavSamples(const uint8_t* bytes, size_t size, const WavFormat& format,
                      WavSamples& samples, WavProblem& problem) {
  samples = WavSamples();
  problem = WavProblem();
  const int64_t available =
      format.frameSize > 0 && format.dataOffset <= size
          ? static_cast<int64_t>((size - format.dataOffset) / static_cast<size_t>(format.frameSize))
          : 0;
  if (format.frameCount < 0 || format.frameCount > available || format.sampleRate <= 0) {
    return Refuse(problem, "inconsistent format description");
  }
  if (format.frameCount > kMaxWaveFrames) return Refuse(problem, "sound too long");
  const int64_t length = format.frameCount == 0 ? 0 : ResampledLength(format.frameCount, format.sampleRate);
  if (length > kMaxWaveFrames) return Refuse(problem, "sound too long");

  const uint8_t* data = bytes + format.dataOffset;
  samples.length = length;
  samples.left.resize(static_cast<size_t>(length));
  ConvertChannel(data, format, 0, length, samples.left.data());
  if (format.channels >= 2) {
    samples.right.resize(static_cast<size_t>(length));
    ConvertChannel(data, format, 1, length, samples.right.data());
  }
  return true;
}

std::vector<uint8_t> BuildOverview(const float* left, const float* right, int64_t length, int fps) {
  if (fps < 1) fps = 1;
  const int64_t samplesPerFrame = kMixRate / fps;
  const int64_t columns =
      std::max<int64_t>(length * fps * kOverviewPixelsPerFrame / kMixRate, kOverviewMinColumns);
  const int64_t span = samplesPerFrame / kOverviewPixelsPerFrame;
  std::vector<uint8_t> overview(static_cast<size_t>(columns));
  for (int64_t c = 0; c < columns; ++c) {
    const int64_t first = (c * kMixRate / fps) / kOverviewPixelsPerFrame;
    const int64_t last = std::min(first + span - 1, length - 1);
    float peak = 0.0f;
    for (int64_t i = first; i <= last; ++i) {
      peak = std::max(peak, std::max(std::fabs(left[i]), std::fabs(right[i])));
    }
    const double height = std::nearbyint(7.0 * std::log(1.0 + 9.0 * std::fabs(peak / 0.33)));
    overview[static_cast<size_t>(c)] =
        static_cast<uint8_t>(std::clamp(height, 1.0, static_cast<double>(kOverviewMaxHeight)));
  }
  return overview;
}
