// Onion skin: the pictures of the frames before and after the current one, drawn faded behind
// it so that the animator sees where a movement comes from and goes to. Earlier frames are
// tinted red and later ones green, each step further away fainter. Builds on the scene
// drawing (scene/draw.h) and the poses of scene/animation.h; the edit view calls it, export never.
#pragma once

#include "scene/scene.h"

constexpr int kMinOnionFrames = 1, kMaxOnionFrames = 3;  // frames drawn on each side

// The colour a picture distance frames before (distance < 0) or after the current one is
// multiplied by: red or green, alpha falling with the distance; alpha 0 beyond kMaxOnionFrames.
void OnionSkinColour(int distance, float colour[4]);
// Draws, under the current model-view matrix, the pictures of the framesEachSide frames (held
// to 1..3) on either side of frame that exist (0..1999), the farthest first. The tree's
// states, and with them the screen positions, are as they were afterwards; no key changes.
void DrawOnionSkins(SceneObject* root, int frame, int framesEachSide);
