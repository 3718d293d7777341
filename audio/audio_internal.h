// State that the audio layer's own files share: the clip order published to the mixer and the
// counters by which the main thread knows when the mixer has let go of a retired order. Not for
// other subsystems; audio/audio.h is the interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/audio.h"

// One place in the order the mixer walks: the clip and its start when the order was published.
// Carrying the start keeps each published order sorted even while a move is under way.
struct OrderEntry {
  Clip* clip;
  int32_t startSample;
};

// An immutable copy of the clip table's order. The main thread builds a new one after every
// insert, move and delete and swaps it in; it frees an old one only once the mixer cannot be
// reading it any more (see ReclaimRetiredOrders).
struct ClipOrder {
  std::vector<OrderEntry> entries;
};

// The order the mixer walks when it rebuilds its active list; never null.
extern std::atomic<const ClipOrder*> publishedOrder;
// Raised by one when a MixAudio call begins and again when it ends: odd while the mixer runs.
// Also serves as the mixer's lock (taken by compare-and-swap from an even value).
extern std::atomic<uint64_t> mixSequence;
// The order the mixer's active list was built from, null while the list is empty. The list's
// clips stay readable for the mixer until this changes.
extern std::atomic<const ClipOrder*> activeListSource;
// The order published while the table is empty; static, never freed.
extern const ClipOrder emptyClipOrder;

// The project's frames per second, kept within 1..44100 for the sample arithmetic.
int AudioFps();
// First sample of frame at fps.
int32_t FrameToSample(int frame, int fps);

// The callback's MixAudio: false, and nothing mixed, when another thread holds the mixer.
bool TryMixAudio(float* out, int frames);

// Main thread: frees orders and deleted clips that the mixer can no longer reach.
void ReclaimRetiredOrders();
// Retired orders not yet freed (for tests).
int RetiredOrderCount();
// Main thread, no mixer running: frees every clip, order and wave.
void FreeClipTable();
void FreeWaveTable();
// Draws every wave's overview again for the project's frame rate.
void RebuildOverviews();
bool AudioHoldsData();
// Main thread, no mixer running: empties the mixer's active list.
void ResetMixer();
// Main thread: position 0, silent, the list rebuilt on the next start.
void ResetTransport();
