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
    } else if (arg[0] == '-' && arg[1] != '\0') {
      std::snprintf(error, errorSize, "unknown option '%s' (try --help)", arg);
      return false;
    } else if (options->projectPath == nullptr) {
      options->projectPath = arg;
    } else {
      std::snprintf(error, errorSize, "only one project can be opened ('%s')", arg);
      return false;
    }
  }
  return true;
}

const char* UsageText() {
  return "Usage: tavoka [options] [PROJECT.tvp]\n"
         "\n"
         "Tavoka, an editor for 2D cut-out animation. Opens PROJECT.tvp, or a new project.\n"
         "\n"
         "Options:\n"
         "  --log FILE   append the program's log lines to FILE\n"
         "  --help       show this text\n"
         "  --version    show the version\n";
}
