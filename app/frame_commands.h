// The per-frame step of the main loop: keyboard snapshot, the keyboard commands that work
// anywhere in the editor, the playback clock, evaluation of the tree at the current frame, and
// the 10 ms sleep that paces the loop.
#pragma once

// Always true (the main loop would stop on false).
bool RunFrameCommands();
