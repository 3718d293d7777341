// The timeline window: for the selected object a frame ruler with the current-frame cursor, its
// keys, the play range and the frames that show an image; below it seven lanes of sound clips
// with their waveforms. The mouse scrubs the current frame (with a sound snippet at each frame),
// selects a range of frames, drags keys to other frames, moves clips and sets their volume and
// pan. Builds on the toolkit (ui/), the scene model, the clip table (audio/) and the editor state.
#pragma once

#include "audio/audio.h"
#include "scene/scene.h"

// Geometry. Window coordinates count from the window's top-left corner (its title bar); content
// coordinates from the scroll area's content, which lies at window (1, 12) and scrolls sideways.
constexpr int kFramePixels = 8;            // frame f covers content x 1 + 8f .. 8 + 8f
constexpr int kTimelineFrames = 480;       // frames with a ruler, a cell and a key marker
constexpr int kTimelineScrollRange = 3102; // content width 3840 minus the visible 738
constexpr int kLaneTop = 57;               // content y of lane 0; lanes are 16 apart ...
constexpr int kLaneSpacing = 16;
constexpr int kClipHeight = 14;            // ... and clips 14 high
constexpr int kMissingClipWidth = kMissingSoundFrames * kFramePixels;

// Width of the scroll area's content.
int TimelineContentWidth();

// Runs the timeline window for one frame; the editor frame calls it after the image list.
void DrawTimelineWindow();

// The frame under a pointer at window x with the content scrolled by scrollPixels, 0..1999.
int TimelineFrameAt(int windowX, int scrollPixels);
// The lane under a pointer at window y, 0..6.
int TimelineLaneAt(int windowY);
// The skin entry of key index's marker, or -1 for none (a manual key that is not selected).
int KeyMarkerImage(const KeyTrack& track, int index);
// After key moved's frame changed: moves it past its neighbours until the track is in frame
// order again; its new index.
int RestoreKeyOrder(KeyTrack& track, int moved);
// Width in pixels of a clip on the timeline: one pixel a waveform column, or a fixed width for a
// clip whose sound is missing.
int ClipWidth(const Clip& clip);
