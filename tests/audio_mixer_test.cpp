// The mixer, called directly: gains, clamping, the active list, snippets, mute, playback state
// and the callback. Also counts allocations made while mixing (see audio_fixtures.h).

#include <cstdlib>
#include <new>

#include "tests/allocation_fault.h"
#include "tests/audio_fixtures.h"

namespace audiotest {
thread_local bool countAllocations = false;
std::atomic<long> countedAllocations{0};
}  // namespace audiotest

namespace testalloc {
std::atomic<size_t> refuseAbove{0};
}  // namespace testalloc

// GCC takes the malloc/free pair behind these operators for a mismatch once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Every allocation of the test program passes here; those made by a thread that has switched
// countAllocations on are counted, and those over a test's limit fail (allocation_fault.h).
void* operator new(std::size_t size) {
  if (audiotest::countAllocations) ++audiotest::countedAllocations;
  const size_t limit = testalloc::refuseAbove.load(std::memory_order_relaxed);
  if (limit != 0 && size > limit) throw std::bad_alloc();
  void* memory = std::malloc(size == 0 ? 1 : size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace audiotest;

constexpr float kQuarter = 0.33f * 8192 / 32768;  // a 16-bit sample of 8192 after the gain

class AudioMixer : public AudioTest {
 protected:
  // A ramp whose sample k is k, so an output value tells which sample sounded.
  int AddRamp(const char* name, int frames, int frame, int row) {
    std::vector<int16_t> samples;
    for (int k = 0; k < frames; ++k) samples.push_back(static_cast<int16_t>(k % 30000));
    return AddClip(name, samples, frame, row);
  }
  static float RampValue(int k) { return 0.33f * static_cast<float>(k % 30000) / 32768.0f; }
};

TEST_F(AudioMixer, NothingSoundsUntilPlaybackStarts) {
  AddConstantClip("quarter.wav", 8192, 44100, 0, 0);
  const std::vector<float> out = Mix(512);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(playPosition, 0);
  EXPECT_FALSE(sounding);
}

TEST_F(AudioMixer, PanSetsTheChannelGainsWithoutCentreAttenuation) {
  const int index = AddConstantClip("quarter.wav", 8192, 44100, 0, 0);
  Clip* clip = GetClip(index);
  AudioPlay(0);
  struct Case {
    float pan, left, right;
  };
  for (const Case& c : {Case{-1.0f, 1.0f, 0.0f}, Case{0.0f, 1.0f, 1.0f}, Case{0.5f, 0.5f, 1.0f},
                        Case{1.0f, 0.0f, 1.0f}}) {
    clip->pan = c.pan;
    const std::vector<float> out = Mix(4);
    EXPECT_FLOAT_EQ(out[0], c.left * kQuarter) << "pan " << c.pan;
    EXPECT_FLOAT_EQ(out[1], c.right * kQuarter) << "pan " << c.pan;
  }
  clip->pan = 0.0f;
  clip->volume = 0.5f;
  const std::vector<float> half = Mix(1);
  EXPECT_FLOAT_EQ(half[0], 0.5f * kQuarter);
}

TEST_F(AudioMixer, TwoFullScaleClipsSumAndFourAreClamped) {
  AddConstantClip("low.wav", -32768, 44100, 0, 0);
  AddConstantClip("low.wav", -32768, 44100, 0, 1);
  AudioPlay(0);
  std::vector<float> out = Mix(8);
  EXPECT_FLOAT_EQ(out[0], -0.66f);
  EXPECT_FLOAT_EQ(out[1], -0.66f);
  AddConstantClip("low.wav", -32768, 44100, 0, 2);
  AddConstantClip("low.wav", -32768, 44100, 0, 3);
  AudioPlay(0);
  out = Mix(8);
  EXPECT_EQ(out[0], -kOutputLimit);
  EXPECT_EQ(out[15], -kOutputLimit);
}

TEST_F(AudioMixer, AClipAtThePlayPositionSoundsFromItsFirstSample) {
  AddRamp("ramp.wav", 5000, 10, 0);
  AudioPlay(10);
  std::vector<float> out = Mix(8);
  for (int k = 0; k < 8; ++k) EXPECT_FLOAT_EQ(out[2 * k], RampValue(k));

  // Playing from the frame before, the clip joins at the frame boundary, at its first sample.
  AudioPlay(9);
  out = Mix(1470 + 4);
  EXPECT_EQ(out[2 * 1469], 0.0f);
  for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(out[2 * (1470 + k)], RampValue(k));
  EXPECT_EQ(playPosition, 10 * 1470 + 4);
}

TEST_F(AudioMixer, TheListLooksFiveSamplesPastAFrameBoundary) {
  // At 44100 fps a clip starts on any sample: these start 3 and 6 samples into frame 1 at 30 fps.
  project.fps = 44100;
  AddRamp("near.wav", 3000, 1470 + 3, 0);
  AddRamp("far.wav", 3000, 1470 + 6, 1);
  project.fps = 30;
  GetClip(0)->pan = -1.0f;  // near.wav on the left only
  GetClip(1)->pan = 1.0f;   // far.wav on the right only
  AudioPlay(0);
  const std::vector<float> out = Mix(2 * 1470 + 2);
  EXPECT_EQ(out[2 * (1470 + 2)], 0.0f);
  EXPECT_FLOAT_EQ(out[2 * (1470 + 3)], RampValue(0)) << "in the list of frame 1";
  EXPECT_FLOAT_EQ(out[2 * (1470 + 10)], RampValue(7));
  EXPECT_EQ(out[2 * (1470 + 10) + 1], 0.0f) << "six samples ahead waits for frame 2";
  EXPECT_EQ(out[2 * 2939 + 1], 0.0f);
  EXPECT_FLOAT_EQ(out[2 * 2940 + 1], RampValue(2940 - 1476));
}

TEST_F(AudioMixer, PlaybackStartsWithTheClipsOfItsPosition) {
  AddRamp("ramp.wav", 20000, 0, 0);
  AudioPlay(500);  // a run elsewhere leaves its list behind
  Mix(600);
  AudioPlay(5);
  const std::vector<float> out = Mix(2);
  EXPECT_FLOAT_EQ(out[0], RampValue(5 * 1470));
  EXPECT_FLOAT_EQ(out[2], RampValue(5 * 1470 + 1));
}

TEST_F(AudioMixer, AScrubSnippetLasts1837SamplesWithFades) {
  AddConstantClip("quarter.wav", 8192, 44100, 20, 0);
  StartScrub(20);
  EXPECT_TRUE(sounding);
  EXPECT_EQ(countdown, kScrubSamples);
  std::vector<float> out;
  for (int buffer = 0; buffer < 4; ++buffer) {
    const std::vector<float> part = Mix(512);
    out.insert(out.end(), part.begin(), part.end());
  }
  auto left = [&](int k) { return out[static_cast<size_t>(2 * k)]; };
  EXPECT_EQ(left(0), 0.0f);
  EXPECT_FLOAT_EQ(left(1), kQuarter * kScrubFadeStep);
  EXPECT_FLOAT_EQ(left(136), kQuarter * 136 * kScrubFadeStep);
  EXPECT_FLOAT_EQ(left(137), kQuarter);
  EXPECT_FLOAT_EQ(left(1700), kQuarter);
  EXPECT_FLOAT_EQ(left(1701), kQuarter * 136 * kScrubFadeStep);
  EXPECT_FLOAT_EQ(left(1836), kQuarter * kScrubFadeStep);
  EXPECT_EQ(left(1837), 0.0f);
  EXPECT_EQ(left(2047), 0.0f);
  EXPECT_FALSE(sounding);
  EXPECT_EQ(playPosition, 20 * 1470 + 2048) << "the buffer that ended the snippet runs on";
  EXPECT_EQ(countdown, kScrubSamples - 2048);
}

TEST_F(AudioMixer, ScrubbingOnSilenceEndsSounding) {
  StartScrub(3);
  for (int buffer = 0; buffer < 3; ++buffer) {
    for (float v : Mix(512)) EXPECT_EQ(v, 0.0f);
  }
  EXPECT_TRUE(sounding) << "1536 of 1837 samples";
  Mix(512);
  EXPECT_FALSE(sounding);
}

TEST_F(AudioMixer, MuteSilencesWhilePlaybackAdvances) {
  AddRamp("ramp.wav", 20000, 0, 0);
  AudioPlay(0);
  Mix(100);
  muted = true;
  for (float v : Mix(1000)) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(playPosition, 1100);
  muted = false;
  const std::vector<float> out = Mix(1);
  EXPECT_FLOAT_EQ(out[0], RampValue(1100));
}

TEST_F(AudioMixer, AStopSilencesOpenEndedSound) {
  AddConstantClip("quarter.wav", 8192, 44100, 0, 0);
  AudioPlay(0);
  EXPECT_EQ(countdown, -1);
  Mix(512);
  EXPECT_TRUE(sounding);
  EXPECT_LT(countdown, -512);
  AudioStop();
  EXPECT_FALSE(sounding);
  for (float v : Mix(512)) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(playPosition, 512);
}

TEST_F(AudioMixer, OnlySixteenClipsSoundInOneFrame) {
  for (int i = 0; i < 20; ++i) AddConstantClip("small.wav", 1000, 44100, 0, i % kLaneCount);
  AudioPlay(0);
  const std::vector<float> out = Mix(1470 * 2);
  const float one = 0.33f * 1000 / 32768;
  EXPECT_NEAR(out[0], 16 * one, 1e-6);
  EXPECT_NEAR(out[2 * 2000], 16 * one, 1e-6) << "after a rebuild, still sixteen";
}

TEST_F(AudioMixer, EditsAreHeardAtOnce) {
  AddConstantClip("quarter.wav", 8192, 44100, 0, 0);
  AddConstantClip("quarter.wav", 8192, 44100, 0, 1);
  AudioPlay(0);
  EXPECT_FLOAT_EQ(Mix(1)[0], 2 * kQuarter);
  GetClip(0)->volume = 0.0f;
  EXPECT_FLOAT_EQ(Mix(1)[0], kQuarter);
  DeleteClip(1);
  EXPECT_EQ(Mix(1)[0], 0.0f) << "a deleted clip falls silent within the frame";
  // A clip moved away stops at once; one inserted joins at the next frame.
  AddConstantClip("quarter.wav", 8192, 44100, 0, 2);
  EXPECT_EQ(Mix(1)[0], 0.0f);
  Mix(1470 - 4);
  EXPECT_FLOAT_EQ(Mix(1)[0], kQuarter);
}

TEST_F(AudioMixer, TheCallbackIsSilentWhileExporting) {
  AddConstantClip("quarter.wav", 8192, 44100, 0, 0);
  AudioPlay(0);
  std::vector<float> out(1024, -1.0f);
  exporting = true;
  EXPECT_EQ(AudioCallback(nullptr, out.data(), 512, nullptr, 0, nullptr), 0);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(playPosition, 0) << "the export owns the play position";
  exporting = false;
  AudioCallback(nullptr, out.data(), 512, nullptr, 0, nullptr);
  EXPECT_FLOAT_EQ(out[0], kQuarter);
  EXPECT_EQ(playPosition, 512);
}

TEST_F(AudioMixer, MixingAllocatesNothing) {
  for (int i = 0; i < 20; ++i) AddRamp("ramp.wav", 50000, i * 3, i % kLaneCount);
  StartScrub(2);
  AudioPlay(0);
  countedAllocations = 0;
  std::vector<float> out(1024);
  countAllocations = true;
  for (int buffer = 0; buffer < 200; ++buffer) {
    if (buffer == 50) muted = true;
    if (buffer == 60) muted = false;
    if (buffer == 100) StartScrub(40);
    MixAudio(out.data(), 512);
  }
  AudioCallback(nullptr, out.data(), 512, nullptr, 0, nullptr);
  countAllocations = false;
  EXPECT_EQ(countedAllocations, 0);
}

}  // namespace
