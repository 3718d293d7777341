// The per-frame step of the main loop: keyboard snapshot, keyboard commands, playback clock,
// evaluation of the tree, and the 10 ms sleep that paces the loop.
#pragma once

// Always true (the main loop would stop on false).
bool RunFrameCommands();
