// The FFmpeg side of a film, below VideoFile: the muxer, the encoders and the converters of one
// film, and the GIF palette pass. One thread at a time: VideoFile opens them on the caller's
// thread, feeds them on its encoder thread and finishes them on the caller's thread again.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "export/video_file.h"

// Where a GIF film's pictures wait for the palette: each picture compressed in an unnamed
// temporary file, so memory stays at one picture however long the film.
struct PictureSpool {
  int fd = -1;
  int64_t end = 0;                                 // bytes written
  std::vector<std::pair<int64_t, int64_t>> parts;  // offset and size of each picture
  std::vector<uint8_t> packed;                     // one compressed picture
};

// The histogram that makes the film's palette (libavfilter's palettegen), fed every picture.
struct GifPalette {
  AVFilterGraph* graph = nullptr;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  AVFrame* frame = nullptr;      // an RGB picture handed to a graph
  AVBufferPool* pool = nullptr;  // the buffers of those pictures
};

struct VideoStreams {
  VideoFileSettings settings;
  std::string path;                  // the film's final path, for messages
  AVFormatContext* muxer = nullptr;  // its pb is the open temporary file
  AVPacket* packet = nullptr;

  // Pictures
  AVCodecContext* video = nullptr;
  AVStream* videoStream = nullptr;
  SwsContext* scaler = nullptr;  // RGB to the encoder's YUV (MP4, WebM)
  AVFrame* videoFrame = nullptr;
  int64_t picturesGiven = 0;

  // Sound (MP4 and WebM with sound on)
  AVCodecContext* sound = nullptr;
  AVStream* soundStream = nullptr;
  SwrContext* resampler = nullptr;   // 44100 Hz interleaved floats to the encoder's rate and layout
  AVAudioFifo* soundFifo = nullptr;  // converted samples waiting for a whole encoder frame
  AVFrame* soundFrame = nullptr;     // one encoder frame
  AVFrame* convertedSound = nullptr;  // the resampler's output for one chunk
  int soundFrameSize = 0;             // samples of a whole encoder frame
  int64_t soundFramesGiven = 0;       // at 44100 Hz
  int64_t soundSamplesEncoded = 0;    // at the encoder's rate: the next sound frame's time

  // GIF
  GifPalette palette;
  PictureSpool spool;
};

// Sets why (when given) to the formatted text.
void SetVideoWhy(char* why, size_t whySize, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// FFmpeg's text for an error code.
const char* AvErrorText(int error, char* text, size_t size);

// The encoder or filter of that FFmpeg name, null when missing (or hidden by the test hook).
const AVCodec* FindVideoEncoder(const char* name);
const AVFilter* FindVideoFilter(const char* name);

// Makes the muxer, streams and encoders for settings, writing to the already created file at
// tempPath (reported as path), and writes the file header. False with why; FreeVideoStreams
// cleans up either way.
bool OpenVideoStreams(VideoStreams& s, const VideoFileSettings& settings, const char* tempPath,
                      const char* path, char* why, size_t whySize);
// Encodes (GIF: counts and spools) one picture of the settings' size, RGB rows top first.
bool EncodeVideoPicture(VideoStreams& s, const uint8_t* rgb, char* why, size_t whySize);
// Encodes frames stereo frames of 44100 Hz interleaved floats, already clipped to -1..1.
bool EncodeVideoSound(VideoStreams& s, const float* interleaved, int frames, char* why,
                      size_t whySize);
// Pads the sound to the pictures' length, flushes every encoder, writes the trailer and closes
// the file. For GIF first makes the palette and encodes every spooled picture with it.
bool FinishVideoStreams(VideoStreams& s, char* why, size_t whySize);
// Closes the file (when still open) and frees everything; s is empty afterwards.
void FreeVideoStreams(VideoStreams& s);

// Hands a finished packet of encoder to the muxer (timestamps rescaled). False with why.
bool WriteVideoPacket(VideoStreams& s, AVCodecContext* encoder, AVStream* stream, char* why,
                      size_t whySize);
// Sends frame (null: the end) to encoder and writes every packet it gives back.
bool EncodeVideoFrame(VideoStreams& s, AVCodecContext* encoder, AVStream* stream,
                      const AVFrame* frame, const char* what, char* why, size_t whySize);

// GIF: the palette histogram and the spool, made in OpenVideoStreams.
bool OpenGifPalette(VideoStreams& s, const char* folder, char* why, size_t whySize);
bool AddGifPicture(VideoStreams& s, const uint8_t* rgb, char* why, size_t whySize);
// Makes the palette and encodes every spooled picture with it.
bool EncodeGifPictures(VideoStreams& s, char* why, size_t whySize);
void FreeGifPalette(VideoStreams& s);
