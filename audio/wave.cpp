// The wave table: sound files loaded once, found again by name.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/audio_internal.h"
#include "platform/log.h"

namespace {

// Waves live at fixed addresses (clips point at them) while the table of pointers grows.
std::vector<std::unique_ptr<Wave>> waves;

// A whole file mapped read-only for the length of a load.
class MappedFile {
 public:
  explicit MappedFile(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
      opened_ = true;
      size_ = static_cast<size_t>(info.st_size);
      if (size_ > 0) {
        void* map = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
          opened_ = false;
          size_ = 0;
        } else {
          bytes_ = static_cast<const uint8_t*>(map);
        }
      }
    }
    close(fd);
  }
  ~MappedFile() {
    if (bytes_ != nullptr) munmap(const_cast<uint8_t*>(bytes_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool opened() const { return opened_; }
  const uint8_t* bytes() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  bool opened_ = false;
  const uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

void LogProblem(const WavProblem& problem) {
  char text[256];
  std::snprintf(text, sizeof text, problem.message, problem.value);
  LogMessage("audio error: %s", text);
}

}  // namespace

int WaveCount() { return static_cast<int>(waves.size()); }

Wave* GetWave(const char* name) {
  if (name == nullptr) name = "";
  LogMessage("GetWave(%s) [numwaves=%i]", name, WaveCount());
  for (const auto& wave : waves) {
    if (std::strcmp(wave->name, name) == 0) return wave.get();
  }
  LogMessage("GetWave()=NULL");
  return nullptr;
}

bool LoadSample(Clip& clip) {
  LogMessage("LoadSample()");
  const std::string path = std::string(project.workPath) + clip.fileName;
  LogMessage("AttachWorkPath -> \"%s\"", path.c_str());
  const MappedFile file(path.c_str());
  if (!file.opened()) {
    LogMessage("audio error: file not found (\"%s\")", path.c_str());
    return false;
  }

  // Everything is decoded before the table changes, so a refused file leaves no trace.
  WavFormat format;
  WavProblem problem;
  if (!ReadWavFormat(file.bytes(), file.size(), format, problem)) {
    LogProblem(problem);
    return false;
  }
  if (format.sampleRate == kMixRate) {
    LogMessage("no resample");
  } else {
    LogMessage("resample from %i Hz", format.sampleRate);
  }
  auto wave = std::make_unique<Wave>();
  if (!DecodeWavSamples(file.bytes(), file.size(), format, wave->samples, problem)) {
    LogProblem(problem);
    return false;
  }
  CopyName(wave->name, kFileNameSize, clip.fileName);
  wave->length = static_cast<int32_t>(wave->samples.length);
  wave->left = wave->samples.left.data();
  wave->right = wave->samples.right.empty() ? wave->left : wave->samples.right.data();

  LogMessage("build vis data");
  wave->overviewData = BuildOverview(wave->left, wave->right, wave->length, AudioFps());
  wave->overviewLength = static_cast<int32_t>(wave->overviewData.size());
  wave->overview = wave->overviewData.data();

  if (waves.size() == waves.capacity()) {
    LogMessage("realloc()");
    waves.reserve(waves.capacity() + kTableGrowth);
  }
  clip.wave = wave.get();
  waves.push_back(std::move(wave));
  LogMessage("done");
  return true;
}

void RebuildOverviews() {
  for (const auto& wave : waves) {
    wave->overviewData = BuildOverview(wave->left, wave->right, wave->length, AudioFps());
    wave->overviewLength = static_cast<int32_t>(wave->overviewData.size());
    wave->overview = wave->overviewData.data();
  }
}

void FreeWaveTable() {
  LogMessage("freeing %i waves", WaveCount());
  waves.clear();
  waves.shrink_to_fit();
  waves.reserve(kTableGrowth);
}
