#include "app/frame_commands.h"

#include <cstdio>

#include "audio/audio.h"
#include "editor/clipboard.h"
#include "editor/commands.h"
#include "editor/editor_state.h"
#include "editor/history.h"
#include "editor/timeline_window.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "platform/stopwatch.h"
#include "project/project_file.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

int ClampFrame(int frame) {
  if (frame < 0) return 0;
  if (frame > kMaxFrames - 1) return kMaxFrames - 1;
  return frame;
}

// A held step key steps at once, again after `threshold` more passes, then every
// (threshold + 1 - reset) passes. All four step keys share one repeat counter.
void StepKey(int step, int threshold, int reset) {
  if (editor.stepRepeat == -1) {
    project.currentFrame += step;
    editor.animationPlaying = -1;
  }
  editor.stepRepeat += 1;
  if (editor.stepRepeat > threshold) {
    editor.stepRepeat = reset;
    project.currentFrame += step;
  }
  project.currentFrame = ClampFrame(project.currentFrame);
}

void StepFrames() {
  bool right = KeyDown(kKeyRight), left = KeyDown(kKeyLeft);
  bool pageDown = KeyDown(kKeyPageDown), pageUp = KeyDown(kKeyPageUp);
  if (!right && !left && !pageDown && !pageUp) editor.stepRepeat = -1;
  if (right) StepKey(1, 15, 14);
  if (left) StepKey(-1, 15, 14);
  if (pageDown) StepKey(12, 20, 18);
  if (pageUp) StepKey(-12, 20, 18);
}

void TogglePlayback() {
  if (editor.animationPlaying == -1) {
    editor.animationPlaying = 0;
    AudioPlay(project.currentFrame);
    stopwatch.Mark(0);
  } else {
    editor.animationPlaying = -1;
  }
}

// At most one frame per pass; a slow pass leaves its debt in frameClock, so the animation
// catches up one frame per pass. Looping, the frame after the play range's end is its start,
// and the sound starts again there with it; a range that ends before it starts does not loop.
void AdvancePlaybackClock() {
  double now = stopwatch.Elapsed();
  editor.frameClock = static_cast<float>(editor.frameClock + (now - stopwatch.slots[0]));
  stopwatch.Mark(0);
  float period = 1.0f / static_cast<float>(project.fps > 0 ? project.fps : 30);
  if (editor.frameClock < period) return;
  editor.frameClock -= period;
  project.currentFrame += 1;
  const bool looping = editor.loopPlayback && project.playStart < project.playEnd;
  if (looping && project.currentFrame > project.playEnd) {
    project.currentFrame = project.playStart;
    AudioPlay(project.currentFrame);
    return;
  }
  if (!looping && project.currentFrame == project.playEnd) editor.animationPlaying = -1;
  // Playback that started at or after the play range's end never meets it: it stops at the
  // last frame there is.
  if (project.currentFrame >= kMaxFrames - 1) {
    project.currentFrame = kMaxFrames - 1;
    editor.animationPlaying = -1;
  }
}

// Ctrl+S saves, Ctrl+Shift+S saves as, Ctrl+O opens, Ctrl+N starts a new project, Ctrl+Q quits
// (asking first, as closing the window does) and Ctrl+G types a frame to go to; once per press.
void RunFileKeys() {
  const bool save = KeyDown(kKeyS), open = KeyDown(kKeyO), fresh = KeyDown(kKeyN);
  const bool quit = KeyDown(kKeyQ), goTo = KeyDown(kKeyG);
  if (!(save || open || fresh || quit || goTo)) {
    editor.fileKeyLatch = false;
    return;
  }
  if (editor.fileKeyLatch) return;
  editor.fileKeyLatch = true;
  if (save && editor.shiftHeld) {
    SaveAsCommand();
  } else if (save) {
    SaveCommand();
  } else if (open) {
    OpenCommand();
  } else if (fresh) {
    NewProjectCommand();
  } else if (quit) {
    quitFlag = 1;
  } else {
    StartGoToFrame();
  }
}

void RunKeyboardCommands() {
  if (KeyDown(kKeyEscape)) editor.attachMode = false;

  // Ctrl+L has no latch: a dialog forgets the keys held when it opened, so it cannot reopen by
  // itself. The file keys have one: a save without a dialog must not repeat while S is held.
  if (editor.ctrlHeld) {
    if (KeyDown(kKeyHome)) project.playStart = project.currentFrame;
    if (KeyDown(kKeyEnd)) project.playEnd = project.currentFrame;
    RunFileKeys();
    if (KeyDown(kKeyL)) {
      LogMessage("Ctrl+L");
      OpenCommand();
    }
  } else {
    editor.fileKeyLatch = false;
  }

  // Ctrl+C copies, Ctrl+V pastes, Ctrl+Shift+V pastes onto the counterparts; once per press.
  const bool copyKeys = editor.ctrlHeld && KeyDown(kKeyC);
  const bool pasteKeys = editor.ctrlHeld && KeyDown(kKeyV);
  if (copyKeys || pasteKeys) {
    if (!editor.clipboardLatch) {
      if (copyKeys) {
        CopyCommand();
      } else if (editor.shiftHeld) {
        PasteOntoCounterpartsCommand();
      } else {
        PasteCommand();
      }
    }
    editor.clipboardLatch = true;
  } else {
    editor.clipboardLatch = false;
  }

  // Undo: Ctrl+Z; redo: Ctrl+Y or Ctrl+Shift+Z. One step per press.
  const bool undoKeys = editor.ctrlHeld && KeyDown(kKeyZ);
  const bool redoKeys = editor.ctrlHeld && KeyDown(kKeyY);
  if (undoKeys || redoKeys) {
    if (!editor.undoLatch) {
      if (redoKeys || editor.shiftHeld) {
        RedoEdit();
      } else {
        UndoEdit();
      }
    }
    editor.undoLatch = true;
  } else {
    editor.undoLatch = false;
  }

  StepFrames();

  if (!editor.ctrlHeld && KeyDown(kKeyHome)) {
    project.currentFrame = project.playStart;
    editor.animationPlaying = -1;
  }
  if (!editor.ctrlHeld && KeyDown(kKeyEnd)) {
    project.currentFrame = project.playEnd;
    editor.animationPlaying = -1;
  }

  if (KeyDown(kKeySpace)) {
    if (!editor.spaceLatch) TogglePlayback();
    editor.spaceLatch = true;
  } else {
    editor.spaceLatch = false;
  }

  if (KeyDown(kKeyL) && !editor.ctrlHeld) {
    if (!editor.loopLatch) editor.loopPlayback = !editor.loopPlayback;
    editor.loopLatch = true;
  } else {
    editor.loopLatch = false;
  }

  // O: onion skin on or off (Ctrl+O opens a project).
  if (KeyDown(kKeyO) && !editor.ctrlHeld) {
    if (!editor.onionLatch) editor.onionSkin = !editor.onionSkin;
    editor.onionLatch = true;
  } else {
    editor.onionLatch = false;
  }
}

}  // namespace

bool RunFrameCommands() {
  PollInputDevices();
  // An Escape that closes a context menu does nothing else.
  CloseMenuOnEscape();
  editor.ctrlHeld = KeyDown(kKeyLeftCtrl) || KeyDown(kKeyRightCtrl);
  editor.shiftHeld = KeyDown(kKeyLeftShift) || KeyDown(kKeyRightShift);
  int frameBefore = project.currentFrame;

  // While the user types in a text field no keyboard command acts; the tree is still evaluated.
  if (ui == nullptr || !ui->editing) {
    RunKeyboardCommands();

    if (editor.animationPlaying >= 0) {
      AdvancePlaybackClock();
    } else if (sounding && countdown < 0) {
      AudioStop();  // open-ended sound outlives the animation only until this pass
    }

    if (!KeyDown(kKeyDelete)) editor.deleteLatch = false;
    if (!KeyDown(kKeyInsert)) editor.insertLatch = false;

    if (project.selected != nullptr && project.selected->childCount > 0) {
      project.alignmentParent = nullptr;
    }
    if (KeyDown(kKeyA) && editor.objectWindowActive) EditAlignment();
    if (KeyDown(kKeyDelete) && editor.imageWindowActive) DeleteSelectedImage();

    if (KeyDown(kKeyTab)) {
      if (!editor.tabLatch) editor.viewMode = 1 - editor.viewMode;
      editor.tabLatch = true;
    } else {
      editor.tabLatch = false;
    }

    if (project.currentFrame != frameBefore) {
      project.selectedKey = -1;
      editor.selectionStart = editor.selectionEnd = -1;
    }
  }

  if (project.root != nullptr) EvaluateTree(project.root, project.currentFrame, 0);
  SleepMilliseconds(10);
  return true;
}
