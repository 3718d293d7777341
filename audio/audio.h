// Sound: waves loaded from WAV files, clips placed on the timeline's lanes, the mixer that plays
// them from a sample position, scrubbing, and the PortAudio output stream. Builds on the scene
// (project.fps, project.workPath, exporting) and the log. Everything here runs on the main
// thread except MixAudio, which the stream's callback calls on its own thread; the rules of that
// hand-over are at the top of audio/mixer.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/wav_reader.h"
#include "scene/scene.h"

constexpr int kLaneCount = 7;             // timeline lanes 0..6
constexpr int kTableGrowth = 1024;        // the clip and wave tables grow in steps of this
constexpr int kMaxActiveClips = 16;       // clips that can sound within one frame
constexpr int kMaxClips = 8192;           // clips of one project; a project file holds no more
constexpr int kLookAheadSamples = 5;      // a frame's list holds clips starting this soon after it
constexpr int kScrubSamples = 1837;       // length of a scrub snippet (about 42 ms)
constexpr int kScrubFadeSamples = 137;    // fade-in and fade-out of a snippet
constexpr float kScrubFadeStep = 0.00729927f;
constexpr float kOutputLimit = 0.999f;    // mixed values are clamped to +-this
constexpr int kFramesPerBuffer = 512;     // the stream's buffer, 11.6 ms at 44100 Hz
// A clip whose sound file is missing has no length of its own; it takes this many frames of its
// lane (drawn so wide on the timeline, and no other clip may be moved onto them).
constexpr int kMissingSoundFrames = 8;

// One sound file loaded at 44100 Hz. Complete before any clip refers to it; its samples never
// change afterwards and it is freed only by FreeAudio, so the mixer reads it without further
// care. The overview (main thread only, never mixed) follows the frame rate.
struct Wave {
  char name[kFileNameSize] = "";  // the clip file name it was loaded for; GetWave's key
  int32_t length = 0;             // sample frames at 44100 Hz
  const float* left = nullptr;    // already scaled by the import gain
  const float* right = nullptr;   // the same array as left for a sound that is not stereo
  int32_t overviewLength = 0;     // waveform columns, at least 16
  const uint8_t* overview = nullptr;  // height 1..14 per column
  WavSamples samples;             // storage behind left and right
  std::vector<uint8_t> overviewData;  // storage behind overview
};

// A wave placed on the timeline. Records live at fixed addresses from insertion to deletion (the
// table holds pointers), so the mixer may hold one across buffers. The fields the mixer reads
// while the main thread edits them are atomic; the rest are main-thread only. startSample,
// startFrame and row change only through MoveClip and RetimeClips (the table's order and the
// order published to the mixer depend on them); label, volume and pan may be written directly.
struct Clip {
  char fileName[kFileNameSize] = "";  // bare sound file name, looked up in the work path
  char label[kNameSize] = "";         // text shown on the clip; starts as fileName
  std::atomic<int32_t> startSample{0};  // startFrame * 44100 / fps, fps when it was set
  int32_t startFrame = 0;
  int32_t row = 0;                    // lane 0..6
  std::atomic<float> volume{1.0f};    // 0..1
  std::atomic<float> pan{0.0f};       // -1 left .. +1 right
  Wave* wave = nullptr;  // shared; null when the sound file was missing (never mixed); fixed
};

// Playback state shared with the mixer. Read them freely; only the operations below write them.
extern std::atomic<int32_t> playPosition;  // next sample to mix, at 44100 Hz from frame 0
extern std::atomic<bool> sounding;         // sound is being produced
extern std::atomic<int32_t> countdown;     // samples left of a snippet; negative: open-ended
extern std::atomic<bool> muted;            // global mute; playback keeps advancing

// The wave table (main thread): the wave loaded for name (byte for byte), or null.
Wave* GetWave(const char* name);
// Loads work path + clip.fileName into a new wave and sets clip.wave; false (logged, nothing
// added, the reason kept for LastSoundProblem) when the file is missing, is not a regular file,
// is not an uncompressed WAV file or does not fit in the memory left.
bool LoadSample(Clip& clip);
// Why the last LoadSample failed, and the reason in words ("not enough memory", "unsupported
// sample rate (1)"); kNone and "" after one that succeeded.
enum class SoundProblem { kNone, kUnreadable, kNotUncompressedWav, kNoMemory };
SoundProblem LastSoundProblem();
const char* LastSoundProblemText();
int WaveCount();

// The clip table (main thread), sorted by startFrame; a new clip goes before existing clips
// with the same start frame.
int ClipCount();
// The clip at index, or null when index names no clip.
Clip* GetClip(int index);

// What InsertAudioClip does when the sound cannot be loaded.
enum class MissingSound {
  kRefuse,    // no clip; -1 ("import sound")
  kKeepClip,  // the clip is kept without a wave, silent, with its names and placement (loading
              // a project whose sound file has gone)
};
// Inserts a clip of the sound file name (its directory is cut off) at startFrame (0..1999) in
// lane row (0..6); the clip's index, or -1 when the sound cannot be loaded and missing says so.
int InsertAudioClip(const char* name, int startFrame, int row,
                    MissingSound missing = MissingSound::kRefuse);
// Moves clip index to startFrame (negative becomes 0) and lane row, keeping the table sorted;
// returns its new index. A move onto another clip of that lane is refused (index unchanged); a
// clip without sound covers kMissingSoundFrames frames for this test.
int MoveClip(int index, int startFrame, int row);
// After the project's frame rate changed: every clip starts at its frame under the new rate and
// every waveform overview is drawn for it, as a saved and loaded project would have them. The
// clips keep their order (start frames do not change).
void RetimeClips();
// Removes clip index; later clips move down one place. Its wave stays loaded. False when index
// names no clip.
bool DeleteClip(int index);

// Open-ended playback from frame (the animation plays).
void AudioPlay(int frame);
// Ends any sound.
void AudioStop();
// A 1837-sample snippet from frame, faded in and out (scrubbing on the timeline).
void StartScrub(int frame);

// Mixes frames stereo frames of interleaved floats (left, right) at the play position and
// advances it. One mixer at a time: a call waits for the stream's callback to finish its buffer.
// An export sets exporting before its AudioPlay, so the stream stays out of its way until done.
void MixAudio(float* out, int frames);

// The stream's callback in PortAudio's V19 form: silence while exporting, else MixAudio.
struct PaStreamCallbackTimeInfo;
int AudioCallback(const void* input, void* output, unsigned long frames,
                  const PaStreamCallbackTimeInfo* time, unsigned long statusFlags, void* userData);

// Empties the tables and the playback state; with openStream, initialises PortAudio and opens
// the default output. Starts the stream unless it runs already. Returns PortAudio's error code
// (0 on success); without a sound device the program simply stays silent.
int InitAudio(bool openStream);
// Stops the stream (closes it and ends PortAudio with closeStream) and frees every clip and
// wave. No MixAudio may run meanwhile (the stream is stopped first; tests join their threads).
void FreeAudio(bool closeStream);
// A new project's part: frees whatever audio holds, unmutes, restarts the stream without
// closing it. Registered with AddNewProjectHook by InitApplication.
void NewProjectAudio();
// True while an output stream is open (a sound device was found).
bool AudioStreamOpen();
