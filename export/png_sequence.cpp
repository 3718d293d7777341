// The PNG sequence and WAV output: the export's files as the editor has always written them,
// each one under a temporary name until it is whole.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "export/export_internal.h"

std::string PictureFileName(const char* base, int number) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_frame%.4i.png", number);
  return std::string(base) + suffix;
}

std::string SoundFileName(const char* base) { return std::string(base) + "_audio.wav"; }

void WavWriter::Open(const char* path, int32_t sampleFrames) {
  error_ = 0;
  open_ = file_.Open(path, &error_);
  if (!open_) return;
  uint8_t header[kWavHeaderBytes];
  MakeWavHeader(header, sampleFrames);
  errno = 0;
  if (std::fwrite(header, 1, sizeof header, file_.stream()) != sizeof header) {
    error_ = errno != 0 ? errno : EIO;
  }
}

void WavWriter::Add(const float* samples, int frames) {
  if (!open_ || error_ != 0) return;
  uint8_t bytes[4 * kSoundBlockFrames];
  while (frames > 0) {
    const int count = std::min(frames, kSoundBlockFrames);
    for (int i = 0; i < 2 * count; ++i) {
      const uint16_t bits = static_cast<uint16_t>(SampleToPcm16(samples[i]));
      bytes[2 * i] = static_cast<uint8_t>(bits & 0xff);
      bytes[2 * i + 1] = static_cast<uint8_t>(bits >> 8);
    }
    const size_t size = static_cast<size_t>(4 * count);
    errno = 0;
    if (std::fwrite(bytes, 1, size, file_.stream()) != size) {
      error_ = errno != 0 ? errno : EIO;
      return;
    }
    samples += 2 * count;
    frames -= count;
  }
}

bool WavWriter::Commit(char* why, size_t whySize) {
  if (open_ && error_ == 0) file_.Commit(&error_);
  if (error_ == 0) return true;
  file_.Abandon();
  std::snprintf(why, whySize, "%s", std::strerror(error_));
  return false;
}

PngSequenceOutput::PngSequenceOutput(const char* base, int numberFrom, int threads,
                                     bool writeSound)
    : base_(base), numberFrom_(numberFrom), threads_(threads), writeSound_(writeSound) {}

bool PngSequenceOutput::Begin(const ExportFormat& format, ExportResult&) {
  format_ = format;
  RemoveStaleExportFiles(base_.c_str());
  writer_ = std::make_unique<PictureWriter>(
      threads_, static_cast<size_t>(format.width) * static_cast<size_t>(format.height) * 3);
  if (writeSound_) sound_.Open(SoundFileName(base_.c_str()).c_str(), format.soundFrames);
  return true;
}

uint8_t* PngSequenceOutput::PictureBuffer() { return writer_->AcquireBuffer(); }

void PngSequenceOutput::AddPicture(int index, uint8_t* buffer) {
  writer_->Submit(buffer, index, PictureFileName(base_.c_str(), numberFrom_ + index),
                  format_.width, format_.height);
  submitted_ = index + 1;
}

void PngSequenceOutput::AddSound(const float* samples, int frames) {
  if (writeSound_) sound_.Add(samples, frames);
}

bool PngSequenceOutput::Failed() { return writer_->Failed(); }

bool PngSequenceOutput::Finish(ExportEnd end, ExportResult& result) {
  writer_->Finish();
  const char* ending = writeSound_ ? "; the sound file was not written." : ".";
  if (writer_->failedIndex() >= 0) {
    sound_.Abandon();
    result.framesWritten = writer_->failedIndex();
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: couldn't write %s (%s). %d of %d frames were written%s",
                     writer_->failedPath().c_str(), writer_->failedWhy().c_str(),
                     result.framesWritten, format_.pictures, ending);
    return false;
  }
  result.framesWritten = submitted_;
  if (end != ExportEnd::kComplete) {
    sound_.Abandon();
    SetExportMessage(result, ExportOutcome::kCancelled,
                     "Export cancelled after %d of %d frames. The frames written so far were "
                     "kept%s",
                     submitted_, format_.pictures, ending);
    return false;
  }
  char why[256] = "";
  if (writeSound_ && !sound_.Commit(why, sizeof why)) {
    SetExportMessage(result, ExportOutcome::kFailed,
                     "Export failed: couldn't write the sound file %s (%s). All %d frames were "
                     "written.",
                     SoundFileName(base_.c_str()).c_str(), why, format_.pictures);
    return false;
  }
  SetExportMessage(result, ExportOutcome::kCompleted, "Export completed");
  return true;
}
