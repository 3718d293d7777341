// The hand-over between the main thread and the mixer. The stress test edits clips and playback
// while another thread runs the stream's callback without pause; the sanitizer build of the test
// command runs it under ThreadSanitizer, which reports any unguarded access.

#include <random>
#include <thread>

#include "audio/audio_internal.h"
#include "tests/audio_fixtures.h"

namespace {

using namespace audiotest;

class AudioStress : public AudioTest {
 protected:
  void WriteSounds() {
    Write("short.wav", Wav16(std::vector<int16_t>(2000, 12000)));
    std::vector<int16_t> ramp;
    for (int k = 0; k < 30000; ++k) ramp.push_back(static_cast<int16_t>(k - 15000));
    Write("ramp.wav", Wav16(ramp));
    Write("stereo.wav", Wav16(std::vector<int16_t>(20000, -20000), 2));
  }
};

TEST_F(AudioStress, ClipEditsWhileAnotherThreadMixes) {
  WriteSounds();
  const char* names[] = {"short.wav", "ramp.wav", "stereo.wav", "missing.wav"};
  std::atomic<bool> stop{false};
  std::atomic<long> buffers{0};
  std::atomic<bool> outOfRange{false};
  std::thread audioThread([&] {
    std::vector<float> out(2 * kFramesPerBuffer);
    countAllocations = true;
    while (!stop.load()) {
      AudioCallback(nullptr, out.data(), kFramesPerBuffer, nullptr, 0, nullptr);
      for (float v : out) {
        if (!(v >= -kOutputLimit && v <= kOutputLimit)) outOfRange = true;
      }
      ++buffers;
    }
    countAllocations = false;
  });

  std::mt19937 random(20240601);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  AudioPlay(0);
  std::vector<float> exportBuffer(512);
  for (int step = 0; step < 6000 || buffers.load() < 200; ++step) {
    const int count = ClipCount();
    switch (pick(10)) {
      case 0:
      case 1:
        if (count < 48) {
          InsertAudioClip(names[pick(4)], pick(40), pick(kLaneCount), MissingSound::kKeepClip);
        }
        break;
      case 2:
      case 3:
        if (count > 0) MoveClip(pick(count), pick(40), pick(kLaneCount));
        break;
      case 4:
        if (count > 0) DeleteClip(pick(count));
        break;
      case 5:
        if (count > 0) GetClip(pick(count))->volume = static_cast<float>(pick(101)) / 100;
        break;
      case 6:
        if (count > 0) GetClip(pick(count))->pan = static_cast<float>(pick(201) - 100) / 100;
        break;
      case 7:
        AudioPlay(pick(30));
        break;
      case 8:
        StartScrub(pick(30));
        break;
      default:
        if (pick(4) == 0) {
          // An export takes the mixer from the callback for a moment.
          exporting = true;
          MixAudio(exportBuffer.data(), 256);
          exporting = false;
        } else if (pick(4) == 0) {
          muted = !muted;
        } else {
          AudioStop();
        }
        break;
    }
    if (step % 32 == 0) std::this_thread::yield();
  }
  stop = true;
  audioThread.join();

  EXPECT_GE(buffers.load(), 200);
  EXPECT_FALSE(outOfRange.load());
  EXPECT_EQ(countedAllocations.load(), 0) << "the callback allocated";
  // Once the mixer has stopped, nothing is held back any more.
  AudioStop();
  std::vector<float> out(64);
  MixAudio(out.data(), 32);
  AudioStop();
  EXPECT_EQ(RetiredOrderCount(), 0);
}

TEST_F(AudioStress, ADeletedClipIsFreedOnlyAfterTheMixerLetGoOfIt) {
  WriteSounds();
  InsertAudioClip("ramp.wav", 0, 0);
  InsertAudioClip("short.wav", 0, 1);
  AudioPlay(0);
  std::vector<float> out(2 * 100);
  MixAudio(out.data(), 100);  // both clips are in the active list now
  DeleteClip(1);
  MoveClip(0, 0, 3);
  EXPECT_EQ(RetiredOrderCount(), 2) << "the list still comes from the order before the delete";
  MixAudio(out.data(), 100);
  AudioStop();
  EXPECT_EQ(RetiredOrderCount(), 2) << "no frame boundary yet";
  AudioPlay(0);
  MixAudio(out.data(), 1);  // playback rebuilds the list from the current order
  AudioStop();
  EXPECT_EQ(RetiredOrderCount(), 0);
}

}  // namespace
