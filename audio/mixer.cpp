// The mixer and the playback state it shares with the main thread.
//
// Rules for everything that MixAudio does, since the stream's callback runs it on the audio
// thread:
// - no allocation, no file I/O, no logging, no system calls;
// - no waiting on the main thread: when a playback command is being stored at that very moment,
//   the mixer plays on as if it had not come yet and takes it up at the next sample or buffer;
// - the clip table is read only through the published ClipOrder, never the main thread's table,
//   which grows and shifts; clip records only through the active list;
// - shared scalars are std::atomic; of a clip, the fields the main thread edits while it may
//   sound (startSample, volume, pan) are atomic, the others and its wave are fixed before the
//   clip is published;
// - memory the mixer may still reach is freed by the main thread only after the mixer has let
//   go of it (audio/clips.cpp); waves only once the stream is stopped.
// One thread mixes at a time: mixSequence is the mixer's lock. The callback never waits for it
// (it outputs silence when an export is mixing); MixAudio on the main thread waits at most for
// the callback's current buffer.

#include <algorithm>
#include <array>
#include <climits>
#include <thread>

#include "audio/audio_internal.h"
#include "platform/log.h"

std::atomic<int32_t> playPosition{0};
std::atomic<bool> sounding{false};
std::atomic<int32_t> countdown{0};
std::atomic<bool> muted{false};

namespace {

// Playback commands (main thread) and the mixer's write-back after a run each store several
// fields. transportSequence is odd while one of them is storing and grows by two with every
// completed store, so the mixer knows whether a command came while it mixed.
std::atomic<uint64_t> transportSequence{0};
std::atomic<bool> listStale{true};  // rebuild the active list before the next mixed sample
std::atomic<int32_t> transportFps{30};

struct Transport {
  int32_t position = 0;
  int32_t countdown = 0;
  bool sounding = false;
  bool listStale = true;
  int32_t fps = 30;
};

// Owned by whichever thread holds the mixer (mixSequence odd).
struct Mixer {
  std::array<Clip*, kMaxActiveClips> active{};
  int activeCount = 0;
  Transport last;  // the state after the last run; played on while a command is being stored
};
Mixer mixer;

uint64_t BeginCommand() {
  uint64_t sequence = transportSequence.load();
  for (;;) {
    if ((sequence & 1) == 0 && transportSequence.compare_exchange_weak(sequence, sequence + 1)) {
      return sequence;
    }
    std::this_thread::yield();
    sequence = transportSequence.load();
  }
}

void EndCommand(uint64_t sequence) { transportSequence.store(sequence + 2); }

// A consistent copy of the playback state, or false while a command is being stored.
bool LoadTransport(Transport& t, uint64_t& sequence) {
  sequence = transportSequence.load();
  if ((sequence & 1) != 0) return false;
  t.position = playPosition.load();
  t.countdown = countdown.load();
  t.sounding = sounding.load();
  t.listStale = listStale.load();
  t.fps = transportFps.load();
  return transportSequence.load() == sequence;
}

// Publishes the mixer's progress unless a command was stored since the run began (the command
// wins; the progress is dropped).
void WriteBackTransport(const Transport& t, uint64_t sequence) {
  uint64_t expected = sequence;
  if (!transportSequence.compare_exchange_strong(expected, sequence + 1)) return;
  playPosition.store(t.position);
  countdown.store(t.countdown);
  sounding.store(t.sounding);
  listStale.store(t.listStale);
  transportSequence.store(sequence + 2);
}

void DropActiveList() {
  if (mixer.activeCount == 0 && activeListSource.load(std::memory_order_relaxed) == nullptr) return;
  mixer.activeCount = 0;
  activeListSource.store(nullptr);
}

// The clips that may sound during the frame that position begins: those starting no later than
// five samples ahead and not yet ended, in table order, at most 16 (the rest are left out). The
// walk stops at the first clip that starts later, as the order is sorted.
void RebuildActiveList(int32_t position) {
  const ClipOrder* order = publishedOrder.load();
  int count = 0;
  for (const OrderEntry& entry : order->entries) {
    if (entry.startSample > int64_t{position} + kLookAheadSamples) break;
    const Wave* wave = entry.clip->wave;
    if (wave == nullptr || wave->length == 0) continue;  // never sounds
    if (int64_t{entry.startSample} + wave->length <= position) continue;
    if (count == kMaxActiveClips) break;
    mixer.active[static_cast<size_t>(count++)] = entry.clip;
  }
  mixer.activeCount = count;
  activeListSource.store(count > 0 ? order : nullptr);
}

// Past its end a clip repeats its last sample until the list is rebuilt.
void MixSample(int32_t position, float& left, float& right) {
  for (int i = 0; i < mixer.activeCount; ++i) {
    const Clip* clip = mixer.active[static_cast<size_t>(i)];
    const int64_t offset = int64_t{position} - clip->startSample.load(std::memory_order_relaxed);
    const Wave* wave = clip->wave;
    if (offset < 0) continue;
    const int64_t j = std::min<int64_t>(offset, wave->length - 1);
    const float pan = clip->pan.load(std::memory_order_relaxed);
    const float volume = clip->volume.load(std::memory_order_relaxed);
    const float gainLeft = std::min(1.0f, 1.0f - pan);
    const float gainRight = std::min(1.0f, 1.0f + pan);
    left += gainLeft * wave->left[j] * volume;
    right += gainRight * wave->right[j] * volume;
  }
}

float Clamp(float value) {
  return value > kOutputLimit ? kOutputLimit : (value < -kOutputLimit ? -kOutputLimit : value);
}

bool EndsFrame(int32_t position, int fps) {
  return (int64_t{position} + 1) * fps / kMixRate != int64_t{position} * fps / kMixRate;
}

// Snippets fade in over their first 137 samples and out over their last 136.
float SnippetGain(int32_t remaining) {
  if (remaining > kScrubSamples - kScrubFadeSamples) {
    return static_cast<float>(kScrubSamples - remaining) * kScrubFadeStep;
  }
  if (remaining > 0 && remaining < kScrubFadeSamples) return remaining * kScrubFadeStep;
  return 1.0f;
}

void Advance(Transport& t) {
  if (t.position < INT32_MAX) {
    ++t.position;
  } else {
    t.sounding = false;
  }
  if (t.countdown > INT32_MIN) --t.countdown;
  if (t.countdown == 0) t.sounding = false;
}

// Mixes up to frames from t; with watch, stops early once a command has been stored since
// sequence. Returns the frames written.
int MixRun(float* out, int frames, Transport& t, bool watch, uint64_t sequence) {
  for (int k = 0; k < frames; ++k) {
    if (watch && transportSequence.load(std::memory_order_relaxed) != sequence) return k;
    float left = 0.0f, right = 0.0f;
    // Muted: silence while the position advances; the list waits until sound returns.
    if (!muted.load(std::memory_order_relaxed)) {
      if (t.listStale) {
        RebuildActiveList(t.position);
        t.listStale = false;
      }
      MixSample(t.position, left, right);
      left = Clamp(left);
      right = Clamp(right);
      if (EndsFrame(t.position, t.fps)) RebuildActiveList(t.position);
      if (t.sounding) {
        const float gain = SnippetGain(t.countdown);
        left *= gain;
        right *= gain;
      } else {
        left = right = 0.0f;
      }
    }
    out[2 * k] = left;
    out[2 * k + 1] = right;
    Advance(t);
  }
  return frames;
}

void MixHeld(float* out, int frames) {
  int done = 0;
  while (done < frames) {
    Transport t;
    uint64_t sequence = 0;
    const bool settled = LoadTransport(t, sequence);
    if (!settled) t = mixer.last;
    if (!t.sounding) {
      for (int k = 2 * done; k < 2 * frames; ++k) out[k] = 0.0f;
      DropActiveList();
      mixer.last = t;
      return;
    }
    done += MixRun(out + 2 * done, frames - done, t, settled, sequence);
    mixer.last = t;
    if (settled) WriteBackTransport(t, sequence);
  }
}

bool TakeMixer(uint64_t& sequence) {
  return (sequence & 1) == 0 && mixSequence.compare_exchange_strong(sequence, sequence + 1);
}

}  // namespace

void MixAudio(float* out, int frames) {
  if (out == nullptr || frames <= 0) return;
  uint64_t sequence = mixSequence.load();
  while (!TakeMixer(sequence)) {
    std::this_thread::yield();
    sequence = mixSequence.load();
  }
  MixHeld(out, frames);
  mixSequence.store(sequence + 2);
}

bool TryMixAudio(float* out, int frames) {
  uint64_t sequence = mixSequence.load();
  if (!TakeMixer(sequence)) return false;
  MixHeld(out, frames);
  mixSequence.store(sequence + 2);
  return true;
}

void AudioPlay(int frame) {
  LogMessage("AudioPlay(%i)", frame);
  const int fps = AudioFps();
  const uint64_t sequence = BeginCommand();
  countdown.store(-1);
  playPosition.store(FrameToSample(frame, fps));
  transportFps.store(fps);
  listStale.store(true);
  sounding.store(true);
  EndCommand(sequence);
  ReclaimRetiredOrders();
}

void StartScrub(int frame) {
  const int fps = AudioFps();
  const uint64_t sequence = BeginCommand();
  countdown.store(kScrubSamples);
  playPosition.store(FrameToSample(frame, fps));
  transportFps.store(fps);
  listStale.store(true);
  sounding.store(true);
  EndCommand(sequence);
  ReclaimRetiredOrders();
}

void AudioStop() {
  LogMessage("AudioStop()");
  const uint64_t sequence = BeginCommand();
  sounding.store(false);
  EndCommand(sequence);
  ReclaimRetiredOrders();
}

void ResetTransport() {
  const uint64_t sequence = BeginCommand();
  sounding.store(false);
  countdown.store(0);
  playPosition.store(0);
  transportFps.store(AudioFps());
  listStale.store(true);
  EndCommand(sequence);
}

void ResetMixer() {
  mixer = Mixer();
  activeListSource.store(nullptr);
}
