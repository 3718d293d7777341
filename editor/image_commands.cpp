// The commands on the selected object's images: import into a new or an existing entry, flips,
// rename, delete and "repeat images". They all work on the image child (the object's first
// child, which holds the ImageTrack) and check every row, entry and frame before use: the panels
// may have left indices that a later delete made stale.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "editor/commands.h"
#include "editor/editor_state.h"
#include "images/image_bank.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/log.h"
#include "project/project_file.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

constexpr char kPngEnding[] = ".png";

// The entry of the selected image row (row n shows entry n - 1), or null for row 0 and for rows
// past the track's entries.
ImageEntry* SelectedEntry(ImageTrack* track) {
  const int index = editor.selectedImageRow - 1;
  if (track == nullptr || index < 0 || index >= track->count) return nullptr;
  return &track->entries[static_cast<size_t>(index)];
}

// A name being typed into text that is about to change under it ends first.
void FinishEditOf(const char* text) {
  if (ui != nullptr && ui->editing && ui->editText == text) FinishTextEdit();
}

bool EndsWithPng(const char* file) {
  const size_t length = std::strlen(file), ending = sizeof kPngEnding - 1;
  if (length <= ending) return false;
  for (size_t i = 0; i < ending; ++i) {
    const char c = file[length - ending + i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kPngEnding[i]) return false;
  }
  return true;
}

// Whether any entry of the track names a file.
bool HoldsAnImage(const ImageTrack& track) {
  for (int i = 0; i < track.count; ++i) {
    if (track.entries[static_cast<size_t>(i)].file[0] != '\0') return true;
  }
  return false;
}

// The first free entry, or the next one to append; -1 when all 64 hold images.
int NewEntrySlot(const ImageTrack& track) {
  for (int i = 0; i < track.count; ++i) {
    if (track.entries[static_cast<size_t>(i)].file[0] == '\0') return i;
  }
  return track.count < kMaxImages ? track.count : -1;
}

}  // namespace

void ImageEntryName(const char* bareFile, char* name, int nameSize) {
  if (nameSize <= 0) return;
  const size_t keep = EndsWithPng(bareFile) ? std::strlen(bareFile) - (sizeof kPngEnding - 1)
                                            : std::strlen(bareFile);
  const size_t fit = std::min(keep, static_cast<size_t>(nameSize - 1));
  std::memcpy(name, bareFile, fit);
  name[fit] = '\0';
}

bool AdoptImportFolder(const char* chosenPath) {
  if (project.workPath[0] == '\0') SetWorkPath(chosenPath);
  char found[kFileNameSize * 2];
  std::snprintf(found, sizeof found, "%s%s", project.workPath, PathFileName(chosenPath));
  // Anything of that name counts: a file that cannot be read is reported when it is loaded.
  std::error_code error;
  return std::filesystem::exists(found, error);
}

void EditAlignment() {
  SceneObject* object = project.selected;
  if (object == nullptr || object->kind != kOrdinaryObject || object->childCount < 1) return;
  SceneObject* child = object->children[0];
  // Only an image child (no key track of its own) holds an object's alignment.
  if (child == nullptr || child->keys) return;
  FinishEditOf(child->name);
  project.alignmentParent = object;
  project.selected = child;
  project.selectedKey = -1;
  std::snprintf(child->name, kNameSize, "%.*s   Alignment", kNameSize - 13, object->name);
  editor.attachMode = false;
}

void DeleteSelectedImage() {
  ImageEntry* entry = SelectedEntry(ImageTrackOf(project.selected));
  if (entry == nullptr) return;
  FinishEditOf(entry->name);
  entry->name[0] = '\0';
  entry->file[0] = '\0';
}

bool ImportImage(ImageSlot slot) {
  SceneObject* object = project.selected;
  ImageTrack* track = ImageTrackOf(object);
  if (track == nullptr) return false;
  int index = -1;
  if (slot == ImageSlot::kSelectedRow) {
    ImageEntry* entry = SelectedEntry(track);
    if (entry == nullptr) return false;
    index = static_cast<int>(entry - track->entries.data());
  } else {
    index = NewEntrySlot(*track);
    if (index < 0) {
      char text[kNameSize + 128];
      std::snprintf(text, sizeof text,
                    "Couldn't import the image: %s already holds %d images. Delete one to "
                    "make room.",
                    object->name, kMaxImages);
      ShowMessage("Error", text, true);
      return false;
    }
  }

  char path[kDialogPathSize] = "";
  if (!ChooseOpenFile(path, kPngFiles)) return false;
  const char* file = PathFileName(path);
  if (file[0] == '\0' || std::strlen(file) >= static_cast<size_t>(kFileNameSize)) {
    ShowMessage("Error", "Couldn't import the image: the chosen path names no file.", true);
    return false;
  }
  const bool findable = AdoptImportFolder(path);

  ImageEntry& entry = track->entries[static_cast<size_t>(index)];
  FinishEditOf(entry.name);
  // An object's first image shows at once on every frame that shows nothing yet, so a part never
  // vanishes right after it got its picture; later imports leave the frames as they are. Before
  // the first image every frame shows nothing, also one that names an entry deleted earlier.
  const bool first = !HoldsAnImage(*track);
  CopyName(entry.file, kFileNameSize, file);
  ImageEntryName(file, entry.name, kNameSize);
  entry.flipH = entry.flipV = 0;
  if (index == track->count) track->count += 1;
  if (first) track->frameImage.fill(index + 1);
  LogMessage("imported %s as image %d of %s", entry.file, index + 1, object->name);

  if (!findable) {
    // Images are found through the project's folder, which keeps projects movable; a file
    // from elsewhere stays invisible until it is copied there.
    char text[kDialogPathSize + kFileNameSize + 160];
    std::snprintf(text, sizeof text,
                  "%s is not in the project's folder %s. Images are read from there: copy the "
                  "file into it to see it.",
                  file, project.workPath);
    ShowMessage("Info", text, true);
  } else if (GetImage(entry.file) == nullptr) {
    // The entry stays, so the image appears once the file is mended; the list marks it.
    const char* reason = ImageFailureReason(entry.file);
    char text[kFileNameSize + kImageProblemSize + 64];
    std::snprintf(text, sizeof text, "Couldn't load image %s: %s", entry.file,
                  reason != nullptr ? reason : "unknown reason");
    ShowMessage("Error", text, true);
  }
  return true;
}

bool RepeatImages() {
  ImageTrack* track = ImageTrackOf(project.selected);
  const int start = editor.selectionStart, end = editor.selectionEnd;
  if (track == nullptr || start < 0 || end < start || end >= kMaxFrames - 1) return false;
  const int length = end - start + 1;
  const int last = std::min(end + length, kMaxFrames - 1);
  for (int frame = end + 1; frame <= last; ++frame) {
    track->frameImage[static_cast<size_t>(frame)] =
        track->frameImage[static_cast<size_t>(frame - length)];
  }
  editor.selectionStart = end + 1;
  editor.selectionEnd = last;
  project.currentFrame = std::clamp(project.currentFrame + length, 0, kMaxFrames - 1);
  return true;
}

// Flips, rename and delete of the selected row; the dispatcher calls it for 81..84.
void RunImageEntryCommand(int code) {
  ImageEntry* entry = SelectedEntry(ImageTrackOf(project.selected));
  if (entry == nullptr) return;
  switch (code) {
    case kCommandFlipHorizontally:
      entry->flipH = entry->flipH ? 0 : 1;
      break;
    case kCommandFlipVertically:
      entry->flipV = entry->flipV ? 0 : 1;
      break;
    case kCommandRenameImage:
      // A freed entry has no image to name.
      if (entry->file[0] != '\0') StartTextEdit(entry->name, kNameSize, true);
      break;
    case kCommandDeleteImage:
      DeleteSelectedImage();
      break;
    default:
      break;
  }
}
