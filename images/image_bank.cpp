#include "images/image_bank.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/log.h"

ImageBank imageBank;

namespace {

void GrowBank() {
  imageBank.capacity += kBankGrowth;
  imageBank.slots.resize(static_cast<size_t>(imageBank.capacity), nullptr);
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
}

void FreeImageBank() {
  LogMessage("FreeImageBank()");
  imageBank.byName.clear();  // its keys are the records' names
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
  std::snprintf(imageBank.folder, sizeof imageBank.folder, "%s", folder != nullptr ? folder : "");
}

const char* ImageFolder() { return imageBank.folder; }

TiledImage* GetImage(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  const auto found = imageBank.byName.find(std::string_view(name));
  if (found != imageBank.byName.end()) return imageBank.slots[found->second];

  LogMessage("Not loaded -> loading");
  if (imageBank.count >= imageBank.capacity) GrowBank();
  TiledImage* image = LoadTiledImagePNG(name);
  if (image == nullptr) {
    LogMessage("Load failed");
    return nullptr;
  }
  LogMessage("Success -> adding to bank");
  const int32_t index = imageBank.count++;
  imageBank.slots[index] = image;
  imageBank.byName.emplace(std::string_view(image->name), index);
  return image;
}

TiledImage* LoadTiledImagePNG(const char* name) {
  LogMessage("LoadTiledImagePNG(\"%s\")", name);
  // A project file names its images; one must never make the program read outside its folder.
  if (!IsBareFileName(name)) {
    LogMessage("PNG file \"%s\" refused: not a bare file name", name);
    return nullptr;
  }
  char path[kImageNameSize * 2];
  const int length = std::snprintf(path, sizeof path, "%s%s", imageBank.folder, name);
  if (length < 0 || length >= static_cast<int>(sizeof path)) return nullptr;
  LogMessage("AttachWorkPath -> \"%s\"", path);

  std::vector<uint8_t> bytes;
  char why[128] = "";
  if (!ReadWholeFile(path, kMaxPngFileBytes, bytes, why, sizeof why)) {
    if (access(path, F_OK) != 0) {
      LogMessage("PNG file \"%s\" not found", name);
    } else {
      LogMessage("PNG file \"%s\" cannot be read: %s", name, why);
    }
    return nullptr;
  }
  DecodedPng png;
  if (!DecodePng(bytes.data(), bytes.size(), png)) {
    LogMessage("PNG file \"%s\": %s", name, png.problem);
    return nullptr;
  }
  LogMessage("channels=%i", png.channels);
  TiledImage* image = TileBuffer(png.rgba.data(), png.width, png.height);
  if (image != nullptr) std::snprintf(image->name, sizeof image->name, "%s", name);
  return image;
}
