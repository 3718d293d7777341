#include "editor/editor_state.h"

#include "ui/ui.h"

EditorState editor;

void ResetEditorState() {
  // A name being typed lives in the tree that the new project is about to free.
  if (ui != nullptr) FinishTextEdit();
  EditorState fresh;
  fresh.objectWindowActive = editor.objectWindowActive;
  fresh.imageWindowActive = editor.imageWindowActive;
  fresh.objectListScroll = editor.objectListScroll;
  fresh.imageListScroll = editor.imageListScroll;
  fresh.timelineScroll = editor.timelineScroll;
  fresh.viewWindow = editor.viewWindow;
  fresh.objectWindow = editor.objectWindow;
  fresh.imageWindow = editor.imageWindow;
  fresh.timelineWindow = editor.timelineWindow;
  fresh.tabLatch = editor.tabLatch;
  editor = fresh;
}
