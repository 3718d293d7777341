// The dispatcher tests the groups in a fixed order (objects, keys, key modes, image import,
// then the image rows, views, export, clips, sound, frame rates and export sizes); every code
// names one command, and only the Insert-key import may follow another command in the same
// frame. Every index the panels left behind (key, image row, clip) is checked against what
// exists now.
#include "editor/commands.h"

#include <strings.h>

#include <cstdio>
#include <string>

#include "audio/audio.h"
#include "editor/editor_state.h"
#include "editor/export_progress.h"
#include "editor/history.h"
#include "editor/key_selection.h"
#include "editor/recent_projects.h"
#include "export/export.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/settings.h"
#include "scene/animation.h"
#include "scene/onion_skin.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

constexpr int kFpsMenu = 13;
constexpr int kExportSizeMenu = 14;

// Object commands (menus 0 and 1).

// The object the object commands speak of: while an alignment is edited the selection is the
// image child, which stands for its object.
SceneObject* CommandObject() {
  SceneObject* object = project.selected;
  if (object != nullptr && !object->keys && object->parent != nullptr) return object->parent;
  return object;
}

// A new object next to the selected one: a sibling of an ordinary object, a child of the root
// for the root and the camera.
void NewObject() {
  SceneObject* reference = CommandObject();
  SceneObject* parent =
      reference != nullptr && reference->parent != nullptr ? reference->parent : project.root;
  if (parent == nullptr) return;
  SceneObject* created = CreateObject(parent);
  if (created == nullptr) {
    char text[kNameSize + 128];
    if (parent->childCount >= kMaxChildren) {
      std::snprintf(text, sizeof text, "Couldn't create an object: %s already holds %d objects.",
                    parent->name, kMaxChildren);
    } else {
      std::snprintf(text, sizeof text,
                    "Couldn't create an object: %s lies too deep in the scene for another level.",
                    parent->name);
    }
    ShowMessage("Error", text, true);
    return;
  }
  EvaluateTree(created, project.currentFrame, 0);
  SelectObject(created);
  // The new object is an edit even while its name is still being typed.
  RecordEditNow();
  StartTextEdit(created->name, kNameSize, true);
}

void RunObjectCommand(int code) {
  SceneObject* selected = project.selected;
  switch (code) {
    case kCommandNewObject:
    case kCommandNewSibling:
      NewObject();
      break;
    case kCommandAttachTo:
      if (selected != nullptr && selected->kind == kOrdinaryObject && selected->keys) {
        editor.attachMode = true;
      }
      break;
    case kCommandEditAlignment:
      EditAlignment();
      break;
    case kCommandHideShow:
      if (selected != nullptr) selected->hidden = selected->hidden ? 0 : 1;
      break;
    case kCommandRenameObject:
      if (selected != nullptr && selected->kind == kOrdinaryObject && selected->keys) {
        StartTextEdit(selected->name, kNameSize, true);
      }
      break;
    case kCommandDeleteObject:
      DeleteObject(selected);
      break;
    default:
      break;
  }
}

// Key-frame commands (menus 2 to 5): the key of the selected object on the current frame,
// inserted holding the evaluated pose when there is none; an object without a key track has
// its pose edited directly.

// Null when the track has no room for the key (the user is told).
Key* CurrentKey(SceneObject* object) {
  const int index = KeyAtCurrentFrame(object);
  if (index < 0) {
    char text[kNameSize + 128];
    std::snprintf(text, sizeof text, "Couldn't add a key at frame %d: %s already has %d keys.",
                  project.currentFrame, object->name, kMaxKeys);
    ShowMessage("Error", text, true);
    return nullptr;
  }
  return &object->keys->keys[static_cast<size_t>(index)];
}

bool IsKeyCommand(int code) {
  switch (code) {
    case kCommandResetLevel:
    case kCommandResetPosition:
    case kCommandResetPositionLevel:
    case kCommandToggleAutoVelocity:
    case kCommandResetRotation:
    case kCommandResetScale:
      return true;
    default:
      return false;
  }
}

// Applies a reset to a pose: a key or the fixed pose of an object without keys.
void ResetPose(int code, Key& pose) {
  switch (code) {
    case kCommandResetLevel:
    case kCommandResetPositionLevel:
      pose.position.z = 0;
      break;
    case kCommandResetPosition:
      pose.position.x = pose.position.y = 0;
      break;
    case kCommandResetRotation:
      pose.rotation = 0;
      break;
    case kCommandResetScale:
      pose.scale = Vec3{1, 1, 1};
      break;
    default:
      break;
  }
}

void RunKeyCommand(int code) {
  SceneObject* object = project.selected;
  if (object == nullptr || !IsKeyCommand(code)) return;
  if (!object->keys) {
    if (code != kCommandToggleAutoVelocity) ResetPose(code, object->state);
  } else {
    Key* key = CurrentKey(object);
    if (key == nullptr) return;
    if (code == kCommandToggleAutoVelocity) {
      key->autoVelocity = key->autoVelocity ? 0 : 1;
    } else {
      ResetPose(code, *key);
    }
  }
  EvaluateTree(object, project.currentFrame, 0);
}

// Key modes (menu 6) of the keys selected in the timeline.
void RunKeyModeCommand(int code) {
  SceneObject* object = project.selected;
  if (object == nullptr || !object->keys) return;
  KeyTrack& track = *object->keys;
  if (project.selectedKey < 0 || project.selectedKey >= track.count) return;
  switch (code) {
    case kCommandModeManual:
      SetSelectedKeysMode(track, kManual);
      break;
    case kCommandModeCorner:
      SetSelectedKeysMode(track, kCorner);
      break;
    case kCommandModeAuto:
      SetSelectedKeysMode(track, kAuto);
      break;
    case kCommandModeStationary:
      SetSelectedKeysMode(track, kStationary);
      break;
    default:
      return;
  }
  EvaluateTree(object, project.currentFrame, 0);
}

// Insert in the focused image window imports a new image, once per press and not while a name
// is being typed (Insert then belongs to the text).
bool InsertImportRequested() {
  if (!editor.imageWindowActive || !KeyDown(kKeyInsert) || (ui != nullptr && ui->editing)) {
    return false;
  }
  if (editor.insertLatch) return false;
  editor.insertLatch = true;
  return true;
}

// Until an export name is chosen in this project, the export dialog proposes the project's file
// with ".png" for ".tvp", in the project's folder, or "untitled.png" for a project never saved.
void ProposeExportName() {
  if (editor.exportNameChosen) return;
  const char* projectPath = ProjectPath();
  if (projectPath == nullptr || projectPath[0] == '\0' || PathFileName(projectPath)[0] == '\0') {
    SetRememberedFileName(kExportFiles, "untitled.png");
    return;
  }
  std::string name = projectPath;
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".tvp") == 0) {
    name.resize(name.size() - 4);
  }
  // A name too long for the dialog proposes nothing rather than a cut one.
  SetRememberedFileName(kExportFiles, (name + ".png").c_str());
}

// The whole play range to PNG pictures and a WAV file. The window shows the progress and Escape
// stops it; afterwards the user learns what happened and the editor is back at its frame. False
// when the dialog was cancelled and nothing was drawn.
bool RunExport(bool motionBlur) {
  ProposeExportName();
  char path[kDialogPathSize] = "";
  if (!ChooseSaveFile(path, kExportFiles)) return false;
  editor.exportNameChosen = true;
  editor.animationPlaying = -1;
  const int frame = project.currentFrame;
  ExportOptions options;
  options.progress = ShowExportProgress;
  options.scale = editor.exportScale;
  ExportResult result;
  ExportAnimation(path, project.playStart, project.playEnd, motionBlur, options, &result);
  project.currentFrame = frame;
  if (project.root != nullptr) EvaluateTree(project.root, frame, 0);
  ReportExport(result);
  return true;
}

// The timeline's clip menu acts on the clip it was opened on, if it is still there.
void RunClipCommand(int code) {
  Clip* clip = GetClip(editor.selectedClip);
  if (clip == nullptr) return;
  switch (code) {
    case kCommandResetClipPan:
      clip->pan = 0.0f;
      break;
    case kCommandResetClipVolume:
      clip->volume = 1.0f;  // a new clip's volume
      break;
    case kCommandRenameClip:
      StartTextEdit(clip->label, kNameSize, true);
      break;
    case kCommandDeleteClip:
      if (ui != nullptr && ui->editing && ui->editText == clip->label) FinishTextEdit();
      DeleteClip(editor.selectedClip);
      editor.selectedClip = -1;
      break;
    default:
      break;
  }
}

// A clip of a chosen WAV file at the place where the lane menu was opened.
void ImportSound() {
  char path[kDialogPathSize] = "";
  if (!ChooseOpenFile(path, kWavFiles)) return;
  const char* name = PathFileName(path);
  if (name[0] == '\0') {
    ShowMessage("Error", "Couldn't load sample: the chosen path names no file.", true);
    return;
  }
  // Sounds are read from the project's folder; one from elsewhere would load nothing.
  if (!AdoptImportFolder(path) && GetWave(name) == nullptr) {
    char text[kDialogPathSize + kFileNameSize + 160];
    std::snprintf(text, sizeof text,
                  "Couldn't load sample: %s is not in the project's folder %s. Sounds are read "
                  "from there: copy the file into it.",
                  name, project.workPath);
    ShowMessage("Error", text, true);
    return;
  }
  const int index = InsertAudioClip(name, editor.laneMenuFrame, editor.laneMenuRow);
  if (index < 0) {
    // A file the reader refuses (compressed, or at a rate no sound file has) asks for a plain
    // WAV file; anything else says what went wrong.
    char text[kFileNameSize + 200];
    if (ClipCount() >= kMaxClips) {
      std::snprintf(text, sizeof text, "Couldn't load sample %s: the project holds %d clips.",
                    name, kMaxClips);
    } else if (LastSoundProblem() == SoundProblem::kNotUncompressedWav) {
      std::snprintf(text, sizeof text, "Couldn't load sample (needs uncompressed wav)");
    } else {
      std::snprintf(text, sizeof text, "Couldn't load sample %s: %s", name,
                    LastSoundProblemText());
    }
    ShowMessage("Error", text, true);
    return;
  }
  SelectClip(index);
}

// The export size menu opens where the view menu was, with the current size marked.
void OpenExportSizeMenu() {
  OpenMenu(kExportSizeMenu);
  if (ui != nullptr) ui->menuMarked = editor.exportScale - 1;
}

void SetExportScale(int scale) {
  editor.exportScale = scale;
  char value[16];
  std::snprintf(value, sizeof value, "%d", scale);
  // The size holds for this run even when the settings cannot be written (logged).
  SaveUserSetting(kExportScaleSetting, value);
}

void RunViewClipSoundCommand(int code) {
  switch (code) {
    case kCommandFlipHorizontally:
    case kCommandFlipVertically:
    case kCommandRenameImage:
    case kCommandDeleteImage:
      RunImageEntryCommand(code);
      break;
    case kCommandRepeatImages:
      RepeatImages();
      break;
    case kCommandEditView:
      editor.viewMode = kEditView;
      break;
    case kCommandCameraView:
      editor.viewMode = kCameraView;
      break;
    case kCommandResetEditView:
      project.viewPanX = project.viewPanY = 0;
      project.viewZoom = 1.0f;
      break;
    case kCommandExportSize:
      OpenExportSizeMenu();
      break;
    case kCommandResetClipPan:
    case kCommandResetClipVolume:
    case kCommandRenameClip:
    case kCommandDeleteClip:
      RunClipCommand(code);
      break;
    case kCommandImportSound:
      ImportSound();
      break;
    case kCommandMute:
      muted = !muted.load();
      break;
    case kCommandNewProject:
      NewProjectCommand();
      break;
    case kCommandOpen:
      OpenCommand();
      break;
    case kCommandSave:
      SaveCommand();
      break;
    case kCommandSaveAs:
      SaveAsCommand();
      break;
    default:
      break;
  }
}

}  // namespace

void LoadExportScale() {
  const Settings settings = LoadUserSettings();
  const char* value = GetSetting(settings, kExportScaleSetting);
  editor.exportScale = 1;
  if (value == nullptr) return;
  if (value[0] >= '1' && value[0] <= '0' + kMaxExportScale && value[1] == '\0') {
    editor.exportScale = value[0] - '0';
  } else {
    LogMessage("settings: %s=%s is not 1 to %d; the export size is 1", kExportScaleSetting, value,
               kMaxExportScale);
  }
}

int KeyAtCurrentFrame(SceneObject* object) {
  if (object == nullptr || !object->keys) return -1;
  const int existing = FindKeyAtFrame(*object->keys, project.currentFrame);
  if (existing >= 0) return existing;
  const int index = InsertKey(object, project.currentFrame);
  // The selected key keeps pointing at the same key when the new one goes in before it.
  if (index >= 0 && object == project.selected && project.selectedKey >= index) {
    project.selectedKey += 1;
  }
  return index;
}

void DeleteObject(SceneObject* object) {
  if (object == nullptr || object->kind != kOrdinaryObject || !object->keys ||
      object->parent == nullptr || IsInSubtree(object, project.camera)) {
    return;
  }
  // A name being typed may belong to the subtree about to be freed.
  if (ui != nullptr && ui->editing) FinishTextEdit();
  if (project.alignmentParent != nullptr && IsInSubtree(object, project.alignmentParent)) {
    project.alignmentParent = nullptr;
  }
  SceneObject* parent = object->parent;
  DetachChild(parent, object);
  FreeObject(object);
  SelectObject(parent);
  editor.attachMode = false;
  editor.dragKey = -1;
}

bool RunCommand(int code) {
  if (code != kCommandNone) LogMessage("RunCommand(%i)", code);
  const bool insertImport = InsertImportRequested();

  RunObjectCommand(code);
  RunKeyCommand(code);
  if (project.selectedKey != -1) RunKeyModeCommand(code);

  if (code == kCommandImportNewImage) {
    ImportImage(ImageSlot::kNew);
  } else if (code == kCommandImportImage) {
    ImportImage(ImageSlot::kSelectedRow);
  } else if (insertImport) {
    ImportImage(ImageSlot::kNew);
  }

  if (code == kCommandExport || code == kCommandExportMotionBlur) {
    // Once a name was chosen the back buffer holds the progress screen or a picture, not this
    // frame's editor, whatever the export's outcome.
    return !RunExport(code == kCommandExportMotionBlur);
  }
  RunViewClipSoundCommand(code);

  if (code / 10 == kFpsMenu && code % 10 >= 0 && code % 10 < 8) {
    project.fps = kFpsChoices[code % 10];
    RetimeClips();  // the clips stay on their frames, as the saved project will load
  }
  if (code >= kCommandOpenRecent && code < kCommandOpenRecent + kMaxRecentProjects) {
    OpenRecentCommand(code - kCommandOpenRecent);
  }
  if (code >= kCommandExportScale1 && code < kCommandExportScale1 + kMaxExportScale) {
    SetExportScale(code - kCommandExportScale1 + 1);
  }
  if (code >= kCommandOnionSkin1 && code < kCommandOnionSkin1 + kMaxOnionFrames) {
    editor.onionFrames = kMinOnionFrames + code - kCommandOnionSkin1;
    editor.onionSkin = true;
  }
  return true;
}

void AddOnionSkinEntries() {
  for (int frames = kMinOnionFrames; frames <= kMaxOnionFrames; ++frames) {
    char label[kExtraLabelSize];
    std::snprintf(label, sizeof label, "onion skin: %i frame%s each side%s", frames,
                  frames == 1 ? "" : "s", frames == editor.onionFrames ? " *" : "");
    AddMenuEntry(label, kCommandOnionSkin1 + frames - kMinOnionFrames);
  }
}
