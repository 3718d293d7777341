#include "editor/recent_projects.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/user_files.h"

namespace {

constexpr const char* kRecentFileName = "recent";

bool Listed(const RecentProjects& list, const char* path, int* index) {
  for (int i = 0; i < list.count; ++i) {
    if (std::strcmp(list.paths[i].data(), path) == 0) {
      if (index != nullptr) *index = i;
      return true;
    }
  }
  return false;
}

bool UsablePath(const char* path, size_t length) {
  if (length == 0 || length >= kRecentPathSize || path[0] != '/') return false;
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(path[i]) < 32) return false;
  }
  return true;
}

// The full path of a project file that exists (symbolic links and "..", resolved), or the path
// itself when it is absolute already.
std::string FullPath(const char* path) {
  char resolved[PATH_MAX];
  if (realpath(path, resolved) != nullptr) return resolved;
  return path;
}

}  // namespace

RecentProjects ParseRecentProjects(const char* text, size_t size) {
  RecentProjects list;
  size_t start = 0;
  while (start < size && list.count < kMaxRecentProjects) {
    size_t end = start;
    while (end < size && text[end] != '\n') ++end;
    const size_t length = end > start && text[end - 1] == '\r' ? end - start - 1 : end - start;
    const std::string line(text + start, length);
    if (UsablePath(line.c_str(), line.size()) && !Listed(list, line.c_str(), nullptr)) {
      std::memcpy(list.paths[list.count].data(), line.c_str(), line.size() + 1);
      ++list.count;
    }
    start = end + 1;
  }
  return list;
}

bool AddRecentProject(RecentProjects& list, const char* path) {
  if (path == nullptr || !UsablePath(path, std::strlen(path))) return false;
  int index = -1;
  if (!Listed(list, path, &index)) {
    index = list.count < kMaxRecentProjects ? list.count++ : kMaxRecentProjects - 1;
  }
  // Everything newer than the entry's old place moves down one.
  for (int i = index; i > 0; --i) list.paths[i] = list.paths[i - 1];
  std::snprintf(list.paths[0].data(), kRecentPathSize, "%s", path);
  return true;
}

bool RemoveRecentProject(RecentProjects& list, const char* path) {
  int index = -1;
  if (path == nullptr || !Listed(list, path, &index)) return false;
  for (int i = index; i + 1 < list.count; ++i) list.paths[i] = list.paths[i + 1];
  --list.count;
  return true;
}

RecentProjects LoadRecentProjects() {
  char file[kUserPathSize];
  std::vector<uint8_t> bytes;
  if (!UserConfigFile(kRecentFileName, file, sizeof file) ||
      !ReadWholeFile(file, kMaxRecentFileBytes, bytes)) {
    return RecentProjects();
  }
  return ParseRecentProjects(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool SaveRecentProjects(const RecentProjects& list) {
  char file[kUserPathSize];
  if (!UserConfigFile(kRecentFileName, file, sizeof file)) {
    LogMessage("recent projects: no configuration folder to keep them in");
    return false;
  }
  std::string text;
  for (int i = 0; i < list.count; ++i) text += std::string(list.paths[i].data()) + "\n";
  return ReplaceFileAtomically(file, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void NoteRecentProject(const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  const std::string full = FullPath(path);
  RecentProjects list = LoadRecentProjects();
  if (!AddRecentProject(list, full.c_str())) return;
  SaveRecentProjects(list);
}

void ForgetRecentProject(const char* path) {
  RecentProjects list = LoadRecentProjects();
  if (RemoveRecentProject(list, path)) SaveRecentProjects(list);
}
