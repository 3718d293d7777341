// The clip table: insertion, moves and deletion on the main thread, and the publication of its
// order to the mixer. The table holds pointers to clip records that never move; after every
// change the main thread publishes a fresh immutable copy of the order (ClipOrder) for the mixer
// and retires the previous one. A retired order, together with the clips deleted when it was
// replaced, is freed once the mixer can no longer reach it:
// - no MixAudio call that may have loaded it is still running (mixSequence has moved on from
//   the odd value it had, or was even, when the order was retired), and
// - the mixer's active list was not built from it (activeListSource).
// Retired orders are freed oldest first, so a list built from an older order also holds back
// every later one; the clips deleted since then stay allocated until the list is rebuilt.

#include <algorithm>
#include <deque>

#include "audio/audio_internal.h"
#include "platform/files.h"
#include "platform/log.h"

const ClipOrder emptyClipOrder;
std::atomic<const ClipOrder*> publishedOrder{&emptyClipOrder};
std::atomic<uint64_t> mixSequence{0};
std::atomic<const ClipOrder*> activeListSource{nullptr};

namespace {

std::vector<std::unique_ptr<Clip>> clips;

struct RetiredOrder {
  const ClipOrder* order;
  std::vector<std::unique_ptr<Clip>> deletedClips;
  uint64_t mixSequenceThen;
};
std::deque<RetiredOrder> retired;

void FreeOrder(const ClipOrder* order) {
  if (order != &emptyClipOrder) delete order;
}

// Which clips PublishOrder gives a new start sample before it publishes.
enum class Restart { kNone, kOneClip, kEveryClip };

// The one place where start samples are stored: the named clips start at their start frame
// under the project's frame rate, and the order is published with those starts at once. The
// mixer chooses the clips to sound by the starts in the published order, so a start changed
// without a new order would be heard late or not at all.
void PublishOrder(Restart restart, Clip* restarted = nullptr,
                  std::unique_ptr<Clip> deleted = nullptr) {
  const int fps = AudioFps();
  if (restart == Restart::kOneClip && restarted != nullptr) {
    restarted->startSample.store(FrameToSample(restarted->startFrame, fps));
  } else if (restart == Restart::kEveryClip) {
    for (const auto& clip : clips) clip->startSample.store(FrameToSample(clip->startFrame, fps));
  }
  auto order = std::make_unique<ClipOrder>();
  order->entries.reserve(clips.size());
  for (const auto& clip : clips) {
    order->entries.push_back({clip.get(), clip->startSample.load(std::memory_order_relaxed)});
  }
  const ClipOrder* previous = publishedOrder.exchange(order.release());
  RetiredOrder entry{previous, {}, mixSequence.load()};
  if (deleted) entry.deletedClips.push_back(std::move(deleted));
  retired.push_back(std::move(entry));
  ReclaimRetiredOrders();
}

// The samples a clip covers in its lane. A clip without sound still takes its drawn place, so
// the timeline never shows two clips on top of each other.
int64_t WaveLength(const Clip& clip) {
  if (clip.wave == nullptr) return FrameToSample(kMissingSoundFrames, AudioFps());
  return clip.wave->length;
}

void SwapClips(int a, int b) { std::swap(clips[static_cast<size_t>(a)], clips[static_cast<size_t>(b)]); }

}  // namespace

int AudioFps() { return std::clamp(project.fps, 1, kMixRate); }

int32_t FrameToSample(int frame, int fps) {
  const int64_t sample = int64_t{frame} * kMixRate / std::max(fps, 1);
  return static_cast<int32_t>(std::clamp<int64_t>(sample, INT32_MIN, INT32_MAX));
}

void ReclaimRetiredOrders() {
  while (!retired.empty()) {
    const RetiredOrder& oldest = retired.front();
    const uint64_t now = mixSequence.load();
    const bool mixThenHasEnded = oldest.mixSequenceThen % 2 == 0 || now != oldest.mixSequenceThen;
    if (!mixThenHasEnded || activeListSource.load() == oldest.order) return;
    FreeOrder(oldest.order);
    retired.pop_front();
  }
}

int ClipCount() { return static_cast<int>(clips.size()); }

void RetimeClips() {
  PublishOrder(Restart::kEveryClip);
  RebuildOverviews();
}

Clip* GetClip(int index) {
  if (index < 0 || index >= ClipCount()) return nullptr;
  return clips[static_cast<size_t>(index)].get();
}

int InsertAudioClip(const char* name, int startFrame, int row, MissingSound missing) {
  if (name == nullptr) name = "";
  LogMessage("InsertAudioClip(%s, %i, %i)", name, startFrame, row);
  if (ClipCount() >= kMaxClips) {
    LogMessage("failed: the project holds %d clips", kMaxClips);
    return -1;
  }
  auto clip = std::make_unique<Clip>();
  LogMessage("creating name");
  CopyName(clip->fileName, kFileNameSize, PathFileName(name));
  CopyName(clip->label, kNameSize, clip->fileName);
  clip->startFrame = std::clamp(startFrame, 0, kMaxFrames - 1);
  clip->row = std::clamp(row, 0, kLaneCount - 1);

  clip->wave = GetWave(clip->fileName);
  if (clip->wave == nullptr && !LoadSample(*clip)) {
    if (missing == MissingSound::kRefuse) {
      LogMessage("failed");
      return -1;
    }
    LogMessage("kept without sound");
  }

  if (clips.size() == clips.capacity()) {
    LogMessage("realloc()");
    clips.reserve(clips.capacity() + kTableGrowth);
  }
  int spot = ClipCount();
  while (spot > 0 && clips[static_cast<size_t>(spot - 1)]->startFrame >= clip->startFrame) --spot;
  LogMessage("spot=%i", spot);
  Clip* inserted = clip.get();
  clips.insert(clips.begin() + spot, std::move(clip));
  PublishOrder(Restart::kOneClip, inserted);
  LogMessage("start=%i", inserted->startSample.load());
  LogMessage("done");
  return spot;
}

int MoveClip(int index, int startFrame, int row) {
  Clip* clip = GetClip(index);
  if (clip == nullptr) return index;
  if (startFrame == clip->startFrame && row == clip->row) return index;
  startFrame = std::clamp(startFrame, 0, kMaxFrames - 1);
  row = std::clamp(row, 0, kLaneCount - 1);
  if (startFrame == clip->startFrame && row == clip->row) return index;

  const int64_t start = FrameToSample(startFrame, AudioFps());
  const int64_t length = WaveLength(*clip);
  for (const auto& other : clips) {
    if (other.get() == clip || other->row != row) continue;
    const int64_t otherStart = other->startSample.load(std::memory_order_relaxed);
    if (otherStart < start + length && start < otherStart + WaveLength(*other)) return index;
  }
  clip->startFrame = startFrame;
  clip->row = row;

  // The moved clip travels past its neighbours until the table is sorted again.
  for (;;) {
    const int previous = std::max(index - 1, 0);
    const int next = std::min(index + 1, ClipCount() - 1);
    if (startFrame < clips[static_cast<size_t>(previous)]->startFrame) {
      LogMessage("swap <-");
      SwapClips(index, previous);
      index = previous;
    } else if (startFrame > clips[static_cast<size_t>(next)]->startFrame) {
      LogMessage("swap ->");
      SwapClips(index, next);
      index = next;
    } else {
      break;
    }
  }
  PublishOrder(Restart::kOneClip, clip);
  return index;
}

bool DeleteClip(int index) {
  if (GetClip(index) == nullptr) return false;
  std::unique_ptr<Clip> clip = std::move(clips[static_cast<size_t>(index)]);
  clips.erase(clips.begin() + index);
  // Silent at once; the mixer may hold the record until its next list rebuild.
  clip->volume = 0.0f;
  PublishOrder(Restart::kNone, nullptr, std::move(clip));
  return true;
}

int RetiredOrderCount() { return static_cast<int>(retired.size()); }

bool AudioHoldsData() { return !clips.empty() || !retired.empty() || WaveCount() > 0; }

void FreeClipTable() {
  LogMessage("freeing %i clips", ClipCount());
  FreeOrder(publishedOrder.exchange(&emptyClipOrder));
  for (const RetiredOrder& entry : retired) FreeOrder(entry.order);
  retired.clear();
  clips.clear();
  clips.shrink_to_fit();
  clips.reserve(kTableGrowth);
}
