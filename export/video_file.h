// Films: a video file written from exported pictures and their mixed sound, with FFmpeg's
// libraries (libavformat, libavcodec, libswscale, libswresample, libavfilter for the GIF
// palette). Pictures and sound are encoded on a thread of the file's own while the caller
// renders the next picture. Builds on the platform's file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr int kMaxVideoSide = 4096;     // widest and tallest picture a film takes
constexpr int kVideoSoundRate = 44100;  // rate of the sound given to AddSound (stereo floats)
constexpr int kMaxMp4Fps = 44100;       // as fast as a project runs
constexpr int kMaxWebmFps = 1000;       // WebM counts time in milliseconds
// GIF counts a picture's time in hundredths of a second (at 30 fps the pictures last 3 or 4
// of them, in turn), and players show anything shorter than two of them as a tenth of a second.
constexpr int kMaxGifFps = 50;

enum class VideoFormat {
  kMp4,   // H.264 (yuv420p) with AAC sound, 44100 Hz stereo
  kWebm,  // VP9 (yuv420p) with Opus sound, 48000 Hz stereo
  kGif,   // animated GIF, one 256-colour palette for the whole film, no sound
};

// The format a path's extension names (.mp4, .webm, .gif in any letter case); false otherwise.
bool VideoFormatOfPath(const char* path, VideoFormat* format);
// "MP4 video", "WebM video" or "GIF animation", for messages.
const char* VideoFormatName(VideoFormat format);

struct VideoFileSettings {
  VideoFormat format = VideoFormat::kMp4;
  int width = 640, height = 480;  // pixels of every picture; even for MP4 and WebM
  int fps = 30;                   // pictures per second
  bool sound = true;              // ignored for GIF
};

struct VideoFileState;

// One film being written. The file appears at its path only when Finish succeeds: until then
// it is written under a hidden temporary name in the same folder (".NAME.tmp-PID-N", a file
// already at the path is kept until then), and Abandon, a failed Finish or the destructor
// removes it again; one that a killed process left is removed when that film is made again.
//
// Pictures and sound may arrive in any order: interleaved (a picture, then the sound up to the
// next picture) keeps memory to a few pictures; all the pictures first makes the encoded
// pictures wait in memory for the sound (compressed: for cut-out animation about 0.1 MB a
// second of film at 640 x 480, 0.3 MB at 1920 x 1440). Sound shorter than the pictures is made
// up with silence to the end of the last picture; sound beyond it is kept.
class VideoFile {
 public:
  VideoFile();
  ~VideoFile();  // abandons a file that was not finished
  VideoFile(const VideoFile&) = delete;
  VideoFile& operator=(const VideoFile&) = delete;

  // Starts the film at path: checks the settings against the format, finds the encoders and
  // creates the temporary file. False with why (the format named) when any of that fails;
  // nothing is left on disk then.
  bool Open(const char* path, const VideoFileSettings& settings, char* why, size_t whySize);
  // The next picture: height rows of width x 3 RGB bytes, top row first. Copied before it
  // returns (waiting while the encoder is a few pictures behind). False when no film is open
  // or the encoding or writing has failed (why says how; the caller then abandons the film).
  // A write failure shows here within a few seconds of film (WebM writes 5 s at a time).
  bool AddPicture(const uint8_t* rgb, char* why, size_t whySize);
  // More sound: frames stereo frames of interleaved floats (-1..1) at 44100 Hz; sample 0 is the
  // first picture's presentation time. Values outside -1..1 are clipped. False as AddPicture.
  bool AddSound(const float* interleaved, int frames, char* why, size_t whySize);
  // Flushes the encoders, writes the trailer, renames the file into place. For GIF this is
  // when the pictures are encoded with the film's palette, so it takes a while. False with
  // why when anything fails; the partial file is removed then.
  bool Finish(char* why, size_t whySize);
  // Stops and removes the partial file. Does nothing when no film is open.
  void Abandon();

  // Pictures given so far.
  int64_t pictures() const;

 private:
  std::unique_ptr<VideoFileState> state_;
};

// Called with an encoder's or filter's FFmpeg name ("libx264", "palettegen") before it is looked
// up; returning false makes it count as missing. For tests of a system without it. Null: none.
using VideoEncoderHook = bool (*)(const char* name);
void SetVideoEncoderHook(VideoEncoderHook hook);
