// Memory running out, on demand: while a RefuseLargeAllocations lives, the test program's
// operator new (audio_mixer_test.cpp) throws std::bad_alloc on that thread for every request
// larger than its limit, as a machine without that much memory left would.
#pragma once

#include <cstddef>

namespace testalloc {

extern thread_local size_t refuseAbove;  // 0: every request is served

class RefuseLargeAllocations {
 public:
  explicit RefuseLargeAllocations(size_t limit) { refuseAbove = limit; }
  ~RefuseLargeAllocations() { refuseAbove = 0; }
  RefuseLargeAllocations(const RefuseLargeAllocations&) = delete;
  RefuseLargeAllocations& operator=(const RefuseLargeAllocations&) = delete;
};

}  // namespace testalloc
