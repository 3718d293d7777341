#include "platform/stopwatch.h"

#include "platform/platform.h"

Stopwatch stopwatch;

void Stopwatch::Start() { Start(PerformanceCounter, PerformanceFrequency()); }

void Stopwatch::Start(CounterSource source, uint64_t countsPerSecond) {
  counter = source;
  frequency = countsPerSecond;
  start = (frequency != 0 && counter != nullptr) ? counter() : 0;
  for (float& slot : slots) slot = 0;
}

double Stopwatch::Elapsed() const {
  if (frequency == 0 || counter == nullptr) return 0.0;
  return static_cast<double>(counter() - start) / static_cast<double>(frequency);
}

void Stopwatch::Mark(int slot) {
  if (slot < 0 || slot >= 20) return;
  slots[slot] = static_cast<float>(Elapsed());
}
