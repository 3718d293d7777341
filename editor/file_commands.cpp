// The file commands of the keys and the view's menu: save, save as, open, new and the recent
// projects. Whatever would drop unsaved changes asks about them first (ConfirmDiscardChanges).
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "editor/commands.h"
#include "editor/history.h"
#include "editor/recent_projects.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/log.h"
#include "project/project_file.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

constexpr int kRecentNameLength = 40;  // characters of a file name an entry shows

// The list as the view's menu showed it: its entries' codes name these paths.
RecentProjects menuRecent;

bool IsRegularFile(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool SaveCommand() {
  const char* path = ProjectPath();
  if (path[0] == '\0') return SaveProjectAs();
  return SaveProjectAndReport(path);
}

bool SaveAsCommand() { return SaveProjectAs(); }

bool OpenCommand() { return ConfirmDiscardChanges() && OpenProject(); }

bool NewProjectCommand() {
  if (!ConfirmDiscardChanges()) return false;
  NewProject();
  return true;
}

bool OpenRecentCommand(int index) {
  if (index < 0 || index >= menuRecent.count) return false;
  char path[kRecentPathSize];
  std::snprintf(path, sizeof path, "%s", menuRecent.paths[index].data());
  LogMessage("open recent: %s", path);
  if (!IsRegularFile(path)) {
    char text[kRecentPathSize + 96];
    std::snprintf(text, sizeof text, "Couldn't open %s: there is no project file at %s any more.",
                  PathFileName(path), path);
    ShowMessage("Error", text, true);
    ForgetRecentProject(path);
    return false;
  }
  return ConfirmDiscardChanges() && LoadProjectAndReport(path);
}

void AddRecentProjectEntries() {
  menuRecent = LoadRecentProjects();
  for (int i = 0; i < menuRecent.count; ++i) {
    const char* path = menuRecent.paths[i].data();
    const char* name = PathFileName(path);
    char label[kExtraLabelSize];
    if (std::snprintf(label, sizeof label, "open recent: %.*s", kRecentNameLength, name) > 0 &&
        static_cast<int>(std::strlen(name)) > kRecentNameLength) {
      std::snprintf(label + std::strlen(label) - 3, 4, "...");
    }
    LogMessage("recent project %d: %s", i + 1, path);
    AddMenuEntry(label, kCommandOpenRecent + i);
  }
}
