// ExportAnimation: the pictures of the range, then its sound. A picture that cannot be written
// ends the export (the sound is not written); every failure says which file and why.
#include "export/export.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "export/export_internal.h"
#include "platform/dialogs.h"
#include "platform/log.h"
#include "scene/animation.h"
#include "scene/draw.h"
#include "scene/scene.h"

namespace {

constexpr size_t kPictureBytes = size_t{kExportWidth} * kExportHeight * 3;
// Room for the base path and "_frame0000.png" or "_audio.wav".
constexpr size_t kExportPathSize = 600;

void SetMessage(ExportResult& result, ExportOutcome outcome, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void SetMessage(ExportResult& result, ExportOutcome outcome, const char* format, ...) {
  result.outcome = outcome;
  va_list args;
  va_start(args, format);
  std::vsnprintf(result.message, sizeof result.message, format, args);
  va_end(args);
  LogMessage("ExportAnimation: %s", result.message);
}

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

// One sub-frame of the current frame through the camera into rgb, bottom row first.
void RenderSubFrame(ExportTarget& target, float fraction, uint8_t* rgb) {
  DrawSubFrame(fraction);
  target.Read(rgb);
}

// The picture of the current frame: one sub-frame an eighth of a frame early, or the truncated
// average of sixteen spread over a quarter of a frame around that instant.
void RenderPicture(ExportTarget& target, bool motionBlur, uint8_t* picture,
                   std::vector<uint8_t>& subFrame, std::vector<uint16_t>& sums) {
  if (!motionBlur) {
    RenderSubFrame(target, -0.125f, picture);
    return;
  }
  std::fill(sums.begin(), sums.end(), uint16_t{0});
  for (int s = 0; s < kBlurSamples; ++s) {
    const float fraction = static_cast<float>(s) / kBlurSamples * 0.25f - 0.125f;
    RenderSubFrame(target, fraction, subFrame.data());
    for (size_t i = 0; i < kPictureBytes; ++i) sums[i] = static_cast<uint16_t>(sums[i] + subFrame[i]);
  }
  for (size_t i = 0; i < kPictureBytes; ++i) picture[i] = static_cast<uint8_t>(sums[i] / kBlurSamples);
}

// The mixed sound of frames pictures from startFrame, written to path. False with why set when
// the file cannot be made or written; a file left incomplete is removed.
bool WriteSound(const char* path, int startFrame, int frames, char* why, size_t whySize) {
  const int32_t sampleFrames = ExportSoundFrames(frames, std::max(project.fps, 1));
  errno = 0;
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::snprintf(why, whySize, "%s", std::strerror(errno != 0 ? errno : EIO));
    return false;
  }
  uint8_t header[kWavHeaderBytes];
  MakeWavHeader(header, sampleFrames);
  errno = 0;
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;

  AudioPlay(startFrame);
  float mixed[2 * kSoundBlockFrames];
  uint8_t bytes[4 * kSoundBlockFrames];
  for (int32_t block = 0; ok && block < sampleFrames / kSoundBlockFrames; ++block) {
    MixAudio(mixed, kSoundBlockFrames);
    for (int i = 0; i < 2 * kSoundBlockFrames; ++i) {
      const uint16_t bits = static_cast<uint16_t>(SampleToPcm16(mixed[i]));
      bytes[2 * i] = static_cast<uint8_t>(bits & 0xff);
      bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
    }
    ok = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
  }
  if (sounding.load() && countdown.load() < 0) AudioStop();

  int error = ok ? 0 : (errno != 0 ? errno : EIO);
  errno = 0;
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = errno != 0 ? errno : EIO;
  }
  if (!ok) {
    std::snprintf(why, whySize, "%s", std::strerror(error));
    RemoveUnfinishedFile(path);
  }
  return ok;
}

// Renders and hands over every picture; true when all were written. result says otherwise.
bool WritePictures(ExportTarget& target, const char* base, int startFrame, int total,
                   bool motionBlur, const ExportOptions& options, ExportResult& result) {
  const int threads = options.encoderThreads < 0 ? DefaultEncoderThreads() : options.encoderThreads;
  PictureWriter writer(threads, kPictureBytes);
  std::vector<uint8_t> subFrame(motionBlur ? kPictureBytes : 0);
  std::vector<uint16_t> sums(motionBlur ? kPictureBytes : 0);
  char name[kExportPathSize];
  bool cancelled = false;
  int submitted = 0;
  for (int index = 0; index < total; ++index) {
    if (options.progress != nullptr) {
      target.Suspend();
      const bool goOn = options.progress(index + 1, total, options.progressData);
      target.Resume();
      if (!goOn) {
        cancelled = true;
        break;
      }
    }
    if (writer.Failed()) break;
    project.currentFrame = startFrame + index;
    uint8_t* picture = writer.AcquireBuffer();
    RenderPicture(target, motionBlur, picture, subFrame, sums);
    MakeName(name, base, "%s_frame%.4i.png", index);
    writer.Submit(picture, index, name, kExportWidth, kExportHeight);
    project.currentFrame = startFrame + index + 1;
    submitted = index + 1;
  }
  writer.Finish();

  if (writer.failedIndex() >= 0) {
    result.framesWritten = writer.failedIndex();
    SetMessage(result, ExportOutcome::kFailed,
               "Export failed: couldn't write %s (%s). %d of %d frames were written; the sound "
               "file was not written.",
               writer.failedPath().c_str(), writer.failedWhy().c_str(), result.framesWritten,
               total);
    return false;
  }
  result.framesWritten = submitted;
  if (cancelled) {
    SetMessage(result, ExportOutcome::kCancelled,
               "Export cancelled after %d of %d frames. The frames written so far were kept; "
               "the sound file was not written.",
               submitted, total);
    return false;
  }
  return true;
}

}  // namespace

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
// Cuts the extension off path and fills the first picture's and the sound file's names; false
// with result's outcome and message set otherwise.
bool PrepareExport(char* path, int startFrame, int endFrame, ExportResult& result,
                   char* firstName, char* soundName) {
  if (path == nullptr || path[0] == '\0') {
    SetMessage(result, ExportOutcome::kFailed, "Export failed: no file name was given.");
    return false;
  }
  CutExtension(path);
  if (endFrame < startFrame) {
    SetMessage(result, ExportOutcome::kNothingToExport,
               "Nothing to export: the play range ends at frame %d, before its start at frame %d.",
               endFrame, startFrame);
    return false;
  }
  result.framesTotal = endFrame - startFrame + 1;
  if (startFrame < 0 || endFrame >= kMaxFrames) {
    SetMessage(result, ExportOutcome::kFailed,
               "Export failed: frames %d to %d lie outside the frames 0 to %d.", startFrame,
               endFrame, kMaxFrames - 1);
    return false;
  }
  if (!MakeName(firstName, path, "%s_frame%.4i.png", result.framesTotal) ||
      !MakeName(soundName, path, "%s_audio.wav")) {
    SetMessage(result, ExportOutcome::kFailed,
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
  char firstName[kExportPathSize], soundName[kExportPathSize];
  if (!PrepareExport(path, startFrame, endFrame, result, firstName, soundName)) return false;
  if (project.root == nullptr) {
    SetMessage(result, ExportOutcome::kFailed, "Export failed: there is no scene to render.");
    return false;
  }

  ExportTarget target;
  if (!target.Begin()) {
    SetMessage(result, ExportOutcome::kFailed,
               "Export failed: OpenGL cannot make the %d x %d picture buffer (framebuffer "
               "objects are missing).",
               kExportWidth, kExportHeight);
    return false;
  }
  // Set before AudioPlay, so the stream's callback leaves the mixer to the export.
  exporting = true;
  bool ok = WritePictures(target, path, startFrame, result.framesTotal, motionBlur, options, result);
  if (ok) {
    char why[256] = "";
    if (!WriteSound(soundName, startFrame, result.framesTotal, why, sizeof why)) {
      SetMessage(result, ExportOutcome::kFailed,
                 "Export failed: couldn't write the sound file %s (%s). All %d frames were "
                 "written.",
                 soundName, why, result.framesTotal);
      ok = false;
    }
  }
  exporting = false;
  target.End();
  if (ok) SetMessage(result, ExportOutcome::kCompleted, "Export completed");
  return ok;
}

bool ExportSound(char* path, int startFrame, int endFrame, ExportResult* resultOut) {
  ExportResult local;
  ExportResult& result = resultOut != nullptr ? *resultOut : local;
  result = ExportResult();
  LogMessage("ExportSound(%s, %i, %i)", path != nullptr ? path : "", startFrame, endFrame);
  char firstName[kExportPathSize], soundName[kExportPathSize];
  if (!PrepareExport(path, startFrame, endFrame, result, firstName, soundName)) return false;
  // Set before AudioPlay, so the stream's callback leaves the mixer to the export.
  exporting = true;
  char why[256] = "";
  const bool ok = WriteSound(soundName, startFrame, result.framesTotal, why, sizeof why);
  exporting = false;
  if (!ok) {
    SetMessage(result, ExportOutcome::kFailed, "Export failed: couldn't write the sound file %s (%s).",
               soundName, why);
    return false;
  }
  SetMessage(result, ExportOutcome::kCompleted, "Export completed");
  return true;
}

void ReportExport(const ExportResult& result) {
  switch (result.outcome) {
    case ExportOutcome::kCompleted:
      ShowMessage("Info", "Export completed", false);
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
