// `tavoka --export`: the real program run without a display on a project the project writer
// made, its files compared byte for byte with the editor's export of the same project, and its
// exit status and one-line messages when something is wrong.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "project/project_file.h"
#include "tests/audio_fixtures.h"
#include "tests/export_fixture.h"
#include "tests/program_run.h"

namespace {

class BatchExport : public ExportTest {
 protected:
  // walk.tvp: a moving red image and a still blue one, frames 2..6, a sound clip.
  void SetUp() override {
    ExportTest::SetUp();
    SceneObject* mover = AddImageObject("red.png", -100, 0);
    AddCornerKey(mover, 8, 100, 40);
    AddImageObject("blue.png", 50, 120);
    project.playStart = 2;
    project.playEnd = 6;
    std::vector<int16_t> tone(44100);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>((i % 100) * 90 - 4500);
    ASSERT_TRUE(WriteFileBytes(PathOf("tone.wav"), audiotest::Wav16(tone)));
    ASSERT_GE(InsertAudioClip("tone.wav", 3, 0), 0);
    ASSERT_TRUE(SaveProject(PathOf("walk.tvp").c_str()));
  }
  // Opens a project file as the editor would: the clips of the project open now go first.
  static bool Open(const std::string& path) {
    FreeAudio(false);
    InitAudio(false);
    return LoadProject(path.c_str());
  }
  std::string Quoted(const std::string& name) const { return "'" + PathOf(name) + "'"; }
};

TEST_F(BatchExport, WritesTheFilesOfTheMenuExportNamedAfterTheProject) {
  const ProgramRun run = RunTavoka(directory_.string(), "--export walk.tvp");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("frame 1 of 5"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Export completed"), std::string::npos) << run.output;

  // The editor's export of the same file, as the menu runs it.
  ASSERT_TRUE(Open(PathOf("walk.tvp")));
  ExportResult result;
  ASSERT_TRUE(Export("menu.png", project.playStart, project.playEnd, false, &result));
  for (int i = 0; i < 5; ++i) {
    const std::vector<uint8_t> batch = ReadFileBytes(PathOf(FrameName("walk", i)));
    ASSERT_FALSE(batch.empty()) << i;
    EXPECT_EQ(batch, ReadFileBytes(PathOf(FrameName("menu", i)))) << "picture " << i;
  }
  EXPECT_FALSE(Exists("walk_frame0005.png"));
  const std::vector<uint8_t> sound = ReadFileBytes(PathOf("walk_audio.wav"));
  EXPECT_EQ(sound.size(), static_cast<size_t>(kWavHeaderBytes + 4 * ExportSoundFrames(5, 30)));
  EXPECT_EQ(sound, ReadFileBytes(PathOf("menu_audio.wav")));
  int sounding = 0;
  for (size_t i = kWavHeaderBytes; i < sound.size(); ++i) sounding += sound[i] != 0;
  EXPECT_GT(sounding, 1000) << "the clip from frame 3 is in the mix";
}

TEST_F(BatchExport, OutputFramesAndMotionBlurReplaceTheDefaults) {
  ASSERT_EQ(std::system(("mkdir -p " + Quoted("out")).c_str()), 0);
  const ProgramRun run = RunTavoka(directory_.string(),
                            "--export walk.tvp --output out/take.png --frames 4-5 --motion-blur");
  ASSERT_EQ(run.status, 0) << run.output;
  ASSERT_TRUE(Open(PathOf("walk.tvp")));
  ASSERT_TRUE(Export("menu", 4, 5, true, nullptr));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ReadFileBytes(PathOf("out/" + FrameName("take", i))),
              ReadFileBytes(PathOf(FrameName("menu", i))))
        << i;
  }
  EXPECT_FALSE(Exists("out/take_frame0002.png"));
  EXPECT_TRUE(Exists("out/take_audio.wav"));
}

// A long export split into --frames pieces: every piece numbers its pictures from 0000, so a
// piece's pictures are renamed by its first frame; the sound is written once, whole, by
// --sound-only. The result is the single run's files byte for byte.
TEST_F(BatchExport, PiecesAndTheSoundOnlyRunMakeTheWholeExport) {
  ASSERT_EQ(std::system(("mkdir -p " + Quoted("whole") + " " + Quoted("parts")).c_str()), 0);
  ProgramRun run = RunTavoka(directory_.string(), "--export walk.tvp --output whole/walk.png");
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunTavoka(directory_.string(), "--export walk.tvp --frames 2-3 --output parts/a.png");
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunTavoka(directory_.string(), "--export walk.tvp --frames 4-6 --output parts/b.png");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Exists("parts/b_frame0000.png")) << "a piece numbers its pictures from 0000";
  EXPECT_FALSE(Exists("parts/b_frame0003.png"));

  run = RunTavoka(directory_.string(), "--export walk.tvp --sound-only --output parts/walk.png");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("parts/walk_audio.wav"), std::string::npos) << run.output;
  EXPECT_FALSE(Exists("parts/walk_frame0000.png")) << "the sound run renders no picture";
  EXPECT_EQ(ReadFileBytes(PathOf("parts/walk_audio.wav")),
            ReadFileBytes(PathOf("whole/walk_audio.wav")));

  // Play range 2..6: piece a holds whole pictures 0 and 1, piece b pictures 2 to 4.
  const std::vector<std::pair<std::string, int>> pieces = {
      {"a", 0}, {"a", 1}, {"b", 0}, {"b", 1}, {"b", 2}};
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::vector<uint8_t> piece =
        ReadFileBytes(PathOf("parts/" + FrameName(pieces[i].first, pieces[i].second)));
    ASSERT_FALSE(piece.empty()) << i;
    EXPECT_EQ(piece, ReadFileBytes(PathOf("whole/" + FrameName("walk", static_cast<int>(i)))))
        << "picture " << i;
  }

  // A sound-only run checks its range and path as the full export does.
  run = RunTavoka(directory_.string(), "--export walk.tvp --sound-only --output /nonexistent/d/x");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, 1) << run.output;
  EXPECT_NE(run.output.find("/nonexistent/d/x_audio.wav"), std::string::npos) << run.output;
}

TEST_F(BatchExport, FailuresExitNonZeroWithOneLine) {
  ProgramRun run = RunTavoka(directory_.string(), "--export missing.tvp");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, 1) << run.output;
  EXPECT_NE(run.output.find("couldn't load project missing.tvp"), std::string::npos) << run.output;

  ASSERT_TRUE(WriteFileBytes(PathOf("bad.tvp"), {1, 2, 3}));
  run = RunTavoka(directory_.string(), "--export bad.tvp");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines, 1) << run.output;

  run = RunTavoka(directory_.string(), "--export walk.tvp --output /nonexistent/dir/x.png");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("/nonexistent/dir/x_frame0000.png"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Export completed"), std::string::npos);

  // A play range ending before it starts.
  ASSERT_TRUE(Open(PathOf("walk.tvp")));
  project.playStart = 9;
  project.playEnd = 3;
  ASSERT_TRUE(SaveProject(PathOf("empty.tvp").c_str()));
  run = RunTavoka(directory_.string(), "--export empty.tvp");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Nothing to export"), std::string::npos) << run.output;
  EXPECT_FALSE(Exists("empty_frame0000.png"));
  EXPECT_FALSE(Exists("empty_audio.wav"));

  for (const char* frames : {"7-3", "a-b", "0-2000", "-4", "3-", "1-2-3"}) {
    run = RunTavoka(directory_.string(), std::string("--export walk.tvp --frames ") + frames);
    EXPECT_EQ(run.status, 2) << frames << ": " << run.output;
    EXPECT_EQ(run.lines, 1) << run.output;
  }
  run = RunTavoka(directory_.string(), "--output x.png walk.tvp");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_FALSE(Exists("x_frame0000.png"));
}

// A project that shows images which cannot be loaded: the export completes without them and
// names them; with --strict nothing is written and the status is 3.
TEST_F(BatchExport, ImagesThatCannotBeLoadedAreNamedAndStrictStopsBeforeWriting) {
  ASSERT_TRUE(Open(PathOf("walk.tvp")));
  AddImageObject("gone.png", 0, 0);
  AddImageObject("broken.png", 10, 0);
  AddImageObject("gone.png", 20, 0);
  ASSERT_TRUE(WriteFileBytes(PathOf("broken.png"), {'n', 'o', 't', ' ', 'p', 'n', 'g'}));
  ASSERT_TRUE(SaveProject(PathOf("holes.tvp").c_str()));

  ProgramRun run = RunTavoka(directory_.string(), "--export holes.tvp --strict");
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_EQ(run.lines, 1) << run.output;
  EXPECT_NE(run.output.find("could not be loaded: broken.png, gone.png"), std::string::npos)
      << run.output;
  EXPECT_FALSE(Exists("holes_frame0000.png"));
  EXPECT_FALSE(Exists("holes_audio.wav"));

  run = RunTavoka(directory_.string(), "--export holes.tvp");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Export completed, but these images could not be loaded: broken.png, "
                            "gone.png\n"),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(Exists("holes_frame0004.png"));

  // The same project without the missing pictures on screen passes the strict check.
  run = RunTavoka(directory_.string(), "--export walk.tvp --strict --output strict.png");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("could not be loaded"), std::string::npos) << run.output;
}

// A killed export (SIGKILL, as a crash or a power cut ends it) leaves every file of the export's
// names either as the last whole export left it or whole and new, never empty or cut short; the
// next export removes the temporary files the killed one left.
TEST_F(BatchExport, AKilledExportLeavesEveryFileOldOrWhole) {
  // Noise over the whole picture takes long to encode, so the kill finds pictures being written.
  RgbaImage noise(kExportWidth, kExportHeight, Rgba{0, 0, 0, 255});
  std::mt19937 random(5);
  for (size_t i = 0; i < noise.pixels.size(); ++i) {
    if (i % 4 != 3) noise.pixels[i] = static_cast<uint8_t>(random());
  }
  ASSERT_TRUE(WritePngFile(PathOf("noise.png"), noise, PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8}));
  ASSERT_TRUE(Open(PathOf("walk.tvp")));
  AddImageObject("noise.png", 0, 0);
  ASSERT_TRUE(SaveProject(PathOf("slow.tvp").c_str()));
  std::filesystem::create_directory(PathOf("out"));
  const std::string frames = " --frames 0-19 --output out/slow.png";
  ProgramRun run = RunTavoka(directory_.string(), "--export slow.tvp" + frames);
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<std::vector<uint8_t>> old;
  for (int i = 0; i < 20; ++i) old.push_back(ReadFileBytes(PathOf("out/" + FrameName("slow", i))));
  const std::vector<uint8_t> oldSound = ReadFileBytes(PathOf("out/slow_audio.wav"));

  run = KillTavokaAt(directory_.string(), "--export slow.tvp --scale 2 --motion-blur" + frames,
                     "frame 5 of 20");
  ASSERT_EQ(run.status, 0) << "killed while it ran: " << run.output;
  int renewed = 0;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "out/" + FrameName("slow", i);
    const std::vector<uint8_t> bytes = ReadFileBytes(PathOf(name));
    ASSERT_FALSE(bytes.empty()) << name;
    if (bytes == old[i]) continue;
    RgbImage picture;
    EXPECT_TRUE(ReadPngRgb(PathOf(name).c_str(), &picture)) << name << " is cut short";
    EXPECT_EQ(picture.width, 2 * kExportWidth) << name;
    ++renewed;
  }
  EXPECT_LE(renewed, 4);
  EXPECT_TRUE(ReadFileBytes(PathOf("out/slow_audio.wav")) == oldSound);

  run = RunTavoka(directory_.string(),
                  "--export slow.tvp --frames 0-0 --pictures-only --output out/slow.png");
  ASSERT_EQ(run.status, 0) << run.output;
  for (const auto& entry : std::filesystem::directory_iterator(PathOf("out"))) {
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

TEST_F(BatchExport, HelpDescribesTheExport) {
  const ProgramRun run = RunTavoka(directory_.string(), "--help");
  EXPECT_EQ(run.status, 0);
  for (const char* word : {"--export", "--output", "--motion-blur", "--frames", "--sound-only",
                           "--scale", "--number-from", "--pictures-only", "--strict"}) {
    EXPECT_NE(run.output.find(word), std::string::npos) << word;
  }
}

// A hang-up (the terminal or the session closing) cancels a running export as SIGTERM and
// Ctrl+C do: the program says so and ends with a failure instead of being killed mid-file.
TEST_F(BatchExport, AHangUpCancelsTheExport) {
  const ProgramRun run = RunTavoka(directory_.string(),
                                   "--export walk.tvp --frames 0-1999 --motion-blur",
                                   "--preserve-status -k 20 -s HUP 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("Export cancelled"), std::string::npos) << run.output;
}

}  // namespace
