// A film's life: the settings checked against its format, a hidden temporary file beside the
// chosen path, an encoder thread fed through a bounded queue (a few picture buffers and a few
// seconds of sound), and the rename into place or the removal of what was written.
#include "export/video_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/export_internal.h"
#include "export/video_streams.h"
#include "platform/files.h"

namespace {

constexpr int kPictureBuffers = 3;  // one being filled, one waiting, one being encoded
constexpr int kSoundJobFrames = 4096;
constexpr int64_t kMaxQueuedSoundFrames = 4 * kVideoSoundRate;

// A picture (a buffer of the pool) or a piece of sound for the encoder thread.
struct VideoJob {
  uint8_t* picture = nullptr;
  std::vector<float> sound;
};

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != *b) return false;
  }
  return *a == *b;
}

// True when settings can make a film of their format; false with why otherwise.
bool CheckSettings(const VideoFileSettings& settings, char* why, size_t whySize) {
  if (settings.format != VideoFormat::kMp4 && settings.format != VideoFormat::kWebm &&
      settings.format != VideoFormat::kGif) {
    SetVideoWhy(why, whySize, "Unknown video format %d", static_cast<int>(settings.format));
    return false;
  }
  const char* name = VideoFormatName(settings.format);
  if (settings.width < 1 || settings.height < 1 || settings.width > kMaxVideoSide ||
      settings.height > kMaxVideoSide) {
    SetVideoWhy(why, whySize, "%s takes pictures of 1 to %d pixels a side, not %d x %d", name,
                kMaxVideoSide, settings.width, settings.height);
    return false;
  }
  if (settings.format != VideoFormat::kGif &&
      (settings.width % 2 != 0 || settings.height % 2 != 0)) {
    SetVideoWhy(why, whySize, "%s needs an even width and height, not %d x %d", name,
                settings.width, settings.height);
    return false;
  }
  const int most = settings.format == VideoFormat::kGif    ? kMaxGifFps
                   : settings.format == VideoFormat::kWebm ? kMaxWebmFps
                                                           : kMaxMp4Fps;
  if (settings.fps < 1 || settings.fps > most) {
    SetVideoWhy(why, whySize, "%s holds 1 to %d pictures per second, not %d", name, most,
                settings.fps);
    return false;
  }
  return true;
}

// The folder part of path ("." when it has none) and its file name.
void SplitPath(const std::string& path, std::string* folder, std::string* name) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    *folder = ".";
    *name = path;
  } else {
    *folder = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

// Makes the finished file's data durable before it takes the chosen name.
void SyncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

struct VideoFileState {
  VideoStreams streams;
  std::string path, temporaryPath;
  size_t pictureBytes = 0;
  bool sound = false;  // sound is encoded (not GIF, not switched off)
  int64_t pictures = 0;

  // Shared with the encoder thread, under mutex.
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<VideoJob> jobs;
  std::vector<std::vector<uint8_t>> buffers;
  std::vector<uint8_t*> freeBuffers;
  int64_t queuedSoundFrames = 0;
  bool ending = false;      // no more jobs: the thread ends once the queue is empty
  bool abandoning = false;  // the thread ends now, leaving the queue
  bool failed = false;
  std::string failure;  // why the encoding failed
  std::thread worker;

  void Work();
  bool Failed(char* why, size_t whySize);
};

void VideoFileState::Work() {
  char why[kExportMessageSize];
  for (;;) {
    VideoJob job;
    bool skip;
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [this] { return abandoning || ending || !jobs.empty(); });
      if (abandoning || jobs.empty()) return;
      job = std::move(jobs.front());
      jobs.pop_front();
      skip = failed;
    }
    bool ok = true;
    if (!skip) {
      ok = job.picture != nullptr
               ? EncodeVideoPicture(streams, job.picture, why, sizeof why)
               : EncodeVideoSound(streams, job.sound.data(), static_cast<int>(job.sound.size() / 2),
                                  why, sizeof why);
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (job.picture != nullptr) {
        freeBuffers.push_back(job.picture);
      } else {
        queuedSoundFrames -= static_cast<int64_t>(job.sound.size() / 2);
      }
      if (!ok && !failed) {
        failed = true;
        failure = why;
      }
    }
    changed.notify_all();
  }
}

bool VideoFileState::Failed(char* why, size_t whySize) {
  if (!failed) return false;
  SetVideoWhy(why, whySize, "%s", failure.c_str());
  return true;
}

bool VideoFormatOfPath(const char* path, VideoFormat* format) {
  if (path == nullptr) return false;
  const char* name = std::strrchr(path, '/');
  name = name != nullptr ? name + 1 : path;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return false;
  VideoFormat found;
  if (EqualsIgnoringCase(dot + 1, "mp4")) {
    found = VideoFormat::kMp4;
  } else if (EqualsIgnoringCase(dot + 1, "webm")) {
    found = VideoFormat::kWebm;
  } else if (EqualsIgnoringCase(dot + 1, "gif")) {
    found = VideoFormat::kGif;
  } else {
    return false;
  }
  if (format != nullptr) *format = found;
  return true;
}

const char* VideoFormatName(VideoFormat format) {
  switch (format) {
    case VideoFormat::kMp4:
      return "MP4 video";
    case VideoFormat::kWebm:
      return "WebM video";
    case VideoFormat::kGif:
      return "GIF animation";
  }
  return "video";
}

VideoFile::VideoFile() = default;

VideoFile::~VideoFile() { Abandon(); }

int64_t VideoFile::pictures() const { return state_ ? state_->pictures : 0; }

bool VideoFile::Open(const char* path, const VideoFileSettings& settings, char* why,
                     size_t whySize) {
  if (state_) {
    SetVideoWhy(why, whySize, "A film is already being written to %s", state_->path.c_str());
    return false;
  }
  if (path == nullptr || path[0] == '\0') {
    SetVideoWhy(why, whySize, "No file name was given for the %s",
                VideoFormatName(settings.format));
    return false;
  }
  if (!CheckSettings(settings, why, whySize)) return false;
  struct stat info;
  if (stat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
    SetVideoWhy(why, whySize, "Cannot write %s: it is a folder", path);
    return false;
  }

  auto state = std::make_unique<VideoFileState>();
  // A link is followed to the file it names, as every file the export writes is; what killed
  // exports of that film left beside it goes first.
  state->path = LinkTarget(path);
  RemoveStaleTemporariesOf(state->path);
  const int fd = CreateTemporaryFor(state->path, &state->temporaryPath);
  if (fd >= 0) close(fd);  // the film's muxer opens it again by its name
  if (fd < 0) {
    std::string folder, name;
    SplitPath(state->path, &folder, &name);
    SetVideoWhy(why, whySize, "Cannot create %s in %s: %s", name.c_str(), folder.c_str(),
                std::strerror(errno));
    return false;
  }
  if (!OpenVideoStreams(state->streams, settings, state->temporaryPath.c_str(), path, why,
                        whySize)) {
    FreeVideoStreams(state->streams);
    RemoveUnfinishedFile(state->temporaryPath.c_str());
    return false;
  }
  state->pictureBytes = static_cast<size_t>(settings.width) * settings.height * 3;
  state->sound = state->streams.sound != nullptr;
  state->buffers.resize(kPictureBuffers);
  for (std::vector<uint8_t>& buffer : state->buffers) {
    buffer.resize(state->pictureBytes);
    state->freeBuffers.push_back(buffer.data());
  }
  state->worker = std::thread(&VideoFileState::Work, state.get());
  state_ = std::move(state);
  return true;
}

bool VideoFile::AddPicture(const uint8_t* rgb, char* why, size_t whySize) {
  if (!state_) {
    SetVideoWhy(why, whySize, "No film is open");
    return false;
  }
  if (rgb == nullptr) {
    SetVideoWhy(why, whySize, "No picture was given for %s", state_->path.c_str());
    return false;
  }
  VideoFileState& s = *state_;
  uint8_t* buffer;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait(lock, [&s] { return s.failed || !s.freeBuffers.empty(); });
    if (s.Failed(why, whySize)) return false;
    buffer = s.freeBuffers.back();
    s.freeBuffers.pop_back();
  }
  std::memcpy(buffer, rgb, s.pictureBytes);
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    VideoJob job;
    job.picture = buffer;
    s.jobs.push_back(std::move(job));
  }
  s.changed.notify_all();
  ++s.pictures;
  return true;
}

bool VideoFile::AddSound(const float* interleaved, int frames, char* why, size_t whySize) {
  if (!state_) {
    SetVideoWhy(why, whySize, "No film is open");
    return false;
  }
  if (frames < 0 || (frames > 0 && interleaved == nullptr)) {
    SetVideoWhy(why, whySize, "No sound was given for %s", state_->path.c_str());
    return false;
  }
  VideoFileState& s = *state_;
  if (!s.sound) {
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.Failed(why, whySize);
  }
  while (frames > 0) {
    const int count = std::min(frames, kSoundJobFrames);
    {
      std::unique_lock<std::mutex> lock(s.mutex);
      s.changed.wait(lock, [&s] {
        return s.failed || s.queuedSoundFrames + kSoundJobFrames <= kMaxQueuedSoundFrames;
      });
      if (s.Failed(why, whySize)) return false;
      s.queuedSoundFrames += count;
    }
    VideoJob job;
    job.sound.resize(size_t{2} * count);
    for (size_t i = 0; i < job.sound.size(); ++i) {
      // NaN becomes silence; anything louder than full scale is clipped.
      const float v = interleaved[i];
      job.sound[i] = v > -1.0f ? (v < 1.0f ? v : 1.0f) : (v <= -1.0f ? -1.0f : 0.0f);
    }
    {
      std::lock_guard<std::mutex> lock(s.mutex);
      s.jobs.push_back(std::move(job));
    }
    s.changed.notify_all();
    interleaved += size_t{2} * count;
    frames -= count;
  }
  return true;
}

bool VideoFile::Finish(char* why, size_t whySize) {
  if (!state_) {
    SetVideoWhy(why, whySize, "No film is open");
    return false;
  }
  VideoFileState& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.ending = true;
  }
  s.changed.notify_all();
  s.worker.join();
  bool ok = !s.Failed(why, whySize);
  if (ok && s.pictures == 0) {
    SetVideoWhy(why, whySize, "No picture was given for %s: nothing was written", s.path.c_str());
    ok = false;
  }
  if (ok) ok = FinishVideoStreams(s.streams, why, whySize);
  if (ok) {
    SyncFile(s.temporaryPath);
    if (std::rename(s.temporaryPath.c_str(), s.path.c_str()) != 0) {
      SetVideoWhy(why, whySize, "Cannot put the finished film in place as %s: %s", s.path.c_str(),
                  std::strerror(errno));
      ok = false;
    }
  }
  FreeVideoStreams(s.streams);
  if (!ok) RemoveUnfinishedFile(s.temporaryPath.c_str());
  state_.reset();
  return ok;
}

void VideoFile::Abandon() {
  if (!state_) return;
  VideoFileState& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.abandoning = true;
  }
  s.changed.notify_all();
  if (s.worker.joinable()) s.worker.join();
  FreeVideoStreams(s.streams);
  RemoveUnfinishedFile(s.temporaryPath.c_str());
  state_.reset();
}
