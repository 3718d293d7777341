#include "app/batch_export.h"

#include <cstdio>

#include "app/app.h"
#include "export/export.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/scene.h"

namespace {

// Progress lines on stderr; an interrupt (Ctrl+C arrives as a quit request) stops the export.
bool PrintProgress(int frame, int total, void*) {
  DrainEvents();
  if (quitFlag) return false;
  std::fprintf(stderr, "tavoka: frame %d of %d\n", frame, total);
  return true;
}

int ExportProject(const CommandLine& options) {
  ProjectProblem problem;
  if (!LoadProject(options.projectPath, &problem)) {
    std::fprintf(stderr, "tavoka: couldn't load project %s: %s\n", options.projectPath,
                 problem.message);
    return 1;
  }
  int startFrame = project.playStart, endFrame = project.playEnd;
  if (options.framesGiven) {
    startFrame = options.firstFrame;
    endFrame = options.lastFrame;
  }
  // The same buffer the save dialog fills for the menu export.
  char path[kDialogPathSize];
  const char* output = options.outputPath != nullptr ? options.outputPath : options.projectPath;
  const int length = std::snprintf(path, sizeof path, "%s", output);
  if (length < 0 || length >= static_cast<int>(sizeof path)) {
    std::fprintf(stderr, "tavoka: the output path is longer than %d bytes\n",
                 kDialogPathSize - 1);
    return 1;
  }
  ExportResult result;
  if (options.soundOnly) {
    if (!ExportSound(path, startFrame, endFrame, &result)) {
      std::fprintf(stderr, "tavoka: %s\n", result.message);
      return 1;
    }
    std::fprintf(stderr, "tavoka: Export completed: sound of frames %d to %d in %s_audio.wav\n",
                 startFrame, endFrame, path);
    return 0;
  }
  ExportOptions exportOptions;
  exportOptions.progress = PrintProgress;
  if (!ExportAnimation(path, startFrame, endFrame, options.motionBlur, exportOptions, &result)) {
    std::fprintf(stderr, "tavoka: %s\n", result.message);
    return 1;
  }
  std::fprintf(stderr, "tavoka: Export completed: %d frames %s_frame0000.png .. %s_frame%.4i.png, "
               "sound %s_audio.wav\n", result.framesWritten, path, path,
               result.framesWritten - 1, path);
  return 0;
}

}  // namespace

int RunBatchExport(const CommandLine& options) {
  SetDialogBackend(BatchDialogs());
  // CreateGLWindow says why when it fails.
  if (!CreateGLWindow("Tavoka", kExportWidth, kExportHeight, 32, true)) return 1;
  InitBatchApplication();
  const int status = ExportProject(options);
  FreeBatchApplication();
  DestroyGLWindow();
  return status;
}
