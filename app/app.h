// Start-up, the main loop's pass and shut-down. The entry point (app/main.cpp) opens the window,
// calls InitApplication, runs passes until one returns false, then calls wekFree and closes the
// window. Tests run the same passes on an offscreen context.
#pragma once

// Brings every subsystem up in order and starts a new project. The window and its OpenGL
// context must exist. False when the program cannot run (its message has been shown).
bool InitApplication();
// One pass: window events, the per-frame commands, one drawn frame. False when the loop ends.
bool RunMainLoopPass();
// Clears, sets up blending and draws the editor; presents the frame unless the editor says not.
void DrawFrame();
// Takes every subsystem down in the reverse order of start-up; the window stays.
void wekFree();

// What the batch export needs of start-up instead: the curve table, the image bank, the clip
// tables without a sound device, and a new project; no keyboard, toolkit or editor. The
// offscreen window and its context must exist.
void InitBatchApplication();
// Takes those down again in reverse order.
void FreeBatchApplication();
