// Files of an export are written under a temporary name in their own folder and renamed into
// place, so a killed or crashed export never leaves an empty or half-written file under a name
// the user knows. The data is synced before the rename; without the folder's sync a power loss
// may undo the rename, which still leaves the old file whole.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "export/export_internal.h"
#include "platform/files.h"

namespace {

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

}  // namespace

ExportFile::~ExportFile() { Abandon(); }

bool ExportFile::Open(const char* path, int* error) {
  Abandon();
  target_ = LinkTarget(path);
  temp_.clear();
  struct stat info;
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
  const int fd = CreateTemporaryFor(target_, &temp_);
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
  // "NAME_frameNNNN.png" and "NAME_audio.wav" are this export's files.
  const std::string stem = NameOf(base) + "_";
  RemoveStaleTemporaries(FolderOf(base), [&stem](const std::string& name) {
    if (name.compare(0, stem.size(), stem) != 0) return false;
    const std::string kept = name.substr(stem.size());
    const bool picture = kept.compare(0, 5, "frame") == 0 && kept.size() > 9 &&
                         kept.compare(kept.size() - 4, 4, ".png") == 0;
    return picture || kept == "audio.wav";
  });
}
