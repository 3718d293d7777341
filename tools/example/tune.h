// The bundled example's sound: a short sung "la la la" over plucked bass notes, ending in a
// chime, synthesised sample by sample (the same bytes on every run) and written as a 16-bit mono
// 44100 Hz WAV file. The sung notes are public so the example can move the puppet's mouth in
// time with them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tune {

constexpr int kRate = 44100;
constexpr int kFps = 30;          // frames below count at this rate from the sound's start
constexpr int kLengthFrames = 75; // the sound lasts 2.5 s

// One sung syllable: start frame and length in frames, pitch as a MIDI note number.
struct Note {
  int frame;
  int length;
  int pitch;
};
const std::vector<Note>& SungNotes();

// The whole sound, mono, kLengthFrames * kRate / kFps samples.
std::vector<int16_t> Synthesize();
// A canonical 44-byte-header PCM WAV file; false when it cannot be written.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples);

}  // namespace tune
