// `tavoka --export PROJECT.tvp`: the editor's export without a window. It loads the project
// with LoadProject and renders it with ExportAnimation on SDL's offscreen driver, so it writes
// exactly the files the menu export writes for the same path.
#pragma once

#include "app/command_line.h"

// Runs the whole batch export and returns the process's exit status: 0 when every file was
// written, 1 with a one-line message on stderr otherwise, 3 when --strict found an image that
// cannot be loaded. A completed export whose pictures lack images says so on stderr.
int RunBatchExport(const CommandLine& options);
