// The wave table: sound files loaded once, found again by name.

#include <sys/mman.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "audio/audio_internal.h"
#include "platform/files.h"
#include "platform/log.h"

namespace {

// Waves live at fixed addresses (clips point at them) while the table of pointers grows.
std::vector<std::unique_ptr<Wave>> waves;

// A whole file mapped read-only for the length of a load. Only a regular file is mapped: a
// pipe or a device named like a sound is refused without waiting on it.
class MappedFile {
 public:
  explicit MappedFile(const char* path) {
    ReadableFile file;
    if (!OpenReadableFile(path, file, why_, sizeof why_)) return;
    opened_ = true;
    size_ = static_cast<size_t>(file.size);
    if (size_ > 0) {
      void* map = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, file.fd, 0);
      if (map == MAP_FAILED) {
        std::snprintf(why_, sizeof why_, "%s", std::strerror(errno));
        opened_ = false;
        size_ = 0;
      } else {
        bytes_ = static_cast<const uint8_t*>(map);
      }
    }
  }
  ~MappedFile() {
    if (bytes_ != nullptr) munmap(const_cast<uint8_t*>(bytes_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool opened() const { return opened_; }
  const char* why() const { return why_; }
  const uint8_t* bytes() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  bool opened_ = false;
  char why_[128] = "";
  const uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};

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

namespace {

SoundProblem lastProblem = SoundProblem::kNone;
char lastProblemText[160] = "";

bool Refuse(SoundProblem kind, const char* text) {
  lastProblem = kind;
  std::snprintf(lastProblemText, sizeof lastProblemText, "%s", text);
  LogMessage("audio error: %s", text);
  return false;
}

bool Refuse(const WavProblem& problem) {
  char text[sizeof lastProblemText];
  std::snprintf(text, sizeof text, problem.message, problem.value);
  return Refuse(SoundProblem::kNotUncompressedWav, text);
}

// Decodes the mapped file into a new wave named name. Allocation failures come out as
// std::bad_alloc; the caller turns them into a refusal.
std::unique_ptr<Wave> DecodeWave(const MappedFile& file, const char* name) {
  WavFormat format;
  WavProblem problem;
  if (!ReadWavFormat(file.bytes(), file.size(), format, problem)) {
    Refuse(problem);
    return nullptr;
  }
  if (format.sampleRate == kMixRate) {
    LogMessage("no resample");
  } else {
    LogMessage("resample from %i Hz", format.sampleRate);
  }
  auto wave = std::make_unique<Wave>();
  if (!DecodeWavSamples(file.bytes(), file.size(), format, wave->samples, problem)) {
    Refuse(problem);
    return nullptr;
  }
  CopyName(wave->name, kFileNameSize, name);
  wave->length = static_cast<int32_t>(wave->samples.length);
  wave->left = wave->samples.left.data();
  wave->right = wave->samples.right.empty() ? wave->left : wave->samples.right.data();

  LogMessage("build vis data");
  wave->overviewData = BuildOverview(wave->left, wave->right, wave->length, AudioFps());
  wave->overviewLength = static_cast<int32_t>(wave->overviewData.size());
  wave->overview = wave->overviewData.data();
  return wave;
}

}  // namespace

SoundProblem LastSoundProblem() { return lastProblem; }
const char* LastSoundProblemText() { return lastProblemText; }

bool LoadSample(Clip& clip) {
  LogMessage("LoadSample()");
  lastProblem = SoundProblem::kNone;
  lastProblemText[0] = '\0';
  const std::string path = std::string(project.workPath) + clip.fileName;
  LogMessage("AttachWorkPath -> \"%s\"", path.c_str());
  const MappedFile file(path.c_str());
  if (!file.opened()) return Refuse(SoundProblem::kUnreadable, file.why());

  // Everything is decoded before the table changes, so a refused file leaves no trace; a sound
  // too large for the memory left is refused like any other, never ending the program.
  try {
    std::unique_ptr<Wave> wave = DecodeWave(file, clip.fileName);
    if (wave == nullptr) return false;
    if (waves.size() == waves.capacity()) {
      LogMessage("realloc()");
      waves.reserve(waves.capacity() + kTableGrowth);
    }
    waves.push_back(std::move(wave));
    clip.wave = waves.back().get();
  } catch (const std::bad_alloc&) {
    return Refuse(SoundProblem::kNoMemory, "not enough memory");
  }
  LogMessage("done");
  return true;
}

void RebuildOverviews() {
  for (const auto& wave : waves) {
    // Without memory for the new overview a wave keeps its old one: drawn at the old scale,
    // but consistent with its length.
    try {
      std::vector<uint8_t> overview =
          BuildOverview(wave->left, wave->right, wave->length, AudioFps());
      wave->overviewData.swap(overview);
    } catch (const std::bad_alloc&) {
      LogMessage("audio error: no memory to redraw the waveform of %s", wave->name);
      continue;
    }
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
