// The properties strip along the bottom edge of the edit view: the selected object's position x
// and y, level, rotation and scale x and y at the current frame, each a field that takes a typed
// number. A value is applied as the handles would apply it (into the key at the current frame,
// inserted when there is none; directly into an object without a key track, an alignment), and
// a refused one changes nothing and the strip says what it accepts. Builds on the scene model,
// the toolkit (ui/) and the editor state.
#pragma once

#include <cstddef>

#include "scene/scene.h"

enum PropertyField : int {
  kPropertyX = 0,
  kPropertyY = 1,
  kPropertyLevel = 2,
  kPropertyRotation = 3,
  kPropertyScaleX = 4,
  kPropertyScaleY = 5,
  kPropertyCount = 6,
};

// What a field is called and the values it accepts: lowest..highest, and for the scales no
// magnitude below smallest (a zero scale has no inverse; a negative one mirrors).
struct PropertyRange {
  const char* label;
  float lowest, highest;
  float smallest;  // 0: any magnitude
};
extern const PropertyRange kPropertyRanges[kPropertyCount];

constexpr int kPropertyStripHeight = 12;  // pixels of the strip at the view's bottom edge

// The field's value in object's pose as it stands (its key's when the frame has one).
float PropertyValue(const SceneObject* object, int field);
// The number typed for field: false, with what the field accepts said in why, for text that is
// not a plain decimal number (a comma may stand for the point) or lies out of the field's range.
bool ParsePropertyValue(int field, const char* text, float* value, char* why, size_t whySize);
// Sets field of object to value at frame as a handle drag would: the key on frame, inserted
// holding the pose there when there is none; an object without a key track changes its own
// pose. False, nothing changed, when a full track has no key on frame.
bool ApplyPropertyValue(SceneObject* object, int field, float value, int frame);

// Ends a field's edit once the toolkit has: Enter or a click elsewhere applies the typed number
// to the object it was typed for (when that is still the selected object), Escape leaves the
// field empty and nothing changes. The view calls it first in every frame, in either view.
void FinishPropertyEdit();
// The strip's input in the view's content area (width x height) for one frame: a left press on
// a field starts typing its number into an empty field. True when the pointer is over the
// strip, whose presses the view's handles, picking and panning then leave alone.
bool RunPropertyStripInput(SceneObject* selected, int width, int height);
// Where field's label begins and its value box ends, x in the view's content, for object.
void PropertyFieldSpan(const SceneObject* object, int field, int* left, int* right);
// Draws the strip and, above it, the range while a number is typed or why one was refused.
void DrawPropertyStrip(const SceneObject* selected, int width, int height);
