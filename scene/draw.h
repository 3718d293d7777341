// Scene drawing: the object tree's images painted in order of level (the z of positions summed
// down the tree), and the editing overlay (ground grid, selection frame, velocity arrow, level
// markers). Builds on the object tree, the image bank and the toolkit's rectangles; draws into
// the current OpenGL model-view matrix. Main thread only.
#pragma once

#include <array>
#include <cstdint>

#include "scene/scene.h"

constexpr int kMaxImageDraws = 1000;  // images one picture can hold; later ones are dropped

// One image waiting to be painted.
struct QueuedImage {
  const ImageEntry* entry = nullptr;  // in the tree, which does not change before DrawQueue
  SceneObject* object = nullptr;      // the object whose image track holds the entry
  float matrix[16] = {};              // model-view when queued, column-major as OpenGL keeps it
  bool unloaded = false;              // set by DrawQueue: the bank could not give the image
};

// A queued image's place in painting order.
struct SortEntry {
  int32_t index = 0;  // into ImageDrawList::images
  float level = 0;
};

// The images of one picture. The caller sets count to 0 before each image pass; DrawObject
// fills it, SortQueue orders it and DrawQueue paints it.
struct ImageDrawList {
  std::array<QueuedImage, kMaxImageDraws> images;
  std::array<SortEntry, kMaxImageDraws> order;  // parallel sort list, count in use
  int32_t count = 0;
  int32_t dropped = 0;  // images refused this pass because the list was full
};

extern ImageDrawList imageDrawList;
// Accumulated level of project.selected, written whenever a pass visits it; the view's level
// bar reads it.
extern float selectedLevel;

// Frame sizes drawn around the selected object, in scene units.
constexpr float kObjectFrameSize = 128;
constexpr float kRootFrameSize = 256;
constexpr float kCameraFrameWidth = 640, kCameraFrameHeight = 480;

// The recursive pass over object and its subtree under the current model-view matrix. The image
// pass (overlay false) queues each visible object's image of the current frame; the overlay pass
// draws the grid of the root and the frame of the selected object and the alignment parent
// (pink and 3 wide when onKeyFrame, grey and 2 wide otherwise), and in the edit view (editView)
// the velocity arrow of a selected key without automatic velocity; nothing while exporting is
// set. Hidden objects are skipped with their subtrees. The model-view matrix is left as it was.
void DrawObject(SceneObject* object, bool onKeyFrame, bool overlay, float parentLevel,
                bool editView = false);
// The image pass without OpenGL: empties the queue and fills it with the images that frame
// shows, each under matrix (column-major 4 x 4; null for the identity) times its object's
// pose, with the tree posed as its states hold now. For pictures of other frames (onion skin)
// and for picking; it marks nothing as selected.
void QueueImages(SceneObject* root, int frame, const float* matrix);
// Orders the queue by ascending level; equal levels keep their queue order (tree order).
void SortQueue();
// Paints the queued images in sorted order; images the bank cannot load are skipped and marked
// unloaded.
void DrawQueue();
// DrawQueue as one batch of quads (images/image_bank.h), every colour multiplied by colour
// (red, green, blue, alpha): far fewer draw calls, for pictures that need not match DrawQueue's
// to the last bit. The model-view matrix is left as it was.
void DrawQueueBatched(const float* colour);
// The level bar's 20 x 3 marks for object and its whole subtree, hidden objects included,
// in the current toolkit region.
void DrawLevelMarkers(SceneObject* object, float parentLevel);

// Nearest integer of a level for the level bar (halves away from zero); NaN gives 0 and levels
// beyond a million pixels are held there.
int LevelToPixels(float level);
