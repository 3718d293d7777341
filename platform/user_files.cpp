#include "platform/user_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/log.h"

namespace {

// Makes every missing folder of path (a folder, no trailing separator), as mkdir -p does.
bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      LogMessage("cannot make the folder \"%s\"", part.c_str());
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

// variable's folder when it is set to an absolute path (as the XDG rules ask), else
// $HOME/fallback; then /tavoka/name.
bool UserFile(const char* variable, const char* fallback, const char* name, char* path,
              size_t size) {
  if (size > 0) path[0] = '\0';
  std::string folder;
  const char* base = std::getenv(variable);
  if (base != nullptr && base[0] == '/') {
    folder = base;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return false;
    folder = std::string(home) + "/" + fallback;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  folder += "/tavoka";
  const std::string file = folder + "/" + name;
  if (file.size() >= size || !MakeFolders(folder)) return false;
  std::snprintf(path, size, "%s", file.c_str());
  return true;
}

}  // namespace

bool UserConfigFile(const char* name, char* path, size_t size) {
  return UserFile("XDG_CONFIG_HOME", ".config", name, path, size);
}

bool UserDataFile(const char* name, char* path, size_t size) {
  return UserFile("XDG_DATA_HOME", ".local/share", name, path, size);
}
