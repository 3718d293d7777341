#include "app/command_line.h"

#include <cstdio>
#include <cstring>

bool ParseCommandLine(int argc, char** argv, CommandLine* options, char* error, int errorSize) {
  *options = CommandLine();
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options->help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options->version = true;
    } else if (std::strcmp(arg, "--log") == 0) {
      if (i + 1 >= argc) {
        std::snprintf(error, errorSize, "--log needs a file name");
        return false;
      }
      options->logPath = argv[++i];
    } else {
      std::snprintf(error, errorSize, "unknown argument '%s' (try --help)", arg);
      return false;
    }
  }
  return true;
}

const char* UsageText() {
  return "Usage: tavoka [options]\n"
         "\n"
         "Tavoka, an editor for 2D cut-out animation.\n"
         "\n"
         "Options:\n"
         "  --log FILE   append the program's log lines to FILE\n"
         "  --help       show this text\n"
         "  --version    show the version\n";
}
