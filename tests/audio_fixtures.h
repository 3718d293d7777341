// Helpers for the audio tests: WAV files built in memory or on disk, and a fixture that gives
// each test empty audio tables (no sound device) and a temporary work directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "scene/scene.h"

namespace audiotest {

// Set by a thread to have its allocations counted in countedAllocations (the test program's
// operator new, in audio_mixer_test.cpp).
extern thread_local bool countAllocations;
extern std::atomic<long> countedAllocations;

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}
inline void PutId(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

inline void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
  PutId(out, id);
  PutU32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);
}

// A "fmt " body of 16 bytes, plus extra bytes when asked.
inline std::vector<uint8_t> FormatBody(int tag, int channels, int rate, int bits, int extra = 0) {
  std::vector<uint8_t> body;
  const int align = channels * ((bits + 7) / 8);
  PutU16(body, static_cast<uint32_t>(tag));
  PutU16(body, static_cast<uint32_t>(channels));
  PutU32(body, static_cast<uint32_t>(rate));
  PutU32(body, static_cast<uint32_t>(rate * align));
  PutU16(body, static_cast<uint32_t>(align));
  PutU16(body, static_cast<uint32_t>(bits));
  if (extra > 0) {
    PutU16(body, 0);
    for (int i = 2; i < extra; ++i) body.push_back(0);
  }
  return body;
}

// WAVE_FORMAT_EXTENSIBLE with the sub-format code (1 PCM, 3 float).
inline std::vector<uint8_t> ExtensibleBody(int subFormat, int channels, int rate, int bits) {
  std::vector<uint8_t> body = FormatBody(0xFFFE, channels, rate, bits);
  PutU16(body, 22);
  PutU16(body, static_cast<uint32_t>(bits));
  PutU32(body, channels == 1 ? 4 : 3);
  PutU16(body, static_cast<uint32_t>(subFormat));
  const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  body.insert(body.end(), tail, tail + 14);
  return body;
}

// RIFF WAVE around the given chunks (already laid out).
inline std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks) {
  std::vector<uint8_t> out;
  PutId(out, "RIFF");
  PutU32(out, static_cast<uint32_t>(4 + chunks.size()));
  PutId(out, "WAVE");
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}

inline std::vector<uint8_t> Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out;
  for (int16_t s : samples) PutU16(out, static_cast<uint16_t>(s));
  return out;
}

// The canonical 44-byte-header file.
inline std::vector<uint8_t> CanonicalWav(int channels, int rate, int bits, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> chunks;
  PutChunk(chunks, "fmt ", FormatBody(1, channels, rate, bits));
  PutChunk(chunks, "data", data);
  return Riff(chunks);
}

inline std::vector<uint8_t> Wav16(const std::vector<int16_t>& samples, int channels = 1, int rate = 44100) {
  return CanonicalWav(channels, rate, 16, Pcm16Bytes(samples));
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// Each test starts with empty audio tables, no stream, 30 fps and a fresh work directory.
class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavoka_audio_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    project = ProjectState();
    CopyName(project.workPath, kFileNameSize, (dir_ + "/").c_str());
    exporting = false;
    muted = false;
    FreeAudio(false);
    InitAudio(false);
  }
  void TearDown() override {
    FreeAudio(false);
    exporting = false;
    muted = false;
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  std::string PathOf(const char* name) const { return dir_ + "/" + name; }
  void Write(const char* name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(WriteFile(PathOf(name), bytes));
  }
  // A mono 44100 Hz 16-bit file of samples, placed as a clip.
  int AddClip(const char* name, const std::vector<int16_t>& samples, int frame, int row) {
    Write(name, Wav16(samples));
    return InsertAudioClip(name, frame, row);
  }
  // A mono file holding value for frames samples.
  int AddConstantClip(const char* name, int16_t value, int frames, int frame, int row) {
    return AddClip(name, std::vector<int16_t>(static_cast<size_t>(frames), value), frame, row);
  }
  std::vector<float> Mix(int frames) {
    std::vector<float> out(static_cast<size_t>(2 * frames), -7.0f);
    MixAudio(out.data(), frames);
    return out;
  }

  std::string dir_;
};

}  // namespace audiotest
