// The stopwatch that the playback clock reads: seconds since start-up from the performance
// counter, kept in 20 slots. Tests give it a counter of their own.
#pragma once

#include <cstdint>

using CounterSource = uint64_t (*)();

struct Stopwatch {
  float slots[20] = {};
  uint64_t start = 0;      // counter value at start-up
  uint64_t frequency = 0;  // counts per second; 0 when there is no counter
  CounterSource counter = nullptr;  // the performance counter unless a test set another

  // Starts from the window layer's performance counter.
  void Start();
  // Starts from another counter (tests drive playback without real time).
  void Start(CounterSource source, uint64_t countsPerSecond);
  // Seconds since the start, from the counter read now; 0 without a counter.
  double Elapsed() const;
  // slots[slot] = Elapsed().
  void Mark(int slot);
};

extern Stopwatch stopwatch;
