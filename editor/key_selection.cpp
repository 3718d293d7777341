#include "editor/key_selection.h"

#include <algorithm>

#include "editor/editor_state.h"

namespace {

bool NamesKey(const KeyTrack& track, int index) { return index >= 0 && index < track.count; }

bool OnFrames(const Key& key) { return key.frame >= 0 && key.frame < kMaxFrames; }

// The frame set applies while the selected key is one of its keys.
bool FramesApply(const KeyTrack& track) {
  const int primary = project.selectedKey;
  if (!NamesKey(track, primary)) return false;
  const Key& key = track.keys[static_cast<size_t>(primary)];
  return OnFrames(key) && editor.selectedKeyFrames[static_cast<size_t>(key.frame)];
}

// The selected key becomes the first selected one, or none.
void ChooseSelectedKey(const KeyTrack& track) {
  for (int i = 0; i < track.count; ++i) {
    const Key& key = track.keys[static_cast<size_t>(i)];
    if (OnFrames(key) && editor.selectedKeyFrames[static_cast<size_t>(key.frame)]) {
      SelectKey(i);
      return;
    }
  }
  project.selectedKey = -1;
}

}  // namespace

bool KeySelected(const KeyTrack& track, int index) {
  if (!NamesKey(track, index)) return false;
  if (!FramesApply(track)) return index == project.selectedKey;
  const Key& key = track.keys[static_cast<size_t>(index)];
  return OnFrames(key) && editor.selectedKeyFrames[static_cast<size_t>(key.frame)];
}

int SelectedKeyCount(const KeyTrack& track) {
  int count = 0;
  for (int i = 0; i < track.count; ++i) count += KeySelected(track, i) ? 1 : 0;
  return count;
}

KeyFrameSet SelectedKeyFrames(const KeyTrack& track) {
  KeyFrameSet frames{};
  for (int i = 0; i < track.count; ++i) {
    const Key& key = track.keys[static_cast<size_t>(i)];
    if (KeySelected(track, i) && OnFrames(key)) frames[static_cast<size_t>(key.frame)] = true;
  }
  return frames;
}

void SelectOnlyKey(const KeyTrack& track, int index) {
  editor.selectedKeyFrames.fill(false);
  if (!NamesKey(track, index) || !OnFrames(track.keys[static_cast<size_t>(index)])) {
    project.selectedKey = -1;
    return;
  }
  editor.selectedKeyFrames[static_cast<size_t>(track.keys[static_cast<size_t>(index)].frame)] =
      true;
  SelectKey(index);
}

void ToggleKeySelection(const KeyTrack& track, int index) {
  if (!NamesKey(track, index) || !OnFrames(track.keys[static_cast<size_t>(index)])) return;
  KeyFrameSet frames = SelectedKeyFrames(track);
  bool& selected = frames[static_cast<size_t>(track.keys[static_cast<size_t>(index)].frame)];
  selected = !selected;
  editor.selectedKeyFrames = frames;
  if (selected) {
    SelectKey(index);
  } else {
    ChooseSelectedKey(track);
  }
}

void SelectKeysInFrames(const KeyTrack& track, int first, int last, const KeyFrameSet* kept) {
  if (first > last) std::swap(first, last);
  KeyFrameSet frames{};
  if (kept != nullptr) frames = *kept;
  for (int f = std::max(first, 0); f <= std::min(last, kMaxFrames - 1); ++f) {
    frames[static_cast<size_t>(f)] = true;
  }
  SelectKeyFrames(track, frames);
}

void SelectKeyFrames(const KeyTrack& track, const KeyFrameSet& frames) {
  // Only frames that hold keys are kept: a key made later on another frame is not selected.
  editor.selectedKeyFrames.fill(false);
  for (int i = 0; i < track.count; ++i) {
    const Key& key = track.keys[static_cast<size_t>(i)];
    if (OnFrames(key) && frames[static_cast<size_t>(key.frame)]) {
      editor.selectedKeyFrames[static_cast<size_t>(key.frame)] = true;
    }
  }
  ChooseSelectedKey(track);
}

bool MoveSelectedKeys(KeyTrack& track, int frames) {
  if (frames == 0 || !NamesKey(track, project.selectedKey)) return false;
  const KeyFrameSet selected = SelectedKeyFrames(track);
  for (int i = 0; i < track.count; ++i) {
    if (!KeySelected(track, i)) continue;
    const int to = track.keys[static_cast<size_t>(i)].frame + frames;
    if (to < 0 || to >= kMaxFrames) return false;
    const int there = FindKeyAtFrame(track, to);
    if (there >= 0 && !KeySelected(track, there)) return false;
  }
  const int primaryFrame = track.keys[static_cast<size_t>(project.selectedKey)].frame + frames;
  KeyFrameSet moved{};
  for (int i = 0; i < track.count; ++i) {
    Key& key = track.keys[static_cast<size_t>(i)];
    if (!OnFrames(key) || !selected[static_cast<size_t>(key.frame)]) continue;
    key.frame += frames;
    moved[static_cast<size_t>(key.frame)] = true;
  }
  std::stable_sort(track.keys.begin(), track.keys.begin() + track.count,
                   [](const Key& a, const Key& b) { return a.frame < b.frame; });
  editor.selectedKeyFrames = moved;
  SelectKey(FindKeyAtFrame(track, primaryFrame));
  return true;
}

int DeleteSelectedKeys(KeyTrack& track) {
  KeyFrameSet goes = SelectedKeyFrames(track);
  // The track keeps at least one key: the first, when every key is selected.
  if (track.count > 0 && SelectedKeyCount(track) == track.count && OnFrames(track.keys[0])) {
    goes[static_cast<size_t>(track.keys[0].frame)] = false;
  }
  int kept = 0, deleted = 0;
  for (int i = 0; i < track.count; ++i) {
    const Key& key = track.keys[static_cast<size_t>(i)];
    if (OnFrames(key) && goes[static_cast<size_t>(key.frame)]) {
      ++deleted;
    } else {
      track.keys[static_cast<size_t>(kept++)] = key;
    }
  }
  track.count = kept;
  if (deleted > 0) {
    editor.selectedKeyFrames.fill(false);
    project.selectedKey = -1;
  }
  return deleted;
}

void SetSelectedKeysMode(KeyTrack& track, KeyMode mode) {
  for (int i = 0; i < track.count; ++i) {
    if (KeySelected(track, i)) track.keys[static_cast<size_t>(i)].mode = mode;
  }
}
