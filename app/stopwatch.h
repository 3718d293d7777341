// The stopwatch that the playback clock reads: seconds since start-up from the performance
// counter, kept in 20 slots.
#pragma once

#include <cstdint>

struct Stopwatch {
  float slots[20] = {};
  uint64_t start = 0;      // counter value at start-up
  uint64_t frequency = 0;  // counts per second; 0 when there is no counter

  void Start();
  // Seconds since Start(), from the counter read now; 0 without a counter.
  double Elapsed() const;
  // slots[slot] = Elapsed().
  void Mark(int slot);
};

extern Stopwatch stopwatch;
