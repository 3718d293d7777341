#include "tools/example/tune.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tune {

namespace {

constexpr double kTwoPi = 2 * M_PI;

double Frequency(double pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

double SmoothStep(double from, double to, double x) {
  const double t = std::min(1.0, std::max(0.0, (x - from) / (to - from)));
  return t * t * (3 - 2 * t);
}

int SampleOf(int frame) { return frame * kRate / kFps; }

// A vocal-tract resonance: gain of a harmonic at f near a formant.
double Resonance(double f, double centre, double width) {
  const double d = (f - centre) / width;
  return 1 / (1 + d * d);
}

// The "l" of a syllable opening into "a": formants glide as the mouth opens (0 to 1).
double VowelGain(double f, double open) {
  const double f1 = 360 + (760 - 360) * open;
  const double f2 = 1400 + (1180 - 1400) * open;
  return Resonance(f, f1, 110) + 0.6 * Resonance(f, f2, 140) + 0.25 * Resonance(f, 2600, 220) +
         0.02;
}

void AddVoice(std::vector<double>& out, const Note& note) {
  const int start = SampleOf(note.frame);
  const double seconds = note.length / static_cast<double>(kFps) - 0.025;
  const int count = static_cast<int>(seconds * kRate);
  double phase = 0;
  for (int i = 0; i < count && start + i < static_cast<int>(out.size()); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double vibrato = SmoothStep(0.12, 0.3, t) * 0.25 * std::sin(kTwoPi * 5.5 * t);
    const double scoop = -0.6 * std::exp(-t / 0.04);
    const double f0 = Frequency(note.pitch + vibrato + scoop);
    phase = std::fmod(phase + kTwoPi * f0 / kRate, kTwoPi);
    const double open = SmoothStep(0, 0.07, t);
    const double envelope = SmoothStep(0, 0.03, t) * (1 - SmoothStep(seconds - 0.06, seconds, t));
    double sample = 0;
    for (int k = 1; k * f0 < 5000 && k <= 40; ++k) {
      sample += VowelGain(k * f0, open) / std::pow(k, 0.7) * std::sin(k * phase);
    }
    out[static_cast<size_t>(start + i)] += 0.22 * envelope * sample;
  }
}

// A plucked string (Karplus-Strong) from a fixed-seed noise burst.
void AddPluck(std::vector<double>& out, int frame, int pitch, double gain) {
  const int start = SampleOf(frame);
  const int period = static_cast<int>(std::lround(kRate / Frequency(pitch)));
  std::vector<double> ring(static_cast<size_t>(period));
  uint32_t seed = 12345u + static_cast<uint32_t>(pitch);
  for (double& v : ring) {
    seed = seed * 1664525u + 1013904223u;
    v = (seed >> 8) / static_cast<double>(1u << 24) * 2 - 1;
  }
  for (int i = 0; i < period; ++i) {  // soften the burst
    ring[static_cast<size_t>(i)] = 0.5 * (ring[static_cast<size_t>(i)] +
                                          ring[static_cast<size_t>((i + 1) % period)]);
  }
  for (int i = 0; start + i < static_cast<int>(out.size()); ++i) {
    const size_t at = static_cast<size_t>(i % period);
    out[static_cast<size_t>(start + i)] += gain * ring[at];
    ring[at] = 0.996 * 0.5 * (ring[at] + ring[(at + 1) % static_cast<size_t>(period)]);
  }
}

// A small bell: inharmonic partials that die away at their own rates.
void AddBell(std::vector<double>& out, int frame, int pitch, double gain) {
  static const double kRatio[] = {1.0, 2.0, 2.76, 5.40, 8.93};
  static const double kLevel[] = {1.0, 0.45, 0.55, 0.22, 0.1};
  static const double kDecay[] = {0.9, 0.6, 0.45, 0.25, 0.15};
  const int start = SampleOf(frame);
  const double f = Frequency(pitch);
  for (int i = 0; start + i < static_cast<int>(out.size()); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double sample = 0;
    for (int p = 0; p < 5; ++p) {
      sample += kLevel[p] * std::exp(-t / kDecay[p]) * std::sin(kTwoPi * f * kRatio[p] * t);
    }
    out[static_cast<size_t>(start + i)] += gain * SmoothStep(0, 0.002, t) * sample;
  }
}

}  // namespace

const std::vector<Note>& SungNotes() {
  static const std::vector<Note> notes = {
      {0, 6, 74}, {6, 6, 71}, {12, 6, 74}, {18, 6, 71}, {24, 5, 72}, {29, 5, 69}, {34, 14, 67},
  };
  return notes;
}

std::vector<int16_t> Synthesize() {
  std::vector<double> mix(static_cast<size_t>(SampleOf(kLengthFrames)), 0.0);
  for (const Note& note : SungNotes()) AddVoice(mix, note);
  const int bass[][2] = {{0, 43}, {12, 40}, {24, 45}, {29, 50}, {34, 43}};
  for (const auto& pluck : bass) AddPluck(mix, pluck[0], pluck[1], 0.35);
  const int chime[][2] = {{49, 79}, {51, 83}, {53, 86}, {55, 91}};
  for (const auto& bell : chime) AddBell(mix, bell[0], bell[1], 0.12);

  // Fade out over the last 0.3 s, then scale the peak to 70 % of full range.
  const size_t count = mix.size();
  const size_t fade = static_cast<size_t>(0.3 * kRate);
  for (size_t i = count - fade; i < count; ++i) {
    mix[i] *= 1 - SmoothStep(0, 1, static_cast<double>(i - (count - fade)) / fade);
  }
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<int16_t>(std::lround(mix[i] / peak * 0.7 * 32767));
  }
  return samples;
}

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes;
  auto put = [&bytes](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  auto tag = [&bytes](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  tag("RIFF");
  put(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(kRate, 4);
  put(kRate * 2, 4);
  put(2, 2);
  put(16, 2);
  tag("data");
  put(dataBytes, 4);
  for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);

  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace tune
