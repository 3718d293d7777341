// Files as the program reads and writes them: whole files read with their size checked first,
// files replaced atomically, and the bare file name of a path. POSIX calls only; builds on the
// log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A regular file open for reading; the descriptor is closed when the record goes.
struct ReadableFile {
  int fd = -1;
  uint64_t size = 0;  // bytes when it was opened
  ReadableFile() = default;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile();
};
// Opens path for reading when it is a regular file. A pipe, a device or a folder is refused
// without ever waiting for a writer. False (logged, the reason in why when given) otherwise.
bool OpenReadableFile(const char* path, ReadableFile& file, char* why = nullptr,
                      size_t whySize = 0);
// Appends up to count further bytes of file to bytes (fewer where the file ends); false with
// the reason when reading fails or memory for them runs out.
bool ReadFileBytes(ReadableFile& file, size_t count, std::vector<uint8_t>& bytes,
                   char* why = nullptr, size_t whySize = 0);

// Reads the whole regular file at path into bytes; false (logged, and the reason in why when
// given) when it cannot be opened or read, is not a regular file or is larger than limit.
bool ReadWholeFile(const char* path, size_t limit, std::vector<uint8_t>& bytes,
                   char* why = nullptr, size_t whySize = 0);

// Writes bytes to a new temporary file beside path, flushes and syncs it, and renames it over
// path (through a symbolic link to the file it names), so path holds either its old content or
// all of bytes. The replacement keeps the old file's permissions. A file the user cannot write
// (for root: one without any write permission bit) is refused as opening it for writing would
// be. False (logged, the reason in why when given, temporary file removed, path untouched) when
// any step fails. With backupPath, the file that is replaced is kept under that name, with its
// permissions, once the new one is complete (a backup that cannot be made is logged and does not
// stop the replacement). Temporary files that earlier replacements of path left behind when
// their process died are removed first.
bool ReplaceFileAtomically(const char* path, const uint8_t* bytes, size_t size,
                           const char* backupPath = nullptr, char* why = nullptr,
                           size_t whySize = 0);

// Temporary files of a replacement lie beside the file they will replace, named
// ".NAME.tmp-PID-N" after it and the process writing them, so the rename into place is atomic
// and a file left by a killed process can be told from one still being written.
// The file path names: the target of a symbolic link, else path itself.
std::string LinkTarget(const char* path);
// Creates a new, empty temporary file for target (mode 0666 less the umask) and returns its
// descriptor, open for writing, with its path in temp; -1 with errno set when none can be made.
int CreateTemporaryFor(const std::string& target, std::string* temp);
// Removes from folder the regular files ".NAME.tmp-PID-N" of processes that have ended, for every
// NAME that belongs(NAME) claims: what killed replacements of those files left behind.
void RemoveStaleTemporaries(const std::string& folder,
                            const std::function<bool(const std::string&)>& belongs);
// The same for the one file target.
void RemoveStaleTemporariesOf(const std::string& target);

// The steps of a replacement, for tests that make one of them fail (kLink: the backup's second
// name, after which a copy is made instead).
enum class SaveStep { kCreate, kWrite, kSync, kRename, kLink };
// Called before each step; returning false makes the step fail as if the system had refused it
// (a failed write has written part of the bytes). Null: no faults.
using SaveFaultHook = bool (*)(SaveStep step);
void SetSaveFaultHook(SaveFaultHook hook);

// Copies the regular file from to the path to, never replacing anything there. The copy gets
// from's permissions and is complete or absent.
enum class CopyOutcome {
  kCopied,
  kSameThere,       // to holds the same bytes already
  kDifferentThere,  // to is another file (or not a regular file): left alone
  kFailed,          // why says what went wrong
};
CopyOutcome CopyFileIfAbsent(const char* from, const char* to, char* why, size_t whySize);

// The part of path after its last '/' or '\\' (the whole path when it has neither): stored
// names are bare file names, whichever system wrote the path.
const char* PathFileName(const char* path);
