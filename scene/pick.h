// Picking: which objects' pictures lie under a point of the scene, tested against the pictures'
// own pixels (alpha above 0), not their rectangles, in the order they are drawn. Builds on the
// scene drawing's image pass (scene/draw.h) and the image bank's alpha masks.
#pragma once

#include "scene/scene.h"

constexpr int kMaxPickHits = 64;  // objects one point reports, topmost first

// The owners of the pictures that show a pixel at point (x, y) of the space the root is drawn
// in (the edit view's pixels with its zoom and pan undone), topmost first, each object once;
// the owner of a picture is the object whose image child shows it. Hidden objects and pictures
// that cannot be loaded are left out. Writes at most capacity; returns how many. Uses the image
// drawing list, which the next picture fills anew.
int ObjectsAtPoint(SceneObject* root, int frame, float x, float y, SceneObject** hits,
                   int capacity);
// What a click at (x, y) selects: the topmost object there; with next, the one below current
// at that point (the topmost again after the lowest, or when current shows nothing there).
// Null when no picture shows a pixel there.
SceneObject* PickObject(SceneObject* root, int frame, float x, float y,
                        const SceneObject* current, bool next);
