#include "editor/history.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "editor/editor_state.h"
#include "editor/recent_projects.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct History {
  std::deque<Bytes> undo, redo;  // project bytes, oldest first; the back is the next step
  size_t undoBytes = 0;
  // The project as of the last step: its bytes for a later undo, and the same with the keyed
  // poses zeroed for comparing (those poses follow the current frame, not an edit).
  Bytes current, currentCompared;
  Bytes savedCompared;  // the project as last saved or loaded, or as a new project began
  bool unsaved = false;  // currentCompared differs from savedCompared
  bool needsBaseline = true;  // a new project: the next pass takes it as the first step
  bool inputSeen = true;      // something happened since the last comparison
  uint64_t lastInput = 0;
  char path[kDialogPathSize] = "";
  char title[kDialogPathSize + 32] = "Tavoka";
  char shownTitle[kDialogPathSize + 32] = "";
};

History history;

bool Gesturing() {
  return (ui != nullptr && ui->editing) || editor.dragState != kDragNone || editor.viewPanning ||
         mouseState.left || mouseState.right || mouseState.middle;
}

// A fingerprint of the pointer and the keyboard: when it stays the same and no key is held, the
// user did nothing this pass and the project cannot have changed.
uint64_t InputFingerprint(bool* keyHeld) {
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
  mix(static_cast<uint32_t>(mouseState.x));
  mix(static_cast<uint32_t>(mouseState.y));
  mix(mouseState.left | mouseState.right << 1 | mouseState.middle << 2);
  mix(static_cast<uint32_t>(mouseState.wheel));
  mix(typedChar);
  *keyHeld = false;
  if (inputDevices != nullptr) {
    for (int code = 0; code < 256; ++code) {
      if (inputDevices->keyState[code] & 0x80) {
        *keyHeld = true;
        mix(static_cast<uint64_t>(code) + 1000);
      }
    }
  }
  return hash;
}

// After current or saved changed.
void CompareWithSaved() { history.unsaved = history.currentCompared != history.savedCompared; }

void TakeBaseline() {
  history.current = WriteProject();
  history.currentCompared = WriteProject(PoseBytes::kZeroForKeyedObjects);
  history.savedCompared = history.currentCompared;
  history.needsBaseline = false;
  history.unsaved = false;
}

void ForgetSteps() {
  history.undo.clear();
  history.redo.clear();
  history.undoBytes = 0;
}

void PushUndo(Bytes bytes) {
  history.undoBytes += bytes.size();
  history.undo.push_back(std::move(bytes));
  while (history.undo.size() > static_cast<size_t>(kMaxUndoSteps) ||
         (history.undoBytes > kMaxUndoBytes && history.undo.size() > 1)) {
    history.undoBytes -= history.undo.front().size();
    history.undo.pop_front();
  }
}

// Compares the project with the last step and makes a step of any difference. A new edit ends
// the steps that could be redone.
void TakeStepIfChanged() {
  if (history.needsBaseline) {
    TakeBaseline();
    return;
  }
  Bytes compared = WriteProject(PoseBytes::kZeroForKeyedObjects);
  if (compared == history.currentCompared) return;
  PushUndo(std::move(history.current));
  history.redo.clear();
  history.current = WriteProject();
  history.currentCompared = std::move(compared);
  CompareWithSaved();
}

// An object's place in the tree, counted depth first from the root (0); -1 when not found.
int PlaceOf(const SceneObject* object) {
  if (object == nullptr || project.root == nullptr) return -1;
  int place = 0;
  const SceneObject* stack[kMaxObjects];
  int depth = 0;
  stack[depth++] = project.root;
  while (depth > 0) {
    const SceneObject* at = stack[--depth];
    if (at == object) return place;
    ++place;
    for (int i = at->childCount - 1; i >= 0 && depth < kMaxObjects; --i) {
      stack[depth++] = at->children[i];
    }
  }
  return -1;
}

SceneObject* ObjectAtPlace(int place) {
  if (place < 0 || project.root == nullptr) return nullptr;
  SceneObject* stack[kMaxObjects];
  int depth = 0;
  stack[depth++] = project.root;
  while (depth > 0) {
    SceneObject* at = stack[--depth];
    if (place-- == 0) return at;
    for (int i = at->childCount - 1; i >= 0 && depth < kMaxObjects; --i) {
      stack[depth++] = at->children[i];
    }
  }
  return nullptr;
}

// Puts the project of bytes in place, keeping the selection where the tree still has it.
bool Restore(const Bytes& bytes) {
  const int selectedPlace = PlaceOf(project.selected);
  const int alignmentPlace = PlaceOf(project.alignmentParent);
  if (!RestoreProjectBytes(bytes)) return false;
  SceneObject* selected = ObjectAtPlace(selectedPlace);
  project.selected = selected != nullptr ? selected : project.root;
  SceneObject* alignment = ObjectAtPlace(alignmentPlace);
  if (alignment != nullptr && alignment->childCount > 0 &&
      project.selected == alignment->children[0]) {
    project.alignmentParent = alignment;
  }
  // Indices into what was replaced mean nothing now.
  editor.selectedClip = -1;
  editor.dragKey = -1;
  editor.attachMode = false;
  return true;
}

bool StepTo(std::deque<Bytes>& from, std::deque<Bytes>& to) {
  if (Gesturing() || from.empty()) return false;
  TakeStepIfChanged();  // an edit not yet recorded is what the step leaves
  if (from.empty()) return false;
  Bytes target = std::move(from.back());
  from.pop_back();
  if (&from == &history.undo) history.undoBytes -= target.size();
  if (!Restore(target)) {
    LogMessage("history: a step could not be restored");
    return false;
  }
  if (&to == &history.undo) {
    PushUndo(std::move(history.current));
  } else {
    to.push_back(std::move(history.current));
  }
  history.current = std::move(target);
  history.currentCompared = WriteProject(PoseBytes::kZeroForKeyedObjects);
  CompareWithSaved();
  return true;
}

void OnNewProject() {
  ForgetSteps();
  history.needsBaseline = true;
  history.path[0] = '\0';
}

void OnProjectFile(ProjectFileEvent event, const char* path) {
  if (event == ProjectFileEvent::kLoaded) {
    ForgetSteps();
    TakeBaseline();
  } else {
    TakeStepIfChanged();
    history.savedCompared = history.currentCompared;
    history.unsaved = false;
  }
  std::snprintf(history.path, sizeof history.path, "%s", path);
  // The one listener to saves and loads also keeps the user's recent projects.
  NoteRecentProject(path);
}

const char* DisplayName() { return history.path[0] != '\0' ? PathFileName(history.path) : "Untitled"; }

void UpdateWindowTitle() {
  const bool changed = HasUnsavedChanges();
  if (history.path[0] == '\0' && !changed) {
    std::snprintf(history.title, sizeof history.title, "Tavoka");
  } else {
    std::snprintf(history.title, sizeof history.title, "Tavoka - %s%s", DisplayName(),
                  changed ? "*" : "");
  }
  if (std::strcmp(history.title, history.shownTitle) != 0) {
    std::snprintf(history.shownTitle, sizeof history.shownTitle, "%s", history.title);
    SetWindowTitle(history.title);
  }
}

}  // namespace

void StartHistory() {
  history = History();
  AddNewProjectHook(OnNewProject);
  SetProjectFileHook(OnProjectFile);
}

void RecordHistory() {
  bool keyHeld = false;
  const uint64_t input = InputFingerprint(&keyHeld);
  if (input != history.lastInput || keyHeld) history.inputSeen = true;
  history.lastInput = input;
  if (history.needsBaseline) {
    TakeBaseline();
  } else if (history.inputSeen && !Gesturing()) {
    TakeStepIfChanged();
    history.inputSeen = false;
  }
  UpdateWindowTitle();
}

bool UndoEdit() { return StepTo(history.undo, history.redo); }
bool RedoEdit() { return StepTo(history.redo, history.undo); }
int UndoStepCount() { return static_cast<int>(history.undo.size()); }
int RedoStepCount() { return static_cast<int>(history.redo.size()); }

bool HasUnsavedChanges() { return !history.needsBaseline && history.unsaved; }

const char* ProjectPath() { return history.path; }

const char* WindowTitle() {
  UpdateWindowTitle();
  return history.title;
}

void RecordEditNow() {
  TakeStepIfChanged();
  UpdateWindowTitle();
}

bool ConfirmDiscardChanges() {
  // The name being typed is part of the project to judge and save, without its cursor; a
  // gesture cut short by the question still counts.
  if (ui != nullptr) FinishTextEdit();
  TakeStepIfChanged();
  if (!HasUnsavedChanges()) return true;
  char question[kDialogPathSize + 32];
  std::snprintf(question, sizeof question, "Save changes to %s?", DisplayName());
  switch (AskSaveChanges(question)) {
    case SaveChangesAnswer::kSave:
      if (history.path[0] != '\0') return SaveProjectAndReport(history.path);
      return SaveProjectAs();
    case SaveChangesAnswer::kDiscard:
      return true;
    case SaveChangesAnswer::kUnavailable:
      return RecoverUnsavedWork();
    case SaveChangesAnswer::kCancel:
      break;
  }
  return false;
}

bool RecoverUnsavedWork() {
  if (ui != nullptr) FinishTextEdit();
  TakeStepIfChanged();
  if (!HasUnsavedChanges()) return true;
  char where[kDialogPathSize];
  if (!SaveRecoveryFile(history.path, where, sizeof where)) {
    std::fprintf(stderr, "tavoka: the unsaved changes to %s could not be written anywhere\n",
                 DisplayName());
    LogMessage("the unsaved changes to %s could not be written anywhere", DisplayName());
    return false;
  }
  std::fprintf(stderr, "tavoka: the unsaved changes to %s were written to %s\n", DisplayName(),
               where);
  LogMessage("the unsaved changes to %s were written to %s", DisplayName(), where);
  return true;
}
