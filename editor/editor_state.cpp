#include "editor/editor_state.h"

#include "platform/dialogs.h"

#include "ui/ui.h"

EditorState editor;

void ResetEditorState() {
  // A name being typed lives in the tree that the new project is about to free.
  if (ui != nullptr) FinishTextEdit();
  static_cast<ProjectEditorState&>(editor) = ProjectEditorState();
  // The export's name belongs to the project: the next one starts from its own name.
  SetRememberedFileName(kExportFiles, "");
}

void SelectObject(SceneObject* object) {
  if (project.selected != object) project.selectedKey = -1;
  project.selected = object;
}
