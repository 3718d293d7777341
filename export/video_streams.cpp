// MP4 and WebM films: the muxer, the picture encoder fed YUV 4:2:0 made by libswscale, and the
// sound encoder fed whole frames made by libswresample. Every sound frame's time counts the
// samples encoded before it from 0, the first picture's time; the encoders' own delay (AAC's
// priming, Opus' pre-skip) goes into the file as negative first timestamps, which the muxers
// turn into an edit list (MP4) or a codec delay (WebM), so decoders drop it again.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include "export/video_streams.h"
#include "platform/log.h"

namespace {

VideoEncoderHook encoderHook = nullptr;

constexpr int kSoundChunkFrames = 2048;  // 44100 Hz frames converted at a time

// What each format is made of, and how messages name it.
struct FormatParts {
  const char* muxer;
  const char* videoEncoder;
  const char* videoEncoderName;
  const char* soundEncoder;  // null: no sound
  const char* soundEncoderName;
  int soundRate;
};

FormatParts PartsOf(VideoFormat format) {
  switch (format) {
    case VideoFormat::kMp4:
      return {"mp4", "libx264", "H.264 encoder", "aac", "AAC encoder", 44100};
    case VideoFormat::kWebm:
      return {"webm", "libvpx-vp9", "VP9 encoder", "libopus", "Opus encoder", 48000};
    case VideoFormat::kGif:
      break;
  }
  return {"gif", "gif", "GIF encoder", nullptr, nullptr, 0};
}

bool Missing(const char* what, const char* name, VideoFormat format, char* why, size_t whySize) {
  SetVideoWhy(why, whySize, "This system's FFmpeg has no %s (%s) for %s", what, name,
              VideoFormatName(format));
  return false;
}

// The encoder's picture settings: quality first, at a speed that keeps up with rendering.
void SetPictureOptions(VideoFormat format, AVDictionary** options, AVCodecContext* c) {
  if (format == VideoFormat::kMp4) {
    av_dict_set(options, "preset", "veryfast", 0);
    av_dict_set(options, "tune", "animation", 0);
    av_dict_set(options, "crf", "18", 0);
  } else if (format == VideoFormat::kWebm) {
    // Constant quality (no bit rate), the fast "good" speed, rows of tiles in parallel.
    c->bit_rate = 0;
    av_dict_set(options, "crf", "30", 0);
    av_dict_set(options, "deadline", "realtime", 0);
    av_dict_set(options, "cpu-used", "6", 0);
    av_dict_set(options, "row-mt", "1", 0);
    c->thread_count = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 8);
  }
}

bool OpenPictureEncoder(VideoStreams& s, const AVCodec* codec, const FormatParts& parts, char* why,
                        size_t whySize) {
  const VideoFileSettings& settings = s.settings;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  s.video = c;
  if (c == nullptr) {
    SetVideoWhy(why, whySize, "Out of memory for the %s", parts.videoEncoderName);
    return false;
  }
  c->width = settings.width;
  c->height = settings.height;
  c->time_base = AVRational{1, settings.fps};
  c->framerate = AVRational{settings.fps, 1};
  c->sample_aspect_ratio = AVRational{1, 1};
  if (settings.format == VideoFormat::kGif) {
    c->pix_fmt = AV_PIX_FMT_PAL8;
  } else {
    // Tagged BT.709 at every size, so players do not guess BT.601 for the small pictures.
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->color_range = AVCOL_RANGE_MPEG;
    c->colorspace = AVCOL_SPC_BT709;
    c->color_primaries = AVCOL_PRI_BT709;
    c->color_trc = AVCOL_TRC_BT709;
  }
  if (s.muxer->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  SetPictureOptions(settings.format, &options, c);
  const int opened = avcodec_open2(c, codec, &options);
  av_dict_free(&options);
  char text[AV_ERROR_MAX_STRING_SIZE];
  if (opened < 0) {
    SetVideoWhy(why, whySize, "The %s refuses %d x %d pictures at %d fps for %s: %s",
                parts.videoEncoderName, settings.width, settings.height, settings.fps,
                VideoFormatName(settings.format), AvErrorText(opened, text, sizeof text));
    return false;
  }
  s.videoStream = avformat_new_stream(s.muxer, nullptr);
  if (s.videoStream == nullptr || avcodec_parameters_from_context(s.videoStream->codecpar, c) < 0) {
    SetVideoWhy(why, whySize, "Out of memory for the %s", parts.videoEncoderName);
    return false;
  }
  s.videoStream->time_base = c->time_base;
  s.videoStream->avg_frame_rate = c->framerate;
  s.videoStream->r_frame_rate = c->framerate;
  if (settings.format == VideoFormat::kGif) return true;

  s.videoFrame = av_frame_alloc();
  s.scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_RGB24, settings.width,
                            settings.height, AV_PIX_FMT_YUV420P,
                            SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr,
                            nullptr);
  if (s.videoFrame == nullptr || s.scaler == nullptr) {
    SetVideoWhy(why, whySize, "Out of memory for %d x %d pictures", settings.width,
                settings.height);
    return false;
  }
  sws_setColorspaceDetails(s.scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                           sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
  s.videoFrame->format = c->pix_fmt;
  s.videoFrame->width = c->width;
  s.videoFrame->height = c->height;
  s.videoFrame->color_range = c->color_range;
  s.videoFrame->colorspace = c->colorspace;
  s.videoFrame->color_primaries = c->color_primaries;
  s.videoFrame->color_trc = c->color_trc;
  if (av_frame_get_buffer(s.videoFrame, 0) < 0) {
    SetVideoWhy(why, whySize, "Out of memory for %d x %d pictures", settings.width,
                settings.height);
    return false;
  }
  return true;
}

// Planar or interleaved floats when the encoder takes them, else its first format.
AVSampleFormat SoundFormatFor(const AVCodec* codec) {
  if (codec->sample_fmts == nullptr) return AV_SAMPLE_FMT_FLTP;
  for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f) {
    if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_FLT) return *f;
  }
  return codec->sample_fmts[0];
}

bool OpenSoundEncoder(VideoStreams& s, const AVCodec* codec, const FormatParts& parts, char* why,
                      size_t whySize) {
  AVCodecContext* c = avcodec_alloc_context3(codec);
  s.sound = c;
  if (c == nullptr) {
    SetVideoWhy(why, whySize, "Out of memory for the %s", parts.soundEncoderName);
    return false;
  }
  c->sample_fmt = SoundFormatFor(codec);
  c->sample_rate = parts.soundRate;
  av_channel_layout_default(&c->ch_layout, 2);
  c->bit_rate = s.settings.format == VideoFormat::kMp4 ? 192000 : 128000;
  c->time_base = AVRational{1, parts.soundRate};
  if (s.muxer->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int opened = avcodec_open2(c, codec, nullptr);
  char text[AV_ERROR_MAX_STRING_SIZE];
  if (opened < 0) {
    SetVideoWhy(why, whySize, "The %s refuses %d Hz stereo sound for %s: %s",
                parts.soundEncoderName, parts.soundRate, VideoFormatName(s.settings.format),
                AvErrorText(opened, text, sizeof text));
    return false;
  }
  s.soundStream = avformat_new_stream(s.muxer, nullptr);
  if (s.soundStream == nullptr || avcodec_parameters_from_context(s.soundStream->codecpar, c) < 0) {
    SetVideoWhy(why, whySize, "Out of memory for the %s", parts.soundEncoderName);
    return false;
  }
  s.soundStream->time_base = c->time_base;

  AVChannelLayout stereo;
  av_channel_layout_default(&stereo, 2);
  const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
  s.soundFrameSize = frameSize;
  s.soundFifo = av_audio_fifo_alloc(c->sample_fmt, 2, frameSize * 4);
  s.soundFrame = av_frame_alloc();
  s.convertedSound = av_frame_alloc();
  if (swr_alloc_set_opts2(&s.resampler, &c->ch_layout, c->sample_fmt, c->sample_rate, &stereo,
                          AV_SAMPLE_FMT_FLT, kVideoSoundRate, 0, nullptr) < 0 ||
      swr_init(s.resampler) < 0 || s.soundFifo == nullptr || s.soundFrame == nullptr ||
      s.convertedSound == nullptr) {
    SetVideoWhy(why, whySize, "Cannot convert the sound to %d Hz for the %s", parts.soundRate,
                parts.soundEncoderName);
    return false;
  }
  s.soundFrame->format = c->sample_fmt;
  s.soundFrame->sample_rate = c->sample_rate;
  s.soundFrame->nb_samples = frameSize;
  av_channel_layout_copy(&s.soundFrame->ch_layout, &c->ch_layout);
  s.convertedSound->format = c->sample_fmt;
  s.convertedSound->sample_rate = c->sample_rate;
  s.convertedSound->nb_samples = swr_get_out_samples(s.resampler, kSoundChunkFrames) + 64;
  av_channel_layout_copy(&s.convertedSound->ch_layout, &c->ch_layout);
  if (av_frame_get_buffer(s.soundFrame, 0) < 0 || av_frame_get_buffer(s.convertedSound, 0) < 0) {
    SetVideoWhy(why, whySize, "Out of memory for the sound");
    return false;
  }
  return true;
}

// Encodes whole frames from the FIFO; at the end also the rest, as a shorter last frame (or
// padded with silence when the encoder takes only whole frames).
bool EncodeQueuedSound(VideoStreams& s, bool end, char* why, size_t whySize) {
  AVCodecContext* c = s.sound;
  const int whole = s.soundFrameSize;
  const bool shortLast = (c->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
  while (av_audio_fifo_size(s.soundFifo) >= whole || (end && av_audio_fifo_size(s.soundFifo) > 0)) {
    const int count = std::min(av_audio_fifo_size(s.soundFifo), whole);
    s.soundFrame->nb_samples = whole;
    if (av_frame_make_writable(s.soundFrame) < 0) {
      SetVideoWhy(why, whySize, "Out of memory for the sound");
      return false;
    }
    if (av_audio_fifo_read(s.soundFifo, reinterpret_cast<void**>(s.soundFrame->data), count) !=
        count) {
      SetVideoWhy(why, whySize, "The sound could not be queued for its encoder");
      return false;
    }
    if (count < whole) {
      if (shortLast) {
        s.soundFrame->nb_samples = count;
      } else {
        av_samples_set_silence(s.soundFrame->data, count, whole - count, 2, c->sample_fmt);
      }
    }
    s.soundFrame->pts = s.soundSamplesEncoded;
    s.soundSamplesEncoded += s.soundFrame->nb_samples;
    if (!EncodeVideoFrame(s, c, s.soundStream, s.soundFrame,
                          PartsOf(s.settings.format).soundEncoderName, why, whySize)) {
      return false;
    }
  }
  return true;
}

// Converts frames 44100 Hz frames (null: the resampler's last samples) into the FIFO.
bool ConvertSound(VideoStreams& s, const float* interleaved, int frames, char* why,
                  size_t whySize) {
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(interleaved)};
  for (;;) {
    const int got = swr_convert(s.resampler, s.convertedSound->data, s.convertedSound->nb_samples,
                                interleaved ? in : nullptr, interleaved ? frames : 0);
    char text[AV_ERROR_MAX_STRING_SIZE];
    if (got < 0) {
      SetVideoWhy(why, whySize, "The sound could not be converted: %s",
                  AvErrorText(got, text, sizeof text));
      return false;
    }
    if (got > 0 && av_audio_fifo_write(
                       s.soundFifo, reinterpret_cast<void**>(s.convertedSound->data), got) != got) {
      SetVideoWhy(why, whySize, "Out of memory for the sound");
      return false;
    }
    // Given input is converted in one call; the flush may take several.
    if (interleaved != nullptr || got == 0) return true;
  }
}

// FFmpeg's warnings and errors go to the program's log instead of the terminal.
void ForwardToLog(void* context, int level, const char* format, va_list args) {
  if (level > AV_LOG_WARNING) return;
  char line[1024];
  int printPrefix = 1;
  av_log_format_line2(context, level, format, args, line, sizeof line, &printPrefix);
  line[std::strcspn(line, "\n")] = '\0';
  LogMessage("FFmpeg: %s", line);
}

}  // namespace

void SetVideoEncoderHook(VideoEncoderHook hook) { encoderHook = hook; }

const AVCodec* FindVideoEncoder(const char* name) {
  if (encoderHook != nullptr && !encoderHook(name)) return nullptr;
  return avcodec_find_encoder_by_name(name);
}

const AVFilter* FindVideoFilter(const char* name) {
  if (encoderHook != nullptr && !encoderHook(name)) return nullptr;
  return avfilter_get_by_name(name);
}

void SetVideoWhy(char* why, size_t whySize, const char* format, ...) {
  if (why == nullptr || whySize == 0) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(why, whySize, format, args);
  va_end(args);
}

const char* AvErrorText(int error, char* text, size_t size) {
  if (av_strerror(error, text, size) < 0) std::snprintf(text, size, "error %d", error);
  return text;
}

bool OpenVideoStreams(VideoStreams& s, const VideoFileSettings& settings, const char* tempPath,
                      const char* path, char* why, size_t whySize) {
  static std::once_flag logForwarded;
  std::call_once(logForwarded, [] { av_log_set_callback(ForwardToLog); });
  s.settings = settings;
  s.path = path;
  const FormatParts parts = PartsOf(settings.format);
  const bool withSound = settings.sound && parts.soundEncoder != nullptr;
  // Every part is looked up before anything is made, so a missing one is named plainly.
  const AVCodec* videoCodec = FindVideoEncoder(parts.videoEncoder);
  if (videoCodec == nullptr) {
    return Missing(parts.videoEncoderName, parts.videoEncoder, settings.format, why, whySize);
  }
  const AVCodec* soundCodec = withSound ? FindVideoEncoder(parts.soundEncoder) : nullptr;
  if (withSound && soundCodec == nullptr) {
    return Missing(parts.soundEncoderName, parts.soundEncoder, settings.format, why, whySize);
  }
  if (settings.format == VideoFormat::kGif) {
    for (const char* filter : {"buffer", "buffersink", "palettegen", "paletteuse"}) {
      if (FindVideoFilter(filter) == nullptr) {
        return Missing("palette filter", filter, settings.format, why, whySize);
      }
    }
  }
  const std::string url = std::string("file:") + tempPath;
  if (avformat_alloc_output_context2(&s.muxer, nullptr, parts.muxer, url.c_str()) < 0 ||
      s.muxer == nullptr) {
    SetVideoWhy(why, whySize, "This system's FFmpeg cannot write %s files",
                VideoFormatName(settings.format));
    return false;
  }
  // Packets wait in the muxer until every stream has one, so sound that comes after all the
  // pictures still lands interleaved with them.
  s.muxer->max_interleave_delta = 0;
  // WebM takes the Opus delay as a codec delay of its own: shifting every stream to make the
  // first sound timestamp non-negative would put the pictures that much after the sound.
  if (settings.format == VideoFormat::kWebm)
    s.muxer->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
  if (!OpenPictureEncoder(s, videoCodec, parts, why, whySize)) return false;
  if (withSound && !OpenSoundEncoder(s, soundCodec, parts, why, whySize)) return false;
  if (settings.format == VideoFormat::kGif) {
    std::string folder = path;
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    if (!OpenGifPalette(s, folder.c_str(), why, whySize)) return false;
  }
  s.packet = av_packet_alloc();
  if (s.packet == nullptr) {
    SetVideoWhy(why, whySize, "Out of memory for the film");
    return false;
  }
  char text[AV_ERROR_MAX_STRING_SIZE];
  const int opened = avio_open2(&s.muxer->pb, url.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr);
  if (opened < 0) {
    SetVideoWhy(why, whySize, "Cannot write %s: %s", path, AvErrorText(opened, text, sizeof text));
    return false;
  }
  AVDictionary* options = nullptr;
  // The index goes in front once the film is complete, so it plays while it downloads.
  if (settings.format == VideoFormat::kMp4) av_dict_set(&options, "movflags", "+faststart", 0);
  const int started = avformat_write_header(s.muxer, &options);
  av_dict_free(&options);
  if (started < 0) {
    SetVideoWhy(why, whySize, "Cannot start %s: %s", path, AvErrorText(started, text, sizeof text));
    return false;
  }
  return true;
}

bool EncodeVideoPicture(VideoStreams& s, const uint8_t* rgb, char* why, size_t whySize) {
  if (s.settings.format == VideoFormat::kGif) return AddGifPicture(s, rgb, why, whySize);
  if (av_frame_make_writable(s.videoFrame) < 0) {
    SetVideoWhy(why, whySize, "Out of memory for picture %lld",
                static_cast<long long>(s.picturesGiven));
    return false;
  }
  const uint8_t* rows[1] = {rgb};
  const int stride[1] = {s.settings.width * 3};
  sws_scale(s.scaler, rows, stride, 0, s.settings.height, s.videoFrame->data,
            s.videoFrame->linesize);
  s.videoFrame->pts = s.picturesGiven++;
  return EncodeVideoFrame(s, s.video, s.videoStream, s.videoFrame,
                          PartsOf(s.settings.format).videoEncoderName, why, whySize);
}

bool EncodeVideoSound(VideoStreams& s, const float* interleaved, int frames, char* why,
                      size_t whySize) {
  if (s.sound == nullptr) return true;
  while (frames > 0) {
    const int chunk = std::min(frames, kSoundChunkFrames);
    if (!ConvertSound(s, interleaved, chunk, why, whySize)) return false;
    if (!EncodeQueuedSound(s, false, why, whySize)) return false;
    s.soundFramesGiven += chunk;
    interleaved += size_t{2} * chunk;
    frames -= chunk;
  }
  return true;
}

bool FinishVideoStreams(VideoStreams& s, char* why, size_t whySize) {
  const FormatParts parts = PartsOf(s.settings.format);
  if (s.settings.format == VideoFormat::kGif) {
    if (!EncodeGifPictures(s, why, whySize)) return false;
  } else if (!EncodeVideoFrame(s, s.video, s.videoStream, nullptr, parts.videoEncoderName, why,
                               whySize)) {
    return false;
  }
  if (s.sound != nullptr) {
    // Silence to the end of the last picture, then whatever the resampler still holds.
    const int64_t filmFrames =
        (s.picturesGiven * kVideoSoundRate + s.settings.fps / 2) / s.settings.fps;
    const std::vector<float> silence(size_t{2} * kSoundChunkFrames, 0.0f);
    while (s.soundFramesGiven < filmFrames) {
      const int chunk =
          static_cast<int>(std::min<int64_t>(filmFrames - s.soundFramesGiven, kSoundChunkFrames));
      if (!EncodeVideoSound(s, silence.data(), chunk, why, whySize)) return false;
    }
    if (!ConvertSound(s, nullptr, 0, why, whySize) || !EncodeQueuedSound(s, true, why, whySize) ||
        !EncodeVideoFrame(s, s.sound, s.soundStream, nullptr, parts.soundEncoderName, why,
                          whySize)) {
      return false;
    }
  }
  char text[AV_ERROR_MAX_STRING_SIZE];
  const int written = av_write_trailer(s.muxer);
  const int error = written < 0 ? written : s.muxer->pb->error;
  const int closed = avio_closep(&s.muxer->pb);
  if (error < 0 || closed < 0) {
    SetVideoWhy(why, whySize, "Cannot write %s: %s", s.path.c_str(),
                AvErrorText(error < 0 ? error : closed, text, sizeof text));
    return false;
  }
  return true;
}

void FreeVideoStreams(VideoStreams& s) {
  FreeGifPalette(s);
  if (s.muxer != nullptr) {
    if (s.muxer->pb != nullptr) avio_closep(&s.muxer->pb);
    avformat_free_context(s.muxer);
  }
  avcodec_free_context(&s.video);
  avcodec_free_context(&s.sound);
  sws_freeContext(s.scaler);
  swr_free(&s.resampler);
  if (s.soundFifo != nullptr) av_audio_fifo_free(s.soundFifo);
  av_frame_free(&s.videoFrame);
  av_frame_free(&s.soundFrame);
  av_frame_free(&s.convertedSound);
  av_packet_free(&s.packet);
  s = VideoStreams();
}

bool WriteVideoPacket(VideoStreams& s, AVCodecContext* encoder, AVStream* stream, char* why,
                      size_t whySize) {
  if (encoder == s.sound && s.settings.format == VideoFormat::kWebm) {
    if (s.packet->pts != AV_NOPTS_VALUE) s.packet->pts += encoder->initial_padding;
    if (s.packet->dts != AV_NOPTS_VALUE) s.packet->dts += encoder->initial_padding;
  }
  av_packet_rescale_ts(s.packet, encoder->time_base, stream->time_base);
  s.packet->stream_index = stream->index;
  const int written = av_interleaved_write_frame(s.muxer, s.packet);
  const int error = written < 0 ? written : s.muxer->pb->error;
  if (error < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE];
    SetVideoWhy(why, whySize, "Cannot write %s: %s", s.path.c_str(),
                AvErrorText(error, text, sizeof text));
    return false;
  }
  return true;
}

bool EncodeVideoFrame(VideoStreams& s, AVCodecContext* encoder, AVStream* stream,
                      const AVFrame* frame, const char* what, char* why, size_t whySize) {
  char text[AV_ERROR_MAX_STRING_SIZE];
  const int sent = avcodec_send_frame(encoder, frame);
  if (sent < 0) {
    SetVideoWhy(why, whySize, "The %s failed: %s", what, AvErrorText(sent, text, sizeof text));
    return false;
  }
  for (;;) {
    const int got = avcodec_receive_packet(encoder, s.packet);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) {
      SetVideoWhy(why, whySize, "The %s failed: %s", what, AvErrorText(got, text, sizeof text));
      return false;
    }
    if (!WriteVideoPacket(s, encoder, stream, why, whySize)) return false;
  }
}
