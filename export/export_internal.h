// The export's parts below ExportAnimation: the worker threads that encode pictures while the
// next one renders, and the off-screen render target with the OpenGL state around it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "export/export.h"

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
  // the pictures after the first failed index are removed again, so the files on disk are
  // those a picture-by-picture export would have left.
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

// Removes what an unfinished write left at path, but only a regular file: a device or a link
// the user put there is never deleted.
void RemoveUnfinishedFile(const char* path);

// Draws the current frame at fraction (of a frame, from the frame's start) through the camera
// into the bound target, as one sub-frame of an exported picture.
void DrawSubFrame(float fraction);

// Encoder threads for a machine: one per core, at least one, at most eight.
int DefaultEncoderThreads();

// A 640 x 480 framebuffer object with the export's OpenGL state. Begin saves the caller's state
// and makes the target; Suspend and Resume hand the window back for a moment (the progress
// callback draws there); End restores everything and deletes the target.
class ExportTarget {
 public:
  ~ExportTarget();  // End
  // False (nothing changed) when framebuffer objects are missing or incomplete.
  bool Begin();
  void Suspend();
  void Resume();
  void End();
  // Reads the picture as RGB rows, bottom row first, into rgb (640 x 480 x 3 bytes).
  void Read(uint8_t* rgb);

 private:
  void Enter();  // save the caller's state, bind the target, set the export's state
  void Leave();  // the caller's state back
  uint32_t framebuffer_ = 0, colourBuffer_ = 0;
  int32_t callerFramebuffer_ = 0;
  bool entered_ = false;
};
