#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
bool logOn = false;
char logPath[512] = "";
}  // namespace

void SetLogFile(const char* path) {
  if (path == nullptr || path[0] == '\0') {
    logOn = false;
    logPath[0] = '\0';
    return;
  }
  std::snprintf(logPath, sizeof logPath, "%s", path);
  logOn = true;
}

void LogMessage(const char* format, ...) {
  if (!logOn) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  FILE* file = std::fopen(logPath, "a");
  if (file == nullptr) return;
  std::fprintf(file, "%s\n", line);
  std::fclose(file);
}
