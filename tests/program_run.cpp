#include "tests/program_run.h"

#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace {

// timeout: the options of timeout(1) the program runs under; empty for none.
std::string Command(const std::string& directory, const std::string& arguments,
                    const std::string& timeout) {
  return "cd '" + directory + "' && exec env -u DISPLAY -u WAYLAND_DISPLAY " +
         (timeout.empty() ? "" : "timeout " + timeout + " ") + "'" + TAVOKA_BINARY + "' " +
         arguments + " 2>&1";
}

// Reads the output into run until a line holds text (never, when text is empty); whether it did.
bool ReadUntil(FILE* pipe, ProgramRun& run, const std::string& text) {
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.output += buffer;
    ++run.lines;
    if (!text.empty() && run.output.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

ProgramRun RunTavoka(const std::string& directory, const std::string& arguments,
                     const std::string& timeout) {
  ProgramRun run;
  FILE* pipe = popen(Command(directory, arguments, timeout).c_str(), "r");
  if (pipe == nullptr) return run;
  ReadUntil(pipe, run, "");
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ProgramRun KillTavokaAt(const std::string& directory, const std::string& arguments,
                        const std::string& text) {
  ProgramRun run;
  // The shell says its process id first, which the program keeps (the shell execs it, with no
  // timeout wrapper between): the kill reaches the program itself.
  FILE* pipe = popen(("echo $$; " + Command(directory, arguments, "")).c_str(), "r");
  if (pipe == nullptr) return run;
  char first[32] = "";
  const pid_t pid = std::fgets(first, sizeof first, pipe) != nullptr ? std::atoi(first) : 0;
  const bool seen = pid > 0 && ReadUntil(pipe, run, text);
  if (seen) kill(pid, SIGKILL);
  pclose(pipe);
  run.status = seen ? 0 : -1;
  return run;
}
