// The image window: the images of the selected object as a list, led by an invisible row that
// stands for showing no image. Pressing and sweeping the frame column chooses the image of the
// current frame (or of the timeline's selected frame range); a click in the name part selects
// an entry and a second one renames it; right clicks open the image menus. An entry whose file
// cannot be loaded is named in red with " (missing)" or " (unreadable)". Builds on the scene
// model (scene/), the image bank (images/), the toolkit (ui/) and the editor state.
#pragma once

#include "scene/scene.h"

constexpr int kImageRowHeight = 10;    // pixels a row takes in the list
constexpr int kFrameColumnWidth = 28;  // x 0..27 of a row: the frame column
constexpr int kImageRowWidth = 294;    // the name part follows the frame column up to here

// Rows of track: its entries and the invisible row 0.
int ImageRowCount(const ImageTrack& track);
// Makes the current frame, and every frame of the timeline's selected range when there is one,
// show row (0 none, n entry n - 1). Frames outside 0..1999 and rows the track lacks are left alone.
void AssignImageRow(ImageTrack& track, int row);
// Runs the image window for one frame; its focus becomes imageWindowActive.
void RunImagePanel();
