// The clip table: insertion order, names, clips without sound, moves, deletion, a new project.

#include <algorithm>
#include <string>

#include "audio/audio_internal.h"
#include "tests/audio_fixtures.h"

namespace {

using namespace audiotest;

class AudioClips : public AudioTest {
 protected:
  // A one-second mono sound (44100 samples, 30 frames at 30 fps) written once per test.
  int AddSecond(int frame, int row, const char* name = "second.wav") {
    if (!written_) {
      Write("second.wav", Wav16(std::vector<int16_t>(44100, 1000)));
      written_ = true;
    }
    return InsertAudioClip(name, frame, row);
  }
  std::vector<int> StartFrames() const {
    std::vector<int> frames;
    for (int i = 0; i < ClipCount(); ++i) frames.push_back(GetClip(i)->startFrame);
    return frames;
  }
  bool written_ = false;
};

TEST_F(AudioClips, ANewClipGoesBeforeClipsOfTheSameStartFrame) {
  EXPECT_EQ(AddSecond(10, 0), 0);
  EXPECT_EQ(AddSecond(5, 1), 0);
  EXPECT_EQ(AddSecond(10, 2), 1);
  EXPECT_EQ(AddSecond(40, 3), 3);
  ASSERT_EQ(ClipCount(), 4);
  EXPECT_EQ(StartFrames(), (std::vector<int>{5, 10, 10, 40}));
  EXPECT_EQ(GetClip(1)->row, 2) << "the newer clip of frame 10 comes first";
  EXPECT_EQ(GetClip(2)->row, 0);

  const Clip* clip = GetClip(3);
  EXPECT_EQ(clip->startSample, 40 * 44100 / 30);
  EXPECT_EQ(clip->volume, 1.0f);
  EXPECT_EQ(clip->pan, 0.0f);
  EXPECT_STREQ(clip->label, "second.wav");
  EXPECT_EQ(GetClip(4), nullptr);
  EXPECT_EQ(GetClip(-1), nullptr);
}

TEST_F(AudioClips, ClipsOfOneNameShareAWaveFoundByName) {
  AddSecond(0, 0);
  AddSecond(50, 1);
  EXPECT_EQ(WaveCount(), 1);
  EXPECT_EQ(GetClip(0)->wave, GetClip(1)->wave);
  EXPECT_EQ(GetWave("second.wav"), GetClip(0)->wave);
  EXPECT_EQ(GetWave("Second.wav"), nullptr) << "names compare case-sensitively";

  // A file of that name elsewhere is never loaded while the wave exists.
  CopyName(project.workPath, kFileNameSize, "/nonexistent/");
  EXPECT_EQ(InsertAudioClip("second.wav", 90, 2), 2);
  EXPECT_EQ(GetClip(2)->wave, GetClip(0)->wave);
  EXPECT_EQ(WaveCount(), 1);
}

TEST_F(AudioClips, TheDirectoryIsCutFromTheNameAndLongNamesAreCut) {
  Write("x.wav", Wav16({1, 2, 3}));
  ASSERT_GE(InsertAudioClip((dir_ + "/x.wav").c_str(), 0, 0), 0);
  EXPECT_STREQ(GetClip(0)->fileName, "x.wav");
  ASSERT_GE(InsertAudioClip("C:\\sounds\\x.wav", 1, 0), 0);
  EXPECT_STREQ(GetClip(1)->fileName, "x.wav");

  const std::string longName(700, 'n');
  const int index = InsertAudioClip(longName.c_str(), 2, 1, MissingSound::kKeepClip);
  ASSERT_EQ(index, 2);
  EXPECT_EQ(std::string(GetClip(index)->fileName), longName.substr(0, kFileNameSize - 1));
  EXPECT_EQ(std::string(GetClip(index)->label), longName.substr(0, kNameSize - 1));
}

TEST_F(AudioClips, AnUnloadableSoundIsRefusedOrKeptWithoutAWave) {
  AddSecond(100, 0);
  Write("packed.wav", CanonicalWav(1, 44100, 4, std::vector<uint8_t>(10, 0)));
  EXPECT_EQ(InsertAudioClip("packed.wav", 3, 1), -1);
  EXPECT_EQ(InsertAudioClip("gone.wav", 3, 1), -1);
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_EQ(WaveCount(), 1);

  // Loading a project whose sound has gone keeps the clip, silent, with what it was.
  const int kept = InsertAudioClip("gone.wav", 20, 4, MissingSound::kKeepClip);
  ASSERT_EQ(kept, 0);
  Clip* clip = GetClip(kept);
  EXPECT_EQ(clip->wave, nullptr);
  EXPECT_STREQ(clip->fileName, "gone.wav");
  EXPECT_STREQ(clip->label, "gone.wav");
  EXPECT_EQ(clip->startFrame, 20);
  EXPECT_EQ(clip->row, 4);
  clip->volume = 0.5f;
  clip->pan = -0.25f;
  EXPECT_EQ(WaveCount(), 1);

  // It never sounds, moves like any clip, and is deleted like any clip.
  AudioPlay(20);
  const std::vector<float> out = Mix(64);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(MoveClip(kept, 110, 1), 1);
  EXPECT_EQ(GetClip(1)->startFrame, 110);
  EXPECT_EQ(GetClip(1)->volume, 0.5f);
  // Without sound it still takes its drawn place: it cannot lie on another clip, but it may
  // end where the next one starts.
  EXPECT_EQ(MoveClip(1, 100, 0), 1);
  EXPECT_EQ(GetClip(1)->row, 1) << "moved onto the clip of lane 0";
  EXPECT_EQ(MoveClip(1, 100 - kMissingSoundFrames + 1, 0), 1);
  EXPECT_EQ(GetClip(1)->row, 1);
  EXPECT_EQ(MoveClip(1, 100 - kMissingSoundFrames, 0), 0);
  EXPECT_EQ(GetClip(0)->wave, nullptr);
  EXPECT_EQ(GetClip(0)->row, 0);
  EXPECT_TRUE(DeleteClip(0));
  EXPECT_EQ(ClipCount(), 1);
  EXPECT_NE(GetClip(0)->wave, nullptr);
}

TEST_F(AudioClips, StartFrameAndLaneStayInRange) {
  EXPECT_EQ(AddSecond(-5, -1), 0);
  EXPECT_EQ(GetClip(0)->startFrame, 0);
  EXPECT_EQ(GetClip(0)->startSample, 0);
  EXPECT_EQ(GetClip(0)->row, 0);
  EXPECT_EQ(AddSecond(100000, 9), 1);
  EXPECT_EQ(GetClip(1)->startFrame, kMaxFrames - 1);
  EXPECT_EQ(GetClip(1)->startSample, (kMaxFrames - 1) * 44100 / 30);
  EXPECT_EQ(GetClip(1)->row, kLaneCount - 1);
}

TEST_F(AudioClips, MovesAreRefusedOntoAnotherClipOfTheLane) {
  AddSecond(0, 0);    // frames 0..29
  AddSecond(100, 0);  // frames 100..129
  EXPECT_EQ(MoveClip(1, 100, 0), 1) << "same place: nothing to do";
  EXPECT_EQ(MoveClip(1, 20, 0), 1);
  EXPECT_EQ(GetClip(1)->startFrame, 100) << "the refused clip keeps its place";
  EXPECT_EQ(GetClip(1)->startSample, 100 * 1470);
  EXPECT_EQ(MoveClip(1, 29, 0), 1);
  EXPECT_EQ(GetClip(1)->startFrame, 100);
  EXPECT_EQ(MoveClip(1, 30, 0), 1) << "touching is not overlapping";
  EXPECT_EQ(GetClip(1)->startFrame, 30);
  EXPECT_EQ(MoveClip(1, 10, 1), 1) << "another lane is free";
  EXPECT_EQ(GetClip(1)->row, 1);
  EXPECT_EQ(MoveClip(0, 15, 1), 0) << "the lane is taken now";
  EXPECT_EQ(GetClip(0)->row, 0);
}

TEST_F(AudioClips, MovesClampToFrameZeroAndResortBothWays) {
  AddSecond(10, 0);
  AddSecond(40, 1);
  AddSecond(70, 2);
  AddSecond(100, 3);
  Clip* first = GetClip(0);
  EXPECT_EQ(MoveClip(0, 80, 0), 2);
  EXPECT_EQ(GetClip(2), first);
  EXPECT_EQ(StartFrames(), (std::vector<int>{40, 70, 80, 100}));
  EXPECT_EQ(first->startSample, 80 * 1470);
  EXPECT_EQ(MoveClip(2, 200, 0), 3);
  EXPECT_EQ(StartFrames(), (std::vector<int>{40, 70, 100, 200}));
  EXPECT_EQ(MoveClip(3, -25, 0), 0);
  EXPECT_EQ(GetClip(0), first);
  EXPECT_EQ(first->startFrame, 0);
  EXPECT_EQ(StartFrames(), (std::vector<int>{0, 40, 70, 100}));
}

TEST_F(AudioClips, StartSamplesKeepTheFpsTheyWereSetWith) {
  AddSecond(30, 0);
  project.fps = 60;
  EXPECT_EQ(GetClip(0)->startSample, 44100);
  MoveClip(0, 30, 1);
  EXPECT_EQ(GetClip(0)->startSample, 22050);
}

TEST_F(AudioClips, DeletingMovesLaterClipsDownAndKeepsTheWave) {
  AddSecond(0, 0);
  AddSecond(40, 1);
  AddSecond(80, 2);
  Clip* last = GetClip(2);
  EXPECT_FALSE(DeleteClip(3));
  EXPECT_FALSE(DeleteClip(-1));
  EXPECT_TRUE(DeleteClip(1));
  ASSERT_EQ(ClipCount(), 2);
  EXPECT_EQ(GetClip(1), last);
  EXPECT_EQ(StartFrames(), (std::vector<int>{0, 80}));
  EXPECT_EQ(WaveCount(), 1);
  EXPECT_TRUE(DeleteClip(0));
  EXPECT_TRUE(DeleteClip(0));
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(WaveCount(), 1);
}

TEST_F(AudioClips, TheTableGrowsPastItsFirstThousandInOrder) {
  for (int i = 0; i < kTableGrowth + 100; ++i) ASSERT_GE(AddSecond((i * 37) % 1500, i % kLaneCount), 0);
  ASSERT_EQ(ClipCount(), kTableGrowth + 100);
  const std::vector<int> frames = StartFrames();
  EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
  EXPECT_EQ(RetiredOrderCount(), 0) << "without a mixer, replaced orders are freed at once";
}

TEST_F(AudioClips, ANewProjectEmptiesClipsAndWavesAndUnmutes) {
  ClearNewProjectHooks();
  AddNewProjectHook(NewProjectAudio);
  AddSecond(0, 0);
  muted = true;
  AudioPlay(0);
  NewProject();
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(WaveCount(), 0);
  EXPECT_FALSE(muted);
  EXPECT_FALSE(sounding);
  EXPECT_EQ(playPosition, 0);

  // The wave of a deleted clip goes too, so the next project loads its own file of that name.
  CopyName(project.workPath, kFileNameSize, (dir_ + "/").c_str());
  AddSecond(0, 0);
  DeleteClip(0);
  ASSERT_EQ(WaveCount(), 1);
  NewProject();
  EXPECT_EQ(WaveCount(), 0);
  ClearNewProjectHooks();
  FreeObject(project.root);
  project.root = nullptr;
}

}  // namespace

namespace {

TEST_F(AudioClips, TheTableRefusesClipsBeyondWhatAProjectFileCanHold) {
  for (int i = 0; i < kMaxClips; ++i) {
    ASSERT_GE(InsertAudioClip("gone.wav", i % kMaxFrames, i % 7, MissingSound::kKeepClip), 0);
  }
  EXPECT_EQ(InsertAudioClip("gone.wav", 5, 0, MissingSound::kKeepClip), -1);
  EXPECT_EQ(ClipCount(), kMaxClips);
}

}  // namespace
