// Undo and redo of every edit to the project, and whether it has changes that are not saved.
// A step is the whole project as the project writer gives it: after each main loop pass in
// which the user may have done something, the project's bytes are compared with those of the
// last step, and a difference becomes a new step once the gesture is over (no button held, no
// drag, no name being typed), so a drag that lasts many frames is one step. Playback, the
// current frame, the view and the selections are not part of a step. Builds on the project
// files, the toolkit (text editing) and the editor state. Main thread only.
#pragma once

#include <cstddef>

#include "platform/dialogs.h"

constexpr int kMaxUndoSteps = 200;                   // the oldest step goes beyond this
constexpr size_t kMaxUndoBytes = size_t{512} << 20;  // or when the steps hold more bytes

// Hooks the history to new projects and to saves and loads; start-up calls it once.
void StartHistory();
// The end of a main loop pass: records a step when the project changed and the user is not in
// the middle of a gesture, and keeps the window title up to date.
void RecordHistory();
// Ctrl+Z and Ctrl+Y: go one step back or forward, keeping the current frame, the view and the
// selected object (found again by its place in the tree). Nothing happens during a drag or
// while a name is typed, or when there is no step. True when a step was taken.
bool UndoEdit();
bool RedoEdit();
int UndoStepCount();
int RedoStepCount();

// True while the project differs from what was last saved or loaded (a new project counts as
// saved until it is changed).
bool HasUnsavedChanges();
// The project's file as the user knows it: the path of the last save or load, "" for none.
const char* ProjectPath();
// "Tavoka", or "Tavoka - walk.tvp" with a '*' after it while there are unsaved changes;
// "Untitled" stands for a project that was never saved.
const char* WindowTitle();

// Takes a step at once, even in the middle of a gesture: for an edit that counts before its
// gesture is over (a new object, before its name is typed).
void RecordEditNow();

// Before an action that would discard unsaved changes (closing, loading): finishes a name being
// typed, then asks "Save changes to NAME?" when there are any. Save saves (to the project's file,
// or through "Save As" when it has none) and allows the action only when the save worked;
// Discard allows it; Cancel does not. When no question can be shown at all, the work goes to its
// recovery file instead and the action may go on once it is written. True when the action may
// go on.
bool ConfirmDiscardChanges();
// Without asking (the session is ending, or nobody can be asked): finishes a name being typed
// and, when there are unsaved changes, writes them to the project's recovery file and says where
// on stderr and in the log. True when nothing was unsaved or the file was written.
bool RecoverUnsavedWork();
