// The program's entry: reads the command line, opens the window, runs the main loop until the
// window is closed, and shuts everything down in order; or, with --export, renders a project
// without a window and exits.
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "app/batch_export.h"
#include "app/command_line.h"
#include "editor/editor_frame.h"
#include "editor/recent_projects.h"
#include "platform/dialogs.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "project/project_file.h"

int main(int argc, char** argv) {
  CommandLine options;
  char error[256];
  if (!ParseCommandLine(argc, argv, &options, error, sizeof error)) {
    std::fprintf(stderr, "tavoka: %s\n", error);
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tavoka %s\n", TAVOKA_VERSION);
    return 0;
  }
  SetLogFile(options.logPath);
  if (options.exportMode) return RunBatchExport(options);
  if (options.recent) {
    const RecentProjects recent = LoadRecentProjects();
    for (int i = 0; i < recent.count; ++i) std::printf("%s\n", recent.paths[i].data());
    return 0;
  }

  typedChar = 0;
  logicalWidth = 1024;
  logicalHeight = 768;
  windowX = windowY = 50;
  // The end-to-end tests' hook (platform/dialogs.h): a bad answers file stops the program before
  // its window opens, so a stray variable is noticed at once.
  static AnswerFileDialogs answerFileDialogs;
  const char* answers = std::getenv(kDialogAnswersVariable);
  if (answers != nullptr) {
    if (!ReadDialogAnswers(answers, &answerFileDialogs, error, sizeof error)) {
      std::fprintf(stderr, "tavoka: %s: %s\n", kDialogAnswersVariable, error);
      return 2;
    }
    std::fprintf(stderr, "tavoka: test hook: dialogs are answered from %s\n", answers);
  }
  interfaceScale = options.uiScale;  // 0: the display's density decides
  if (!CreateGLWindow("Tavoka", 1024, 768, 32, false, kMinScreenWidth, kMinScreenHeight)) {
    return 1;
  }
  SetDialogBackend(answers != nullptr ? &answerFileDialogs : DesktopDialogs());
  if (!InitApplication()) {
    DestroyGLWindow();
    return 1;
  }
  // A project that cannot be opened is reported; the editor then starts with a new project.
  if (options.projectPath != nullptr) LoadProjectAndReport(options.projectPath);
  while (RunMainLoopStep()) {
  }
  wekFree();
  DestroyGLWindow();
  return 0;
}
