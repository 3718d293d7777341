// The editor commands behind the context-menu entries: the last step of every editor frame
// carries out the command code that the menus yielded (menu number x 10 + entry index).
#pragma once

// Carries out code (-1: nothing was chosen). False when the frame must not be presented because
// an export has drawn over the back buffer. The root region stays open for the frame to close.
bool RunCommand(int code);
