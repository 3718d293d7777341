// Memory running out, on demand: while a RefuseLargeAllocations lives, the test program's
// operator new (audio_mixer_test.cpp) throws std::bad_alloc for every request larger than its
// limit, as a machine without that much memory left would. Small requests are served, so the
// test's own bookkeeping (and any other thread's) goes on.
#pragma once

#include <atomic>
#include <cstddef>

namespace testalloc {

extern std::atomic<size_t> refuseAbove;  // 0: every request is served

class RefuseLargeAllocations {
 public:
  explicit RefuseLargeAllocations(size_t limit) { refuseAbove = limit; }
  ~RefuseLargeAllocations() { refuseAbove = 0; }
  RefuseLargeAllocations(const RefuseLargeAllocations&) = delete;
  RefuseLargeAllocations& operator=(const RefuseLargeAllocations&) = delete;
};

}  // namespace testalloc
