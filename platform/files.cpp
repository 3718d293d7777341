#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/log.h"

namespace {

// The largest file a backup copies when the file system cannot give it a second name.
constexpr size_t kMaxCopiedFileBytes = size_t{1} << 30;

SaveFaultHook saveFaultHook = nullptr;

// False when a test has asked this step to fail; errno then says what a system might have said.
bool StepAllowed(SaveStep step) {
  if (saveFaultHook == nullptr || saveFaultHook(step)) return true;
  errno = step == SaveStep::kWrite ? ENOSPC : EIO;
  return false;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
  size_t limit = size;
  bool failLater = false;
  if (!StepAllowed(SaveStep::kWrite)) {
    // A disk that fills up half-way: part of the file is written before the error.
    limit = size / 2;
    failLater = true;
  }
  size_t done = 0;
  while (done < limit) {
    const ssize_t written = write(fd, bytes + done, limit - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(written);
  }
  if (failLater) {
    errno = ENOSPC;
    return false;
  }
  return true;
}

// The directory part of path ("." for a bare name), where the temporary file must lie for the
// rename to be atomic.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes a rename in dir durable; a file system that cannot sync directories loses nothing else.
void SyncDirectory(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void SetSaveFaultHook(SaveFaultHook hook) { saveFaultHook = hook; }

const char* PathFileName(const char* path) {
  const char* bare = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\') bare = p + 1;
  }
  return bare;
}

namespace {

// Puts reason in why (when given); always false.
bool GiveReason(const char* reason, char* why, size_t whySize) {
  if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", reason);
  return false;
}

// Puts reason in why (when given) and the log; always false.
bool RefuseRead(const char* path, const char* reason, char* why, size_t whySize) {
  LogMessage("\"%s\": %s", path, reason);
  return GiveReason(reason, why, whySize);
}

}  // namespace

ReadableFile::~ReadableFile() {
  if (fd >= 0) close(fd);
}

bool OpenReadableFile(const char* path, ReadableFile& file, char* why, size_t whySize) {
  if (file.fd >= 0) close(file.fd);
  file.fd = -1;
  file.size = 0;
  if (path == nullptr || path[0] == '\0') return RefuseRead("", "no file name", why, whySize);
  // Opening a pipe for reading waits for a writer unless it is opened without blocking; only
  // regular files are read, so nothing else is ever waited for.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return RefuseRead(path, std::strerror(errno), why, whySize);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool folder = S_ISDIR(info.st_mode);
    close(fd);
    return RefuseRead(path, folder ? "a folder, not a file" : "not a regular file", why, whySize);
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  file.fd = fd;
  file.size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool ReadFileBytes(ReadableFile& file, size_t count, std::vector<uint8_t>& bytes, char* why,
                   size_t whySize) {
  if (file.fd < 0) return GiveReason("the file is not open", why, whySize);
  const size_t start = bytes.size();
  size_t done = 0;
  try {
    // The size found at opening is what is expected; a file that grows meanwhile is read on in
    // pieces, so a wrong size never makes a large allocation.
    const uint64_t expected = file.size < count ? file.size : count;
    bytes.resize(start + static_cast<size_t>(expected));
    while (done < count) {
      if (bytes.size() == start + done) {
        bytes.resize(start + done + std::min<size_t>(count - done, 65536));
      }
      const ssize_t got = read(file.fd, bytes.data() + start + done, bytes.size() - start - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        const int error = errno;
        bytes.resize(start);
        return GiveReason(std::strerror(error), why, whySize);
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
  } catch (const std::bad_alloc&) {
    bytes.resize(std::min(bytes.size(), start));
    bytes.shrink_to_fit();
    return GiveReason("not enough memory to read it", why, whySize);
  }
  bytes.resize(start + done);
  return true;
}

bool ReadWholeFile(const char* path, size_t limit, std::vector<uint8_t>& bytes, char* why,
                   size_t whySize) {
  bytes.clear();
  ReadableFile file;
  if (!OpenReadableFile(path, file, why, whySize)) return false;
  if (file.size > limit) return RefuseRead(path, "the file is too large", why, whySize);
  // One byte more than the limit tells a file that grew past it since it was opened.
  char reason[128] = "";
  if (!ReadFileBytes(file, limit < SIZE_MAX ? limit + 1 : limit, bytes, reason, sizeof reason)) {
    return RefuseRead(path, reason, why, whySize);
  }
  if (bytes.size() > limit) {
    bytes.clear();
    return RefuseRead(path, "the file is too large", why, whySize);
  }
  return true;
}

namespace {

// Gives the regular file at path the second name copyPath (replacing whatever had that name),
// or where the file system cannot, copies it there. False (logged) when neither worked.
bool LinkOrCopy(const std::string& path, const std::string& copyPath) {
  unlink(copyPath.c_str());
  if (link(path.c_str(), copyPath.c_str()) == 0) return true;
  std::vector<uint8_t> bytes;
  if (ReadWholeFile(path.c_str(), kMaxCopiedFileBytes, bytes)) {
    const int fd = open(copyPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      const bool written = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
      if (close(fd) == 0 && written) return true;
      unlink(copyPath.c_str());
    }
  }
  LogMessage("cannot keep a backup of \"%s\": %s", path.c_str(), std::strerror(errno));
  return false;
}

}  // namespace

bool ReplaceFileAtomically(const char* path, const uint8_t* bytes, size_t size,
                           const char* backupPath) {
  if (path == nullptr || path[0] == '\0') return false;
  std::string target = path;
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) target = resolved;
  }
  const bool replacing = stat(target.c_str(), &info) == 0;

  const std::string dir = DirectoryOf(target);
  std::string base =
      target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
  if (base.size() > 200) base.resize(200);  // the temporary name must stay within NAME_MAX
  static unsigned counter = 0;
  std::string temp;
  int fd = -1;
  if (StepAllowed(SaveStep::kCreate)) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp =
          dir + "/." + base + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
      fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    LogMessage("cannot create a file beside \"%s\": %s", target.c_str(), std::strerror(errno));
    return false;
  }
  // The replacement keeps the permissions of the file it replaces (a new one gets the umask's).
  if (replacing && S_ISREG(info.st_mode)) fchmod(fd, info.st_mode & 07777);

  const char* failedStep = nullptr;
  if (!WriteAll(fd, bytes, size)) {
    failedStep = "write";
  } else if (!StepAllowed(SaveStep::kSync) || fsync(fd) != 0) {
    failedStep = "sync";
  }
  const int closeError = close(fd) != 0 ? errno : 0;
  if (failedStep == nullptr && closeError != 0) {
    errno = closeError;
    failedStep = "close";
  }
  // The file being replaced gets a second name first; only once the replacement is in place
  // does that name become the backup, so a failed save leaves any older backup alone.
  std::string backupTemp;
  if (failedStep == nullptr && replacing && S_ISREG(info.st_mode) && backupPath != nullptr) {
    backupTemp = std::string(backupPath) + ".tmp-" + std::to_string(getpid());
    if (!LinkOrCopy(target, backupTemp)) backupTemp.clear();
  }
  if (failedStep == nullptr &&
      (!StepAllowed(SaveStep::kRename) || rename(temp.c_str(), target.c_str()) != 0)) {
    failedStep = "rename";
  }
  if (failedStep != nullptr) {
    LogMessage("cannot %s \"%s\": %s", failedStep, temp.c_str(), std::strerror(errno));
    unlink(temp.c_str());
    if (!backupTemp.empty()) unlink(backupTemp.c_str());
    return false;
  }
  if (!backupTemp.empty() && rename(backupTemp.c_str(), backupPath) != 0) {
    LogMessage("cannot keep the backup \"%s\": %s", backupPath, std::strerror(errno));
    unlink(backupTemp.c_str());
  }
  SyncDirectory(dir);
  return true;
}
