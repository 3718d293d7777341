// The timeline window: for the selected object a frame ruler over the whole film (frames
// 0..1999) with the current-frame cursor, its keys, the play range and the frames that show an
// image; below it seven lanes of sound clips with their waveforms over a grid of seconds. The
// mouse scrubs the current frame (with a sound snippet at each frame), selects a range of
// frames, drags keys to other frames, moves clips and sets their volume and pan; Ctrl+wheel
// zooms it, it scrolls to keep the current frame in sight, and its title counts frames and time
// and takes a frame number to go to. Builds on the toolkit (ui/), the scene model, the clip
// table (audio/) and the editor state.
#pragma once

#include <cstddef>

#include "audio/audio.h"
#include "scene/scene.h"

// Geometry. Window coordinates count from the window's top-left corner (its title bar); content
// coordinates from the scroll area's content, which lies at window (1, 12) and scrolls sideways.
// At z pixels per frame, frame f covers content x 1 + z f .. z + z f.
constexpr int kFramePixels = 8;            // the zoom a new timeline starts with
constexpr int kMinFramePixels = 1, kMaxFramePixels = 32;
constexpr int kLaneTop = 57;               // content y of lane 0; lanes are 16 apart ...
constexpr int kLaneSpacing = 16;
constexpr int kClipHeight = 14;            // ... and clips 14 high
constexpr int kMissingClipWidth = kMissingSoundFrames * kFramePixels;  // at kFramePixels

// Pixels per frame now (editor.timelineFramePixels kept within its limits); the width of the
// scroll area's content, every frame and a marker's overhang; and how far it is scrolled.
int TimelineFramePixels();
int TimelineContentWidth();
int TimelineScrollPixels();

// Runs the timeline window for one frame; the editor frame calls it after the image list.
void DrawTimelineWindow();
// Ctrl+wheel over the timeline zooms it about the frame under the pointer; the editor frame
// asks before the view, which zooms with every other wheel. True when the wheel was taken.
bool ZoomTimelineWithWheel();
// The zoom one wheel notch away from framePixels (+1 away from the user zooms in), within
// kMinFramePixels..kMaxFramePixels.
int ZoomedFramePixels(int framePixels, int wheel);
// Starts typing a frame to go to in the timeline's title (Ctrl+G, or a click on the counter):
// Enter goes there, Escape cancels.
void StartGoToFrame();
// The frame a typed text names at the frame rate: "137" or seconds:frames "4:17", spaces
// around allowed, kept within 0..1999. False for anything else (the typing is then ignored).
bool ParseGoToFrame(const char* text, int fps, int* frame);
// The scroll position (content pixels) that brings frame into sight when it is not: unchanged
// while it lies in the visible width (less a margin at each end); otherwise it goes near the
// left end, or near the right end when it was reached by stepping back less than a page from
// frame before.
int ScrollToShowFrame(int frame, int before, int scrollPixels, int visibleWidth, int framePixels);

// The frame under a pointer at window x with the content scrolled by scrollPixels, 0..1999.
int TimelineFrameAt(int windowX, int scrollPixels, int framePixels);
// The lane under a pointer at window y, 0..6.
int TimelineLaneAt(int windowY);
// KeyMarkerImage's answer for a manual key: no skin image, but a triangle drawn in the grey of
// the edit view's velocity handle.
constexpr int kManualKeyMarker = -2;
// The skin entry of key index's marker, kManualKeyMarker, or -1 when index names no key.
int KeyMarkerImage(const KeyTrack& track, int index);
// After key moved's frame changed: moves it past its neighbours until the track is in frame
// order again; its new index.
int RestoreKeyOrder(KeyTrack& track, int moved);
// Width in pixels of a clip on the timeline at kFramePixels: one pixel a waveform column, or a
// fixed width for a clip whose sound is missing.
int ClipWidth(const Clip& clip);
// The same at framePixels pixels per frame.
int ClipPixels(const Clip& clip, int framePixels);
// The value a volume or pan drag shows beside its gauge ("volume 0.75", "pan -0.40", "pan
// 0.00" at the centre, "pan +1.00"); false, nothing written, for any other drag.
bool FormatClipGaugeValue(const Clip& clip, int dragState, char* text, size_t size);
// The frames between the lane grid's second labels at framePixels pixels per frame: whole
// seconds at fps, as few as keep labels of labelWidth pixels from touching.
int SecondLabelStepFrames(int fps, int framePixels, int labelWidth);
// The same for the ruler, which counts frames: zoomed in, steps within the second.
int LabelStepFrames(int fps, int framePixels, int labelWidth);
