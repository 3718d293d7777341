#include "tests/video_fixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

namespace {

// Everything one decoding holds, freed together.
struct Decoding {
  AVFormatContext* input = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  int videoIndex = -1, soundIndex = -1;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwrContext* resampler = nullptr;
  ~Decoding() {
    avformat_close_input(&input);
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    av_packet_free(&packet);
    av_frame_free(&frame);
    swr_free(&resampler);
  }
};

AVCodecContext* OpenDecoder(AVFormatContext* input, int index) {
  const AVCodecParameters* parameters = input->streams[index]->codecpar;
  AVCodecContext* c = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
  if (c == nullptr || avcodec_parameters_to_context(c, parameters) < 0) return c;
  c->pkt_timebase = input->streams[index]->time_base;
  if (avcodec_open2(c, nullptr, nullptr) < 0) avcodec_free_context(&c);
  return c;
}

// The frame as RGB rows, converted by the colours it is tagged with.
std::vector<uint8_t> ToRgb(const AVFrame* frame) {
  const auto format = static_cast<AVPixelFormat>(frame->format);
  SwsContext* scaler = sws_getContext(
      frame->width, frame->height, format, frame->width, frame->height, AV_PIX_FMT_RGB24,
      SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  std::vector<uint8_t> rgb(static_cast<size_t>(frame->width) * frame->height * 3);
  if (scaler == nullptr) return rgb;
  // The table is indexed by the colour spaces' own numbers; unknown ones get BT.601.
  const int* coefficients = sws_getCoefficients(frame->colorspace);
  sws_setColorspaceDetails(scaler, coefficients, frame->color_range == AVCOL_RANGE_JPEG,
                           coefficients, 1, 0, 1 << 16, 1 << 16);
  uint8_t* rows[1] = {rgb.data()};
  const int stride[1] = {frame->width * 3};
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, rows, stride);
  sws_freeContext(scaler);
  return rgb;
}

double Seconds(int64_t timestamp, AVRational base) {
  return timestamp == AV_NOPTS_VALUE ? 0.0 : timestamp * av_q2d(base);
}

void TakeFrame(Decoding& d, bool isVideo, DecodedFilm* film) {
  AVFrame* f = d.frame;
  if (isVideo) {
    film->pictureTimes.push_back(
        Seconds(f->best_effort_timestamp, d.input->streams[d.videoIndex]->time_base));
    film->pictures.push_back(ToRgb(f));
    return;
  }
  if (d.resampler == nullptr) {
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    swr_alloc_set_opts2(&d.resampler, &stereo, AV_SAMPLE_FMT_FLT, f->sample_rate, &f->ch_layout,
                        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
    swr_init(d.resampler);
    // The frame's pts, as players take it: the decoder moves it past the samples it drops at
    // the start (the best-effort timestamp is not moved).
    const int64_t pts = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
    film->soundStart = Seconds(pts, d.input->streams[d.soundIndex]->time_base);
  }
  const size_t at = film->sound.size();
  film->sound.resize(at + size_t{2} * f->nb_samples);
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(film->sound.data() + at)};
  const int got = swr_convert(d.resampler, out, f->nb_samples,
                              const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
  film->sound.resize(at + size_t{2} * std::max(got, 0));
}

// Sends the packet (null: the end) and takes every frame the decoder gives back.
bool Decode(Decoding& d, AVCodecContext* c, const AVPacket* packet, bool isVideo,
            DecodedFilm* film) {
  if (avcodec_send_packet(c, packet) < 0) return false;
  for (;;) {
    const int got = avcodec_receive_frame(c, d.frame);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) return false;
    TakeFrame(d, isVideo, film);
    av_frame_unref(d.frame);
  }
}

}  // namespace

bool DecodeFilm(const std::string& path, DecodedFilm* film, std::string* why) {
  *film = DecodedFilm();
  Decoding d;
  if (avformat_open_input(&d.input, ("file:" + path).c_str(), nullptr, nullptr) < 0 ||
      avformat_find_stream_info(d.input, nullptr) < 0) {
    *why = "cannot open " + path;
    return false;
  }
  d.videoIndex = av_find_best_stream(d.input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  d.soundIndex = av_find_best_stream(d.input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (d.videoIndex < 0) {
    *why = "no video stream in " + path;
    return false;
  }
  const AVStream* videoStream = d.input->streams[d.videoIndex];
  film->videoCodec = avcodec_get_name(videoStream->codecpar->codec_id);
  film->width = videoStream->codecpar->width;
  film->height = videoStream->codecpar->height;
  film->frameRate = av_q2d(videoStream->avg_frame_rate);
  film->duration = d.input->duration == AV_NOPTS_VALUE ? 0 : d.input->duration / 1e6;
  d.video = OpenDecoder(d.input, d.videoIndex);
  if (d.soundIndex >= 0) {
    const AVCodecParameters* p = d.input->streams[d.soundIndex]->codecpar;
    film->soundCodec = avcodec_get_name(p->codec_id);
    film->soundRate = p->sample_rate;
    film->soundChannels = p->ch_layout.nb_channels;
    d.sound = OpenDecoder(d.input, d.soundIndex);
  }
  if (d.video == nullptr || (d.soundIndex >= 0 && d.sound == nullptr)) {
    *why = "no decoder for " + path;
    return false;
  }
  while (av_read_frame(d.input, d.packet) >= 0) {
    bool ok = true;
    if (d.packet->stream_index == d.videoIndex) ok = Decode(d, d.video, d.packet, true, film);
    if (d.packet->stream_index == d.soundIndex) ok = Decode(d, d.sound, d.packet, false, film);
    av_packet_unref(d.packet);
    if (!ok) {
      *why = "a packet of " + path + " does not decode";
      return false;
    }
  }
  Decode(d, d.video, nullptr, true, film);
  if (d.sound != nullptr) Decode(d, d.sound, nullptr, false, film);
  return true;
}

double PictureSnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

double SoundOnset(const DecodedFilm& film, double from, float threshold) {
  if (film.soundRate <= 0) return -1;
  const double first = std::max(0.0, (from - film.soundStart) * film.soundRate);
  for (size_t i = static_cast<size_t>(first) * 2; i < film.sound.size(); ++i) {
    if (std::fabs(film.sound[i]) >= threshold) {
      return film.soundStart + static_cast<double>(i / 2) / film.soundRate;
    }
  }
  return -1;
}
