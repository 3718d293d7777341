// Where the program keeps what belongs to the user rather than to a project: settings and the
// list of recent projects under $XDG_CONFIG_HOME/tavoka (~/.config/tavoka when unset), recovered
// work under $XDG_DATA_HOME/tavoka (~/.local/share/tavoka). POSIX calls only.
#pragma once

#include <cstddef>

constexpr size_t kUserPathSize = 512;

// The path of file name in the user's configuration folder, creating the folder when it is
// missing. False (path empty) when there is no home to put it in or the path does not fit.
bool UserConfigFile(const char* name, char* path, size_t size);
// The same in the user's data folder.
bool UserDataFile(const char* name, char* path, size_t size);
