// The export's parts below ExportAnimation: files written under a temporary name, the worker
// threads that encode pictures while the next one renders, the PNG sequence and WAV output, and
// the off-screen render target with the OpenGL state around it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/export.h"
#include "export/export_output.h"
#include "export/video_file.h"

// A file of the export, written under a temporary name beside it (".NAME.tmp-PID-N") and renamed
// over NAME once complete and synced, so NAME holds either its old content or the whole new one
// whenever the program stops. A name that is a symbolic link replaces the file it points to; a
// device or other special file there is written directly, as it cannot be replaced, and so is a
// file the user may write in a folder where no file can be added.
class ExportFile {
 public:
  ExportFile() = default;
  ~ExportFile();  // Abandon
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // Starts the file for path. False with the errno value in error when there is no way to write
  // it: a directory or a regular file the user may not write is there, or the folder refuses.
  bool Open(const char* path, int* error);
  FILE* stream() const { return file_; }
  // Flushes, syncs, closes and renames into place. False with error set (the temporary file
  // removed, path untouched) when any of that fails.
  bool Commit(int* error);
  // Closes and removes the temporary file; path stays as it was.
  void Abandon();

 private:
  FILE* file_ = nullptr;
  std::string target_, temp_;  // temp_ empty: writing the target directly
};

// Removes temporary files that exports of base (a path with its extension cut) left when their
// process was killed: ".NAME.tmp-PID-N" beside base_frameNNNN.png and base_audio.wav, of a PID
// that no longer runs. Regular files only.
void RemoveStaleExportFiles(const char* base);

// Pictures handed over for writing, each in a buffer of its own. Main thread: AcquireBuffer,
// Submit, Failed, Finish. With no threads Submit writes the picture before it returns, so the
// files come out exactly as with threads, only later.
class PictureWriter {
 public:
  // threads encoder threads (0: write on the caller's thread) for pictures of bufferBytes.
  PictureWriter(int threads, size_t bufferBytes);
  ~PictureWriter();  // Finish
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;

  // A buffer no pending picture uses; waits while every buffer is being written.
  uint8_t* AcquireBuffer();
  // Queues the picture in buffer (from AcquireBuffer) as output index to path.
  void Submit(uint8_t* buffer, int index, const std::string& path, int width, int height);
  // True once some picture could not be written (checked between pictures).
  bool Failed();
  // Waits until every queued picture is written and the threads have ended. When one failed,
  // the pictures this export wrote after the first failed index are removed again, so that the
  // export's pictures on disk run without a gap up to the one that failed.
  void Finish();

  // After Finish: the first failed index (-1 when none), its path and why.
  int failedIndex() const { return failedIndex_; }
  const std::string& failedPath() const { return failedPath_; }
  const std::string& failedWhy() const { return failedWhy_; }

 private:
  struct Job {
    uint8_t* buffer;
    int index;
    std::string path;
    int width, height;
  };
  void Work();
  void Write(const Job& job);

  std::vector<std::vector<uint8_t>> buffers_;
  std::vector<uint8_t*> freeBuffers_;
  std::deque<Job> jobs_;
  std::vector<std::pair<int, std::string>> written_;  // index and path of each file made
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  bool finished_ = false;
  int failedIndex_ = -1;
  std::string failedPath_, failedWhy_;
};

// Removes a file the export made, but only a regular file: a device or a link the user put
// there is never deleted.
void RemoveUnfinishedFile(const char* path);

// The mixed sound as a WAV file of a known length: the header goes first, then the blocks as
// they come. Write errors are remembered, not fatal; Commit says whether all went well.
class WavWriter {
 public:
  // Starts path for sampleFrames frames; a failure is remembered for Commit.
  void Open(const char* path, int32_t sampleFrames);
  void Add(const float* samples, int frames);
  // Puts the file in place; false with why (whySize bytes) when it could not be written.
  bool Commit(char* why, size_t whySize);
  void Abandon() { file_.Abandon(); }

 private:
  ExportFile file_;
  int error_ = 0;  // errno of the first failure
  bool open_ = false;
};

// The PNG sequence and its WAV file: picture index i goes to base_frameNNNN.png with NNNN =
// numberFrom + i, encoded on worker threads; the sound to base_audio.wav when sound is asked
// for. A cancelled or failed export keeps the complete pictures before the first that failed
// and writes no sound file.
class PngSequenceOutput : public ExportOutput {
 public:
  // base: the path with its extension cut; threads as ExportOptions::encoderThreads.
  PngSequenceOutput(const char* base, int numberFrom, int threads, bool writeSound);
  bool Begin(const ExportFormat& format, ExportResult& result) override;
  uint8_t* PictureBuffer() override;
  void AddPicture(int index, uint8_t* buffer) override;
  void AddSound(const float* samples, int frames) override;
  bool Failed() override;
  bool Finish(ExportEnd end, ExportResult& result) override;

 private:
  std::string base_;
  int numberFrom_ = 0, threads_ = 0;
  bool writeSound_ = true;
  ExportFormat format_;
  std::unique_ptr<PictureWriter> writer_;
  WavWriter sound_;
  int submitted_ = 0;
};

// One film of the pictures and their sound (no sound for GIF, or when it is not asked for),
// written at path exactly; a cancelled or failed export removes the unfinished file.
class VideoOutput : public ExportOutput {
 public:
  VideoOutput(const char* path, VideoFormat format, bool sound);
  bool Begin(const ExportFormat& format, ExportResult& result) override;
  uint8_t* PictureBuffer() override;
  void AddPicture(int index, uint8_t* buffer) override;
  void AddSound(const float* samples, int frames) override;
  bool Failed() override;
  bool Finish(ExportEnd end, ExportResult& result) override;

 private:
  std::string path_;
  VideoFormat format_;
  bool sound_;
  VideoFile film_;
  std::vector<uint8_t> buffer_;  // the picture being rendered; the film copies it
  int pictures_ = 0;             // pictures the range holds
  bool failed_ = false;
  char why_[kExportMessageSize / 2] = "";
};

// Sets result's outcome and message (printf format) and logs the message.
void SetExportMessage(ExportResult& result, ExportOutcome outcome, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The name of picture number under base: base_frameNNNN.png (at least four digits).
std::string PictureFileName(const char* base, int number);
// The sound file's name under base: base_audio.wav.
std::string SoundFileName(const char* base);

// Draws the current frame at fraction (of a frame, from the frame's start) through the camera
// into the bound target, as one sub-frame of an exported picture.
void DrawSubFrame(float fraction);

// Encoder threads for a machine: one per core, at least one, at most eight.
int DefaultEncoderThreads();

// A framebuffer object of the picture's size with the export's OpenGL state: the camera's
// 640 x 480 scene units fill it, whatever its size. Begin saves the caller's state and makes the
// target; Suspend and Resume hand the window back for a moment (the progress callback draws
// there); End restores everything and deletes the target.
class ExportTarget {
 public:
  ~ExportTarget();  // End
  // False (nothing changed) when framebuffer objects are missing, cannot be that large or are
  // incomplete.
  bool Begin(int width, int height);
  void Suspend();
  void Resume();
  void End();
  // Reads the picture as RGB rows into rgb (width x height x 3 bytes), the framebuffer's bottom
  // row first: the picture's top row, since scene y runs downwards in pictures.
  void Read(uint8_t* rgb);

 private:
  void Enter();  // save the caller's state, bind the target, set the export's state
  void Leave();  // the caller's state back
  uint32_t framebuffer_ = 0, colourBuffer_ = 0;
  int32_t callerFramebuffer_ = 0;
  int32_t width_ = 0, height_ = 0;
  bool entered_ = false;
};
