// Start-up, the main loop's pass and shut-down. The entry point (app/main.cpp) opens the window,
// calls InitApplication, runs passes until one returns false, then calls wekFree and closes the
// window. Tests run the same passes on an offscreen context.
#pragma once

// Brings every subsystem up in order and starts a new project. The window and its OpenGL
// context must exist. False when the program cannot run (its message has been shown).
bool InitApplication();
// One pass: window events, the per-frame commands, one drawn frame. False when the loop ends.
bool RunMainLoopPass();
// What the program's loop runs: a pass, unless the editor is at rest (MainLoopMayRest); then it
// first waits for a window event, up to kIdleWakeMilliseconds, and a wait that ends without one
// runs the per-frame step but draws nothing. False when the loop ends.
bool RunMainLoopStep();
constexpr int kIdleWakeMilliseconds = 500;
// Whether nothing would change without new input: no playback, drag, held button or key, typed
// character or double-click time, and the last kSettlePasses passes handled no event (a press
// takes two passes to reach its window, so the toolkit is settled by then).
bool MainLoopMayRest();
constexpr int kSettlePasses = 3;
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
