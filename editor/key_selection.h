// Many keys of the selected object's track selected at once in the timeline, and what acts on
// them together: a move by a number of frames, Delete and the key menu's modes. The selection is
// kept as the frames of the selected keys, so it survives the track's reordering; it counts only
// while the timeline's own selected key (project.selectedKey) is one of them, so whatever clears
// that key (another object, a ruler click, a frame step, a new project) clears them all. Every
// function takes the selected object's track. Builds on the scene model and the editor state.
#pragma once

#include <array>

#include "scene/scene.h"

// Whether key index of track is selected.
bool KeySelected(const KeyTrack& track, int index);
// How many keys of track are selected.
int SelectedKeyCount(const KeyTrack& track);
// Selects key index alone (none for an index that names no key); it becomes the selected key.
void SelectOnlyKey(const KeyTrack& track, int index);
// Shift+click: adds key index to the selection, or takes it out when it is in.
void ToggleKeySelection(const KeyTrack& track, int index);
// Selects the keys on frames first..last (either order), besides those of `kept` when it is
// given (a sweep with Shift keeps what was selected when it began).
using KeyFrameSet = std::array<bool, kMaxFrames>;
void SelectKeysInFrames(const KeyTrack& track, int first, int last, const KeyFrameSet* kept);
// Selects the keys on the given frames, and only those (frames without a key are ignored).
void SelectKeyFrames(const KeyTrack& track, const KeyFrameSet& frames);
// The frames of the selected keys.
KeyFrameSet SelectedKeyFrames(const KeyTrack& track);
// Moves every selected key by frames, keeping the track in frame order and the selection on the
// moved keys. Refused as a whole (false, nothing moved) when one would land outside 0..1999 or
// on a key that is not selected.
bool MoveSelectedKeys(KeyTrack& track, int frames);
// Deletes the selected keys, never the track's last one: with every key selected the first
// stays. How many went; the selection is empty afterwards when any did.
int DeleteSelectedKeys(KeyTrack& track);
// Gives every selected key mode.
void SetSelectedKeysMode(KeyTrack& track, KeyMode mode);
