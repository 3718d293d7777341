// The view window: the scene at the current frame, either in the edit view (free zoom and pan,
// handles on the selected object that move, turn, scale, raise it and set its key velocity,
// each drag writing the key at the current frame; a click on a picture selects its object, an
// onion skin and a strip of exact values) or through the camera. Builds on the scene model and
// drawing (scene/), the toolkit (ui/) and the editor state.
#pragma once

#include "scene/scene.h"

// Geometry of the edit view's handles around a pivot at (x, y), region-local pixels.
constexpr int kHandleHit = 14;     // hit squares are 14 x 14 ...
constexpr int kHandleSquare = 10;  // ... around drawn squares of 10 x 10
constexpr int kRotateHandleDX = 35;  // "R" centre right of the pivot
constexpr int kScaleHandleDY = -35;  // "S" centre above the pivot
constexpr float kVelocityHandleFrames = 5;  // "V" sits where the velocity takes the pivot in 5 frames

// Drag rates.
constexpr float kDegreesPerPixel = 0.4f;
// A scale drag multiplies the scale it started from by kScaleDragStep for every
// kScaleDragPixels the pointer is above the press (divides below it): the scale follows the
// distance, however fast the pointer went. No scale component comes closer to zero than
// kMinScale (a zero scale has no inverse) nor grows past kMaxScale.
constexpr float kScaleDragStep = 1.1f;
constexpr float kScaleDragPixels = 20.0f;
constexpr float kMinScale = 0.001f;
constexpr float kMaxScale = 1000.0f;
// A press on the view that ends within this many pixels of where it began is a click.
constexpr int kClickSlop = 3;
// Zoom: a wheel notch multiplies by 1.25 or 0.8; within 0.1 of 1 it snaps to 1. The bounds keep
// the scene mappings invertible however long the wheel turns.
constexpr float kZoomIn = 1.25f, kZoomOut = 0.8f;
constexpr float kMinZoom = 0.001f, kMaxZoom = 1000.0f;

// Runs the view window for one frame.
void RunViewWindow();

// The point a move drag puts the pivot on while Shift is held: the mouse's movement from the
// drag's start point kept to the horizontal, the vertical or a 45-degree diagonal, whichever is
// nearest. At the start point itself there is no direction and the unconstrained point (the
// mouse plus the grab offset) is taken.
Vec3 ConstrainMove(const Vec3& mouse, const Vec3& start, const Vec3& unconstrained);
// The factor a scale drag applies to the scale it started from when the pointer is dy pixels
// below the press (negative: above it).
float ScaleDragFactor(int dy);
// Scale component multiplied by factor, kept away from zero on its own side (0 stays 0) and
// within kMaxScale (or the component's own magnitude, when that is larger).
float ScaleComponent(float value, float factor);
// viewZoom after one wheel notch (+1 away from the user zooms in), snapped and bounded.
float ZoomAfterWheel(float zoom, int wheel);
// The motion path's sample i (0..200): frames from about 100 before the current frame to 100
// after, every fourth on a multiple of 4, clamped to the frame range.
int MotionPathFrame(int sample, int currentFrame);
