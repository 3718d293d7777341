// Saving and loading the open project, the work path, and the editor's commands around them.
// A load reads and checks the whole file into a LoadedProject before the open project is
// touched; a save writes a complete new file before the old one is replaced.

#include "project/project_file.h"

#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audio.h"
#include "images/image_bank.h"
#include "platform/dialogs.h"
#include "platform/log.h"
#include "platform/user_files.h"
#include "scene/animation.h"

std::vector<uint8_t> WriteProject(PoseBytes poses) {
  std::vector<ClipRecord> clips(static_cast<size_t>(ClipCount()));
  for (int i = 0; i < ClipCount(); ++i) {
    const Clip& clip = *GetClip(i);
    ClipRecord& record = clips[static_cast<size_t>(i)];
    CopyName(record.fileName, kFileNameSize, clip.fileName);
    CopyName(record.label, kNameSize, clip.label);
    record.startSample = clip.startSample.load();
    record.startFrame = clip.startFrame;
    record.row = clip.row;
    record.volume = clip.volume.load();
    record.pan = clip.pan.load();
  }
  return WriteProjectData(project.root, project.fps, project.playStart, project.playEnd, clips,
                          poses);
}

namespace {

// Puts loaded's clips into the clip table with their labels, volumes and pans (a clip whose
// sound cannot be loaded is kept silent) and empties loaded's list. A new clip goes before
// clips of the same start frame, so placing them last to first keeps the stored order of clips
// that start together.
void PlaceClips(LoadedProject& loaded) {
  for (size_t i = loaded.clips.size(); i-- > 0;) {
    const ClipRecord& record = loaded.clips[i];
    const int index =
        InsertAudioClip(record.fileName, record.startFrame, record.row, MissingSound::kKeepClip);
    Clip* clip = GetClip(index);
    if (clip == nullptr) continue;
    CopyName(clip->label, kNameSize, record.label);
    clip->volume = record.volume;
    clip->pan = record.pan;
  }
  loaded.clips.clear();
}

// Hands loaded's tree, frame rate and play range to the open project, whose tree is freed.
void TakeTree(LoadedProject& loaded) {
  FreeObject(project.root);
  project.root = loaded.root;
  project.camera = loaded.camera;
  project.selected = loaded.root;
  project.alignmentParent = nullptr;
  loaded.root = loaded.camera = nullptr;
  // Clips compute their start samples and waveform overviews with the project's frame rate.
  project.fps = loaded.fps;
  project.playStart = loaded.playStart;
  project.playEnd = loaded.playEnd;
}

ProjectFileHook projectFileHook = nullptr;

// Reads a project file: its size and its start are judged before the rest is read, so a large
// file of anything else costs nothing. False with the reason in problem.
bool ReadProjectFile(const char* path, std::vector<uint8_t>& bytes, ProjectProblem& problem) {
  ReadableFile file;
  if (!OpenReadableFile(path, file, problem.message, sizeof problem.message)) return false;
  if (file.size > kMaxProjectFileBytes) {
    std::snprintf(problem.message, sizeof problem.message,
                  "the file is larger than any project (%llu bytes)",
                  static_cast<unsigned long long>(file.size));
    LogMessage("LoadProject: %s: \"%s\"", problem.message, path);
    return false;
  }
  if (!ReadFileBytes(file, kProjectStartBytes, bytes, problem.message, sizeof problem.message)) {
    return false;
  }
  if (!CheckProjectStart(bytes.data(), bytes.size(), problem)) {
    LogMessage("LoadProject: %s at byte %zu of \"%s\"", problem.message, problem.offset, path);
    return false;
  }
  // One byte more than the largest project tells a file that grew since it was opened.
  if (!ReadFileBytes(file, kMaxProjectFileBytes + 1 - bytes.size(), bytes, problem.message,
                     sizeof problem.message)) {
    return false;
  }
  if (bytes.size() > kMaxProjectFileBytes) {
    std::snprintf(problem.message, sizeof problem.message, "the file is larger than any project");
    return false;
  }
  return true;
}

}  // namespace

void SetProjectFileHook(ProjectFileHook hook) { projectFileHook = hook; }

void InstallProject(LoadedProject& loaded, const char* workPath) {
  if (loaded.root == nullptr) return;
  // NewProject empties the work path, and workPath may be it.
  char newWorkPath[kFileNameSize];
  CopyName(newWorkPath, kFileNameSize, workPath);
  NewProject();
  SetWorkPath(newWorkPath);

  TakeTree(loaded);
  project.currentFrame = project.playStart;

  PlaceClips(loaded);

  EvaluateTree(project.root, project.currentFrame, 0);
}

bool RestoreProjectBytes(const std::vector<uint8_t>& bytes) {
  LoadedProject loaded;
  ProjectProblem problem;
  if (!ReadProject(bytes.data(), bytes.size(), loaded, problem)) {
    LogMessage("RestoreProjectBytes: %s at byte %zu", problem.message, problem.offset);
    return false;
  }
  // The clips go; their sounds stay loaded for the clips that come back.
  const int fpsBefore = project.fps;
  while (ClipCount() > 0) DeleteClip(ClipCount() - 1);
  TakeTree(loaded);
  project.selectedKey = -1;
  PlaceClips(loaded);
  // The sounds kept loaded were drawn for the frame rate they were loaded at.
  if (project.fps != fpsBefore) RetimeClips();
  EvaluateTree(project.root, project.currentFrame, 0);
  return true;
}

bool WorkPathOf(const char* path, char* workPath) {
  if (path == nullptr) path = "";
  const char* end = path;  // one past the last separator
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') end = p + 1;
  }
  const size_t length = static_cast<size_t>(end - path);
  if (length >= kFileNameSize) return false;
  if (length > 0) {
    std::memcpy(workPath, path, length - 1);
    workPath[length - 1] = '/';
  }
  workPath[length] = '\0';
  return true;
}

bool SetWorkPath(const char* path) {
  char workPath[kFileNameSize];
  if (!WorkPathOf(path, workPath)) {
    LogMessage("workpath too long for \"%s\"", path);
    return false;
  }
  CopyName(project.workPath, kFileNameSize, workPath);
  SetImageFolder(project.workPath);
  LogMessage("workpath=\"%s\"", project.workPath);
  return true;
}

void NewProjectWorkPath() { SetWorkPath(""); }

std::string BackupPathOf(const char* path) { return std::string(path) + ".bak"; }

namespace {

// The bare file names of every image and sound the open project names, each once, in tree
// order then clip order. Names that would not be opened inside the work path are left out.
void AddNamedFiles(const SceneObject* object, std::vector<std::string>& names) {
  if (object == nullptr) return;
  auto add = [&names](const char* name) {
    if (name[0] == '\0' || !IsBareFileName(name)) return;
    for (const std::string& known : names) {
      if (known == name) return;
    }
    names.emplace_back(name);
  };
  if (object->images) {
    for (int i = 0; i < object->images->count && i < kMaxImages; ++i) {
      add(object->images->entries[static_cast<size_t>(i)].file);
    }
  }
  for (int i = 0; i < object->childCount; ++i) AddNamedFiles(object->children[i], names);
  if (object == project.root) {
    for (int i = 0; i < ClipCount(); ++i) add(GetClip(i)->fileName);
  }
}

// The folder a work path names ("." for the empty one) resolved to its real path; empty when
// it does not exist.
std::string RealFolder(const char* workPath) {
  char resolved[PATH_MAX];
  const char* folder = workPath[0] != '\0' ? workPath : ".";
  return realpath(folder, resolved) != nullptr ? std::string(resolved) : std::string();
}

// Copies the files the project names from the work path into newWorkPath when that is another
// folder; what happened goes to report.
void CopyNamedFiles(const char* newWorkPath, SaveReport& report) {
  const std::string from = RealFolder(project.workPath);
  const std::string to = RealFolder(newWorkPath);
  if (to.empty() || from == to) return;
  std::vector<std::string> names;
  AddNamedFiles(project.root, names);
  for (const std::string& name : names) {
    char why[128] = "";
    const std::string source = std::string(project.workPath) + name;
    const std::string target = to + "/" + name;
    switch (CopyFileIfAbsent(source.c_str(), target.c_str(), why, sizeof why)) {
      case CopyOutcome::kCopied:
        report.copied.push_back(name);
        break;
      case CopyOutcome::kSameThere:
        break;
      case CopyOutcome::kDifferentThere:
        report.notCopied.push_back(name + " (another file of that name is there)");
        break;
      case CopyOutcome::kFailed:
        report.notCopied.push_back(name + " (" + why + ")");
        break;
    }
  }
}

// "a.png, b.wav and 3 more": at most kListedNames names of a list.
constexpr size_t kListedNames = 12;
std::string NameList(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < kListedNames; ++i) {
    if (i > 0) text += ", ";
    text += names[i];
  }
  if (names.size() > kListedNames) {
    text += " and " + std::to_string(names.size() - kListedNames) + " more";
  }
  return text;
}

}  // namespace

bool SaveProject(const char* path, SaveReport* report) {
  SaveReport local;
  SaveReport& result = report != nullptr ? *report : local;
  result = SaveReport();
  if (path == nullptr) path = "";
  LogMessage("SaveProject(%s)", path);
  char workPath[kFileNameSize];
  if (path[0] == '\0') {
    std::snprintf(result.why, sizeof result.why, "no file name");
    return false;
  }
  if (!WorkPathOf(path, workPath)) {
    std::snprintf(result.why, sizeof result.why, "the path is too long");
    return false;
  }
  const std::vector<uint8_t> bytes = WriteProject();
  // A save that cannot keep a backup still saves: the old file is replaced only by a complete
  // new one either way.
  if (!ReplaceFileAtomically(path, bytes.data(), bytes.size(), BackupPathOf(path).c_str(),
                             result.why, sizeof result.why)) {
    return false;
  }
  CopyNamedFiles(workPath, result);
  for (const std::string& name : result.copied) {
    LogMessage("copied \"%s\" to \"%s\"", name.c_str(), workPath);
  }
  for (const std::string& name : result.notCopied) LogMessage("not copied: %s", name.c_str());
  SetWorkPath(path);
  if (projectFileHook != nullptr) projectFileHook(ProjectFileEvent::kSaved, path);
  return true;
}

bool LoadProject(const char* path, ProjectProblem* problem) {
  ProjectProblem local;
  ProjectProblem& found = problem != nullptr ? *problem : local;
  found = ProjectProblem();
  if (path == nullptr) path = "";
  LogMessage("LoadProject");
  char workPath[kFileNameSize];
  if (!WorkPathOf(path, workPath)) {
    std::snprintf(found.message, sizeof found.message, "the path is too long");
    LogMessage("LoadProject: the path \"%s\" is too long", path);
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!ReadProjectFile(path, bytes, found)) return false;
  LoadedProject loaded;
  if (!ReadProject(bytes.data(), bytes.size(), loaded, found)) {
    LogMessage("LoadProject: %s at byte %zu of \"%s\"", found.message, found.offset, path);
    return false;
  }
  InstallProject(loaded, workPath);
  if (projectFileHook != nullptr) projectFileHook(ProjectFileEvent::kLoaded, path);
  return true;
}

bool SaveProjectAndReport(const char* path) {
  SaveReport report;
  if (!SaveProject(path, &report)) {
    const std::string text = std::string("Couldn't save project ") + path + ": " + report.why;
    ShowMessage("Error", text.c_str(), true);
    return false;
  }
  if (report.copied.empty() && report.notCopied.empty()) return true;
  char folder[kFileNameSize];
  WorkPathOf(path, folder);
  std::string text = std::string("Saved the project in ") + (folder[0] != '\0' ? folder : "./");
  if (!report.copied.empty()) {
    text += ". Copied its files there: " + NameList(report.copied);
  }
  if (!report.notCopied.empty()) {
    text += ". Could not copy: " + NameList(report.notCopied) +
            "; the project will miss them until they are put there";
  }
  text += ".";
  const bool warning = !report.notCopied.empty();
  ShowMessage(warning ? "Warning" : "Info", text.c_str(), warning);
  return true;
}

bool LoadProjectAndReport(const char* path) {
  ProjectProblem problem;
  if (LoadProject(path, &problem)) return true;
  const std::string text = std::string("Couldn't load project ") + path + ": " + problem.message;
  ShowMessage("Error", text.c_str(), true);
  return false;
}

bool SaveProjectAs() {
  char path[kDialogPathSize] = "";
  if (!ChooseSaveFile(path, kProjectFiles)) return false;
  return SaveProjectAndReport(path);
}

bool OpenProject() {
  char path[kDialogPathSize] = "";
  if (!ChooseOpenFile(path, kProjectFiles)) return false;
  return LoadProjectAndReport(path);
}

std::string RecoveryFileName(const char* projectPath) {
  std::string name = projectPath != nullptr ? PathFileName(projectPath) : "";
  if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".tvp") == 0) {
    name.resize(name.size() - 4);
  }
  if (name.empty()) name = "Untitled";
  return name + ".recovered.tvp";
}

bool SaveRecoveryFile(const char* projectPath, char* where, size_t whereSize) {
  if (projectPath == nullptr) projectPath = "";
  const std::string name = RecoveryFileName(projectPath);
  const std::vector<uint8_t> bytes = WriteProject();
  auto write = [&](const std::string& path) {
    char why[160] = "";
    if (path.size() >= whereSize ||
        !ReplaceFileAtomically(path.c_str(), bytes.data(), bytes.size(), (path + ".bak").c_str(),
                               why, sizeof why)) {
      LogMessage("cannot write the recovery file \"%s\": %s", path.c_str(), why);
      return false;
    }
    std::snprintf(where, whereSize, "%s", path.c_str());
    return true;
  };
  char folder[kFileNameSize];
  if (projectPath[0] != '\0' && WorkPathOf(projectPath, folder) && write(folder + name)) {
    return true;
  }
  char dataFile[kUserPathSize];
  return UserDataFile(name.c_str(), dataFile, sizeof dataFile) && write(dataFile);
}
