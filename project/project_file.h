// Project files: the whole object tree, the frame rate, the play range and the sound clips in one
// binary file (little-endian, no header), and the work path through which images and sounds are
// found beside it. Builds on the scene (records, evaluation), the audio clip table and, for the
// editor's save and load commands, the dialogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "platform/files.h"
#include "scene/scene.h"

// Limits a file must keep besides those of the records: no editing session comes near them, and
// they bound what a damaged file can make the reader allocate.
constexpr int kMaxProjectObjects = kMaxObjects;
constexpr int kMaxProjectClips = kMaxClips;
constexpr int kMaxProjectFps = 44100;  // a frame is at least one sample long
constexpr int kKeyRecordBytes = 64;
constexpr int kClipRecordBytes = 32;  // followed by the file name and the label
// The largest object record: name, kind, vector, state, hidden, full key and image tracks
// with the longest names and every frame stored, child count.
constexpr size_t kMaxObjectRecordBytes =
    kNameSize + 4 + 12 + kKeyRecordBytes + 1 + 1 + 4 + size_t{kMaxKeys} * kKeyRecordBytes + 1 +
    4 + size_t{kMaxImages} * (kNameSize + kFileNameSize + 2) + 4 + size_t{kMaxFrames} * 4 + 4;
// The largest valid file (about 514 MB): a bigger one is refused before it is read.
constexpr size_t kMaxProjectFileBytes =
    4 + size_t{kMaxProjectObjects} * kMaxObjectRecordBytes + 12 +
    size_t{kMaxProjectClips} * (kClipRecordBytes + kFileNameSize + kNameSize);
// A file's start that CheckProjectStart judges: the frame rate, the root's name and its kind.
constexpr size_t kProjectStartBytes = 4 + kNameSize + 4;

// A clip as the file holds it.
struct ClipRecord {
  char fileName[kFileNameSize] = "";  // bare sound file name, looked up in the work path
  char label[kNameSize] = "";
  int32_t startSample = 0;  // as stored; loading recomputes it from startFrame and fps
  int32_t startFrame = 0;   // placing the clip keeps it within 0..1999
  int32_t row = 0;          // lane 0..6
  float volume = 1.0f;      // clamped to 0..1 on reading
  float pan = 0.0f;         // clamped to -1..1 on reading
};

// A project read from a file but not yet open. Owns its tree until InstallProject takes it.
struct LoadedProject {
  int32_t fps = 30;
  int32_t playStart = 0, playEnd = 89;
  SceneObject* root = nullptr;    // kind 1, owned
  SceneObject* camera = nullptr;  // the root's child of kind 4
  std::vector<ClipRecord> clips;  // in file order

  LoadedProject() = default;
  LoadedProject(const LoadedProject&) = delete;
  LoadedProject& operator=(const LoadedProject&) = delete;
  ~LoadedProject();
};

// Why a file was refused: what was wrong and the byte offset where the reader noticed it.
struct ProjectProblem {
  char message[160] = "";
  size_t offset = 0;
};

// An object with a key track stores the pose it has at the current frame, so its bytes change
// when the frame does. Comparing two states of a project for edits writes zeros there instead.
enum class PoseBytes { kAsEvaluated, kZeroForKeyedObjects };

// The file's bytes for a tree, frame rate, play range and clips; fields without meaning on disk
// are zeros. Reads nothing global.
std::vector<uint8_t> WriteProjectData(const SceneObject* root, int32_t fps, int32_t playStart,
                                      int32_t playEnd, const std::vector<ClipRecord>& clips,
                                      PoseBytes poses = PoseBytes::kAsEvaluated);
// The file's bytes for the open project and the clip table.
std::vector<uint8_t> WriteProject(PoseBytes poses = PoseBytes::kAsEvaluated);
// Parses a whole file into loaded (replacing what it held). True only when every byte was read and
// every count, string, kind and range is valid; otherwise problem says why and loaded is empty.
// Changes nothing global.
bool ReadProject(const uint8_t* data, size_t size, LoadedProject& loaded, ProjectProblem& problem);
// Checks the start of a file (at most kProjectStartBytes; fewer only when the file is that
// short) before the rest is read: a frame rate of 1..44100, then a root object. False with the
// reason in problem, as ReadProject would give it.
bool CheckProjectStart(const uint8_t* data, size_t size, ProjectProblem& problem);
// Makes loaded the open project: a new project first, then its tree, frame rate and play range,
// the current frame at the play start, the root selected, the clips placed with their labels,
// volumes and pans (a clip whose sound file is missing is kept silent), and the tree evaluated
// at the current frame. workPath is where the sounds are found. Leaves loaded empty; does nothing
// when loaded holds no tree.
void InstallProject(LoadedProject& loaded, const char* workPath);

// Puts the tree, frame rate, play range and clips of a project's bytes (as WriteProject gives
// them) in place of the open ones, keeping all else: the loaded images and sounds, the work
// path, the current frame, the view, muting and the editor's state. The selection becomes the
// root; the caller chooses again. False (nothing changed) when the bytes are not a project.
bool RestoreProjectBytes(const std::vector<uint8_t>& bytes);

// The work path of a project file: its directory with a trailing '/' ('/' and '\\' both end a
// directory), or empty for a bare file name or an empty path. False when it would not fit in
// kFileNameSize bytes.
bool WorkPathOf(const char* path, char* workPath);
// The one way the work path changes (a new project aside, which empties it): project.workPath
// becomes WorkPathOf(path), for a file in the folder or the folder itself with its trailing
// separator, and the image bank is told. False (work path unchanged) when it does not fit.
bool SetWorkPath(const char* path);
// A new project's part: the work path empties through SetWorkPath. Registered with
// AddNewProjectHook at start-up.
void NewProjectWorkPath();

// What a save did besides writing the file: why it failed, and for a save into a folder other
// than the work path, which of the image and sound files the project names were copied there.
struct SaveReport {
  char why[160] = "";                  // the reason of a failure, e.g. "Read-only file system"
  std::vector<std::string> copied;     // bare file names copied into the new folder
  std::vector<std::string> notCopied;  // "NAME (REASON)" for each file that could not be
};

// Writes the open project to path through a temporary file in the same directory that replaces
// path only once it is complete and synced, then sets the work path. The file that was there is
// kept as path.bak (the backup before it is replaced). When path lies in a folder other than the
// work path, every image and sound file the project names is copied there from the work path
// unless a file of that name is there already (nothing is ever overwritten), so the saved
// project finds them. False when the project could not be written (report->why says why); the
// file that was at path is then untouched and nothing was copied.
bool SaveProject(const char* path, SaveReport* report = nullptr);
// The name of the backup that a save keeps beside path.
std::string BackupPathOf(const char* path);

// Told after every successful save or load with the file's path: the editor's unsaved-change
// tracking. One listener; null for none.
enum class ProjectFileEvent { kSaved, kLoaded };
using ProjectFileHook = void (*)(ProjectFileEvent event, const char* path);
void SetProjectFileHook(ProjectFileHook hook);
// Replaces the open project by the file's content. False when the file cannot be read or is not
// a valid project; the open project is then exactly as it was, and problem (when given) says
// what was wrong (its offset counts only for a file that was read).
bool LoadProject(const char* path, ProjectProblem* problem = nullptr);

// The editor's commands: SaveProject and LoadProject that tell the user about a failure
// ("Couldn't save project PATH: REASON", "Couldn't load project PATH: REASON", caption "Error",
// warning icon) and about the files a save into another folder copied or could not copy.
bool SaveProjectAndReport(const char* path);
bool LoadProjectAndReport(const char* path);
// Ctrl+S and Ctrl+L: the "Save As" or "Load" dialog for project files, then the above. False
// when the user cancelled or the operation failed.
bool SaveProjectAs();
bool OpenProject();

// Unsaved work that cannot be saved the ordinary way (no question can be asked, the session is
// ending) goes to a recovery file, NAME.recovered.tvp for the project file NAME.tvp and
// Untitled.recovered.tvp for a project never saved.
std::string RecoveryFileName(const char* projectPath);
// Writes the open project to its recovery file beside projectPath, or in the user's data folder
// when it was never saved or its folder cannot be written; an older recovery file is kept as
// .bak. The project, its work path and its saved state stay as they are. False (logged) when no
// file could be written; on success where holds the file's path.
bool SaveRecoveryFile(const char* projectPath, char* where, size_t whereSize);
