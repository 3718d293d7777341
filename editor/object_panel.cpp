// Changes to the tree that a row asks for (delete, insert, attach) are carried out after the
// walk over the rows, so the walk never runs over a child list that it is changing.
#include "editor/object_panel.h"

#include <algorithm>
#include <cmath>

#include "editor/commands.h"
#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "editor/history.h"
#include "platform/input.h"
#include "scene/animation.h"
#include "ui/ui.h"

namespace {

constexpr int kListBarColour = 8;
constexpr int kConnectorColour = 10;

enum class TreeChange { kNone, kDelete, kInsert, kAttach };

// The change the rows asked for in this frame; at most one, since only the selected row acts
// on keys and a click lands on one row.
struct PendingChange {
  TreeChange change = TreeChange::kNone;
  SceneObject* object = nullptr;  // the row that asked
};
PendingChange pending;

// Whether any of row r's pixels lie in the visible part of the list. Rows out of sight are
// walked (their keys and numbering count) but not drawn.
bool RowVisible(int r) {
  const int level = ui->depth;
  const int top = kObjectRowHeight * r - 1, scroll = ui->regionScrollY[level];
  return top + kObjectRowHeight > scroll && top < scroll + ui->regionH[level];
}

void FillRow(int r, int colour) {
  FillRect(0, kObjectRowHeight * r - 1, 294, kObjectRowHeight, colour);
}

void ClickRow(SceneObject* object) {
  SceneObject* selected = project.selected;
  if (editor.attachMode && selected != nullptr && object != selected &&
      object != selected->parent) {
    editor.attachMode = false;
    pending = PendingChange{TreeChange::kAttach, object};
    return;
  }
  editor.attachMode = false;
  if (object == selected && object->kind == kOrdinaryObject) {
    StartTextEdit(object->name, kNameSize, true);  // a click on the selected object renames it
  }
  SelectObject(object);
}

// DEL and INSERT act on the selected row once per press, and not while a name is being typed
// (the keys then belong to the text, and the text may be the name of the object to delete).
void RunRowKeys(SceneObject* object) {
  if (!editor.objectWindowActive || ui->editing) return;
  if (KeyDown(kKeyDelete) && object->kind == kOrdinaryObject && !editor.deleteLatch) {
    editor.deleteLatch = true;
    pending = PendingChange{TreeChange::kDelete, object};
    return;
  }
  if (KeyDown(kKeyInsert) && !editor.insertLatch) {
    editor.insertLatch = true;
    pending = PendingChange{TreeChange::kInsert, object};
    ui->rightPressed = 0;  // no context menu in the frame that adds an object
  }
}

// The lines that join a subtree's rows: a vertical line beside the children from the first
// child's row down to the last child's, and a hook into the last child's own subtree.
void DrawConnectors(const SceneObject* object, int depth, int firstChildRow, int nextRow) {
  const int x = 10 * depth + 6;
  FillRect(x, 10 * firstChildRow - 1, 1, 10 * (nextRow - firstChildRow - 1), kConnectorColour);
  const SceneObject* last = object->children[object->childCount - 1];
  if (last->childCount >= 2) {
    FillRect(x, 10 * nextRow - 11, 1, 5, kConnectorColour);
    FillRect(x, 10 * nextRow - 6, 10, 1, kConnectorColour);
  }
}

void ApplyPendingChange() {
  const PendingChange change = pending;
  pending = PendingChange{};
  SceneObject* object = change.object;
  switch (change.change) {
    case TreeChange::kDelete:
      DeleteObject(object);
      break;
    case TreeChange::kInsert: {
      // A sibling of the row's object; under the root for the root itself. A full parent
      // takes no new child and nothing happens.
      SceneObject* created = CreateObject(object->parent);
      if (created == nullptr) return;
      SelectObject(created);
      // The new object is an edit even while its name is still being typed.
      RecordEditNow();
      StartTextEdit(created->name, kNameSize, true);
      break;
    }
    case TreeChange::kAttach: {
      // Only ordinary objects move (the mode survives a right click that selects the root or
      // the camera). AttachTo refuses a target inside the object's own subtree and a full one;
      // either way the mode is over.
      SceneObject* selected = project.selected;
      if (selected != nullptr && selected->kind == kOrdinaryObject) AttachTo(selected, object);
      break;
    }
    case TreeChange::kNone:
      break;
  }
}

}  // namespace

void DrawObjectRow(SceneObject* object, int& row, int depth, bool mark) {
  if (object == nullptr || !object->keys) return;
  const int r = row;
  const int top = kObjectRowHeight * r;
  int textColour = 6;
  bool childMark = mark;

  const bool hover = MouseInRegion() && MouseInLocal(0, top, kObjectRowWidth, kObjectRowHeight);
  if (hover && ui->leftPressed) ClickRow(object);
  if (hover && ui->rightPressed) {
    SelectObject(object);
    OpenMenu(object->kind == kOrdinaryObject ? 1 : 0);
  }

  if (object == project.selected) {
    RunRowKeys(object);
    // The row and its subtree go away at the end of this frame; the rows below move up now.
    if (pending.change == TreeChange::kDelete && pending.object == object) return;
  }
  if (RowVisible(r)) {
    const bool selected = object == project.selected;
    if (selected) {
      FillRow(r, 15);
      if (editor.attachMode) FillRow(r, 0);
      textColour = 9;
    }
    if (mark) {
      FillRow(r, 0);
      textColour = 9;
    }
    FillRect(0, top - 1, 10 * depth + 2, kObjectRowHeight, kListBarColour);
    if (depth > 1) {
      FillRect(10 * depth - 4, top - 1, 1, 5, kConnectorColour);
      FillRect(10 * depth - 4, top + 4, 5, 1, kConnectorColour);
    }
    if (hover) {
      FillRectAlpha(0, top - 1, 294, kObjectRowHeight, 0, 0.3f);
      textColour = 9;
    }
    DrawTextSelection(10 * depth + 4, top, object->name);
    DrawText(10 * depth + 4, top, textColour, object->name);
    if (object->hidden) DrawText(kHiddenMarkX, top, textColour, "H");
  }
  // In attach mode the selected object's subtree is drawn marked.
  if (object == project.selected && editor.attachMode) childMark = true;

  row = r + 1;
  const int firstChildRow = r + 1;
  for (int i = 0; i < object->childCount; ++i) {
    DrawObjectRow(object->children[i], row, depth + 1, childMark);
  }
  // The first child of an ordinary object is its unlisted image child.
  if ((depth > 0 || mark) && object->childCount > 1) {
    DrawConnectors(object, depth, firstChildRow, row);
  }
}

namespace {

// Counts listed rows depth first, as DrawObjectRow numbers them, until object is found.
bool FindRow(const SceneObject* node, const SceneObject* object, int& row) {
  if (node == nullptr || !node->keys) return false;
  if (node == object) return true;
  row += 1;
  for (int i = 0; i < node->childCount; ++i) {
    if (FindRow(node->children[i], object, row)) return true;
  }
  return false;
}

}  // namespace

int ObjectListRowCount() {
  int rows = 0;
  FindRow(project.root, nullptr, rows);
  return rows;
}

int ObjectListRow(const SceneObject* object) {
  int row = 0;
  return object != nullptr && FindRow(project.root, object, row) ? row : -1;
}

void ScrollObjectListToShow(const SceneObject* object) {
  const int row = ObjectListRow(object);
  if (row < 0) return;
  const WindowLayout& layout = CurrentLayout(kObjectWindow);
  const int range = layout.contentHeight - layout.visibleHeight;
  if (range <= 0) return;
  // A row covers pixels 10 r - 1 to 10 r + 8 of the list.
  const int top = kObjectRowHeight * row - 1, bottom = top + kObjectRowHeight;
  int scroll = static_cast<int>(std::lround(std::clamp(editor.objectListScroll, 0.0f, 1.0f) *
                                            static_cast<float>(range)));
  if (top < scroll) scroll = top;
  if (bottom > scroll + layout.visibleHeight) scroll = bottom - layout.visibleHeight;
  scroll = std::clamp(scroll, 0, range);
  editor.objectListScroll = static_cast<float>(scroll) / static_cast<float>(range);
}

void RunObjectPanel() {
  float scrollX = 0;
  editor.objectWindowActive =
      BeginEditorWindow(kObjectWindow, "Objects", &scrollX, &editor.objectListScroll);
  if (ui->leftPressed && ui->editing) FinishTextEdit();

  pending = PendingChange{};
  int row = 0;
  DrawObjectRow(project.root, row, 0, false);
  ApplyPendingChange();

  if (ui->rightPressed && !ui->menuOpen) {
    FinishTextEdit();
    OpenMenu(0);
  }
  FillRect(0, 0, 2, CurrentLayout(kObjectWindow).contentHeight, kListBarColour);
  EndEditorWindow();
}
