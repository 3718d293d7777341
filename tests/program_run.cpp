#include "tests/program_run.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

namespace {

// timeout: the options of timeout(1) the program runs under; empty for none.
std::string Command(const std::string& directory, const std::string& arguments,
                    const std::string& timeout) {
  return "cd '" + directory + "' && exec env -u DISPLAY -u WAYLAND_DISPLAY " +
         (timeout.empty() ? "" : "timeout " + timeout + " ") + "'" + TAVOKA_BINARY + "' " +
         arguments + " 2>&1";
}

}  // namespace

ProgramRun RunTavoka(const std::string& directory, const std::string& arguments,
                     const std::string& timeout) {
  ProgramRun run;
  FILE* pipe = popen(Command(directory, arguments, timeout).c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    run.output += buffer;
    ++run.lines;
  }
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ProgramRun KillTavokaAt(const std::string& directory, const std::string& arguments,
                        const std::string& text) {
  ProgramRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  // No timeout wrapper here: the kill must reach the program itself, which the shell execs.
  const std::string command = Command(directory, arguments, "");
  const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr,
                                  const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return run;
  }
  FILE* output = fdopen(fds[0], "r");
  char buffer[512];
  bool seen = false;
  while (!seen && std::fgets(buffer, sizeof buffer, output) != nullptr) {
    run.output += buffer;
    ++run.lines;
    seen = run.output.find(text) != std::string::npos;
  }
  if (seen) kill(pid, SIGKILL);
  std::fclose(output);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = seen ? 0 : -1;
  return run;
}
