// Animation export: the play range rendered through the camera into numbered RGB PNG pictures of
// 640 x 480 pixels or a whole multiple of that size, optionally with 16-sample motion blur, and
// the mixed sound of the same range in one 16-bit stereo WAV file; or the same pictures and
// sound as one video file (MP4, WebM or GIF, export/video_file.h). Builds on the scene
// (evaluation, image pass), the image bank, the mixer and the window's OpenGL context
// (framebuffer objects). Main thread only; PNG files and films are encoded on threads of their
// own while the next picture renders. The pictures and the sound go to an output
// (export/export_output.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kExportWidth = 640;   // picture size at scale 1: one pixel per scene unit
constexpr int kExportHeight = 480;
constexpr int kMaxExportScale = 4;  // pictures of up to 4 x 640 by 4 x 480 pixels
constexpr int kMaxPictureNumber = 9999;  // the largest number a picture's file name may start at
constexpr int kBlurSamples = 16;        // sub-frames of a motion-blurred picture
constexpr int kSoundBlockFrames = 256;  // the sound is mixed and written in blocks of this many
constexpr int kWavHeaderBytes = 44;
constexpr int kExportMessageSize = 1200;  // room for two paths and a reason

// What an export writes: the PNG sequence with its WAV file, or one video file.
enum class ExportFileFormat {
  kFromPath,  // by the output name's extension: .mp4, .webm, .gif, anything else PNG
  kPng,
  kMp4,
  kWebm,
  kGif,
};
// The format a path's extension names (.mp4, .webm and .gif in any letter case; PNG otherwise).
ExportFileFormat ExportFormatOfPath(const char* path);
// "png", "mp4", "webm" or "gif" (the command line's --format); false for anything else.
bool ParseExportFormat(const char* name, ExportFileFormat* format);
// The extension a format's files have: ".png", ".mp4", ".webm" or ".gif".
const char* ExportFormatExtension(ExportFileFormat format);

enum class ExportOutcome {
  kCompleted,        // every picture and the sound file were written
  kNothingToExport,  // the range ends before it starts: no file was written
  kCancelled,        // the progress callback asked to stop; the pictures written so far stay
  kFailed,           // a file could not be written, or the range or path cannot be used;
                     // message says which and why
};

struct ExportResult {
  ExportOutcome outcome = ExportOutcome::kFailed;
  int32_t framesWritten = 0;  // complete pictures written, counted from the first
  int32_t framesTotal = 0;    // pictures the range holds
  // "Export completed", "Export completed, but ..." (warnings set), or what went wrong and where.
  char message[kExportMessageSize] = "";
  bool warnings = false;  // completed, but some pictures lack images (below)

  // What the pictures lack, gathered while they render.
  std::vector<std::string> unloadedImages;  // image files the bank could not load, sorted
  int32_t droppedImages = 0;  // images left out beyond the 1000 a picture holds, in all pictures
  std::vector<int32_t> framesWithDroppedImages;  // their project frames, ascending
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
  // Pictures of scale x 640 by scale x 480 pixels (1 to 4): the same framing, scale pixels per
  // scene unit.
  int scale = 1;
  // The number in the first picture's name (base_frameNNNN.png); the next ones count on. A
  // video file has no numbers: anything but 0 is refused for it.
  int numberFrom = 0;
  bool writeSound = true;  // false: the pictures only, no WAV file (a film without sound)
  ExportFileFormat format = ExportFileFormat::kFromPath;
};

// Cuts the extension off path in place: a '.' within its last four characters ends the string
// there, unless a directory separator follows it. "walk.png" and "walk.bc" become "walk";
// "walk.jpeg" stays whole.
void CutExtension(char* path);

// Renders frames startFrame..endFrame into base_frame0000.png, base_frame0001.png, ... (numbered
// from options.numberFrom) and mixes their sound into base_audio.wav, where base is path with its
// extension cut (path is changed in place). For a video format (options.format, or path's
// extension) the pictures and sound go into the one file path instead, at the project's frame
// rate, and nothing else is written; a cancelled or failed film is removed again. Every file is
// written under a temporary name and renamed into place once complete, so a file of an export's
// name is either the old one or the whole new one. Leaves project.currentFrame at the frame after the last one rendered and the
// objects evaluated there: the caller puts the current frame back. Restores every piece of
// OpenGL state it changes. True only when every file was written; result (optional) says what
// happened, including images that could not be loaded or did not fit in a picture.
bool ExportAnimation(char* path, int startFrame, int endFrame, bool motionBlur,
                     const ExportOptions& options = ExportOptions(),
                     ExportResult* result = nullptr);

// Mixes the sound of frames startFrame..endFrame into base_audio.wav as ExportAnimation does,
// without rendering a picture: the same file, byte for byte, as the full export of that range.
// path is changed in place as there. Needs no OpenGL.
bool ExportSound(char* path, int startFrame, int endFrame, ExportResult* result = nullptr);

// Writes an RGB picture of height rows of width x 3 bytes, buffer row 0 becoming the first row
// of the file, under a temporary name that replaces path once the picture is complete. False
// when the file cannot be created or written or libpng fails; why (optional, whySize bytes) then
// says what went wrong, and whatever was at path is left as it was.
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

// The image files that frames startFrame..endFrame show (visible objects' images of each frame)
// and the bank cannot load, sorted and each named once. Loads every image it checks, so an export
// that follows finds them in the bank. Needs the OpenGL context.
std::vector<std::string> FindUnloadableImages(int startFrame, int endFrame);

// How the editor tells the user the result: "Export completed" (caption "Info"), a completed
// export whose pictures lack images (caption "Warning", the warning icon), a cancelled export
// (caption "Info"), or the message of a failure or an empty range (caption "Error", the warning
// icon), through the dialog backend in use.
void ReportExport(const ExportResult& result);
