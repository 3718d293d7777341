// The video output: the export's pictures and sound as one film (export/video_file.h), which
// appears at its path only when the whole range went into it.
#include <cctype>
#include <cstring>

#include "export/export_internal.h"

namespace {

bool EndsWithIgnoringCase(const char* text, const char* ending) {
  const size_t length = std::strlen(text), size = std::strlen(ending);
  if (length < size) return false;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[length - size + i]);
    if (std::tolower(c) != ending[i]) return false;
  }
  return true;
}

}  // namespace

ExportFileFormat ExportFormatOfPath(const char* path) {
  if (path == nullptr) return ExportFileFormat::kPng;
  if (EndsWithIgnoringCase(path, ".mp4")) return ExportFileFormat::kMp4;
  if (EndsWithIgnoringCase(path, ".webm")) return ExportFileFormat::kWebm;
  if (EndsWithIgnoringCase(path, ".gif")) return ExportFileFormat::kGif;
  return ExportFileFormat::kPng;
}

bool ParseExportFormat(const char* name, ExportFileFormat* format) {
  const struct {
    const char* name;
    ExportFileFormat format;
  } kNames[] = {{"png", ExportFileFormat::kPng},
                {"mp4", ExportFileFormat::kMp4},
                {"webm", ExportFileFormat::kWebm},
                {"gif", ExportFileFormat::kGif}};
  for (const auto& entry : kNames) {
    if (name != nullptr && std::strcmp(name, entry.name) == 0) {
      *format = entry.format;
      return true;
    }
  }
  return false;
}

const char* ExportFormatExtension(ExportFileFormat format) {
  switch (format) {
    case ExportFileFormat::kMp4: return ".mp4";
    case ExportFileFormat::kWebm: return ".webm";
    case ExportFileFormat::kGif: return ".gif";
    default: return ".png";
  }
}

VideoOutput::VideoOutput(const char* path, VideoFormat format, bool sound)
    : path_(path), format_(format), sound_(sound && format != VideoFormat::kGif) {}

bool VideoOutput::Begin(const ExportFormat& format, ExportResult& result) {
  pictures_ = format.pictures;
  VideoFileSettings settings;
  settings.format = format_;
  settings.width = format.width;
  settings.height = format.height;
  settings.fps = format.fps;
  settings.sound = sound_;
  if (!film_.Open(path_.c_str(), settings, why_, sizeof why_)) {
    SetExportMessage(result, ExportOutcome::kFailed, "Export failed: couldn't make the %s %s (%s).",
                     VideoFormatName(format_), path_.c_str(), why_);
    return false;
  }
  buffer_.resize(static_cast<size_t>(format.width) * static_cast<size_t>(format.height) * 3);
  return true;
}

uint8_t* VideoOutput::PictureBuffer() { return buffer_.data(); }

void VideoOutput::AddPicture(int, uint8_t* buffer) {
  if (!failed_) failed_ = !film_.AddPicture(buffer, why_, sizeof why_);
}

void VideoOutput::AddSound(const float* samples, int frames) {
  if (sound_ && !failed_) failed_ = !film_.AddSound(samples, frames, why_, sizeof why_);
}

bool VideoOutput::Failed() { return failed_; }

bool VideoOutput::Finish(ExportEnd end, ExportResult& result) {
  result.framesWritten = 0;
  if (!failed_ && end == ExportEnd::kComplete) {
    if (film_.Finish(why_, sizeof why_)) {
      result.framesWritten = pictures_;
      SetExportMessage(result, ExportOutcome::kCompleted, "Export completed");
      return true;
    }
    failed_ = true;
  }
  const int64_t given = film_.pictures();
  film_.Abandon();
  if (failed_) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: couldn't write the %s %s (%s). The unfinished file was "
                     "removed.",
                     VideoFormatName(format_), path_.c_str(), why_);
  } else {
    SetExportMessage(result, ExportOutcome::kCancelled,
                     "Export cancelled after %lld of %d frames. The unfinished %s was removed.",
                     static_cast<long long>(given), pictures_, VideoFormatName(format_));
  }
  return false;
}
