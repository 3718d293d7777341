// The program's command line: what to open, and the switches that change how it runs.
#pragma once

struct CommandLine {
  const char* projectPath = nullptr;  // the project to open
  const char* logPath = nullptr;  // --log FILE: switch the log on
  bool help = false;
  bool version = false;
};

// Fills options from argv; false with a one-line message in error when the line is not valid.
bool ParseCommandLine(int argc, char** argv, CommandLine* options, char* error, int errorSize);
// The text --help prints.
const char* UsageText();
