// The object window: the object tree as an indented list, where objects are selected (the view
// also selects the object of a clicked picture, and the list then scrolls to its row). Clicks
// select and rename, DEL and INSERT delete and add, right clicks open the object menus, and in
// attach mode a click picks the selected object's new parent. Builds on the scene model
// (scene/), the toolkit (ui/) and the editor state.
#pragma once

#include "scene/scene.h"

constexpr int kObjectRowHeight = 10;  // pixels a row takes in the list
constexpr int kObjectRowWidth = 292;  // width of a row's hit rectangle
constexpr int kHiddenMarkX = 180;     // where the "H" of a hidden object goes

// Runs the object window for one frame.
void RunObjectPanel();
// The row object has in the list (0 the root), counting only listed objects; -1 when it is not
// listed (an image child, or not in the tree).
// Rows the list holds: every object with a key track, image children left out.
int ObjectListRowCount();
int ObjectListRow(const SceneObject* object);
// Scrolls the list as little as it takes to show object's row whole.
void ScrollObjectListToShow(const SceneObject* object);
// Input and drawing of object's row (row is the next free row and is advanced), then of its
// listed subtree with depth + 1; mark draws the row as part of the subtree being attached.
// Objects without a key track (image children) and their subtrees are not listed.
void DrawObjectRow(SceneObject* object, int& row, int depth, bool mark);
