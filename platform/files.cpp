#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// Logs a failure and gives its reason to the caller.
bool Refuse(char* why, size_t whySize, const char* reason, const char* what, const char* path) {
  LogMessage("%s \"%s\": %s", what, path, reason);
  if (why != nullptr && whySize > 0) std::snprintf(why, whySize, "%s", reason);
  return false;
}

// Whether the user may write the existing file at path, as opening it for writing would judge;
// root may write anything, so for root a file without any write bit counts as read-only, the
// mark its owner gave it. errno says why not.
bool MayWrite(const std::string& path, const struct stat& info) {
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  if (geteuid() == 0 && (info.st_mode & 0222) == 0) {
    errno = EACCES;
    return false;
  }
  return true;
}

constexpr const char* kTemporaryMark = ".tmp-";
constexpr size_t kMaxTemporaryBase = 200;  // keeps a temporary name within NAME_MAX

// The NAME and process id of a temporary file's name: ".NAME.tmp-PID-N" when counted (a
// replacement's file), "NAME.tmp-PID" otherwise (a backup's second name). False for other names.
bool ParseTemporaryName(const std::string& file, bool counted, std::string* name, long* pid) {
  const size_t mark = file.rfind(kTemporaryMark);
  const size_t start = counted ? 1 : 0;
  if (mark == std::string::npos || mark <= start || (counted && file[0] != '.')) return false;
  const char* p = file.c_str() + mark + std::strlen(kTemporaryMark);
  if (*p < '0' || *p > '9') return false;
  char* end = nullptr;
  errno = 0;
  *pid = std::strtol(p, &end, 10);
  if (errno != 0 || *pid <= 0) return false;
  if (counted) {
    if (*end != '-' || end[1] < '0' || end[1] > '9') return false;
    for (++end; *end >= '0' && *end <= '9'; ++end) {
    }
  }
  if (*end != '\0') return false;
  *name = file.substr(start, mark - start);
  return true;
}

// Removes folder's regular temporary files (counted or not, as ParseTemporaryName reads them)
// whose NAME belongs says is wanted and whose process has ended. Files of a process still
// running are left.
void RemoveDeadTemporaries(const std::string& folder, bool counted,
                           const std::function<bool(const std::string&)>& belongs) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    std::string name;
    long pid = 0;
    if (!ParseTemporaryName(entry->d_name, counted, &name, &pid) || !belongs(name)) continue;
    if (pid == static_cast<long>(getpid())) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (unlink(path.c_str()) == 0) {
      LogMessage("removed \"%s\", left by a process that was killed", path.c_str());
    }
  }
  closedir(dir);
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The NAME a temporary file of path carries: its file name, cut to fit.
std::string TemporaryBaseOf(const std::string& path) {
  std::string base = BaseNameOf(path);
  if (base.size() > kMaxTemporaryBase) base.resize(kMaxTemporaryBase);
  return base;
}

// Gives the regular file at path the second name copyPath (replacing whatever had that name),
// or where the file system cannot, copies it there with the same permissions. False (logged)
// when neither worked.
bool LinkOrCopy(const std::string& path, const std::string& copyPath, mode_t mode) {
  unlink(copyPath.c_str());
  if (StepAllowed(SaveStep::kLink) && link(path.c_str(), copyPath.c_str()) == 0) return true;
  std::vector<uint8_t> bytes;
  if (ReadWholeFile(path.c_str(), kMaxCopiedFileBytes, bytes)) {
    // Created unreadable to others, then given the file's own permissions.
    const int fd = open(copyPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      const bool written = fchmod(fd, mode & 07777) == 0 &&
                           WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
      if (close(fd) == 0 && written) return true;
      unlink(copyPath.c_str());
    }
  }
  LogMessage("cannot keep a backup of \"%s\": %s", path.c_str(), std::strerror(errno));
  return false;
}

}  // namespace

std::string LinkTarget(const char* path) {
  struct stat info;
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) return resolved;
  }
  return path;
}

int CreateTemporaryFor(const std::string& target, std::string* temp) {
  static std::atomic<unsigned> counter{0};
  const std::string prefix = DirectoryOf(target) + "/." + TemporaryBaseOf(target) +
                             kTemporaryMark + std::to_string(static_cast<long>(getpid())) + "-";
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    *temp = prefix + std::to_string(++counter);
    fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) temp->clear();
  return fd;
}

void RemoveStaleTemporaries(const std::string& folder,
                            const std::function<bool(const std::string&)>& belongs) {
  RemoveDeadTemporaries(folder, true, belongs);
}

void RemoveStaleTemporariesOf(const std::string& target) {
  const std::string base = TemporaryBaseOf(target);
  RemoveStaleTemporaries(DirectoryOf(target),
                         [&base](const std::string& name) { return name == base; });
}

bool ReplaceFileAtomically(const char* path, const uint8_t* bytes, size_t size,
                           const char* backupPath, char* why, size_t whySize) {
  if (path == nullptr || path[0] == '\0') {
    return Refuse(why, whySize, "no file name", "cannot save", "");
  }
  const std::string target = LinkTarget(path);
  struct stat info;
  const bool replacing = stat(target.c_str(), &info) == 0;
  if (replacing && S_ISDIR(info.st_mode)) {
    return Refuse(why, whySize, std::strerror(EISDIR), "cannot replace", target.c_str());
  }
  if (replacing && !MayWrite(target, info)) {
    return Refuse(why, whySize, std::strerror(errno), "cannot replace", target.c_str());
  }

  const std::string dir = DirectoryOf(target);
  RemoveStaleTemporariesOf(target);
  if (backupPath != nullptr) {
    const std::string backup = BaseNameOf(backupPath);
    RemoveDeadTemporaries(DirectoryOf(backupPath), false,
                          [&backup](const std::string& name) { return name == backup; });
  }
  std::string temp;
  int fd = -1;
  if (StepAllowed(SaveStep::kCreate)) fd = CreateTemporaryFor(target, &temp);
  if (fd < 0) {
    return Refuse(why, whySize, std::strerror(errno), "cannot create a file beside",
                  target.c_str());
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
    const int savedErrno = errno;
    if (!LinkOrCopy(target, backupTemp, info.st_mode)) backupTemp.clear();
    errno = savedErrno;
  }
  if (failedStep == nullptr &&
      (!StepAllowed(SaveStep::kRename) || rename(temp.c_str(), target.c_str()) != 0)) {
    failedStep = "rename";
  }
  if (failedStep != nullptr) {
    const int error = errno;
    LogMessage("cannot %s \"%s\"", failedStep, temp.c_str());
    unlink(temp.c_str());
    if (!backupTemp.empty()) unlink(backupTemp.c_str());
    return Refuse(why, whySize, std::strerror(error), "cannot save", target.c_str());
  }
  if (!backupTemp.empty() && rename(backupTemp.c_str(), backupPath) != 0) {
    LogMessage("cannot keep the backup \"%s\": %s", backupPath, std::strerror(errno));
    unlink(backupTemp.c_str());
  }
  SyncDirectory(dir);
  return true;
}

namespace {

// Whether the open files a and b hold the same bytes.
bool SameBytes(int a, int b) {
  uint8_t left[65536], right[65536];
  for (;;) {
    const ssize_t got = read(a, left, sizeof left);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    ssize_t done = 0;
    while (done < got) {
      const ssize_t more = read(b, right + done, static_cast<size_t>(got - done));
      if (more < 0 && errno == EINTR) continue;
      if (more <= 0) return false;
      done += more;
    }
    if (std::memcmp(left, right, static_cast<size_t>(got)) != 0) return false;
    if (got == 0) return read(b, right, 1) == 0;
  }
}

}  // namespace

CopyOutcome CopyFileIfAbsent(const char* from, const char* to, char* why, size_t whySize) {
  auto fail = [&](int error, int fd1, int fd2) {
    Refuse(why, whySize, std::strerror(error), "cannot copy", from);
    if (fd1 >= 0) close(fd1);
    if (fd2 >= 0) close(fd2);
    return CopyOutcome::kFailed;
  };
  // Non-blocking, so that a pipe named like the file cannot hold the program.
  const int in = open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return fail(errno, -1, -1);
  struct stat info;
  if (fstat(in, &info) != 0) return fail(errno, in, -1);
  if (!S_ISREG(info.st_mode)) {
    Refuse(why, whySize, "not a regular file", "cannot copy", from);
    close(in);
    return CopyOutcome::kFailed;
  }
  const int out = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    const int error = errno;
    if (error != EEXIST) return fail(error, in, -1);
    struct stat there;
    const int existing = open(to, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const bool same = existing >= 0 && fstat(existing, &there) == 0 && S_ISREG(there.st_mode) &&
                      there.st_size == info.st_size && SameBytes(in, existing);
    if (existing >= 0) close(existing);
    close(in);
    return same ? CopyOutcome::kSameThere : CopyOutcome::kDifferentThere;
  }
  uint8_t buffer[65536];
  bool ok = fchmod(out, info.st_mode & 07777) == 0;
  while (ok) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = WriteAll(out, buffer, static_cast<size_t>(got));
  }
  if (ok) ok = fsync(out) == 0;
  const int error = errno;
  if (close(out) != 0 && ok) ok = false;
  close(in);
  if (!ok) {
    unlink(to);
    Refuse(why, whySize, std::strerror(error != 0 ? error : EIO), "cannot copy", from);
    return CopyOutcome::kFailed;
  }
  return CopyOutcome::kCopied;
}
