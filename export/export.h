// Animation export: the play range rendered through the camera into numbered 640 x 480 RGB PNG
// pictures, optionally with 16-sample motion blur, and the mixed sound of the same range in one
// 16-bit stereo WAV file. Builds on the scene (evaluation, image pass), the image bank, the mixer
// and the window's OpenGL context (framebuffer objects). Main thread only; PNG files are encoded
// on worker threads while the next picture renders.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kExportWidth = 640;
constexpr int kExportHeight = 480;
constexpr int kBlurSamples = 16;        // sub-frames of a motion-blurred picture
constexpr int kSoundBlockFrames = 256;  // the sound is mixed and written in blocks of this many
constexpr int kWavHeaderBytes = 44;
constexpr int kExportMessageSize = 1200;  // room for two paths and a reason

enum class ExportOutcome {
  kCompleted,        // every picture and the sound file were written
  kNothingToExport,  // the range ends before it starts: no file was written
  kCancelled,        // the progress callback asked to stop; the pictures written so far stay
  kFailed,           // a file could not be written, or the range or path cannot be used;
                     // message says which and why
};

struct ExportResult {
  ExportOutcome outcome = ExportOutcome::kFailed;
  int32_t framesWritten = 0;  // complete picture files on disk, counted from _frame0000
  int32_t framesTotal = 0;    // pictures the range holds
  char message[kExportMessageSize] = "";  // "Export completed", or what went wrong and where
};

// Called between pictures with the picture about to be rendered (1-based) and the number of
// pictures; returning false stops the export before that picture. Runs on the main thread with
// the window's framebuffer bound and the OpenGL state as the caller had it, so it may draw and
// present. data is ExportOptions::progressData.
using ExportProgress = bool (*)(int frame, int total, void* data);

struct ExportOptions {
  ExportProgress progress = nullptr;
  void* progressData = nullptr;
  // Threads that encode and write the PNG files while the next picture renders; 0 encodes each
  // picture on the main thread before the next is rendered; -1 picks from the machine's cores.
  // The files are the same either way.
  int encoderThreads = -1;
};

// Cuts the extension off path in place: a '.' within its last four characters ends the string
// there, unless a directory separator follows it. "walk.png" and "walk.bc" become "walk";
// "walk.jpeg" stays whole.
void CutExtension(char* path);

// Renders frames startFrame..endFrame into base_frame0000.png, base_frame0001.png, ... and mixes
// their sound into base_audio.wav, where base is path with its extension cut (path is changed in
// place). Leaves project.currentFrame at the frame after the last one rendered and the objects
// evaluated there: the caller puts the current frame back. Restores every piece of OpenGL state
// it changes. True only when every file was written; result (optional) says what happened.
bool ExportAnimation(char* path, int startFrame, int endFrame, bool motionBlur,
                     const ExportOptions& options = ExportOptions(),
                     ExportResult* result = nullptr);

// Mixes the sound of frames startFrame..endFrame into base_audio.wav as ExportAnimation does,
// without rendering a picture: the same file, byte for byte, as the full export of that range.
// path is changed in place as there. Needs no OpenGL.
bool ExportSound(char* path, int startFrame, int endFrame, ExportResult* result = nullptr);

// Writes an RGB picture of height rows of width x 3 bytes, buffer row 0 becoming the first row
// of the file. False when the file cannot be created or written or libpng fails; why (optional,
// whySize bytes) then says what went wrong. A regular file that was started is removed again.
bool WritePng(const char* path, const uint8_t* rgb, int width, int height, char* why = nullptr,
              size_t whySize = 0);

// The 44-byte header of a 44100 Hz, 16-bit stereo WAV file of sampleFrames frames.
void MakeWavHeader(uint8_t header[kWavHeaderBytes], int32_t sampleFrames);
// A mixed sample as the file stores it: the nearest integer to v x 32767.5, ties to even, as its
// low 16 bits.
int16_t SampleToPcm16(float v);
// Sample frames of sound for frames pictures at fps: frames x 44100 / fps rounded down, then
// down to a whole number of 256-frame blocks.
int32_t ExportSoundFrames(int frames, int fps);

// How the editor tells the user the result: "Export completed" (caption "Info"), a cancelled
// export (caption "Info"), or the message of a failure or an empty range (caption "Error", the
// warning icon), through the dialog backend in use.
void ReportExport(const ExportResult& result);
