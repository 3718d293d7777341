// The real PortAudio stream: opening it is quiet, a missing device leaves a silent program, and
// a device (ALSA's null device here) pulls buffers through the callback until shut-down.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "app/app.h"
#include "tests/audio_fixtures.h"
#include "tests/harness.h"

namespace {

using namespace audiotest;

// Sends stderr to a file while it lives; text() is what was written meanwhile.
class CapturedStderr {
 public:
  CapturedStderr() {
    char pattern[] = "/tmp/tavoka_stderr_XXXXXX";
    fd_ = mkstemp(pattern);
    path_ = pattern;
    std::fflush(stderr);
    saved_ = dup(2);
    dup2(fd_, 2);
  }
  ~CapturedStderr() {
    Restore();
    close(fd_);
    unlink(path_.c_str());
  }
  std::string text() {
    Restore();
    std::string all;
    char buffer[512];
    lseek(fd_, 0, SEEK_SET);
    for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(n));
    return all;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }
  int fd_ = -1;
  int saved_ = -1;
  std::string path_;
};

TEST(AudioStream, StartingAndStoppingSoundIsQuietWithOrWithoutADevice) {
  CapturedStderr captured;
  const int result = InitAudio(true);
  EXPECT_EQ(result == 0, AudioStreamOpen());
  // Without a device the mixer still works; the program is merely silent.
  AudioPlay(0);
  std::vector<float> out(64);
  if (!AudioStreamOpen()) MixAudio(out.data(), 32);
  FreeAudio(true);
  EXPECT_FALSE(AudioStreamOpen());
  EXPECT_EQ(captured.text(), "");
}

TEST(AudioStream, ANullDevicePullsBuffersThroughTheCallback) {
  char confPath[] = "/tmp/tavoka_alsa_XXXXXX";
  const int fd = mkstemp(confPath);
  ASSERT_GE(fd, 0);
  const char conf[] = "pcm.!default { type null }\n";
  ASSERT_EQ(write(fd, conf, sizeof conf - 1), static_cast<ssize_t>(sizeof conf - 1));
  close(fd);
  setenv("ALSA_CONFIG_PATH", confPath, 1);

  project = ProjectState();
  const int result = InitAudio(true);
  unlink(confPath);
  if (!AudioStreamOpen()) {
    FreeAudio(true);
    GTEST_SKIP() << "PortAudio opened no ALSA null device (error " << result << ")";
  }
  EXPECT_EQ(result, 0);

  // The null device takes buffers as fast as they come; a second of sound passes quickly.
  AudioPlay(0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (playPosition < 44100 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GE(playPosition, 44100);

  // A new project stops and restarts the stream without closing it.
  NewProjectAudio();
  EXPECT_TRUE(AudioStreamOpen());
  FreeAudio(true);
  EXPECT_FALSE(AudioStreamOpen());
}

// PortAudio 19.6 ends the program in its device scan when ALSA's configuration defines no PCM
// device at all; the editor must notice first and run silent, as without a sound card.
TEST(AudioStream, AnAlsaConfigurationWithoutDevicesLeavesTheProgramSilent) {
  for (const char* conf : {"", "pcm.null { type null }\npcm.hw { type hw card 0 }\n"}) {
    SCOPED_TRACE(conf);
    char confPath[] = "/tmp/tavoka_alsa_XXXXXX";
    ASSERT_EQ(close(mkstemp(confPath)), 0);
    std::ofstream(confPath) << conf;
    setenv("ALSA_CONFIG_PATH", confPath, 1);

    CapturedStderr captured;
    project = ProjectState();
    EXPECT_NE(InitAudio(true), 0);
    EXPECT_FALSE(AudioStreamOpen());
    // Silent, not broken: the mixer still plays for the export.
    AudioPlay(0);
    std::vector<float> out(64, -1.0f);
    MixAudio(out.data(), 32);
    EXPECT_EQ(out[0], 0.0f);
    FreeAudio(true);
    EXPECT_EQ(captured.text(), "");
    unsetenv("ALSA_CONFIG_PATH");
    unlink(confPath);
  }
}

// The editor's start-up opens sound before the first project, a new project empties it, and
// shut-down frees it first.
TEST(AppAudio, StartUpNewProjectAndShutDown) {
  StartEditor();
  const char path[] = "/tmp/tavoka_app_audio.wav";
  ASSERT_TRUE(WriteFile(path, Wav16({1, 2, 3})));
  ASSERT_EQ(InsertAudioClip(path, 0, 0), -1) << "the name is looked up in the (empty) work path";
  CopyName(project.workPath, kFileNameSize, "/tmp/");
  ASSERT_EQ(InsertAudioClip(path, 0, 0), 0);
  muted = true;
  NewProject();
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(WaveCount(), 0);
  EXPECT_FALSE(muted);
  CopyName(project.workPath, kFileNameSize, "/tmp/");
  ASSERT_EQ(InsertAudioClip(path, 0, 0), 0);
  wekFree();
  unlink(path);
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_FALSE(AudioStreamOpen());
}

}  // namespace
