#include "app/app.h"

#include <GL/gl.h>

#include "app/frame_commands.h"
#include "audio/audio.h"
#include "editor/commands.h"
#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "editor/history.h"
#include "images/image_bank.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "platform/stopwatch.h"
#include "project/project_file.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "ui/ui.h"

namespace {

// Passes in a row that handled no window event and found the editor still (MainLoopMayRest).
int quietPasses = 0;

bool EditorIsStill() {
  const bool buttons = mouseState.left || mouseState.right || mouseState.middle;
  const bool toolkitBusy =
      ui != nullptr && (ui->doubleClickTimer > 0 || ui->framesSincePress < 2);
  return editor.animationPlaying < 0 && editor.dragState == kDragNone && !editor.viewPanning &&
         !buttons && !toolkitBusy && typedChar == 0 && !InputWaiting() && !AnyKeyHeld() &&
         quitFlag == 0;
}

// Window events, the per-frame step and, when asked, the drawing; false when the loop ends.
bool RunPass(bool draw) {
  mouseState.wheel = 0;
  const int events = DrainEvents();
  if (!RunFrameCommands()) return false;
  if (quitFlag) {
    // A quit signal (the session ending) must neither wait for an answer nor lose the work: the
    // changes go to the recovery file and the program ends.
    if (TakeQuitSignal() != 0) {
      RecoverUnsavedWork();
      return false;
    }
    // Closing the window asks first when there are unsaved changes; Cancel, or a save that
    // failed, keeps the editor open.
    if (ConfirmDiscardChanges()) return false;
    quitFlag = 0;
  }
  if (draw) DrawFrame();
  RecordHistory();
  // A character that no text field took this pass (a shortcut's letter, an arrow key stepping
  // frames) is over: left waiting, it would keep the loop from resting.
  if (draw) typedChar = 0;
  quietPasses = events == 0 && EditorIsStill() ? quietPasses + 1 : 0;
  return true;
}

// Frees the open project's tree and forgets every pointer into it.
void FreeProjectTree() {
  if (project.root != nullptr) {
    FreeObject(project.root);
    project.root = project.camera = project.selected = nullptr;
    project.alignmentParent = nullptr;
  }
}

}  // namespace

bool InitApplication() {
  quietPasses = 0;
  stopwatch.Start();
  CreateInputDevices();
  // The toolkit loads its skin here; without a font there is no interface to show, and the
  // message box has already said why.
  if (!CreateUiContext()) {
    FreeInputDevices();
    return false;
  }
  BuildBezierWeights();
  // A new project empties the image bank before audio is reset.
  InitImageBank();
  AddNewProjectHook(NewProjectImages);
  AddNewProjectHook(NewProjectWorkPath);
  // Without a sound device the editor runs silent; the result needs no answer.
  InitAudio(true);
  AddNewProjectHook(NewProjectAudio);
  AddNewProjectHook(ResetEditorState);
  LoadExportScale();
  StartHistory();
  NewProject();
  return true;
}

bool RunMainLoopPass() { return RunPass(true); }

bool MainLoopMayRest() { return quietPasses >= kSettlePasses && EditorIsStill(); }

bool RunMainLoopStep() {
  if (MainLoopMayRest() && !WaitForEvents(kIdleWakeMilliseconds)) {
    // Nothing happened: nothing to draw either, but the per-frame step still looks at the
    // keyboard and the quit flag now and then.
    return RunPass(false);
  }
  return RunPass(true);
}

void DrawFrame() {
  glDisable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  if (EditorFrame()) {
    glDisable(GL_BLEND);
    glFlush();
    SwapGLBuffers();
  }
}

void wekFree() {
  LogMessage("wekFree()");
  FreeAudio(true);
  FreeImageBank();
  FreeProjectTree();
  FreeInputDevices();
  FreeUiContext();
}

void InitBatchApplication() {
  stopwatch.Start();
  BuildBezierWeights();
  InitImageBank();
  AddNewProjectHook(NewProjectImages);
  AddNewProjectHook(NewProjectWorkPath);
  InitAudio(false);
  AddNewProjectHook(NewProjectAudio);
  NewProject();
}

void FreeBatchApplication() {
  LogMessage("wekFree()");
  FreeAudio(true);
  FreeImageBank();
  FreeProjectTree();
}
