// Films read back for tests: a video file decoded whole with libavformat and libavcodec into
// RGB pictures with their presentation times and interleaved stereo sound, as a player would
// present them (encoder delays dropped), and the measures the tests compare with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DecodedFilm {
  std::string videoCodec, soundCodec;  // FFmpeg's names ("h264", "aac"); empty when absent
  int width = 0, height = 0;
  double frameRate = 0;                        // the video stream's average frame rate
  double duration = 0;                         // the file's duration in seconds
  std::vector<double> pictureTimes;            // seconds
  std::vector<std::vector<uint8_t>> pictures;  // RGB rows top first
  int soundRate = 0, soundChannels = 0;
  double soundStart = 0;     // presentation time of the first sound frame, seconds
  std::vector<float> sound;  // stereo frames, interleaved, from soundStart on
};

// Decodes the file at path; false with why when it cannot be opened or decoded.
bool DecodeFilm(const std::string& path, DecodedFilm* film, std::string* why);

// Peak signal-to-noise ratio of b against a, in dB (99 when equal).
double PictureSnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// The time (seconds) at which the left or right channel first reaches threshold in magnitude,
// looking from time from on; -1 when it never does.
double SoundOnset(const DecodedFilm& film, double from, float threshold);
