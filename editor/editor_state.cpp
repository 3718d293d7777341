#include "editor/editor_state.h"

#include "ui/ui.h"

EditorState editor;

void ResetEditorState() {
  // A name being typed lives in the tree that the new project is about to free.
  if (ui != nullptr) FinishTextEdit();
  static_cast<ProjectEditorState&>(editor) = ProjectEditorState();
}

void SelectObject(SceneObject* object) {
  if (project.selected != object) project.selectedKey = -1;
  project.selected = object;
}
