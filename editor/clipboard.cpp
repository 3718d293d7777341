// The clipboard keeps what was copied by value (a pose, or keys with their frames counted from
// the first), never a pointer into the tree: the object it came from may be deleted, renamed or
// rebuilt by an undo before the paste. Its path of names at the time of the copy is what
// Ctrl+Shift+V matches the counterparts against.
#include "editor/clipboard.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/commands.h"
#include "editor/editor_state.h"
#include "editor/key_selection.h"
#include "platform/dialogs.h"
#include "platform/log.h"
#include "scene/animation.h"

namespace {

struct Clipboard {
  ClipboardContent content = ClipboardContent::kNothing;
  Key pose;  // kPose: its position, rotation and scale
  int keyCount = 0;  // kKeys: in frame order, the first on frame 0
  std::array<Key, kMaxKeys> keys;
  NamePath source;
};
Clipboard clipboard;

constexpr size_t kPathTextSize = 1024;
constexpr size_t kMessageSize = 4096;
constexpr int kPatternsShown = 3;  // counterpart paths a refusal names before "..."

void TakePose(Key& to, const Key& from) {
  to.position = from.position;
  to.rotation = from.rotation;
  to.scale = from.scale;
}

// "the pose of Girl > Body > ArmL" or "3 keys of Girl > Body > ArmL".
void DescribeClipboard(char* text, size_t size) {
  char path[kPathTextSize];
  FormatNamePath(clipboard.source, path, sizeof path);
  if (clipboard.content == ClipboardContent::kKeys) {
    std::snprintf(text, size, "%d key%s of %s", clipboard.keyCount,
                  clipboard.keyCount == 1 ? "" : "s", path);
  } else {
    std::snprintf(text, size, "the pose of %s", path);
  }
}

// Pastes what the clipboard holds onto object at the current frame. False, why in reason, when
// the object cannot take it.
bool PasteOnto(SceneObject* object, char* reason, size_t size) {
  if (clipboard.content == ClipboardContent::kPose) {
    if (!object->keys) {
      TakePose(object->state, clipboard.pose);  // the fixed pose of an alignment
    } else {
      const int index = KeyAtCurrentFrame(object);
      if (index < 0) {
        std::snprintf(reason, size, "its track already has %d keys", kMaxKeys);
        return false;
      }
      TakePose(object->keys->keys[static_cast<size_t>(index)], clipboard.pose);
    }
  } else {
    if (!object->keys) {
      std::snprintf(reason, size, "it has no keys of its own (its alignment is being edited)");
      return false;
    }
    if (!PasteKeys(*object->keys, clipboard.keys.data(), clipboard.keyCount,
                   project.currentFrame, reason, size)) {
      return false;
    }
  }
  EvaluateTree(object, project.currentFrame, 0);
  return true;
}

// The keys just pasted onto the selected object become the timeline's selection.
void SelectPastedKeys(const KeyTrack& track) {
  KeyFrameSet frames{};
  for (int i = 0; i < clipboard.keyCount; ++i) {
    const int frame = project.currentFrame + clipboard.keys[static_cast<size_t>(i)].frame;
    if (frame >= 0 && frame < kMaxFrames) frames[static_cast<size_t>(frame)] = true;
  }
  SelectKeyFrames(track, frames);
}

void FindIn(SceneObject* node, NamePath& path, const NamePath& source,
            std::vector<SceneObject*>& found) {
  for (int i = 0; i < node->childCount; ++i) {
    SceneObject* child = node->children[static_cast<size_t>(i)];
    if (child == nullptr || path.count >= kMaxChain) continue;
    std::snprintf(path.names[static_cast<size_t>(path.count)].data(), kNameSize, "%s",
                  child->name);
    path.count += 1;
    if (child->kind == kOrdinaryObject && child->keys && IsCounterpart(source, path)) {
      found.push_back(child);
    }
    // Counterparts have as many names as the source: nothing deeper can be one.
    if (path.count < source.count) FindIn(child, path, source, found);
    path.count -= 1;
  }
}

// "* > Body > ArmL, Girl > * > ArmL": the paths Ctrl+Shift+V looks for, a star for the name
// that may differ.
void FormatCounterpartPatterns(const NamePath& source, char* text, size_t size) {
  text[0] = '\0';
  for (int star = 0; star + 1 < source.count; ++star) {
    if (star == kPatternsShown) {
      std::strncat(text, ", ...", size - std::strlen(text) - 1);
      return;
    }
    NamePath pattern = source;
    std::snprintf(pattern.names[static_cast<size_t>(star)].data(), kNameSize, "*");
    char path[kPathTextSize];
    FormatNamePath(pattern, path, sizeof path);
    if (star > 0) std::strncat(text, ", ", size - std::strlen(text) - 1);
    std::strncat(text, path, size - std::strlen(text) - 1);
  }
}

void SayNothingMatches() {
  char what[kPathTextSize + 32], path[kPathTextSize], message[kMessageSize];
  DescribeClipboard(what, sizeof what);
  FormatNamePath(clipboard.source, path, sizeof path);
  if (clipboard.source.count == 0) {
    std::snprintf(message, sizeof message, "Nothing was pasted: the scene has no counterpart.");
  } else if (clipboard.source.count < 2) {
    std::snprintf(message, sizeof message,
                  "Nothing was pasted: %s lies right under the scene, so no object can be its "
                  "counterpart under another parent.",
                  path);
  } else {
    char patterns[kPathTextSize];
    FormatCounterpartPatterns(clipboard.source, patterns, sizeof patterns);
    std::snprintf(message, sizeof message,
                  "Nothing was pasted: %s goes onto the objects whose path differs from %s in "
                  "the name of one object above it (%s), and there is none.",
                  what, path, patterns);
  }
  ShowMessage("Info", message, false);
}

}  // namespace

NamePath NamePathOf(const SceneObject* object) {
  NamePath path;
  int depth = 0;
  for (const SceneObject* node = object; node != nullptr && node->parent != nullptr;
       node = node->parent) {
    ++depth;
  }
  // A chain deeper than the slots (only a damaged file makes one) keeps its lowest names.
  path.count = std::min(depth, kMaxChain);
  int slot = path.count - 1;
  for (const SceneObject* node = object; node != nullptr && node->parent != nullptr && slot >= 0;
       node = node->parent) {
    std::snprintf(path.names[static_cast<size_t>(slot--)].data(), kNameSize, "%s", node->name);
  }
  return path;
}

void FormatNamePath(const NamePath& path, char* text, size_t size) {
  if (size == 0) return;
  if (path.count == 0) {
    std::snprintf(text, size, "the scene");
    return;
  }
  text[0] = '\0';
  for (int i = 0; i < path.count; ++i) {
    if (i > 0) std::strncat(text, " > ", size - std::strlen(text) - 1);
    std::strncat(text, path.names[static_cast<size_t>(i)].data(), size - std::strlen(text) - 1);
  }
}

bool IsCounterpart(const NamePath& source, const NamePath& candidate) {
  if (source.count != candidate.count || source.count < 2) return false;
  int differences = 0, where = -1;
  for (int i = 0; i < source.count; ++i) {
    if (std::strcmp(source.names[static_cast<size_t>(i)].data(),
                    candidate.names[static_cast<size_t>(i)].data()) != 0) {
      ++differences;
      where = i;
    }
  }
  return differences == 1 && where < source.count - 1;
}

std::vector<SceneObject*> FindCounterparts(SceneObject* root, const NamePath& source) {
  std::vector<SceneObject*> found;
  if (root == nullptr || source.count < 2) return found;
  NamePath path;
  FindIn(root, path, source, found);
  return found;
}

bool PasteKeys(KeyTrack& track, const Key* keys, int count, int frame, char* reason, size_t size) {
  if (keys == nullptr || count <= 0 || count > kMaxKeys) {
    std::snprintf(reason, size, "there are no keys to paste");
    return false;
  }
  int added = 0;
  for (int i = 0; i < count; ++i) {
    const int to = frame + keys[i].frame;
    if (to < 0 || to >= kMaxFrames) {
      std::snprintf(reason, size, "a key would land on frame %d, past frame %d", to,
                    kMaxFrames - 1);
      return false;
    }
    if (FindKeyAtFrame(track, to) < 0) ++added;
  }
  if (track.count + added > kMaxKeys) {
    std::snprintf(reason, size, "its track would hold %d keys, more than %d",
                  track.count + added, kMaxKeys);
    return false;
  }
  for (int i = 0; i < count; ++i) {
    Key key = keys[i];
    key.frame = frame + keys[i].frame;
    key.screenPos = Vec3{};
    const int there = FindKeyAtFrame(track, key.frame);
    if (there >= 0) {
      track.keys[static_cast<size_t>(there)] = key;
    } else {
      AddKey(track, key);
    }
  }
  return true;
}

ClipboardContent ClipboardHolds() { return clipboard.content; }

void ClearClipboard() { clipboard = Clipboard(); }

bool CopyCommand() {
  SceneObject* object = project.selected;
  if (object == nullptr) return false;
  if (object->keys && SelectedKeyCount(*object->keys) > 0) {
    const KeyTrack& track = *object->keys;
    int first = -1;
    clipboard.keyCount = 0;
    for (int i = 0; i < track.count; ++i) {
      if (!KeySelected(track, i)) continue;
      Key key = track.keys[static_cast<size_t>(i)];
      if (first < 0) first = key.frame;
      key.frame -= first;
      clipboard.keys[static_cast<size_t>(clipboard.keyCount++)] = key;
    }
    clipboard.content = ClipboardContent::kKeys;
  } else {
    if (object->keys) EvaluateObject(object, project.currentFrame, 0);
    clipboard.pose = Key();
    TakePose(clipboard.pose, object->state);
    clipboard.content = ClipboardContent::kPose;
  }
  clipboard.source = NamePathOf(object);
  char what[kPathTextSize + 32];
  DescribeClipboard(what, sizeof what);
  LogMessage("copied %s at frame %d", what, project.currentFrame);
  return true;
}

bool PasteCommand() {
  SceneObject* object = project.selected;
  if (object == nullptr || clipboard.content == ClipboardContent::kNothing) return false;
  char reason[256], what[kPathTextSize + 32];
  DescribeClipboard(what, sizeof what);
  char path[kPathTextSize];
  FormatNamePath(NamePathOf(object), path, sizeof path);
  if (!PasteOnto(object, reason, sizeof reason)) {
    char message[kMessageSize];
    std::snprintf(message, sizeof message, "Couldn't paste %s onto %s at frame %d: %s.", what,
                  path, project.currentFrame, reason);
    ShowMessage("Error", message, true);
    return false;
  }
  if (clipboard.content == ClipboardContent::kKeys) SelectPastedKeys(*object->keys);
  LogMessage("pasted %s onto %s at frame %d", what, path, project.currentFrame);
  return true;
}

bool PasteOntoCounterpartsCommand() {
  if (clipboard.content == ClipboardContent::kNothing) return false;
  const std::vector<SceneObject*> targets = FindCounterparts(project.root, clipboard.source);
  if (targets.empty()) {
    SayNothingMatches();
    return false;
  }
  char what[kPathTextSize + 32];
  DescribeClipboard(what, sizeof what);
  char refused[kMessageSize] = "";
  int pasted = 0;
  for (SceneObject* target : targets) {
    char path[kPathTextSize], reason[256];
    FormatNamePath(NamePathOf(target), path, sizeof path);
    if (PasteOnto(target, reason, sizeof reason)) {
      ++pasted;
      LogMessage("pasted %s onto %s at frame %d", what, path, project.currentFrame);
    } else {
      char line[kPathTextSize + 300];
      std::snprintf(line, sizeof line, "\n%s: %s", path, reason);
      std::strncat(refused, line, sizeof refused - std::strlen(refused) - 1);
    }
  }
  if (refused[0] != '\0') {
    char message[kMessageSize + 256];
    std::snprintf(message, sizeof message, "Pasted %s onto %d of %zu counterparts; not onto:%s",
                  what, pasted, targets.size(), refused);
    ShowMessage("Error", message, true);
  }
  return pasted > 0;
}
