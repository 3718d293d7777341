// PNG compression costs more than rendering a picture, so pictures are written by worker
// threads while the main thread renders the next. Each picture owns its buffer until it is
// written; the buffers are made once per export.
#include <algorithm>
#include <cstdio>

#include "export/export_internal.h"

int DefaultEncoderThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, 8);
}

PictureWriter::PictureWriter(int threads, size_t bufferBytes) {
  threads = std::clamp(threads, 0, 64);
  // One buffer being rendered into while each thread writes one and one waits for a thread.
  const int bufferCount = threads == 0 ? 1 : threads + 2;
  buffers_.resize(static_cast<size_t>(bufferCount));
  for (std::vector<uint8_t>& buffer : buffers_) {
    buffer.resize(bufferBytes);
    freeBuffers_.push_back(buffer.data());
  }
  for (int i = 0; i < threads; ++i) threads_.emplace_back(&PictureWriter::Work, this);
}

PictureWriter::~PictureWriter() { Finish(); }

uint8_t* PictureWriter::AcquireBuffer() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !freeBuffers_.empty(); });
  uint8_t* buffer = freeBuffers_.back();
  freeBuffers_.pop_back();
  return buffer;
}

void PictureWriter::Submit(uint8_t* buffer, int index, const std::string& path, int width,
                           int height) {
  Job job{buffer, index, path, width, height};
  if (threads_.empty()) {
    Write(job);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

bool PictureWriter::Failed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failedIndex_ >= 0;
}

void PictureWriter::Work() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Write(job);
  }
}

void PictureWriter::Write(const Job& job) {
  {
    // A picture after one that failed would be removed again: skip it.
    std::lock_guard<std::mutex> lock(mutex_);
    if (failedIndex_ >= 0 && job.index > failedIndex_) {
      freeBuffers_.push_back(job.buffer);
      changed_.notify_all();
      return;
    }
  }
  char why[256] = "";
  const bool ok = WritePng(job.path.c_str(), job.buffer, job.width, job.height, why, sizeof why);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok) {
      written_.emplace_back(job.index, job.path);
    } else if (failedIndex_ < 0 || job.index < failedIndex_) {
      failedIndex_ = job.index;
      failedPath_ = job.path;
      failedWhy_ = why;
    }
    freeBuffers_.push_back(job.buffer);
  }
  changed_.notify_all();
}

void PictureWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  if (failedIndex_ < 0) return;
  for (const auto& [index, path] : written_) {
    if (index > failedIndex_) RemoveUnfinishedFile(path.c_str());
  }
}
