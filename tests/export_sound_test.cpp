// The exported sound file: its length by frame rate, its header, its samples, and what muting
// and the start of the range do to it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/audio.h"
#include "tests/audio_fixtures.h"
#include "tests/export_fixture.h"
#include "tests/project_fixtures.h"

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& wav) {
  std::vector<int16_t> samples;
  for (size_t i = kWavHeaderBytes; i + 1 < wav.size(); i += 2) {
    samples.push_back(static_cast<int16_t>(wav[i] | (wav[i + 1] << 8)));
  }
  return samples;
}

class ExportSound : public ExportTest {
 protected:
  // A mono clip holding value for length samples, placed at frame in lane 0.
  void AddConstantClip(const char* name, int16_t value, int length, int frame) {
    ASSERT_TRUE(audiotest::WriteFile(PathOf(name),
                                     audiotest::Wav16(std::vector<int16_t>(length, value))));
    ASSERT_GE(InsertAudioClip(name, frame, 0), 0);
  }
  std::vector<uint8_t> Wav(const std::string& base) {
    return projecttest::ReadBytes(PathOf(base + "_audio.wav"));
  }
};

TEST_F(ExportSound, OneFrameIsItsShareOfASecondCutToWholeBlocksOf256) {
  EXPECT_EQ(ExportSoundFrames(1, 30), 1280);  // 1470
  EXPECT_EQ(ExportSoundFrames(1, 60), 512);   // 735
  EXPECT_EQ(ExportSoundFrames(1, 24), 1792);  // 1837
  EXPECT_EQ(ExportSoundFrames(90, 30), 132096);
  EXPECT_EQ(ExportSoundFrames(0, 30), 0);
  for (const auto& [fps, frames] : {std::pair{30, 1280}, std::pair{60, 512}, std::pair{24, 1792}}) {
    project.fps = fps;
    const std::string base = "fps" + std::to_string(fps);
    ASSERT_TRUE(Export(base, 0, 0, false, nullptr));
    const std::vector<uint8_t> wav = Wav(base);
    ASSERT_EQ(wav.size(), static_cast<size_t>(kWavHeaderBytes + 4 * frames)) << fps;
    EXPECT_EQ(U32(wav, 4), static_cast<uint32_t>(36 + 4 * frames));
    EXPECT_EQ(U32(wav, 40), static_cast<uint32_t>(4 * frames));
  }
}

TEST_F(ExportSound, HeaderIsTheCanonicalSixteenBitStereoLayout) {
  uint8_t header[kWavHeaderBytes];
  MakeWavHeader(header, 1280);
  const uint8_t expected[kWavHeaderBytes] = {
      'R', 'I', 'F', 'F', 0x24, 0x14, 0x00, 0x00,  // 36 + 5120
      'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0, 1, 0, 2, 0,                      // PCM, two channels
      0x44, 0xAC, 0x00, 0x00,                       // 44100
      0x10, 0xB1, 0x02, 0x00,                       // 176400 bytes a second
      4, 0, 16, 0,                                  // 4 bytes a frame, 16 bits
      'd', 'a', 't', 'a', 0x00, 0x14, 0x00, 0x00,   // 5120
  };
  EXPECT_EQ(std::memcmp(header, expected, kWavHeaderBytes), 0);
}

TEST_F(ExportSound, SamplesAreTheNearestIntegerOfTheScaledValueKeptToSixteenBits) {
  EXPECT_EQ(SampleToPcm16(0.0f), 0);
  EXPECT_EQ(SampleToPcm16(0.999f), 32735);  // 32734.73, the largest a mix can give
  EXPECT_EQ(SampleToPcm16(-0.999f), -32735);
  EXPECT_EQ(SampleToPcm16(0.25f), 8192);    // 8191.875
  EXPECT_EQ(SampleToPcm16(-0.5f), -16384);  // -16383.75
  EXPECT_EQ(SampleToPcm16(1.0f), -32768) << "32767.5 goes to the even 32768: its low 16 bits";
}

TEST_F(ExportSound, TheMixStartsAtTheRangesFirstFrameAndMutingSilencesIt) {
  AddConstantClip("tone.wav", 8000, 44100, 30);
  ASSERT_TRUE(Export("late", 30, 30, false, nullptr));
  const std::vector<int16_t> samples = Samples(Wav("late"));
  ASSERT_EQ(samples.size(), 2u * 1280);
  EXPECT_NE(samples[0], 0) << "the clip starts on the range's first frame";
  for (size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(samples[i], samples[0]) << "a constant tone, left and right alike, at " << i;
  }
  EXPECT_FALSE(sounding) << "the open-ended sound of the export is stopped";

  ASSERT_TRUE(Export("early", 0, 0, false, nullptr));
  for (int16_t s : Samples(Wav("early"))) ASSERT_EQ(s, 0) << "nothing sounds on frame 0";

  muted = true;
  ASSERT_TRUE(Export("muted", 30, 30, false, nullptr));
  const std::vector<int16_t> silent = Samples(Wav("muted"));
  ASSERT_EQ(silent.size(), 2u * 1280);
  for (int16_t s : silent) ASSERT_EQ(s, 0);
}

}  // namespace
