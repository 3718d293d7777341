#include "app/batch_export.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// "a.png, b.png" for the stderr line.
std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
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
  // The same buffer the save dialog fills for the menu export. A video without --output is
  // named after the project with the format's extension, never the project file itself.
  char path[kDialogPathSize];
  int length = 0;
  if (options.outputPath != nullptr) {
    length = std::snprintf(path, sizeof path, "%s", options.outputPath);
  } else if (options.format != ExportFileFormat::kFromPath &&
             options.format != ExportFileFormat::kPng) {
    NameWithExtensionOf(options.projectPath, ExportFormatExtension(options.format), path,
                        sizeof path);
    length = static_cast<int>(std::strlen(path));
  } else {
    length = std::snprintf(path, sizeof path, "%s", options.projectPath);
  }
  if (length < 0 || length >= static_cast<int>(sizeof path) - 1) {
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
  if (options.strict) {
    // Before any file is touched: a render farm would rather stop than deliver gaps.
    const std::vector<std::string> unloadable = FindUnloadableImages(startFrame, endFrame);
    if (!unloadable.empty()) {
      std::fprintf(stderr,
                   "tavoka: --strict: nothing was exported, these images could not be loaded: "
                   "%s\n",
                   JoinNames(unloadable).c_str());
      return kExitImagesMissing;
    }
  }
  ExportOptions exportOptions;
  exportOptions.format = options.format;
  exportOptions.progress = PrintProgress;
  exportOptions.scale = options.scale;
  exportOptions.numberFrom = options.numberFrom;
  exportOptions.writeSound = !options.picturesOnly;
  if (!ExportAnimation(path, startFrame, endFrame, options.motionBlur, exportOptions, &result)) {
    std::fprintf(stderr, "tavoka: %s\n", result.message);
    return 1;
  }
  if (result.warnings) std::fprintf(stderr, "tavoka: %s\n", result.message);
  const ExportFileFormat written =
      options.format != ExportFileFormat::kFromPath ? options.format : ExportFormatOfPath(path);
  const int first = options.numberFrom, last = options.numberFrom + result.framesWritten - 1;
  if (written != ExportFileFormat::kPng) {
    std::fprintf(stderr, "tavoka: Export completed: %d frames of %d x %d at %d fps%s in %s\n",
                 result.framesWritten, kExportWidth * options.scale,
                 kExportHeight * options.scale, project.fps,
                 written == ExportFileFormat::kGif || options.picturesOnly ? "" : " with sound",
                 path);
  } else {
    std::fprintf(stderr,
                 "tavoka: Export completed: %d frames of %d x %d %s_frame%.4i.png .. "
                 "%s_frame%.4i.png%s%s%s\n",
                 result.framesWritten, kExportWidth * options.scale,
                 kExportHeight * options.scale, path, first, path, last,
                 options.picturesOnly ? "" : ", sound ", options.picturesOnly ? "" : path,
                 options.picturesOnly ? "" : "_audio.wav");
  }
  // An image that vanished while the export ran still fails a strict export.
  if (options.strict && !result.unloadedImages.empty()) return kExitImagesMissing;
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
