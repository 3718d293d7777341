// The program's command line: what to open, the batch export, and the switches that change how
// it runs.
#pragma once

#include <cstdint>

#include "export/export.h"

struct CommandLine {
  const char* projectPath = nullptr;  // the project to open, or with --export to render
  const char* logPath = nullptr;      // --log FILE: switch the log on
  bool help = false;
  bool version = false;
  bool recent = false;       // --recent: list the recent projects and exit
  float uiScale = 0;         // --ui-scale 1, 1.5 or 2; 0: from the display's density

  // --export PROJECT.tvp: render the play range without a window, then exit.
  bool exportMode = false;
  const char* outputPath = nullptr;  // --output PATH; null: the project's own path
  bool motionBlur = false;           // --motion-blur
  bool soundOnly = false;            // --sound-only: the WAV file of the range, no pictures
  bool picturesOnly = false;         // --pictures-only: the pictures, no WAV file
  bool framesGiven = false;          // --frames A-B replaces the play range
  int32_t firstFrame = 0, lastFrame = 0;
  int32_t scale = 1;                 // --scale N: pictures of N x 640 by N x 480 pixels
  int32_t numberFrom = 0;            // --number-from N: the first picture's number
  bool strict = false;               // --strict: refuse to export when an image cannot be loaded
  // --format png|mp4|webm|gif: what to write, whatever the output name's extension says.
  ExportFileFormat format = ExportFileFormat::kFromPath;
};

// Fills options from argv; false with a one-line message in error when the line is not valid.
bool ParseCommandLine(int argc, char** argv, CommandLine* options, char* error, int errorSize);
// Reads "A-B" of --frames: two decimal frame numbers within 0..1999 with A <= B. False with a
// one-line message in error otherwise.
bool ParseFrameRange(const char* text, int32_t* first, int32_t* last, char* error, int errorSize);
// Exit statuses of the program.
constexpr int kExitFailed = 1;         // the project cannot be loaded, a file cannot be written
constexpr int kExitBadCommandLine = 2;
constexpr int kExitImagesMissing = 3;  // --strict: an image the range shows cannot be loaded

// The text --help prints.
const char* UsageText();
