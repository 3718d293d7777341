#include "app/stopwatch.h"

#include "app/platform.h"

Stopwatch stopwatch;

void Stopwatch::Start() {
  frequency = PerformanceFrequency();
  start = frequency != 0 ? PerformanceCounter() : 0;
}

double Stopwatch::Elapsed() const {
  if (frequency == 0) return 0.0;
  return static_cast<double>(PerformanceCounter() - start) / static_cast<double>(frequency);
}

void Stopwatch::Mark(int slot) {
  if (slot < 0 || slot >= 20) return;
  slots[slot] = static_cast<float>(Elapsed());
}
