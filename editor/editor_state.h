// Editor state shared by the editor's windows, its commands and the per-frame keyboard step.
// Main thread only. A new project resets what belongs to the project being edited; window
// positions, scroll fractions and the active-window flags last for the whole run.
#pragma once

#include <array>
#include <cstdint>

#include "scene/scene.h"

enum ViewMode : int { kEditView = 0, kCameraView = 1 };

// The mouse drag in progress: 1..9 belong to the view, 11..19 to the timeline.
enum DragState : int {
  kDragNone = 0,
  kDragMove = 1,
  kDragRotate = 2,
  kDragScale = 3,
  kDragVelocity = 4,
  kDragLevel = 5,
  kDragScrub = 11,
  kDragRangeSelect = 12,
  kDragKey = 13,
  kDragClipMove = 14,
  kDragClipVolume = 15,
  kDragClipPan = 16,
  kDragKeySweep = 17,
};

struct WindowPosition {
  int32_t x, y;
};

// What belongs to the project being edited: a new project resets all of it.
struct ProjectEditorState {
  // Keyboard, set by the per-frame commands at the start of every pass.
  bool ctrlHeld = false;
  bool shiftHeld = false;

  // Playback: -1 stopped, 0 playing. Started by Space; stopped by Space, a step key, Home or
  // End, the end of the play range, or a click on the timeline ruler.
  int32_t animationPlaying = -1;
  float frameClock = 0;     // seconds gathered towards the next frame while playing
  int32_t stepRepeat = -1;  // repeat counter of the frame-step keys, -1 when none is held

  // Latches of keys that act once per press; set on use, cleared while the key is up.
  bool spaceLatch = false, deleteLatch = false, insertLatch = false;
  bool undoLatch = false;  // Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z

  // Panels.
  int32_t viewMode = kEditView;
  int32_t dragState = kDragNone;
  int32_t dragKey = -1;            // key the view drag edits, chosen on its first frame
  bool attachMode = false;         // the next click in the object list picks the new parent
  int32_t selectedImageRow = 0;    // image list row: 0 the invisible row, n entry n - 1
  int32_t selectionStart = -1, selectionEnd = -1;  // timeline frame range, inclusive
  int32_t selectionAnchor = -1;
  // The frames of the keys selected together in the timeline (editor/key_selection.h); they
  // count only while project.selectedKey is one of them.
  std::array<bool, kMaxFrames> selectedKeyFrames{};
  // A key sweep in the timeline: the frame it began on and, with Shift, the keys selected then.
  int32_t keySweepAnchor = -1;
  bool keySweepAdds = false;
  std::array<bool, kMaxFrames> keySweepKept{};
  // A press on one of several selected keys selects it alone when it is let go unmoved.
  bool keyPressCollapses = false;
  int32_t selectedClip = -1;       // index into the clip table; check it before every use
  int32_t clipGrabOffset = 0;      // frames between the pointer and a moved clip's start
  int32_t laneMenuFrame = 0, laneMenuRow = 0;  // where "import sound" puts its clip
  bool viewPanning = false;        // a press on the view's empty space pans until let go
  Vec3 grabOffset;                 // grabbed handle minus the mouse, taken on a view press
  Vec3 dragStartScreen;            // screenPos of the selection when a move drag starts
  // A scale drag follows the pointer's whole way from the press: the scale it started from
  // and the pointer's height then, both taken on the press of "S".
  Vec3 scaleDragStart{1, 1, 1};
  int32_t scaleDragStartY = 0;
  // A press on the view that pans, until it is let go: when it ends where it began (within a
  // few pixels) it was a click, which picks the picture under it; with Left Alt held (the
  // press then counts as the middle button) the one below the selection there.
  bool pickPending = false;
  bool pickNext = false;
  int32_t pickPressX = 0, pickPressY = 0;  // screen pixels of the press

  // The properties strip: the field whose number is being typed (-1 none) into propertyText,
  // for propertyObject; a refusal or the accepted range is said in propertyMessage while the
  // same object stays selected.
  int32_t propertyField = -1;
  SceneObject* propertyObject = nullptr;
  char propertyText[24] = "";
  char propertyStartText[24] = "";  // the value the field showed when the typing began
  char propertyMessage[160] = "";
  const SceneObject* propertyMessageObject = nullptr;

  // A frame number typed in the timeline's title; goToText is the text field while goToTyping.
  bool goToTyping = false;
  char goToText[16] = "";
  // An export name was chosen for this project: the export dialog starts from it, not from the
  // project's name.
  bool exportNameChosen = false;
};

// What lasts for the whole run, whichever project is open.
struct RunEditorState {
  // A Tab held while a project is loaded must not switch the view again, nor a Ctrl+N or Ctrl+O
  // held start another new project.
  bool tabLatch = false;
  bool loopLatch = false;     // L
  bool fileKeyLatch = false;  // Ctrl+S, Ctrl+Shift+S, Ctrl+O, Ctrl+N, Ctrl+Q, Ctrl+G
  bool clipboardLatch = false;  // Ctrl+C, Ctrl+V, Ctrl+Shift+V
  bool objectWindowActive = false;  // the object / image window is the focused window
  bool imageWindowActive = false;
  float objectListScroll = 0, imageListScroll = 0, timelineScroll = 0;
  WindowPosition viewWindow{10, 10}, objectWindow{800, 10}, imageWindow{800, 420};
  WindowPosition timelineWindow{10, 560};

  // Timeline: its zoom, and the current frame it showed last (a change made elsewhere, by
  // playback or the keys, scrolls the frame into sight).
  int32_t timelineFramePixels = 8;
  int32_t timelineShownFrame = -1;
  // Playback wraps from the play range's end to its start instead of stopping (L).
  bool loopPlayback = false;
  // Pictures of exportScale x 640 by exportScale x 480 (1 to 4): the view menu's "export size",
  // kept in the user's settings.
  int32_t exportScale = 1;
  // Onion skin in the edit view (O), with the frames drawn on each side (1 to 3, view menu).
  bool onionSkin = false;
  int32_t onionFrames = 2;
  bool onionLatch = false;
};

struct EditorState : ProjectEditorState, RunEditorState {};

extern EditorState editor;

// Resets the project-bound part of the editor state; the new-project hook of the editor.
void ResetEditorState();
// Makes object the selected one; a key index names a key of one object's track, so the
// selected key goes when another object is selected.
void SelectObject(SceneObject* object);
// The timeline's selection, on which Delete acts: a key of the selected object's track or a
// clip, whichever was chosen last. Selecting one deselects the other.
void SelectKey(int index);
void SelectClip(int index);
