#include "images/image_bank.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/log.h"

ImageBank imageBank;

namespace {

void GrowBank() {
  imageBank.capacity += kBankGrowth;
  imageBank.slots.resize(static_cast<size_t>(imageBank.capacity), nullptr);
}

// The file name resolves to in the image folder; false when it does not fit.
bool ImagePath(const char* name, char* path, size_t size) {
  const int length = std::snprintf(path, size, "%s%s", imageBank.folder, name);
  return length >= 0 && static_cast<size_t>(length) < size;
}

// The stamp of the file name resolves to; a name that is never opened has the stamp of a
// missing file, which never changes.
FileStamp StampOf(const char* name) {
  FileStamp stamp;
  char path[kImageNameSize * 2];
  struct stat info;
  if (!IsBareFileName(name) || !ImagePath(name, path, sizeof path) || stat(path, &info) != 0) {
    return stamp;
  }
  stamp.exists = true;
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  stamp.inode = static_cast<uint64_t>(info.st_ino);
  return stamp;
}

// The header, then the rest of the file up to what an image of that header can take.
bool ReadPngFile(const char* path, std::vector<uint8_t>& bytes, char* why, size_t whySize) {
  ReadableFile file;
  if (!OpenReadableFile(path, file, why, whySize)) return false;
  PngHeader header;
  if (!ReadFileBytes(file, kPngHeaderBytes, bytes, why, whySize) ||
      !ReadPngHeader(bytes.data(), bytes.size(), header, why, whySize)) {
    return false;
  }
  const size_t largest = LargestPngFile(header);
  // The one allocation for the file's bytes; without memory for it std::bad_alloc comes out.
  bytes.reserve(static_cast<size_t>(std::min<uint64_t>(file.size, largest)) + 1);
  if (file.size > largest) {
    std::snprintf(why, whySize, "the file is larger than a %u x %u image can be", header.width,
                  header.height);
    return false;
  }
  if (!ReadFileBytes(file, largest + 1 - bytes.size(), bytes, why, whySize)) return false;
  if (bytes.size() > largest) {
    std::snprintf(why, whySize, "the file is larger than a %u x %u image can be", header.width,
                  header.height);
    return false;
  }
  return true;
}

// LoadTiledImagePNG without the handling of allocation failures.
TiledImage* ReadTiledImage(const char* name, ImageFailure& failure) {
  char* why = failure.reason;
  const size_t whySize = sizeof failure.reason;
  LogMessage("LoadTiledImagePNG(\"%s\")", name);
  // A project file names its images; one must never make the program read outside its folder.
  if (!IsBareFileName(name)) {
    LogMessage("PNG file \"%s\" refused: not a bare file name", name);
    std::snprintf(why, whySize, "not a bare file name (a folder or \"..\" in it)");
    return nullptr;
  }
  char path[kImageNameSize * 2];
  if (!ImagePath(name, path, sizeof path)) {
    std::snprintf(why, whySize, "the path is too long");
    return nullptr;
  }
  LogMessage("AttachWorkPath -> \"%s\"", path);

  std::vector<uint8_t> bytes;
  if (!ReadPngFile(path, bytes, why, whySize)) {
    if (access(path, F_OK) != 0) {
      LogMessage("PNG file \"%s\" not found", name);
      failure.missing = true;
      std::snprintf(why, whySize, "there is no file of that name in the project's folder");
    } else {
      LogMessage("PNG file \"%s\": %s", name, why);
    }
    return nullptr;
  }
  DecodedPng png;
  if (!DecodePng(bytes.data(), bytes.size(), png)) {
    LogMessage("PNG file \"%s\": %s", name, png.problem);
    std::snprintf(why, whySize, "%s", png.problem);
    failure.outOfMemory = png.outOfMemory;
    return nullptr;
  }
  std::vector<uint8_t>().swap(bytes);  // the file's bytes are not needed beside the pixels
  LogMessage("channels=%i", png.channels);
  TiledImage* image = TileBuffer(png.rgba.data(), png.width, png.height);
  if (image != nullptr) std::snprintf(image->name, sizeof image->name, "%s", name);
  return image;
}

}  // namespace

bool IsBareFileName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  if (std::strlen(name) >= static_cast<size_t>(kImageNameSize)) return false;
  return std::strpbrk(name, "/\\") == nullptr && std::strstr(name, "..") == nullptr;
}

void InitImageBank() {
  LogMessage("InitImageBank()");
  imageBank.slots.assign(kBankGrowth, nullptr);
  imageBank.capacity = kBankGrowth;
  imageBank.count = 0;
  imageBank.byName.clear();
  imageBank.failures.clear();
}

void FreeImageBank() {
  LogMessage("FreeImageBank()");
  imageBank.byName.clear();  // its keys are the records' names
  imageBank.failures.clear();
  for (int32_t i = 0; i < imageBank.count; ++i) FreeTiledImage(imageBank.slots[i]);
  imageBank.slots.clear();
  imageBank.slots.shrink_to_fit();
  imageBank.count = 0;
  imageBank.capacity = 0;
}

void NewProjectImages() {
  if (imageBank.count > 0) FreeImageBank();
  InitImageBank();
}

void SetImageFolder(const char* folder) {
  if (folder == nullptr) folder = "";
  // The remembered failures were files of the old folder.
  if (std::strcmp(folder, imageBank.folder) != 0) imageBank.failures.clear();
  std::snprintf(imageBank.folder, sizeof imageBank.folder, "%s", folder);
}

const char* ImageFolder() { return imageBank.folder; }

TiledImage* GetImage(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  const auto found = imageBank.byName.find(std::string_view(name));
  if (found != imageBank.byName.end()) return imageBank.slots[found->second];

  // The file is looked at before it is read, so one that changes during the read is read again.
  const FileStamp stamp = StampOf(name);
  const auto failed = imageBank.failures.find(name);
  if (failed != imageBank.failures.end()) {
    if (failed->second.stamp == stamp && !failed->second.outOfMemory) return nullptr;
    imageBank.failures.erase(failed);
  }

  LogMessage("Not loaded -> loading");
  if (imageBank.count >= imageBank.capacity) GrowBank();
  ImageFailure failure;
  TiledImage* image = LoadTiledImagePNG(name, &failure);
  failure.stamp = stamp;
  if (image == nullptr) {
    LogMessage("Load failed");
    imageBank.failures.emplace(name, failure);
    return nullptr;
  }
  LogMessage("Success -> adding to bank");
  const int32_t index = imageBank.count++;
  imageBank.slots[index] = image;
  imageBank.byName.emplace(std::string_view(image->name), index);
  return image;
}

const char* ImageFailureReason(const char* name, bool* missing) {
  if (name == nullptr) return nullptr;
  const auto failed = imageBank.failures.find(name);
  if (failed == imageBank.failures.end()) return nullptr;
  if (missing != nullptr) *missing = failed->second.missing;
  return failed->second.reason;
}

TiledImage* LoadTiledImagePNG(const char* name, ImageFailure* failure) {
  ImageFailure local;
  ImageFailure& found = failure != nullptr ? *failure : local;
  found.reason[0] = '\0';
  found.missing = found.outOfMemory = false;
  // Every allocation of a load is made for this one image; without memory for it the image is
  // refused like a damaged one.
  try {
    return ReadTiledImage(name, found);
  } catch (const std::bad_alloc&) {
    std::snprintf(found.reason, sizeof found.reason, "not enough memory for the image");
    found.outOfMemory = true;
    LogMessage("PNG file \"%s\": %s", name, found.reason);
    return nullptr;
  }
}
