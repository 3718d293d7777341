// The export as films: the same pictures and sound as the PNG sequence and its WAV file, decoded
// again from MP4, WebM and GIF files, the one file at the chosen path, and nothing left behind
// by a cancelled or failed film.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "project/project_file.h"
#include "tests/audio_fixtures.h"
#include "tests/export_fixture.h"
#include "tests/program_run.h"
#include "tests/video_fixture.h"

namespace {

constexpr int kPictures = 30;    // frames 0..29 at 30 fps: one second
constexpr int kClickFrame = 10;  // the sound starts a third of a second in
constexpr float kOnsetLevel = 0.05f;

class VideoExport : public ExportTest {
 protected:
  // A red image moving across a still blue one, and a click (silence, then a loud square wave)
  // placed on frame 10.
  void SetUp() override {
    ExportTest::SetUp();
    SceneObject* mover = AddImageObject("red.png", -200, -50);
    AddCornerKey(mover, kPictures - 1, 200, 60);
    AddImageObject("blue.png", 40, 100);
    std::vector<int16_t> click(22050);
    for (size_t i = 0; i < click.size(); ++i) click[i] = (i / 50) % 2 == 0 ? 30000 : -30000;
    ASSERT_TRUE(WriteFileBytes(PathOf("click.wav"), audiotest::Wav16(click)));
    ASSERT_GE(InsertAudioClip("click.wav", kClickFrame, 0), 0);
  }

  // ExportAnimation into the work directory with the options given.
  bool ExportAs(const std::string& name, ExportResult* result, ExportOptions options = {}) {
    char path[kDialogPathSize];
    std::snprintf(path, sizeof path, "%s", PathOf(name).c_str());
    return ExportAnimation(path, 0, kPictures - 1, false, options, result);
  }

  // Seconds from the range's start to the first sample of the PNG export's WAV file at
  // kOnsetLevel or more.
  double WavOnset() const {
    const std::vector<uint8_t> wav = ReadFileBytes(PathOf("still_audio.wav"));
    for (size_t i = kWavHeaderBytes; i + 1 < wav.size(); i += 2) {
      const int16_t sample = static_cast<int16_t>(wav[i] | (wav[i + 1] << 8));
      if (std::abs(sample) >= kOnsetLevel * 32767) return (i - kWavHeaderBytes) / 4 / 44100.0;
    }
    return -1;
  }
};

TEST_F(VideoExport, EachFilmHoldsThePngExportsPicturesAndItsSoundInSync) {
  ExportResult result;
  ASSERT_TRUE(Export("still", 0, kPictures - 1, false, &result));
  const double wavOnset = WavOnset();
  ASSERT_NEAR(wavOnset, kClickFrame / 30.0, 0.01);

  const struct {
    const char* name;
    const char* videoCodec;
    const char* soundCodec;
    double leastSnr;
    double timeTolerance;  // a GIF counts time in hundredths of a second
  } films[] = {{"film.mp4", "h264", "aac", 35, 0.001},
               {"film.webm", "vp9", "opus", 35, 0.001},
               {"film.GIF", "gif", "", 30, 0.005}};  // the extension in any letter case
  for (const auto& expected : films) {
    SCOPED_TRACE(expected.name);
    ASSERT_TRUE(ExportAs(expected.name, &result)) << result.message;
    EXPECT_STREQ(result.message, "Export completed");
    EXPECT_EQ(result.framesWritten, kPictures);
    DecodedFilm film;
    std::string why;
    ASSERT_TRUE(DecodeFilm(PathOf(expected.name), &film, &why)) << why;
    EXPECT_EQ(film.videoCodec, expected.videoCodec);
    EXPECT_EQ(film.soundCodec, expected.soundCodec);
    EXPECT_EQ(film.width, kExportWidth);
    EXPECT_EQ(film.height, kExportHeight);
    EXPECT_NEAR(film.frameRate, 30, 100 * expected.timeTolerance);
    EXPECT_NEAR(film.duration, 1.0, 0.02);
    ASSERT_EQ(film.pictures.size(), static_cast<size_t>(kPictures));
    for (int k = 0; k < kPictures; k += 7) {
      EXPECT_NEAR(film.pictureTimes[k], k / 30.0, expected.timeTolerance) << "picture " << k;
      EXPECT_GE(PictureSnr(Frame("still", k).rgb, film.pictures[k]), expected.leastSnr)
          << "picture " << k;
    }
    if (expected.soundCodec[0] != '\0') {
      EXPECT_NEAR(SoundOnset(film, 0, kOnsetLevel), wavOnset, 0.001);
    }
  }
  // Nothing but the films beside the PNG export's own files.
  const std::vector<std::string> files = Files();
  EXPECT_EQ(files.size(), static_cast<size_t>(kPictures) + 1 + 3 + 1);  // + WAV, films, click
}

TEST_F(VideoExport, TheFormatOverridesTheNameAndLargerPicturesKeepTheFraming) {
  ExportResult result;
  ExportOptions options;
  options.format = ExportFileFormat::kMp4;
  options.scale = 2;
  options.writeSound = false;
  ASSERT_TRUE(ExportAs("scene.png", &result, options)) << result.message;
  // The film is exactly the chosen path, whatever its extension says.
  EXPECT_EQ(Files(), (std::vector<std::string>{"click.wav", "scene.png"}));
  DecodedFilm film;
  std::string why;
  ASSERT_TRUE(DecodeFilm(PathOf("scene.png"), &film, &why)) << why;
  EXPECT_EQ(film.width, 2 * kExportWidth);
  EXPECT_EQ(film.height, 2 * kExportHeight);
  EXPECT_EQ(film.soundCodec, "");
  // Picture 20 is the PNG export's picture at that size.
  ASSERT_TRUE(Export("large", 20, 20, false, &result, -1, nullptr, nullptr, 2));
  EXPECT_GE(PictureSnr(Frame("large", 0).rgb, film.pictures[20]), 35);

  options = ExportOptions();
  options.numberFrom = 5;
  EXPECT_FALSE(ExportAs("numbered.webm", &result, options));
  EXPECT_NE(std::string(result.message).find("only PNG pictures are numbered"), std::string::npos);
}

// The progress callback of the editor's bar: Escape on the third picture.
bool StopAtThird(int frame, int, void*) { return frame < 3; }

TEST_F(VideoExport, ACancelledOrFailedFilmIsRemovedAndSaysSo) {
  ASSERT_TRUE(WriteFileBytes(PathOf("old.mp4"), {'o', 'l', 'd'}));
  // What a killed export of the same film left goes when it is made again.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string killed = ".old.mp4.tmp-" + std::to_string(ended) + "-1";
  ASSERT_TRUE(WriteFileBytes(PathOf(killed), {'x'}));
  ExportResult result;
  ExportOptions options;
  options.progress = StopAtThird;
  EXPECT_FALSE(ExportAs("old.mp4", &result, options));
  EXPECT_EQ(result.outcome, ExportOutcome::kCancelled);
  EXPECT_STREQ(result.message,
               "Export cancelled after 2 of 30 frames. The unfinished MP4 video was removed.");
  // The file the film would have replaced is as it was, and no partial film is left.
  EXPECT_EQ(ReadFileBytes(PathOf("old.mp4")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(Files(), (std::vector<std::string>{"click.wav", "old.mp4"}));

  EXPECT_FALSE(ExportAs("no/such/folder/film.gif", &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kFailed);
  EXPECT_NE(std::string(result.message).find("Export failed: couldn't make the GIF animation"),
            std::string::npos)
      << result.message;
  project.fps = 60;  // more than a GIF can hold
  EXPECT_FALSE(ExportAs("fast.gif", &result));
  EXPECT_NE(std::string(result.message).find("1 to 50 pictures per second"), std::string::npos)
      << result.message;
  EXPECT_EQ(Files(), (std::vector<std::string>{"click.wav", "old.mp4"}));
}

TEST_F(VideoExport, TheCommandLineNamesAFilmAfterTheProjectAndRefusesWhatAFilmCannotBe) {
  ASSERT_TRUE(SaveProject(PathOf("walk.tvp").c_str()));
  const std::vector<uint8_t> project = ReadFileBytes(PathOf("walk.tvp"));
  ProgramRun run = RunTavoka(directory_.string(), "--export walk.tvp --format webm --frames 0-9");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("10 frames of 640 x 480 at 30 fps with sound in"), std::string::npos)
      << run.output;
  DecodedFilm film;
  std::string why;
  ASSERT_TRUE(DecodeFilm(PathOf("walk.webm"), &film, &why)) << why;
  EXPECT_EQ(film.pictures.size(), 10u);
  EXPECT_EQ(ReadFileBytes(PathOf("walk.tvp")), project) << "the project file is never the film";

  for (const char* line : {"--export walk.tvp --format avi",
                           "--export walk.tvp --output x.mp4 --number-from 5",
                           "--export walk.tvp --format gif --sound-only"}) {
    run = RunTavoka(directory_.string(), line);
    EXPECT_EQ(run.status, 2) << line << "\n" << run.output;
  }
}

}  // namespace
