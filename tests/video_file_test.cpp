// Films written from synthetic pictures (a background colour of each picture's own and a
// moving bar) and a click track, decoded again: every picture in order at its time, the sound in
// sync within a millisecond whichever order it came in, one palette for a GIF, and what is left
// on disk when a film is refused, abandoned or fails.
#include "export/video_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/video_fixture.h"

namespace {

namespace fs = std::filesystem;

// Picture k: a background of its own colour and a black bar 16 pixels wide moving right.
std::vector<uint8_t> TestPicture(int k, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const uint8_t colour[3] = {uint8_t(30 + (k * 53) % 200), uint8_t(30 + (k * 97) % 200),
                             uint8_t(30 + (k * 151) % 200)};
  const int barX = (k * 8) % width;
  for (size_t i = 0; i < rgb.size(); ++i) {
    const int x = static_cast<int>(i / 3 % width);
    rgb[i] = x >= barX && x < barX + 16 ? 0 : colour[i % 3];
  }
  return rgb;
}

// Picture k of a film of thousands of colours: red across, green down, blue by picture.
std::vector<uint8_t> RampPicture(int k, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    const int x = static_cast<int>(i / 3 % width), y = static_cast<int>(i / 3 / width);
    rgb[i] = static_cast<uint8_t>(x * 255 / (width - 1));
    rgb[i + 1] = static_cast<uint8_t>(y * 255 / (height - 1));
    rgb[i + 2] = static_cast<uint8_t>(k * 25);
  }
  return rgb;
}

// frames stereo frames of silence with a 10 ms burst at 2 kHz (starting at its peak) at each
// click's sample.
std::vector<float> ClickTrack(int frames, const std::vector<int>& clicks) {
  std::vector<float> sound(size_t{2} * frames, 0.0f);
  for (int click : clicks) {
    for (int i = 0; i < 441 && click + i < frames; ++i) {
      const float v = 0.6f * std::cos(2 * M_PI * 2000 * i / 44100.0);
      sound[size_t{2} * (click + i)] = sound[size_t{2} * (click + i) + 1] = v;
    }
  }
  return sound;
}

enum class Order { kInterleaved, kSoundLast };
using Picture = std::vector<uint8_t> (*)(int k, int width, int height);

// Writes count pictures and the sound: after each picture the sound up to the next one's time,
// or all the sound after all the pictures. Empty when the film was made, else why not.
std::string WriteFilm(const std::string& path, const VideoFileSettings& settings, int count,
                      const std::vector<float>& sound, Order order, Picture picture = TestPicture) {
  char why[512] = "";
  VideoFile film;
  bool ok = film.Open(path.c_str(), settings, why, sizeof why);
  const int soundFrames = static_cast<int>(sound.size() / 2);
  int given = 0;
  for (int k = 0; ok && k < count; ++k) {
    ok = film.AddPicture(picture(k, settings.width, settings.height).data(), why, sizeof why);
    const int until = order == Order::kInterleaved
                          ? std::min<int>(soundFrames, (k + 1) * int64_t{44100} / settings.fps)
                          : 0;
    if (ok && until > given) {
      ok = film.AddSound(&sound[size_t{2} * given], until - given, why, sizeof why);
    }
    given = std::max(given, until);
  }
  if (ok && given < soundFrames) {
    ok = film.AddSound(&sound[size_t{2} * given], soundFrames - given, why, sizeof why);
  }
  return ok && film.Finish(why, sizeof why) ? "" : why;
}

// The film at path holds count test pictures of settings at their times, each at least minSnr
// dB from what was given, and (unless a GIF) stereo sound of the format's codec and rate in
// which each click starts within a millisecond of its time.
void ExpectFilm(const std::string& path, const VideoFileSettings& settings, int count,
                const std::vector<int>& clicks, double minSnr) {
  const bool mp4 = settings.format == VideoFormat::kMp4, gif = settings.format == VideoFormat::kGif;
  const char* soundCodec = gif || !settings.sound ? "" : mp4 ? "aac" : "opus";
  const int soundRate = mp4 ? 44100 : 48000;
  DecodedFilm film;
  std::string why;
  ASSERT_TRUE(DecodeFilm(path, &film, &why)) << why;
  EXPECT_EQ(film.videoCodec, mp4 ? "h264" : gif ? "gif" : "vp9");
  EXPECT_EQ(film.width, settings.width);
  EXPECT_EQ(film.height, settings.height);
  EXPECT_NEAR(film.duration, static_cast<double>(count) / settings.fps, 0.05);
  ASSERT_EQ(static_cast<int>(film.pictures.size()), count);
  for (int k = 0; k < count; ++k) {
    // GIF keeps times in hundredths of a second.
    EXPECT_NEAR(film.pictureTimes[k], static_cast<double>(k) / settings.fps, gif ? 0.005 : 0.0011);
    EXPECT_GE(PictureSnr(TestPicture(k, settings.width, settings.height), film.pictures[k]), minSnr)
        << "picture " << k;
  }
  EXPECT_EQ(film.soundCodec, soundCodec);
  if (soundCodec[0] == '\0') return;
  EXPECT_EQ(film.soundRate, soundRate);
  EXPECT_EQ(film.soundChannels, 2);
  double from = 0;  // the first click is looked for from the start: nothing sounds before it
  for (int click : clicks) {
    EXPECT_NEAR(SoundOnset(film, from, 0.3f), click / 44100.0, 0.001) << "click at " << click;
    from = (click + 900) / 44100.0;
  }
  // Sound that ends early is made up with silence to the end of the last picture.
  EXPECT_GE(film.soundStart + film.sound.size() / 2.0 / soundRate,
            static_cast<double>(count) / settings.fps - 0.001);
}

class VideoFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavoka_video_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
  }
  void TearDown() override {
    SetVideoEncoderHook(nullptr);
    fs::remove_all(directory_);
  }
  std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }
  // Every name in the folder, hidden ones included, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path directory_;
};

using ::testing::HasSubstr;
using Films = std::vector<std::string>;

TEST_F(VideoFileTest, TheExtensionNamesTheFormatInAnyLetterCase) {
  VideoFormat format = VideoFormat::kGif;
  for (const auto& [path, named] : {std::pair{"out/film.mp4", VideoFormat::kMp4},
                                    {"FILM.WebM", VideoFormat::kWebm},
                                    {"a.b/walk.Gif", VideoFormat::kGif}}) {
    EXPECT_TRUE(VideoFormatOfPath(path, &format)) << path;
    EXPECT_EQ(format, named) << path;
  }
  for (const char* other :
       {"walk.png", "walk.mp4.png", "walk", "walk.mp", "walk.mp44", "clips.mp4/walk", "mp4", ""}) {
    EXPECT_FALSE(VideoFormatOfPath(other, &format)) << other;
  }
  EXPECT_FALSE(VideoFormatOfPath(nullptr, &format));
}

TEST_F(VideoFileTest, Mp4AndWebmHoldEveryPictureInOrderWithTheSoundInSync) {
  // A click at 0.1 s, one on picture 9's time and one between pictures.
  const std::vector<int> clicks = {4410, 13230, 30001};
  for (VideoFormat format : {VideoFormat::kMp4, VideoFormat::kWebm}) {
    const VideoFileSettings settings{format, 320, 240, 30, true};
    for (Order order : {Order::kInterleaved, Order::kSoundLast}) {
      SCOPED_TRACE(std::string(VideoFormatName(format)) +
                   (order == Order::kInterleaved ? ", interleaved" : ", sound last"));
      // Sound that comes last also ends short of the pictures.
      const int frames = order == Order::kInterleaved ? 44100 : 36000;
      ASSERT_EQ(WriteFilm(PathOf("film"), settings, 30, ClickTrack(frames, clicks), order), "");
      ExpectFilm(PathOf("film"), settings, 30, clicks, 35);
      EXPECT_EQ(Files(), Films{"film"});
    }
  }
}

// The distinct colours of pictures, as 0xRRGGBB.
std::vector<uint32_t> ColoursOf(const std::vector<std::vector<uint8_t>>& pictures) {
  std::vector<uint32_t> colours;
  for (const std::vector<uint8_t>& rgb : pictures) {
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
      colours.push_back(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
    }
  }
  std::sort(colours.begin(), colours.end());
  colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
  return colours;
}

// The picture with each pixel replaced by the nearest of colours.
std::vector<uint8_t> NearestColours(std::vector<uint8_t> rgb,
                                    const std::vector<uint32_t>& colours) {
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    int best = 1 << 30;
    uint32_t nearest = 0;
    for (uint32_t c : colours) {
      int d = 0;
      for (int j = 0; j < 3; ++j)
        d += (rgb[i + j] - int(c >> (16 - 8 * j) & 255)) *
             (rgb[i + j] - int(c >> (16 - 8 * j) & 255));
      if (d < best) best = d, nearest = c;
    }
    for (int j = 0; j < 3; ++j) rgb[i + j] = static_cast<uint8_t>(nearest >> (16 - 8 * j));
  }
  return rgb;
}

TEST_F(VideoFileTest, GifHoldsEveryPictureWithOnePaletteForTheWholeFilm) {
  // 20 pictures of 21 colours in all: the palette holds every one, so they come back exactly.
  const VideoFileSettings settings{VideoFormat::kGif, 160, 120, 25, true};
  ASSERT_EQ(
      WriteFilm(PathOf("film.gif"), settings, 20, ClickTrack(44100, {100}), Order::kInterleaved),
      "");
  ExpectFilm(PathOf("film.gif"), settings, 20, {}, 99);
  EXPECT_EQ(Files(), Films{"film.gif"});

  // A film of thousands of colours: one palette of 256 for all, dithered. Each picture is as
  // close to what was given as those colours allow (dithering costs a little).
  ASSERT_EQ(WriteFilm(PathOf("ramp.gif"), settings, 10, {}, Order::kSoundLast, RampPicture), "");
  DecodedFilm decoded;
  std::string why;
  ASSERT_TRUE(DecodeFilm(PathOf("ramp.gif"), &decoded, &why)) << why;
  ASSERT_EQ(decoded.pictures.size(), 10u);
  const std::vector<uint32_t> colours = ColoursOf(decoded.pictures);
  EXPECT_LE(colours.size(), 256u);
  EXPECT_GE(colours.size(), 200u);
  for (int k = 0; k < 10; ++k) {
    const std::vector<uint8_t> given = RampPicture(k, 160, 120);
    const double best = PictureSnr(given, NearestColours(given, colours));
    EXPECT_GE(PictureSnr(given, decoded.pictures[k]), best - 5) << k;
  }
}

TEST_F(VideoFileTest, EachFormatKeepsTheFrameRatesItCanHoldAndRefusesOthers) {
  const struct {
    VideoFormat format;
    int fps;
    const char* name;
  } kept[] = {{VideoFormat::kMp4, 1, "a.mp4"},    {VideoFormat::kMp4, 24, "b.mp4"},
              {VideoFormat::kMp4, 60, "c.mp4"},   {VideoFormat::kMp4, 44100, "d.mp4"},
              {VideoFormat::kWebm, 60, "e.webm"}, {VideoFormat::kWebm, 1000, "f.webm"},
              {VideoFormat::kGif, 1, "g.gif"},    {VideoFormat::kGif, 30, "h.gif"},
              {VideoFormat::kGif, 50, "i.gif"}};
  for (const auto& c : kept) {
    SCOPED_TRACE(c.name);
    const bool gif = c.format == VideoFormat::kGif;
    const VideoFileSettings settings{c.format, 320, 240, c.fps, !gif};
    ASSERT_EQ(WriteFilm(PathOf(c.name), settings, 6, ClickTrack(44100 * 6 / c.fps, {}),
                        Order::kInterleaved),
              "");
    ExpectFilm(PathOf(c.name), settings, 6, {}, gif ? 99 : 35);
  }
  const struct {
    VideoFormat format;
    int fps;
    const char* says;
  } refused[] = {{VideoFormat::kGif, 51, "GIF animation holds 1 to 50 pictures per second, not 51"},
                 {VideoFormat::kGif, 60, "not 60"},
                 {VideoFormat::kWebm, 1001, "WebM video holds 1 to 1000 pictures per second"},
                 {VideoFormat::kMp4, 44101, "MP4 video holds 1 to 44100"},
                 {VideoFormat::kMp4, 0, "not 0"},
                 {VideoFormat::kGif, -5, "not -5"}};
  for (const auto& r : refused) {
    VideoFile film;
    char why[512] = "";
    EXPECT_FALSE(
        film.Open(PathOf("x.mp4").c_str(), {r.format, 64, 48, r.fps, true}, why, sizeof why));
    EXPECT_THAT(why, HasSubstr(r.says));
  }
}

TEST_F(VideoFileTest, BadSettingsAndCallsAreRefusedWithAReasonAndLeaveNothing) {
  const std::string file = PathOf("plain.txt");
  std::ofstream(file) << "not a folder";
  fs::create_directory(PathOf("folder.mp4"));
  const struct {
    std::string path;
    VideoFileSettings settings;
    const char* says;
  } refused[] = {
      {PathOf("a.mp4"), {VideoFormat::kMp4, 0, 480, 30, true}, "not 0 x 480"},
      {PathOf("a.mp4"), {static_cast<VideoFormat>(7), 64, 48, 30, true}, "Unknown video format 7"},
      {PathOf("a.gif"),
       {VideoFormat::kGif, 4097, 480, 30, true},
       "GIF animation takes pictures of 1 to 4096 pixels a side, not 4097 x 480"},
      {PathOf("a.mp4"),
       {VideoFormat::kMp4, 641, 480, 30, true},
       "MP4 video needs an even width and height, not 641 x 480"},
      {PathOf("a.webm"), {VideoFormat::kWebm, 640, 479, 30, true}, "even"},
      {"", {}, "No file name"},
      {PathOf("folder.mp4"), {}, "it is a folder"},
      {PathOf("missing/a.mp4"), {}, "No such file or directory"},
      {file + "/a.mp4", {}, "Not a directory"},
  };
  for (const auto& r : refused) {
    VideoFile film;
    char why[512] = "";
    EXPECT_FALSE(film.Open(r.path.c_str(), r.settings, why, sizeof why)) << r.path;
    EXPECT_THAT(why, HasSubstr(r.says));
  }
  const Films untouched = {"folder.mp4", "plain.txt"};
  EXPECT_EQ(Files(), untouched);

  // Calls without an open film, bad arguments, a second Open, and a film without pictures.
  VideoFile film;
  char why[512] = "";
  const std::vector<uint8_t> picture = TestPicture(0, 64, 48);
  const float sound[4] = {0, 0, 0, 0};
  EXPECT_FALSE(film.AddPicture(picture.data(), why, sizeof why));
  EXPECT_STREQ(why, "No film is open");
  EXPECT_FALSE(film.AddSound(sound, 2, why, sizeof why));
  EXPECT_FALSE(film.Finish(why, sizeof why));
  const VideoFileSettings settings{VideoFormat::kMp4, 64, 48, 30, true};
  ASSERT_TRUE(film.Open(PathOf("a.mp4").c_str(), settings, why, sizeof why)) << why;
  EXPECT_FALSE(film.Open(PathOf("b.mp4").c_str(), settings, why, sizeof why));
  EXPECT_THAT(why, HasSubstr("already"));
  EXPECT_FALSE(film.AddPicture(nullptr, why, sizeof why));
  EXPECT_FALSE(film.AddSound(nullptr, 2, why, sizeof why));
  EXPECT_FALSE(film.AddSound(sound, -1, why, sizeof why));
  EXPECT_TRUE(film.AddSound(sound, 0, why, sizeof why));
  EXPECT_FALSE(film.Finish(why, sizeof why));
  EXPECT_THAT(why, HasSubstr("No picture"));
  EXPECT_EQ(Files(), untouched);
}

TEST_F(VideoFileTest, AnAbandonedFilmLeavesNothingAndKeepsTheFileItWouldHaveReplaced) {
  const VideoFileSettings settings{VideoFormat::kMp4, 64, 48, 30, true};
  const std::vector<float> sound = ClickTrack(44100, {});
  char why[512] = "";
  for (VideoFormat format : {VideoFormat::kMp4, VideoFormat::kWebm, VideoFormat::kGif}) {
    VideoFile film;
    ASSERT_TRUE(film.Open(PathOf("film").c_str(), {format, 64, 48, 30, true}, why, sizeof why));
    for (int k = 0; k < 5; ++k) {
      ASSERT_TRUE(film.AddPicture(TestPicture(k, 64, 48).data(), why, sizeof why)) << why;
      ASSERT_TRUE(film.AddSound(sound.data(), 1470, why, sizeof why)) << why;
    }
    EXPECT_EQ(film.pictures(), 5);
    film.Abandon();
    EXPECT_TRUE(Files().empty());
    EXPECT_FALSE(film.AddPicture(TestPicture(0, 64, 48).data(), why, sizeof why));
    film.Abandon();
  }

  // The user's earlier film stays as it was until a new one is finished in its place; a film
  // never finished (dropped without Finish) is abandoned.
  std::ofstream(PathOf("walk.mp4")) << "earlier film";
  {
    VideoFile film;
    ASSERT_TRUE(film.Open(PathOf("walk.mp4").c_str(), settings, why, sizeof why)) << why;
    ASSERT_TRUE(film.AddPicture(TestPicture(0, 64, 48).data(), why, sizeof why)) << why;
    EXPECT_EQ(Files().size(), 2u);  // and the hidden one being written
  }
  EXPECT_EQ(Files(), Films{"walk.mp4"});
  std::string earlier;
  std::getline(std::ifstream(PathOf("walk.mp4")), earlier);
  EXPECT_EQ(earlier, "earlier film");
  ASSERT_EQ(WriteFilm(PathOf("walk.mp4"), settings, 3, ClickTrack(4410, {}), Order::kInterleaved),
            "");
  ExpectFilm(PathOf("walk.mp4"), settings, 3, {}, 35);
}

TEST_F(VideoFileTest, AFilmThatCannotBeWrittenSaysWhyAndLeavesNothing) {
  // Files may grow to 100 kB; noise pictures pass that within a few, and the failure is told
  // while pictures are still coming (WebM writes every 5 s of film: a picture a second).
  signal(SIGXFSZ, SIG_IGN);
  rlimit previous;
  getrlimit(RLIMIT_FSIZE, &previous);
  rlimit small = previous;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::vector<float> sound = ClickTrack(44100, {});
  for (VideoFormat format : {VideoFormat::kMp4, VideoFormat::kWebm}) {
    VideoFile film;
    char why[512] = "";
    ASSERT_TRUE(film.Open(PathOf("noise").c_str(), {format, 320, 240, 1, true}, why, sizeof why));
    std::vector<uint8_t> noise(320 * 240 * 3);
    uint32_t seed = 1;
    int k = 0;
    for (; k < 60; ++k) {
      for (uint8_t& byte : noise) {
        byte = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
      }
      if (!film.AddPicture(noise.data(), why, sizeof why) ||
          !film.AddSound(sound.data(), 44100, why, sizeof why)) {
        break;
      }
    }
    EXPECT_LT(k, 60) << VideoFormatName(format);
    EXPECT_THAT(why, HasSubstr(PathOf("noise") + ": File too large"));
    EXPECT_FALSE(film.Finish(why, sizeof why));
    EXPECT_THAT(why, HasSubstr("File too large"));
    EXPECT_TRUE(Files().empty());
  }
  setrlimit(RLIMIT_FSIZE, &previous);

  // The finished film cannot take its name: a folder was made there meanwhile.
  VideoFile film;
  char why[512] = "";
  ASSERT_TRUE(film.Open(PathOf("late.mp4").c_str(), {VideoFormat::kMp4, 64, 48, 30, false}, why,
                        sizeof why));
  ASSERT_TRUE(film.AddPicture(TestPicture(0, 64, 48).data(), why, sizeof why));
  fs::create_directory(PathOf("late.mp4"));
  EXPECT_FALSE(film.Finish(why, sizeof why));
  EXPECT_THAT(why, HasSubstr(PathOf("late.mp4") + ": Is a directory"));
  EXPECT_EQ(Files(), Films{"late.mp4"});
  EXPECT_TRUE(fs::is_directory(PathOf("late.mp4")));
}

const char* hiddenName = "";
bool HideOne(const char* name) { return std::string(name) != hiddenName; }

TEST_F(VideoFileTest, AMissingEncoderIsNamedWithTheFormatItWasFor) {
  const struct {
    VideoFormat format;
    bool sound;
    const char* missing;
    const char* says;  // empty: the film is made anyway
  } cases[] = {
      {VideoFormat::kMp4, true, "libx264",
       "This system's FFmpeg has no H.264 encoder (libx264) for MP4 video"},
      {VideoFormat::kMp4, true, "aac",
       "This system's FFmpeg has no AAC encoder (aac) for MP4 video"},
      {VideoFormat::kWebm, true, "libvpx-vp9",
       "This system's FFmpeg has no VP9 encoder (libvpx-vp9) for WebM video"},
      {VideoFormat::kWebm, true, "libopus",
       "This system's FFmpeg has no Opus encoder (libopus) for WebM video"},
      {VideoFormat::kWebm, false, "libopus", ""},
      {VideoFormat::kGif, true, "palettegen",
       "This system's FFmpeg has no palette filter (palettegen) for GIF animation"},
  };
  SetVideoEncoderHook(HideOne);
  for (const auto& c : cases) {
    hiddenName = c.missing;
    VideoFile film;
    char why[512] = "";
    const bool opened =
        film.Open(PathOf("film").c_str(), {c.format, 64, 48, 30, c.sound}, why, sizeof why);
    EXPECT_EQ(opened, c.says[0] == '\0') << c.missing;
    EXPECT_STREQ(why, c.says);
    EXPECT_TRUE(opened || Files().empty()) << c.missing;
  }
}

TEST_F(VideoFileTest, TheLargestPicturesMakeFilmsInEveryFormat) {
  for (VideoFormat format : {VideoFormat::kMp4, VideoFormat::kWebm, VideoFormat::kGif}) {
    SCOPED_TRACE(VideoFormatName(format));
    const VideoFileSettings settings{format, 2560, 1920, 24, true};
    ASSERT_EQ(WriteFilm(PathOf("big"), settings, 3, ClickTrack(44100 / 8, {}), Order::kSoundLast),
              "");
    ExpectFilm(PathOf("big"), settings, 3, {}, 35);
  }
}

}  // namespace
