// ExportAnimation: the pictures of the range with their sound, handed to an output as they are
// made. A picture that cannot be written ends the export (the sound is not written); every
// failure says which file and why, and a completed export says which images its pictures lack.
#include "export/export.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "export/export_internal.h"
#include "export/export_output.h"
#include "images/image_bank.h"
#include "platform/dialogs.h"
#include "platform/log.h"
#include "scene/animation.h"
#include "scene/draw.h"
#include "scene/scene.h"

namespace {

// Room for the base path and "_frame0000.png" or "_audio.wav".
constexpr size_t kExportPathSize = 600;
// Lists in the end message stop near these lengths and say how many more there are.
constexpr size_t kMaxListedNamesLength = 600;
constexpr size_t kMaxListedFramesLength = 240;

bool MakeName(char* out, const char* base, const char* format, int index = 0) {
  const int length = std::snprintf(out, kExportPathSize, format, base, index);
  return length > 0 && static_cast<size_t>(length) < kExportPathSize;
}

// The inverse of node's pose: scale back, turn back, move back.
void ApplyInverseTransform(const SceneObject* node) {
  if (node == nullptr) return;
  const Key& state = node->state;
  glScalef(1.0f / state.scale.x, 1.0f / state.scale.y, 1);
  glRotatef(-state.rotation, 0, 0, 1);
  glTranslatef(-state.position.x, -state.position.y, 0);
}

// What the pictures lack, gathered sub-frame by sub-frame.
struct PictureFaults {
  std::set<std::string> unloaded;  // image files the bank could not give
  int32_t pictureDropped = 0;      // images left out of the picture being rendered
  int32_t dropped = 0;             // in all pictures
  std::vector<int32_t> frames;     // project frames of pictures that left images out

  // After a sub-frame was drawn: what its image pass left out or could not load.
  void NoteSubFrame() {
    pictureDropped = std::max(pictureDropped, imageDrawList.dropped);
    const int count = std::clamp(imageDrawList.count, 0, kMaxImageDraws);
    for (int k = 0; k < count; ++k) {
      const QueuedImage& queued = imageDrawList.images[k];
      if (queued.unloaded && queued.entry != nullptr && queued.entry->file[0] != '\0') {
        unloaded.insert(queued.entry->file);
      }
    }
  }
  // After the picture of frame.
  void NotePicture(int frame) {
    if (pictureDropped > 0) {
      LogMessage("ExportAnimation: frame %d: %d images left out (a picture holds at most %d)",
                 frame, pictureDropped, kMaxImageDraws);
      dropped += pictureDropped;
      frames.push_back(frame);
    }
    pictureDropped = 0;
  }
};

// One sub-frame of the current frame through the camera into rgb, bottom row first.
void RenderSubFrame(ExportTarget& target, float fraction, uint8_t* rgb, PictureFaults& faults) {
  DrawSubFrame(fraction);
  faults.NoteSubFrame();
  target.Read(rgb);
}

// The picture of the current frame: one sub-frame an eighth of a frame early, or the truncated
// average of sixteen spread over a quarter of a frame around that instant.
void RenderPicture(ExportTarget& target, bool motionBlur, size_t bytes, uint8_t* picture,
                   std::vector<uint8_t>& subFrame, std::vector<uint16_t>& sums,
                   PictureFaults& faults) {
  if (!motionBlur) {
    RenderSubFrame(target, -0.125f, picture, faults);
    return;
  }
  std::fill(sums.begin(), sums.end(), uint16_t{0});
  for (int s = 0; s < kBlurSamples; ++s) {
    const float fraction = static_cast<float>(s) / kBlurSamples * 0.25f - 0.125f;
    RenderSubFrame(target, fraction, subFrame.data(), faults);
    for (size_t i = 0; i < bytes; ++i) sums[i] = static_cast<uint16_t>(sums[i] + subFrame[i]);
  }
  for (size_t i = 0; i < bytes; ++i) picture[i] = static_cast<uint8_t>(sums[i] / kBlurSamples);
}

// The range's sound, mixed block by block from its first frame on while exporting is set.
class SoundMix {
 public:
  // blocks blocks of 256 frames from startFrame; with on false nothing is mixed.
  SoundMix(bool on, int startFrame, int32_t blocks) : on_(on), blocks_(on ? blocks : 0) {
    if (on_) AudioPlay(startFrame);
  }
  // Stops a sound that would play on without end.
  ~SoundMix() {
    if (on_ && sounding.load() && countdown.load() < 0) AudioStop();
  }
  SoundMix(const SoundMix&) = delete;
  SoundMix& operator=(const SoundMix&) = delete;

  int32_t mixed() const { return mixed_; }
  int32_t blocks() const { return blocks_; }
  // The next block, 2 x 256 floats; call only while mixed() < blocks().
  const float* Next() {
    MixAudio(block_, kSoundBlockFrames);
    mixed_ += 1;
    return block_;
  }

 private:
  bool on_;
  int32_t blocks_;
  int32_t mixed_ = 0;
  float block_[2 * kSoundBlockFrames];
};

// The blocks of sound that end within the time of the first pictures pictures.
int32_t BlocksDue(int pictures, int fps, int32_t blocks) {
  const int64_t samples = int64_t{pictures} * kMixRate / std::max(fps, 1);
  return static_cast<int32_t>(std::min<int64_t>(blocks, samples / kSoundBlockFrames));
}

// "12-15, 20, 31" for ascending frames.
std::string FrameList(const std::vector<int32_t>& frames) {
  std::string text;
  for (size_t i = 0; i < frames.size();) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    if (text.size() > kMaxListedFramesLength) {
      text += ", ...";
      break;
    }
    if (!text.empty()) text += ", ";
    text += std::to_string(frames[i]);
    if (j > i) text += "-" + std::to_string(frames[j]);
    i = j + 1;
  }
  return text;
}

// Turns "Export completed" into what the user must know about the pictures.
void AddWarnings(ExportResult& result, const PictureFaults& faults) {
  result.unloadedImages.assign(faults.unloaded.begin(), faults.unloaded.end());
  result.droppedImages = faults.dropped;
  result.framesWithDroppedImages = faults.frames;
  if (result.outcome != ExportOutcome::kCompleted) return;
  if (faults.unloaded.empty() && faults.dropped == 0) return;
  std::string text = "Export completed, but";
  if (!faults.unloaded.empty()) {
    text += " these images could not be loaded: ";
    size_t listed = 0;
    for (const std::string& name : result.unloadedImages) {
      if (listed > 0 && text.size() + name.size() > kMaxListedNamesLength) break;
      if (listed > 0) text += ", ";
      text += name;
      listed += 1;
    }
    if (listed < result.unloadedImages.size()) {
      text += " and " + std::to_string(result.unloadedImages.size() - listed) + " more";
    }
  }
  if (faults.dropped > 0) {
    if (!faults.unloaded.empty()) text += "; and";
    text += " " + std::to_string(faults.dropped) + (faults.dropped == 1 ? " image was" : " images were") +
            " left out on " + (faults.frames.size() == 1 ? "frame " : "frames ") +
            FrameList(faults.frames) + ", as a picture holds at most " +
            std::to_string(kMaxImageDraws) + " images";
  }
  SetExportMessage(result, ExportOutcome::kCompleted, "%s", text.c_str());
  result.warnings = true;
}

// The frames a range holds: within 0..1999 and not ending before it starts. False with
// result's outcome and message set otherwise.
bool CheckRange(int startFrame, int endFrame, ExportResult& result) {
  if (endFrame < startFrame) {
    SetExportMessage(result, ExportOutcome::kNothingToExport,
                     "Nothing to export: the play range ends at frame %d, before its start at "
                     "frame %d.",
                     endFrame, startFrame);
    return false;
  }
  result.framesTotal = endFrame - startFrame + 1;
  if (startFrame < 0 || endFrame >= kMaxFrames) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: frames %d to %d lie outside the frames 0 to %d.", startFrame,
                     endFrame, kMaxFrames - 1);
    return false;
  }
  return true;
}

// The images of visible objects on frame, below object.
void CollectShownImages(const SceneObject* object, int frame, std::set<std::string>& files) {
  if (object == nullptr || object->hidden) return;
  const ImageTrack* track = object->images.get();
  if (track != nullptr) {
    const int n = track->frameImage[frame];
    if (n > 0 && n <= kMaxImages && track->entries[n - 1].file[0] != '\0') {
      files.insert(track->entries[n - 1].file);
    }
  }
  for (int i = 0; i < object->childCount; ++i) CollectShownImages(object->children[i], frame, files);
}

}  // namespace

void SetExportMessage(ExportResult& result, ExportOutcome outcome, const char* format, ...) {
  result.outcome = outcome;
  va_list args;
  va_start(args, format);
  std::vsnprintf(result.message, sizeof result.message, format, args);
  va_end(args);
  LogMessage("ExportAnimation: %s", result.message);
}

bool RenderExport(ExportOutput& output, int startFrame, int endFrame, bool motionBlur,
                  const ExportOptions& options, ExportResult& result) {
  if (!CheckRange(startFrame, endFrame, result)) return false;
  if (project.root == nullptr) {
    SetExportMessage(result, ExportOutcome::kFailed, "Export failed: there is no scene to render.");
    return false;
  }
  if (options.scale < 1 || options.scale > kMaxExportScale) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: the export size %d is not 1 to %d times %d x %d.",
                     options.scale, kMaxExportScale, kExportWidth, kExportHeight);
    return false;
  }
  ExportFormat format;
  format.width = kExportWidth * options.scale;
  format.height = kExportHeight * options.scale;
  format.pictures = result.framesTotal;
  format.firstFrame = startFrame;
  format.fps = std::max(project.fps, 1);
  format.soundFrames = options.writeSound ? ExportSoundFrames(format.pictures, format.fps) : 0;

  ExportTarget target;
  if (!target.Begin(format.width, format.height)) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: OpenGL cannot make the %d x %d picture buffer (framebuffer "
                     "objects are missing or cannot be that large).",
                     format.width, format.height);
    return false;
  }
  // Set before AudioPlay, so the stream's callback leaves the mixer to the export.
  exporting = true;
  if (!output.Begin(format, result)) {
    exporting = false;
    return false;
  }
  const size_t bytes = static_cast<size_t>(format.width) * static_cast<size_t>(format.height) * 3;
  std::vector<uint8_t> subFrame(motionBlur ? bytes : 0);
  std::vector<uint16_t> sums(motionBlur ? bytes : 0);
  PictureFaults faults;
  ExportEnd end = ExportEnd::kComplete;
  {
    SoundMix sound(options.writeSound, startFrame, format.soundFrames / kSoundBlockFrames);
    for (int index = 0; index < format.pictures; ++index) {
      if (options.progress != nullptr) {
        target.Suspend();
        const bool goOn = options.progress(index + 1, format.pictures, options.progressData);
        target.Resume();
        if (!goOn) {
          end = ExportEnd::kCancelled;
          break;
        }
      }
      if (output.Failed()) {
        end = ExportEnd::kFailed;
        break;
      }
      project.currentFrame = startFrame + index;
      uint8_t* picture = output.PictureBuffer();
      RenderPicture(target, motionBlur, bytes, picture, subFrame, sums, faults);
      faults.NotePicture(project.currentFrame);
      output.AddPicture(index, picture);
      project.currentFrame = startFrame + index + 1;
      // The sound of the picture's time follows it.
      const int32_t due = BlocksDue(index + 1, format.fps, sound.blocks());
      while (sound.mixed() < due) output.AddSound(sound.Next(), kSoundBlockFrames);
    }
    while (end == ExportEnd::kComplete && sound.mixed() < sound.blocks()) {
      output.AddSound(sound.Next(), kSoundBlockFrames);
    }
  }
  const bool ok = output.Finish(end, result);
  exporting = false;
  target.End();
  AddWarnings(result, faults);
  return ok;
}

void DrawSubFrame(float fraction) {
  glClear(GL_COLOR_BUFFER_BIT);
  EvaluateTree(project.root, project.currentFrame, fraction);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ApplyInverseTransform(project.camera);
  ApplyInverseTransform(project.root);
  imageDrawList.count = 0;
  DrawObject(project.root, false, false, 0);
  SortQueue();
  DrawQueue();
}

void CutExtension(char* path) {
  if (path == nullptr) return;
  const size_t length = std::strlen(path);
  for (size_t i = length; i > 0 && i + 4 > length; --i) {
    const char c = path[i - 1];
    if (c == '/' || c == '\\') return;  // the dot would belong to a directory's name
    if (c == '.') {
      path[i - 1] = '\0';
      return;
    }
  }
}

int32_t ExportSoundFrames(int frames, int fps) {
  if (frames <= 0 || fps <= 0) return 0;
  const int64_t samples = int64_t{frames} * kMixRate / fps;
  const int64_t whole = samples - samples % kSoundBlockFrames;
  return static_cast<int32_t>(std::min<int64_t>(whole, INT32_MAX - INT32_MAX % kSoundBlockFrames));
}

int16_t SampleToPcm16(float v) {
  // The default rounding mode rounds halves to even.
  const long rounded = std::lrint(static_cast<double>(v) * 32767.5);
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned long>(rounded) & 0xffff));
}

void MakeWavHeader(uint8_t header[kWavHeaderBytes], int32_t sampleFrames) {
  const uint32_t dataBytes = 4u * static_cast<uint32_t>(std::max(sampleFrames, 0));
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto put16 = [&](int at, uint16_t v) {
    header[at] = static_cast<uint8_t>(v & 0xff);
    header[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  std::memcpy(header, "RIFF", 4);
  put32(4, 36 + dataBytes);
  std::memcpy(header + 8, "WAVE", 4);
  std::memcpy(header + 12, "fmt ", 4);
  put32(16, 16);
  put16(20, 1);  // PCM
  put16(22, 2);  // channels
  put32(24, kMixRate);
  put32(28, kMixRate * 4);  // bytes per second
  put16(32, 4);  // bytes per frame
  put16(34, 16);  // bits per sample
  std::memcpy(header + 36, "data", 4);
  put32(40, dataBytes);
}

namespace {

// What every export checks first: a path, a range inside the frames, and file names that fit.
// Cuts the extension off path; false with result's outcome and message set otherwise.
bool PrepareExport(char* path, int startFrame, int endFrame, int numberFrom,
                   ExportResult& result) {
  if (path == nullptr || path[0] == '\0') {
    SetExportMessage(result, ExportOutcome::kFailed, "Export failed: no file name was given.");
    return false;
  }
  CutExtension(path);
  if (!CheckRange(startFrame, endFrame, result)) return false;
  if (numberFrom < 0 || numberFrom > kMaxPictureNumber) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: pictures can be numbered from 0 to %d, not from %d.",
                     kMaxPictureNumber, numberFrom);
    return false;
  }
  char name[kExportPathSize];
  if (!MakeName(name, path, "%s_frame%.4i.png", numberFrom + result.framesTotal) ||
      !MakeName(name, path, "%s_audio.wav")) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: no file names can be made from the path \"%.512s\".", path);
    return false;
  }
  return true;
}

}  // namespace

bool ExportAnimation(char* path, int startFrame, int endFrame, bool motionBlur,
                     const ExportOptions& options, ExportResult* resultOut) {
  ExportResult local;
  ExportResult& result = resultOut != nullptr ? *resultOut : local;
  result = ExportResult();
  LogMessage("ExportAnimation(%s, %i, %i, %i)", path != nullptr ? path : "", startFrame, endFrame,
             motionBlur ? 1 : 0);
  const ExportFileFormat format =
      options.format == ExportFileFormat::kFromPath ? ExportFormatOfPath(path) : options.format;
  if (format == ExportFileFormat::kPng) {
    if (!PrepareExport(path, startFrame, endFrame, options.numberFrom, result)) return false;
    const int threads =
        options.encoderThreads < 0 ? DefaultEncoderThreads() : options.encoderThreads;
    PngSequenceOutput output(path, options.numberFrom, threads, options.writeSound);
    return RenderExport(output, startFrame, endFrame, motionBlur, options, result);
  }
  // A film is the one file at path.
  const VideoFormat video = format == ExportFileFormat::kMp4    ? VideoFormat::kMp4
                            : format == ExportFileFormat::kWebm ? VideoFormat::kWebm
                                                                : VideoFormat::kGif;
  if (path == nullptr || path[0] == '\0') {
    SetExportMessage(result, ExportOutcome::kFailed, "Export failed: no file name was given.");
    return false;
  }
  if (options.numberFrom != 0) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: a %s is one file; only PNG pictures are numbered.",
                     VideoFormatName(video));
    return false;
  }
  ExportOptions filmOptions = options;
  // A GIF has no sound, so none is mixed for it.
  filmOptions.writeSound = options.writeSound && video != VideoFormat::kGif;
  VideoOutput output(path, video, filmOptions.writeSound);
  return RenderExport(output, startFrame, endFrame, motionBlur, filmOptions, result);
}

bool ExportSound(char* path, int startFrame, int endFrame, ExportResult* resultOut) {
  ExportResult local;
  ExportResult& result = resultOut != nullptr ? *resultOut : local;
  result = ExportResult();
  LogMessage("ExportSound(%s, %i, %i)", path != nullptr ? path : "", startFrame, endFrame);
  if (!PrepareExport(path, startFrame, endFrame, 0, result)) return false;
  RemoveStaleExportFiles(path);
  const std::string soundName = SoundFileName(path);
  const int32_t sampleFrames = ExportSoundFrames(result.framesTotal, std::max(project.fps, 1));
  WavWriter wav;
  // Set before AudioPlay, so the stream's callback leaves the mixer to the export.
  exporting = true;
  wav.Open(soundName.c_str(), sampleFrames);
  {
    SoundMix sound(true, startFrame, sampleFrames / kSoundBlockFrames);
    while (sound.mixed() < sound.blocks()) wav.Add(sound.Next(), kSoundBlockFrames);
  }
  exporting = false;
  char why[256] = "";
  if (!wav.Commit(why, sizeof why)) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: couldn't write the sound file %s (%s).", soundName.c_str(),
                     why);
    return false;
  }
  SetExportMessage(result, ExportOutcome::kCompleted, "Export completed");
  return true;
}

std::vector<std::string> FindUnloadableImages(int startFrame, int endFrame) {
  std::set<std::string> shown;
  startFrame = std::max(startFrame, 0);
  endFrame = std::min(endFrame, kMaxFrames - 1);
  for (int frame = startFrame; frame <= endFrame; ++frame) {
    CollectShownImages(project.root, frame, shown);
  }
  std::vector<std::string> unloadable;
  for (const std::string& file : shown) {
    if (GetImage(file.c_str()) == nullptr) unloadable.push_back(file);
  }
  return unloadable;
}

void ReportExport(const ExportResult& result) {
  switch (result.outcome) {
    case ExportOutcome::kCompleted:
      if (result.warnings) {
        ShowMessage("Warning", result.message, true);
      } else {
        ShowMessage("Info", "Export completed", false);
      }
      break;
    case ExportOutcome::kCancelled:
      ShowMessage("Info", result.message, false);
      break;
    case ExportOutcome::kNothingToExport:
    case ExportOutcome::kFailed:
      ShowMessage("Error", result.message, true);
      break;
  }
}
