// Files of an export are written under a temporary name in their own folder and renamed into
// place, so a killed or crashed export never leaves an empty or half-written file under a name
// the user knows. The data is synced before the rename; without the folder's sync a power loss
// may undo the rename, which still leaves the old file whole.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "export/export_internal.h"

namespace {

constexpr const char* kTempMark = ".tmp-";
// Keeps a temporary name within the 255 bytes a file name may have.
constexpr size_t kMaxTempBaseLength = 200;

std::atomic<unsigned> tempCounter{0};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// True when the process that made a temporary name has ended.
bool ProcessGone(long pid) { return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

ExportFile::~ExportFile() { Abandon(); }

bool ExportFile::Open(const char* path, int* error) {
  Abandon();
  target_ = path;
  temp_.clear();
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) target_ = resolved;
  }
  const bool exists = stat(target_.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    *error = EISDIR;
    return false;
  }
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a pipe the user named: it cannot be replaced, only written.
    errno = 0;
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) *error = errno != 0 ? errno : EIO;
    return file_ != nullptr;
  }
  // The rename would replace a file the user made read-only; refuse as writing into it would.
  if (exists && access(target_.c_str(), W_OK) != 0) {
    *error = errno != 0 ? errno : EACCES;
    return false;
  }
  std::string name = NameOf(target_);
  if (name.size() > kMaxTempBaseLength) name.resize(kMaxTempBaseLength);
  const std::string prefix = FolderOf(target_) + "/." + name + kTempMark +
                             std::to_string(static_cast<long>(getpid())) + "-";
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp_ = prefix + std::to_string(++tempCounter);
    fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0 && exists && (errno == EACCES || errno == EPERM)) {
    // A folder the user may not add files to, holding a file the user may write: that file is
    // written in place, as it always could be, without the temporary name's protection.
    temp_.clear();
    errno = 0;
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) *error = errno != 0 ? errno : EIO;
    return file_ != nullptr;
  }
  if (fd < 0) {
    *error = errno != 0 ? errno : EIO;
    temp_.clear();
    return false;
  }
  // The replacement keeps the permissions of the file it replaces.
  if (exists) fchmod(fd, info.st_mode & 07777);
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    *error = errno != 0 ? errno : EIO;
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  return true;
}

bool ExportFile::Commit(int* error) {
  if (file_ == nullptr) {
    *error = EBADF;
    return false;
  }
  int failure = 0;
  errno = 0;
  if (std::fflush(file_) != 0) failure = errno != 0 ? errno : EIO;
  if (failure == 0 && !temp_.empty() && fsync(fileno(file_)) != 0) failure = errno;
  errno = 0;
  if (std::fclose(file_) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
  file_ = nullptr;
  if (failure == 0 && !temp_.empty() && rename(temp_.c_str(), target_.c_str()) != 0) {
    failure = errno;
  }
  if (failure != 0) {
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    *error = failure;
    return false;
  }
  temp_.clear();
  return true;
}

void ExportFile::Abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

void RemoveUnfinishedFile(const char* path) {
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISREG(info.st_mode)) std::remove(path);
}

void RemoveStaleExportFiles(const char* base) {
  const std::string folder = FolderOf(base);
  // ".NAME_frame" and ".NAME_audio.wav" start the temporary names of this export's files.
  const std::string stem = "." + NameOf(base) + "_";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, stem.size(), stem) != 0) continue;
    const size_t mark = name.rfind(kTempMark);
    if (mark == std::string::npos) continue;
    const std::string kept = name.substr(stem.size(), mark - stem.size());
    const bool picture = kept.compare(0, 5, "frame") == 0 && kept.size() > 4 &&
                         kept.compare(kept.size() - 4, 4, ".png") == 0;
    if (!picture && kept != "audio.wav") continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + mark + std::strlen(kTempMark), &end, 10);
    if (end == nullptr || *end != '-' || !ProcessGone(pid)) continue;
    RemoveUnfinishedFile((folder + "/" + name).c_str());
  }
  closedir(dir);
}
