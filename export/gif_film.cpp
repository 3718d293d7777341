// GIF films in two passes, since the one palette has to be made from every picture before the
// first can be encoded. While the pictures come, each goes through libavfilter's palettegen
// (a colour histogram, a few MB however long the film) and, deflated, into an unnamed
// temporary file in the film's folder (the system's temporary folder where the file system
// has no unnamed files). Finish takes the palette and sends the pictures again through
// paletteuse to the GIF encoder.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

#include "export/video_streams.h"

namespace {

// An unnamed file for the spool: gone by itself when closed, or when the program dies.
int OpenSpool(const char* folder) {
  int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  const char* tmp = std::getenv("TMPDIR");
  std::string name =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/tavoka-gif-XXXXXX";
  fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) unlink(name.c_str());
  return fd;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t n = pwrite(fd, bytes, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

bool ReadAll(int fd, uint8_t* bytes, size_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t n = pread(fd, bytes, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// Bytes of a row of an RGB frame, rounded up for the converters' vector code.
int RowBytes(int width) { return (width * 3 + 63) & ~63; }

// A buffer source of RGB pictures (or of the palette) for the graph.
AVFilterContext* AddSource(AVFilterGraph* graph, const char* name, int width, int height,
                           AVPixelFormat format, int fps) {
  char args[160];
  std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=1/1",
                width, height, static_cast<int>(format), fps);
  AVFilterContext* source = nullptr;
  if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), name, args, nullptr,
                                   graph) < 0) {
    return nullptr;
  }
  return source;
}

AVFilterContext* AddFilter(AVFilterGraph* graph, const char* filter, const char* args) {
  AVFilterContext* context = nullptr;
  if (avfilter_graph_create_filter(&context, avfilter_get_by_name(filter), filter, args, nullptr,
                                   graph) < 0) {
    return nullptr;
  }
  return context;
}

// Gives frame a buffer of the pool for RGB rows of width x height and copies rgb into it. The
// pool hands the same few buffers round instead of a new one per picture, which would scatter
// the heap with holes of a picture's size.
bool FillFrame(AVBufferPool* pool, AVFrame* frame, const uint8_t* rgb, int width, int height) {
  av_frame_unref(frame);
  frame->buf[0] = av_buffer_pool_get(pool);
  if (frame->buf[0] == nullptr) return false;
  frame->format = AV_PIX_FMT_RGB24;
  frame->width = width;
  frame->height = height;
  frame->data[0] = frame->buf[0]->data;
  frame->linesize[0] = RowBytes(width);
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    std::memcpy(frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0], rgb + y * row,
                row);
  }
  return true;
}

// The system's text for error, from the encoder thread too (not through strerror's buffer).
const char* ErrorText(int error, char* text, size_t size) { return strerror_r(error, text, size); }

bool NoMemory(char* why, size_t whySize) {
  SetVideoWhy(why, whySize, "Out of memory for the GIF palette");
  return false;
}

// Pulls every picture paletteuse has ready and encodes it.
bool EncodeReadyPictures(VideoStreams& s, AVFilterContext* sink, AVFrame* mapped, char* why,
                         size_t whySize) {
  for (;;) {
    const int got = av_buffersink_get_frame(sink, mapped);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    char text[AV_ERROR_MAX_STRING_SIZE];
    if (got < 0) {
      SetVideoWhy(why, whySize, "The GIF palette could not be applied: %s",
                  AvErrorText(got, text, sizeof text));
      return false;
    }
    const bool ok =
        EncodeVideoFrame(s, s.video, s.videoStream, mapped, "GIF encoder", why, whySize);
    av_frame_unref(mapped);
    if (!ok) return false;
  }
}

// The second pass's graph: the pictures (RGB) and the palette into paletteuse, which gives the
// encoder's PAL8 pictures. Error diffusion only where a picture changed keeps still parts from
// shimmering.
struct MappingPass {
  AVFrame* palette = av_frame_alloc();
  AVFrame* mapped = av_frame_alloc();
  AVFilterGraph* graph = avfilter_graph_alloc();
  AVFilterContext* pictures = nullptr;
  AVFilterContext* sink = nullptr;

  ~MappingPass() {
    av_frame_free(&palette);
    av_frame_free(&mapped);
    avfilter_graph_free(&graph);
  }
  // Makes the graph and gives it the palette; false when any step fails.
  bool Connect(const VideoFileSettings& settings) {
    pictures = AddSource(graph, "pictures", settings.width, settings.height, AV_PIX_FMT_RGB24,
                         settings.fps);
    AVFilterContext* colours = AddSource(graph, "palette", palette->width, palette->height,
                                         static_cast<AVPixelFormat>(palette->format), settings.fps);
    AVFilterContext* mapper =
        AddFilter(graph, "paletteuse", "dither=sierra2_4a:diff_mode=rectangle");
    sink = AddFilter(graph, "buffersink", nullptr);
    const AVPixelFormat pal8[] = {AV_PIX_FMT_PAL8, AV_PIX_FMT_NONE};
    if (pictures == nullptr || colours == nullptr || mapper == nullptr || sink == nullptr ||
        av_opt_set_int_list(sink, "pix_fmts", pal8, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN) < 0 ||
        avfilter_link(pictures, 0, mapper, 0) < 0 || avfilter_link(colours, 0, mapper, 1) < 0 ||
        avfilter_link(mapper, 0, sink, 0) < 0 || avfilter_graph_config(graph, nullptr) < 0) {
      return false;
    }
    palette->pts = 0;
    return av_buffersrc_add_frame_flags(colours, palette, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0 &&
           av_buffersrc_add_frame_flags(colours, nullptr, 0) >= 0;
  }
};

}  // namespace

bool OpenGifPalette(VideoStreams& s, const char* folder, char* why, size_t whySize) {
  const VideoFileSettings& settings = s.settings;
  GifPalette& p = s.palette;
  s.spool.fd = OpenSpool(folder);
  if (s.spool.fd < 0) {
    char text[128];
    SetVideoWhy(why, whySize, "Cannot make a temporary file for the GIF's pictures: %s",
                ErrorText(errno, text, sizeof text));
    return false;
  }
  p.graph = avfilter_graph_alloc();
  if (p.graph == nullptr) return NoMemory(why, whySize);
  // palettegen reserves one entry for transparency, which the GIF encoder uses for the pixels
  // that stay as they were in the picture before.
  p.source = AddSource(p.graph, "pictures", settings.width, settings.height, AV_PIX_FMT_RGB24,
                       settings.fps);
  AVFilterContext* generator = AddFilter(p.graph, "palettegen", "max_colors=256:stats_mode=full");
  p.sink = AddFilter(p.graph, "buffersink", nullptr);
  if (p.source == nullptr || generator == nullptr || p.sink == nullptr ||
      avfilter_link(p.source, 0, generator, 0) < 0 || avfilter_link(generator, 0, p.sink, 0) < 0 ||
      avfilter_graph_config(p.graph, nullptr) < 0) {
    SetVideoWhy(why, whySize, "The GIF palette filter cannot be set up for %d x %d pictures",
                settings.width, settings.height);
    return false;
  }
  p.frame = av_frame_alloc();
  p.pool =
      av_buffer_pool_init(static_cast<size_t>(RowBytes(settings.width)) * settings.height, nullptr);
  if (p.frame == nullptr || p.pool == nullptr) return NoMemory(why, whySize);
  return true;
}

bool AddGifPicture(VideoStreams& s, const uint8_t* rgb, char* why, size_t whySize) {
  const VideoFileSettings& settings = s.settings;
  GifPalette& p = s.palette;
  if (!FillFrame(p.pool, p.frame, rgb, settings.width, settings.height)) {
    return NoMemory(why, whySize);
  }
  p.frame->pts = s.picturesGiven;
  // Pushed through at once: the histogram takes the picture in and keeps no copy of it.
  char text[AV_ERROR_MAX_STRING_SIZE];
  const int added = av_buffersrc_add_frame_flags(p.source, p.frame, AV_BUFFERSRC_FLAG_PUSH);
  if (added < 0) {
    SetVideoWhy(why, whySize, "The GIF palette filter failed: %s",
                AvErrorText(added, text, sizeof text));
    return false;
  }

  PictureSpool& spool = s.spool;
  const uLong bytes = static_cast<uLong>(settings.width) * settings.height * 3;
  uLongf packedSize = compressBound(bytes);
  spool.packed.resize(packedSize);
  if (compress2(spool.packed.data(), &packedSize, rgb, bytes, 1) != Z_OK) {
    return NoMemory(why, whySize);
  }
  if (!WriteAll(spool.fd, spool.packed.data(), packedSize, spool.end)) {
    char text[128];
    SetVideoWhy(why, whySize, "Cannot keep the GIF's pictures in a temporary file: %s",
                ErrorText(errno, text, sizeof text));
    return false;
  }
  spool.parts.emplace_back(spool.end, static_cast<int64_t>(packedSize));
  spool.end += static_cast<int64_t>(packedSize);
  ++s.picturesGiven;
  return true;
}

bool EncodeGifPictures(VideoStreams& s, char* why, size_t whySize) {
  const VideoFileSettings& settings = s.settings;
  GifPalette& p = s.palette;
  char text[AV_ERROR_MAX_STRING_SIZE];
  MappingPass pass;
  if (pass.palette == nullptr || pass.mapped == nullptr || pass.graph == nullptr) {
    return NoMemory(why, whySize);
  }
  int got = av_buffersrc_add_frame_flags(p.source, nullptr, 0);
  if (got >= 0) got = av_buffersink_get_frame(p.sink, pass.palette);
  if (got < 0) {
    SetVideoWhy(why, whySize, "The GIF palette could not be made: %s",
                AvErrorText(got, text, sizeof text));
    return false;
  }
  if (!pass.Connect(settings)) {
    SetVideoWhy(why, whySize, "The GIF palette filter cannot be set up for %d x %d pictures",
                settings.width, settings.height);
    return false;
  }

  PictureSpool& spool = s.spool;
  const size_t bytes = static_cast<size_t>(settings.width) * settings.height * 3;
  std::vector<uint8_t> rgb(bytes);
  for (size_t k = 0; k < spool.parts.size(); ++k) {
    const auto [offset, size] = spool.parts[k];
    spool.packed.resize(static_cast<size_t>(size));
    if (!ReadAll(spool.fd, spool.packed.data(), spool.packed.size(), offset)) {
      char reason[128];
      SetVideoWhy(why, whySize, "Cannot read the GIF's picture %zu back: %s", k,
                  ErrorText(errno, reason, sizeof reason));
      return false;
    }
    uLongf unpacked = bytes;
    if (uncompress(rgb.data(), &unpacked, spool.packed.data(), spool.packed.size()) != Z_OK ||
        unpacked != bytes) {
      SetVideoWhy(why, whySize, "The GIF's picture %zu came back damaged", k);
      return false;
    }
    if (!FillFrame(p.pool, p.frame, rgb.data(), settings.width, settings.height)) {
      return NoMemory(why, whySize);
    }
    p.frame->pts = static_cast<int64_t>(k);
    got = av_buffersrc_add_frame_flags(pass.pictures, p.frame, 0);
    if (got < 0) {
      SetVideoWhy(why, whySize, "The GIF palette could not be applied: %s",
                  AvErrorText(got, text, sizeof text));
      return false;
    }
    if (!EncodeReadyPictures(s, pass.sink, pass.mapped, why, whySize)) return false;
    // paletteuse copies every picture into a new buffer of its own; the C library would keep
    // each freed one as a hole in the heap, hundreds of MB at the largest size.
    malloc_trim(0);
  }
  return av_buffersrc_add_frame_flags(pass.pictures, nullptr, 0) >= 0 &&
         EncodeReadyPictures(s, pass.sink, pass.mapped, why, whySize) &&
         EncodeVideoFrame(s, s.video, s.videoStream, nullptr, "GIF encoder", why, whySize);
}

void FreeGifPalette(VideoStreams& s) {
  avfilter_graph_free(&s.palette.graph);
  av_frame_free(&s.palette.frame);
  av_buffer_pool_uninit(&s.palette.pool);
  if (s.spool.fd >= 0) close(s.spool.fd);
  s.palette = GifPalette();
  s.spool = PictureSpool();
}
