// Copy and paste of poses and keys. Ctrl+C copies the keys selected in the timeline or, with none
// selected, the selected object's pose at the current frame (position, level, rotation, scale);
// Ctrl+V pastes onto the selected object at the current frame; Ctrl+Shift+V pastes onto the
// copied object's counterparts in other puppets. The clipboard lasts for the whole run, across
// projects. Builds on the scene model, the dialogs (messages), the editor state and its key
// selection.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "scene/scene.h"

// An object's names from the top of the scene down to it, the root left out: "Girl", "Body",
// "ArmL" for the arm of the puppet Girl. Empty for the root.
struct NamePath {
  int count = 0;
  std::array<std::array<char, kNameSize>, kMaxChain> names{};
};
NamePath NamePathOf(const SceneObject* object);
// "Girl > Body > ArmL", cut to size; "the scene" for the root's empty path.
void FormatNamePath(const NamePath& path, char* text, size_t size);
// The counterpart rule of Ctrl+Shift+V: candidate has as many names as source and differs from
// it in exactly one of them, the name of an object above the last. So "Boy > Body > ArmL" is a
// counterpart of "Girl > Body > ArmL" (another puppet), and so are "Stage > Boy > Body > ArmL" of
// "Stage > Girl > Body > ArmL" and "Girl > Body2 > ArmL" (another parent further down); an object
// of the same path, or of another last name, is not.
bool IsCounterpart(const NamePath& source, const NamePath& candidate);
// The ordinary objects under root whose paths are counterparts of source, in tree order.
std::vector<SceneObject*> FindCounterparts(SceneObject* root, const NamePath& source);

// Puts keys[0..count) (in frame order, frames counted from the first) onto track from frame on,
// each replacing the key on its frame. Refused (false, track unchanged, the reason written) when
// a key would pass frame 1999 or the track would hold more than kMaxKeys keys.
bool PasteKeys(KeyTrack& track, const Key* keys, int count, int frame, char* reason, size_t size);

enum class ClipboardContent { kNothing, kPose, kKeys };
// What Ctrl+V would paste.
ClipboardContent ClipboardHolds();
// Empties the clipboard (tests start from nothing).
void ClearClipboard();

// Ctrl+C. False when nothing was copied: no object is selected.
bool CopyCommand();
// Ctrl+V: the pose as a key on the current frame (the key there replaced), or the keys from the
// current frame on; an object without keys (an alignment being edited) takes a pose as its fixed
// pose and refuses keys. One undo step. False, the user told why, when nothing was pasted.
bool PasteCommand();
// Ctrl+Shift+V: the same onto every counterpart of the copied object; when there is none, the
// user is told what was to be pasted and which paths would have matched.
bool PasteOntoCounterpartsCommand();
