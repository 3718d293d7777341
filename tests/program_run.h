// Runs the real tavoka program, built beside the tests, without a display.
#pragma once

#include <sys/types.h>

#include <string>

struct ProgramRun {
  int status = -1;
  std::string output;  // stdout and stderr
  int lines = 0;
};

// Runs the program with arguments (already quoted) from directory and waits for it; timeout
// holds the options of timeout(1) it runs under.
ProgramRun RunTavoka(const std::string& directory, const std::string& arguments,
                     const std::string& timeout = "-k 5 60");

// Starts the program with arguments from directory and reads its output until a line holds
// text, then kills it with SIGKILL, as a crash or a power cut would end it. The output up to then;
// status -1 when the program ended before the text appeared.
ProgramRun KillTavokaAt(const std::string& directory, const std::string& arguments,
                        const std::string& text);
