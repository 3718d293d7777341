// The window reads every press before it draws what the press changed: the bands above the
// scroll area (title, ruler, frame cells, lanes) are tested in window coordinates, clips and
// keys in content coordinates while they are drawn. Drags last until the left button is let go;
// every frame of a drag checks that the clip or key it works on still exists. Only the frames
// in sight are drawn and tested: the whole film is 2000 frames, up to 64000 pixels wide.
#include "editor/timeline_window.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "editor/key_selection.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {

// Palette entries by their use here.
constexpr int kBlack = 6, kWhite = 9, kRed = 11, kCursorBrown = 0, kLightGrey = 10;
constexpr int kGreyGreen = 15, kLaneGrey = 8, kClipBlue = 12, kWaveBlue = 13, kDarkGrey = 14;
constexpr int kVelocityGrey = 8;  // the edit view's velocity handle, which manual keys carry

constexpr int kMarkerOverhang = 8;  // a key marker reaches this far past its frame's right edge
constexpr int kKeyRowTop = 30, kKeyRowBottom = 40;  // content rows where a press sweeps keys
constexpr float kVolumePerPixel = 0.02f, kPanPerPixel = 0.04f;
constexpr int kZoomSteps[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32};
constexpr int kLabelGap = 6;  // pixels at least between two ruler or grid labels
constexpr int kFollowMargin = 24;  // the followed frame stays this far inside the visible width

// Menus opened here.
constexpr int kKeyMenu = 6, kSelectionMenu = 9, kClipMenu = 11, kLaneMenu = 12, kFpsMenu = 13;

bool IsTimelineDrag(int dragState) { return dragState >= 11 && dragState <= 19; }

// A manual key's marker centred on (cx, cy), where the skin markers have their middle: a
// triangle pointing down, grey inside a black edge, 9 pixels wide like the auto key's diamond.
void DrawManualKeyMarker(int cx, int cy) {
  for (int r = 0; r < 5; ++r) FillRect(cx - 4 + r, cy - 2 + r, 9 - 2 * r, 1, kBlack);
  for (int r = 0; r < 3; ++r) FillRect(cx - 2 + r, cy - 1 + r, 5 - 2 * r, 1, kVelocityGrey);
}

// The pointer in window coordinates, the frame and lane under it; what the frame is drawn at.
struct Pointer {
  int x = 0, y = 0;
  int frame = 0, lane = 0;
};
struct View {
  int framePixels = kFramePixels;
  int scrollPixels = 0;
  int visibleWidth = 0;
  int firstFrame = 0, lastFrame = 0;  // the frames with any pixel in sight
};

int FrameLeft(const View& v, int f) { return 1 + v.framePixels * f; }

bool InBand(const Pointer& p, const View& v, int top, int bottom) {
  return p.x >= 0 && p.x < v.visibleWidth && p.y >= top && p.y <= bottom;
}

int ClipTop(const Clip& clip) { return kLaneSpacing * clip.row + kLaneTop; }

// Presses on the title bar, the ruler, the frame cells and the lanes; the scrub and the range
// selection that follow the pointer. True for a left press on the ruler: it deselects the keys
// unless the frame strip finds that it landed on a key or began a key sweep.
bool RunBands(const Pointer& p, const View& v, int counterLeft, int counterRight) {
  if (ui->rightPressed && InBand(p, v, 0, kTitleBarHeight - 1)) OpenMenu(kFpsMenu);
  if (ui->leftPressed && !ui->leftDouble && InBand(p, v, 0, kTitleBarHeight - 1) &&
      p.x >= counterLeft && p.x < counterRight) {
    StartGoToFrame();
  }

  const bool rulerPressed = ui->leftPressed && InBand(p, v, 12, 64);
  if (InBand(p, v, 12, 64)) {
    if (ui->leftPressed) {
      editor.animationPlaying = -1;
      project.currentFrame = p.frame;
      editor.dragState = kDragScrub;
      editor.selectionStart = editor.selectionEnd = -1;
    }
    if (ui->rightPressed && editor.selectionStart != editor.selectionEnd) OpenMenu(kSelectionMenu);
  }
  if (ui->leftPressed && InBand(p, v, 30, 41)) {
    editor.dragState = kDragRangeSelect;
    editor.selectionAnchor = project.currentFrame;
  }

  const int drag = editor.dragState;
  if (drag == kDragScrub || drag == kDragRangeSelect || drag == kDragKey || drag == kDragKeySweep) {
    project.currentFrame = p.frame;
    if (!sounding) StartScrub(project.currentFrame);
    if (drag == kDragRangeSelect) {
      editor.selectionStart = std::min(editor.selectionAnchor, project.currentFrame);
      editor.selectionEnd = std::max(editor.selectionAnchor, project.currentFrame);
    }
  }

  if (ui->leftPressed && InBand(p, v, 67, 179)) editor.selectedClip = -1;
  return rulerPressed;
}

// The selected clip follows the drag; a clip deleted meanwhile ends the drag's effect.
void RunClipDrag(const Pointer& p) {
  Clip* clip = GetClip(editor.selectedClip);
  if (clip == nullptr) return;
  switch (editor.dragState) {
    case kDragClipMove: {
      // Time first in its own lane, then the lane: each move is refused on its own when it
      // would put the clip onto another.
      const int moved = MoveClip(editor.selectedClip, p.frame - editor.clipGrabOffset, clip->row);
      editor.selectedClip = MoveClip(moved, GetClip(moved)->startFrame, p.lane);
      break;
    }
    case kDragClipVolume:
      clip->volume = std::clamp(clip->volume - kVolumePerPixel * ui->mouseDY, 0.0f, 1.0f);
      break;
    case kDragClipPan:
      clip->pan = std::clamp(clip->pan + kPanPerPixel * ui->mouseDX, -1.0f, 1.0f);
      break;
    default:
      break;
  }
}

// The lanes over a grid of seconds at the project's frame rate: a light line and the number of
// the second at each labelled second, grey-green lines at the other seconds and, where there is
// room, at half seconds.
void DrawLaneBackground(const View& v) {
  const int width = TimelineContentWidth();
  FillRect(0, 53, width, 2, kBlack);
  FillRect(0, 55, width, 130, kLaneGrey);
  const int fps = std::max(project.fps, 1), z = v.framePixels;
  const int labelStep = SecondLabelStepFrames(fps, z, TextWidth("199"));
  const bool halves = fps % 2 == 0 && fps / 2 * z >= kLabelGap;
  const int step = halves ? fps / 2 : fps;
  for (int n = v.firstFrame / step * step; n <= v.lastFrame; n += step) {
    const int x = z * n;
    if (n % labelStep == 0) {
      FillRect(x, 55, 1, 130, kLightGrey);
      if (n == 0) {
        DrawText(1, 44, kBlack, "0");
      } else {
        DrawTextFormat(x - TextWidthFormat("%i", n / fps) / 2, 44, kBlack, "%i", n / fps);
      }
    } else {
      FillRect(x, 55, 1, 130, kGreyGreen);
    }
  }
  for (int k = 0; k <= kLaneCount; ++k) FillRect(0, 55 + kLaneSpacing * k, width, 1, kGreyGreen);
}

// A press on clip index: the left button grabs it (its volume or pan handle when pressed there),
// the right one opens its menu.
void PressClip(int index, const Clip& clip, const Pointer& p, const View& v) {
  const int x0 = v.framePixels * clip.startFrame, y0 = ClipTop(clip);
  if (!MouseInRegion() || !MouseInLocal(x0, y0, ClipPixels(clip, v.framePixels), kClipHeight)) {
    return;
  }
  if (ui->leftPressed) {
    SelectClip(index);
    editor.clipGrabOffset = p.frame - clip.startFrame;
    editor.dragState = kDragClipMove;
    if (MouseInLocal(x0, y0, 8, 7)) editor.dragState = kDragClipVolume;
    if (MouseInLocal(x0 + 10, y0, 8, 7)) editor.dragState = kDragClipPan;
  }
  if (ui->rightPressed) {
    SelectClip(index);
    OpenMenu(kClipMenu);
  }
}

// The loudest overview column among those that pixel k of a clip covers at the zoom.
int WaveHeight(const Wave& wave, int k, int framePixels) {
  const int first = k * kFramePixels / framePixels;
  const int end = std::max(first + 1, (k + 1) * kFramePixels / framePixels);
  int height = 0;
  for (int c = first; c < end && c < wave.overviewLength; ++c) {
    height = std::max(height, static_cast<int>(wave.overview[c]));
  }
  return height;
}

void DrawClip(const Clip& clip, bool selected, const View& v) {
  const int x0 = v.framePixels * clip.startFrame, y0 = ClipTop(clip);
  const int width = ClipPixels(clip, v.framePixels);
  const int outline = selected ? kWhite : kBlack;
  if (clip.wave == nullptr) {
    // The sound file is missing: a dark body crossed by a red line where the waveform would be.
    FillRect(x0, y0, width, kClipHeight, kDarkGrey);
    FillRect(x0 + 1, y0 + 6, width - 2, 1, kRed);
  } else {
    FillRect(x0, y0, width, kClipHeight, kClipBlue);
    int colour = muted ? kLaneGrey : kWaveBlue;
    if (selected) colour = muted ? kGreyGreen : kWhite;
    // Only the columns in sight: a long sound has thousands.
    const int first = std::max(0, v.scrollPixels - x0);
    const int last = std::min(width, v.scrollPixels + v.visibleWidth - x0);
    for (int k = first; k < last; ++k) {
      const int h = WaveHeight(*clip.wave, k, v.framePixels);
      FillRect(x0 + k, y0 + 6 - h / 2, 1, h, colour);
    }
  }
  DrawOutline(x0, y0, width, kClipHeight, outline);
  if (selected) {
    FillRect(x0 + 1, y0 + 1, 20, 12, kBlack);
    DrawText(x0 + 2, y0 - 1, kWhite, "v");
    DrawText(x0 + 11, y0 - 1, kWhite, "p");
  }
  DrawTextSelection(x0 + 3, y0 + 5, clip.label);
  DrawTextOutlined(x0 + 3, y0 + 5, kWhite, kBlack, clip.label);
}

// The gauge of a volume or pan drag, drawn over every clip.
void DrawClipGauge(const Clip& clip, const View& v) {
  const int x0 = v.framePixels * clip.startFrame, y0 = ClipTop(clip);
  if (editor.dragState == kDragClipVolume) {
    DrawOutline(x0, y0 - 25, 7, 52, kWhite);
    FillRect(x0 + 1, y0 - 24, 5, 50, kBlack);
    const int vol = static_cast<int>(std::lround(46.0f * clip.volume));
    FillRect(x0 + 1, y0 + 21 - vol, 5, 5, kWhite);
  } else if (editor.dragState == kDragClipPan) {
    DrawOutline(x0 - 25, y0, 51, 6, kWhite);
    FillRect(x0 - 24, y0, 49, 5, kBlack);
    FillRect(x0, y0, 1, 6, kWhite);
    const int q = static_cast<int>(std::lround(22.0f * clip.pan));
    FillRect(x0 - 2 + q, y0, 5, 5, kWhite);
  }
}

// The value of a volume or pan drag beside its gauge, drawn last so that the ruler's keys never
// hide it: right of the volume gauge's top, above the pan gauge.
void DrawClipGaugeValue(const View& v) {
  const Clip* clip = GetClip(editor.selectedClip);
  char value[32];
  if (clip == nullptr || !FormatClipGaugeValue(*clip, editor.dragState, value, sizeof value)) {
    return;
  }
  const int x0 = v.framePixels * clip->startFrame, y0 = ClipTop(*clip);
  if (editor.dragState == kDragClipVolume) {
    DrawTextOutlined(x0 + 10, y0 - 24, kWhite, kBlack, value);
  } else {
    DrawTextOutlined(x0 - 25, y0 - 11, kWhite, kBlack, value);
  }
}

void RunClips(const Pointer& p, const View& v) {
  for (int i = 0; i < ClipCount(); ++i) {
    const Clip& clip = *GetClip(i);
    PressClip(i, clip, p, v);
    DrawClip(clip, i == editor.selectedClip, v);
  }
  if (const Clip* selected = GetClip(editor.selectedClip)) DrawClipGauge(*selected, v);
}

// Which key each frame of the ruler shows; a later key on the same frame wins.
using KeySlots = std::array<int, kMaxFrames>;
void FillKeySlots(const KeyTrack& track, KeySlots& slots) {
  slots.fill(-1);
  for (int i = 0; i < track.count; ++i) {
    const int frame = track.keys[i].frame;
    if (frame >= 0 && frame < kMaxFrames) slots[frame] = i;
  }
}

// Ruler ticks: a wide tick on every labelled second, a full tick on other seconds; the ticks at
// f mod fps 6, 12 and 18 and a small tick on every frame where frames are far enough apart to
// tell them. Labels on every labelStep frames.
void DrawTick(int f, int x, int fps, int labelStep, int framePixels) {
  const int inSecond = f % fps;
  if (f % labelStep == 0) DrawTextFormat(x + 2, -1, kBlack, "%i", f);
  if (inSecond == 0 && f % labelStep == 0) {
    FillRect(x - 2, 0, 2, 18, kBlack);
  } else if (inSecond == 0) {
    FillRect(x - 1, 0, 1, 18, kBlack);
  } else if (framePixels < 3) {
    return;
  } else if (inSecond == 6 || inSecond == 18) {
    FillRect(x - 1, 4, 1, 14, kBlack);
  } else if (inSecond == 12) {
    FillRect(x - 1, 0, 1, 18, kBlack);
  } else if (framePixels >= 4) {
    FillRect(x - 1, 7, 1, 8, kBlack);
  }
}

void DrawPlayRange(int f, int x, int framePixels) {
  if (f == project.playStart) {
    DrawOutline(x - 1, 18, 1, 11, kRed);
    DrawOutline(x - 1, 18, 3, 1, kRed);
    DrawOutline(x - 1, 28, 3, 1, kRed);
  }
  if (f == project.playEnd) {
    const int right = x + framePixels - 1;
    DrawOutline(right, 18, 1, 11, kRed);
    DrawOutline(right - 2, 18, 3, 1, kRed);
    DrawOutline(right - 2, 28, 3, 1, kRed);
  }
}

bool NamesKey(const KeyTrack& track, int index) { return index >= 0 && index < track.count; }

// The cell row of frame f: the image it shows and its cell; frames too narrow for a cell show
// the images and the selection as bands.
void DrawFrameCell(const ImageTrack* images, int f, int x, int framePixels) {
  const bool marked = f == project.currentFrame ||
                      (editor.selectionStart <= f && f <= editor.selectionEnd && f >= 0);
  const int cellWidth = framePixels - 1;
  const bool shown = images != nullptr && images->frameImage[f] != 0;
  if (framePixels < 4) {
    if (shown) FillRect(x, 20, framePixels, 7, kGreyGreen);
    if (marked) FillRect(x, 26, framePixels, 1, kWhite);
    return;
  }
  if (shown) FillRect(x, 20, cellWidth, 7, kGreyGreen);
  DrawOutline(x, 20, cellWidth, 7, marked ? kWhite : kGreyGreen);
}

// The key marker under the pointer (a later key wins where markers overlap), or -1. A marker is
// 16 pixels wide and a press finds it anywhere over it, however narrow the frame.
int KeyUnderPointer(const KeySlots& slots, const View& v) {
  const int z = v.framePixels, hitWidth = std::max(z, kFramePixels);
  int found = -1;
  for (int f = v.firstFrame; f <= v.lastFrame; ++f) {
    const int x = FrameLeft(v, f);
    if (slots[f] >= 0 && MouseInLocal(x + z / 2 - hitWidth / 2, 29, hitWidth, 12)) found = slots[f];
  }
  return found;
}

// A left press on key i: with Shift it joins the selection or leaves it; otherwise it is
// grabbed for a drag, with the other selected keys when it is one of them.
void PressKey(const KeyTrack& track, int i) {
  if (editor.shiftHeld) {
    ToggleKeySelection(track, i);
    editor.dragState = kDragNone;
    return;
  }
  editor.dragState = kDragKey;
  editor.keyPressCollapses = KeySelected(track, i) && SelectedKeyCount(track) > 1;
  if (KeySelected(track, i)) {
    SelectKey(i);
  } else {
    SelectOnlyKey(track, i);
  }
}

// The presses on the key row: a key marker (left: select or grab, right: the key menu), or the
// row's empty space, where a left press begins a sweep. True when the press was the row's.
bool PressKeyRow(const KeyTrack& track, const KeySlots& slots, const Pointer& p, const View& v) {
  if (!MouseInRegion()) return false;
  const int i = KeyUnderPointer(slots, v);
  if (i >= 0 && ui->leftPressed) PressKey(track, i);
  if (i >= 0 && ui->rightPressed) {
    OpenMenu(kKeyMenu);
    // The menu's modes act on the whole selection when the key is part of it.
    if (KeySelected(track, i)) {
      SelectKey(i);
    } else {
      SelectOnlyKey(track, i);
    }
  }
  const bool onRow = ui->localMouseY >= kKeyRowTop && ui->localMouseY <= kKeyRowBottom;
  if (i < 0 && ui->leftPressed && onRow) {
    editor.dragState = kDragKeySweep;
    editor.keySweepAnchor = p.frame;
    editor.keySweepAdds = editor.shiftHeld;
    editor.keySweepKept = SelectedKeyFrames(track);
  }
  return ui->leftPressed && (i >= 0 || editor.dragState == kDragKeySweep);
}

// What a drag on the key row does in every frame: the grabbed keys follow the pointer by whole
// frames, as far as they may go; a sweep selects the keys between its start and the pointer.
void RunKeyDrags(KeyTrack& track, const Pointer& p) {
  const bool overStrip = MouseInRegion() && ui->localMouseY >= 0 && ui->localMouseY < 90;
  if (editor.dragState == kDragKey && ui->leftDown && NamesKey(track, project.selectedKey) &&
      overStrip) {
    const int frames = p.frame - track.keys[project.selectedKey].frame;
    if (frames != 0 && MoveSelectedKeys(track, frames)) editor.keyPressCollapses = false;
  }
  if (editor.dragState == kDragKeySweep) {
    SelectKeysInFrames(track, editor.keySweepAnchor, p.frame,
                       editor.keySweepAdds ? &editor.keySweepKept : nullptr);
  }
}

// The frames a sweep spans, shaded over the key row.
void DrawKeySweep(const View& v) {
  if (editor.dragState != kDragKeySweep) return;
  const int first = std::min(editor.keySweepAnchor, project.currentFrame);
  const int last = std::max(editor.keySweepAnchor, project.currentFrame);
  const int left = FrameLeft(v, first);
  FillRectAlpha(left, kKeyRowTop, FrameLeft(v, last) + v.framePixels - left,
                kKeyRowBottom - kKeyRowTop + 1, kWhite, 0.35f);
}

// The ruler of the selected object: ticks, cursor, image changes and presence, frame cells, the
// play range and the key markers, with the key presses, drags and sweeps. True when a left press
// landed on a key or began a sweep.
bool RunFrameStrip(KeyTrack& track, const ImageTrack* images, const Pointer& p, const View& v) {
  FillRect(0, 10, TimelineContentWidth(), 1, kBlack);
  KeySlots slots;
  FillKeySlots(track, slots);
  const bool keyRowPressed = PressKeyRow(track, slots, p, v);
  RunKeyDrags(track, p);
  FillKeySlots(track, slots);  // the keys may have moved
  const int fps = std::max(project.fps, 1), z = v.framePixels;
  const int labelStep = LabelStepFrames(fps, z, TextWidth("1999"));

  for (int f = v.firstFrame; f <= v.lastFrame; ++f) {
    const int x = FrameLeft(v, f);
    if (images != nullptr && f >= 1 && images->frameImage[f] != images->frameImage[f - 1]) {
      DrawOutline(x - 1, 18, 1, 11, kBlack);
    }
    if (f == project.currentFrame) {
      const int width = std::min(z, 3);
      const int left = x + (z - width) / 2;
      FillRect(left, 0, width, 53, kCursorBrown);
      FillRect(left, 55, width, 125, kLightGrey);  // over the clips
    }
    DrawTick(f, x, fps, labelStep, z);
    DrawFrameCell(images, f, x, z);
    DrawPlayRange(f, x, z);
  }
  DrawKeySweep(v);
  for (int f = v.firstFrame; f <= v.lastFrame; ++f) {
    const int i = slots[f];
    if (i < 0) continue;
    const int image = KeyMarkerImage(track, i);
    const int markerX = FrameLeft(v, f) + z / 2 - kFramePixels;
    if (image >= 0) DrawImage(ui->skin[image], markerX, 27);
    if (image == kManualKeyMarker) DrawManualKeyMarker(markerX + 7, 34);
    if (KeySelected(track, i)) DrawImage(ui->skin[kSkinKeySelected], markerX, 27);
  }
  return keyRowPressed;
}

// Delete and Ctrl+A belong to the timeline while it is the active window, and never to a name
// being typed (a clip's label may be the very text under edit).
bool KeysForTimeline(bool windowActive) { return windowActive && !ui->editing; }

// The frame typed in the title, once its typing has ended: Enter (or a click elsewhere) goes
// there, Escape leaves an empty text and so nothing.
void FinishGoToFrame() {
  if (!editor.goToTyping || (ui->editing && ui->editText == editor.goToText)) return;
  editor.goToTyping = false;
  int frame = 0;
  if (!ParseGoToFrame(editor.goToText, project.fps, &frame)) {
    if (editor.goToText[0] != '\0') LogMessage("go to frame: '%s' names no frame", editor.goToText);
    return;
  }
  editor.animationPlaying = -1;
  project.currentFrame = frame;
  project.selectedKey = -1;
  editor.selectionStart = editor.selectionEnd = -1;
}

// Brings the current frame into sight when something else than the timeline changed it, unless
// the user is holding a button (a drag or the scroll bar).
void FollowCurrentFrame(int visibleWidth) {
  const int shown = editor.timelineShownFrame;
  if (project.currentFrame == shown) return;
  if (mouseState.left || mouseState.right || mouseState.middle ||
      IsTimelineDrag(editor.dragState)) {
    return;
  }
  const int range = TimelineContentWidth() - visibleWidth;
  if (range <= 0) return;
  const int scroll = ScrollToShowFrame(project.currentFrame, shown, TimelineScrollPixels(),
                                       visibleWidth, TimelineFramePixels());
  editor.timelineScroll = static_cast<float>(scroll) / static_cast<float>(range);
}

}  // namespace

int TimelineFramePixels() {
  return std::clamp(editor.timelineFramePixels, kMinFramePixels, kMaxFramePixels);
}

int TimelineContentWidth() { return TimelineFramePixels() * kMaxFrames + kMarkerOverhang; }

int TimelineScrollPixels() {
  const int range = TimelineContentWidth() - CurrentLayout(kTimelineWindow).visibleWidth;
  if (range <= 0) return 0;
  const float scroll = std::clamp(editor.timelineScroll, 0.0f, 1.0f);
  return static_cast<int>(std::lround(static_cast<float>(range) * scroll));
}

int TimelineFrameAt(int windowX, int scrollPixels, int framePixels) {
  const int z = std::max(framePixels, 1);
  const int contentX = windowX + scrollPixels - 2;
  if (contentX < 0) return 0;
  return std::min(contentX / z, kMaxFrames - 1);
}

int TimelineLaneAt(int windowY) { return std::clamp((windowY - 69) / kLaneSpacing, 0, kLaneCount - 1); }

int ZoomedFramePixels(int framePixels, int wheel) {
  const int count = static_cast<int>(sizeof kZoomSteps / sizeof kZoomSteps[0]);
  int at = 0;
  while (at + 1 < count && kZoomSteps[at + 1] <= framePixels) ++at;
  if (wheel > 0) at = std::min(at + 1, count - 1);
  if (wheel < 0 && kZoomSteps[at] == framePixels) at = std::max(at - 1, 0);
  return kZoomSteps[at];
}

bool ZoomTimelineWithWheel() {
  const WindowPosition& window = editor.timelineWindow;
  const WindowLayout& layout = CurrentLayout(kTimelineWindow);
  const int x = mouseState.x - window.x, y = mouseState.y - window.y;
  if (mouseState.wheel == 0 || !editor.ctrlHeld || x < 0 || x >= layout.width || y < 0 ||
      y >= layout.height + kTitleBarHeight) {
    return false;
  }
  const int before = TimelineFramePixels();
  const int after = ZoomedFramePixels(before, mouseState.wheel);
  mouseState.wheel = 0;
  if (after == before) return true;
  // The moment under the pointer stays under it.
  const float moment = static_cast<float>(x - 1 + TimelineScrollPixels() - 1) / before;
  editor.timelineFramePixels = after;
  const int range = TimelineContentWidth() - layout.visibleWidth;
  if (range > 0) {
    const float scroll = moment * after + 1 - static_cast<float>(x - 1);
    editor.timelineScroll = std::clamp(scroll / static_cast<float>(range), 0.0f, 1.0f);
  }
  return true;
}

void StartGoToFrame() {
  editor.goToText[0] = '\0';
  StartTextEdit(editor.goToText, sizeof editor.goToText);
  editor.goToTyping = ui->editing && ui->editText == editor.goToText;
}

bool ParseGoToFrame(const char* text, int fps, int* frame) {
  if (text == nullptr) return false;
  while (*text == ' ') ++text;
  long parts[2] = {0, 0};
  int count = 0, digits = 0;
  for (; *text != '\0' && *text != ' '; ++text) {
    if (*text == ':' && count == 0 && digits > 0) {
      count = 1;
      digits = 0;
    } else if (std::isdigit(static_cast<unsigned char>(*text)) && digits < 6) {
      parts[count] = parts[count] * 10 + (*text - '0');
      ++digits;
    } else {
      return false;
    }
  }
  while (*text == ' ') ++text;
  if (*text != '\0' || digits == 0) return false;
  const long value = count == 0 ? parts[0] : parts[0] * std::max(fps, 1) + parts[1];
  *frame = static_cast<int>(std::clamp<long>(value, 0, kMaxFrames - 1));
  return true;
}

int ScrollToShowFrame(int frame, int before, int scrollPixels, int visibleWidth, int framePixels) {
  const int margin = std::min(kFollowMargin, visibleWidth / 4);
  const int left = 1 + framePixels * frame, right = left + framePixels;
  if (left >= scrollPixels + margin && right <= scrollPixels + visibleWidth - margin) {
    return scrollPixels;
  }
  const int pageFrames = visibleWidth / std::max(framePixels, 1);
  const bool steppedBack = before >= 0 && frame < before && before - frame <= pageFrames;
  const int scroll = steppedBack ? right + margin - visibleWidth : left - margin;
  const int range = framePixels * kMaxFrames + kMarkerOverhang - visibleWidth;
  return std::clamp(scroll, 0, std::max(range, 0));
}

int KeyMarkerImage(const KeyTrack& track, int index) {
  if (!NamesKey(track, index)) return -1;
  switch (track.keys[index].mode) {
    case kAuto:
      return index == 0 || index == track.count - 1 ? kSkinKeyCorner : kSkinKey;
    case kCorner:
      return kSkinKeyCorner;
    case kStationary:
      return kSkinKeyStationary;
    default:
      return kManualKeyMarker;
  }
}

int RestoreKeyOrder(KeyTrack& track, int moved) {
  if (!NamesKey(track, moved)) return moved;
  for (;;) {
    const int previous = std::max(moved - 1, 0);
    const int next = std::min(moved + 1, track.count - 1);
    if (track.keys[moved].frame < track.keys[previous].frame) {
      std::swap(track.keys[moved], track.keys[previous]);
      moved = previous;
    } else if (track.keys[next].frame < track.keys[moved].frame) {
      std::swap(track.keys[moved], track.keys[next]);
      moved = next;
    } else {
      return moved;
    }
  }
}

int ClipWidth(const Clip& clip) {
  return clip.wave != nullptr ? clip.wave->overviewLength : kMissingClipWidth;
}

bool FormatClipGaugeValue(const Clip& clip, int dragState, char* text, size_t size) {
  if (dragState == kDragClipVolume) {
    std::snprintf(text, size, "volume %.2f", static_cast<double>(clip.volume));
  } else if (dragState == kDragClipPan) {
    // A pan that rounds to the centre reads "pan 0.00", never "-0.00"; others carry their side.
    const float pan = clip.pan;
    if (std::fabs(pan) < 0.005f) {
      std::snprintf(text, size, "pan 0.00");
    } else {
      std::snprintf(text, size, "pan %+.2f", static_cast<double>(pan));
    }
  } else {
    return false;
  }
  return true;
}

int ClipPixels(const Clip& clip, int framePixels) {
  return std::max(1, ClipWidth(clip) * framePixels / kFramePixels);
}

int SecondLabelStepFrames(int fps, int framePixels, int labelWidth) {
  static const int kSeconds[] = {1, 2, 5, 10, 15, 30, 60, 120, 300};
  fps = std::max(fps, 1);
  for (int seconds : kSeconds) {
    if (seconds * fps * framePixels >= labelWidth + kLabelGap) return seconds * fps;
  }
  return kSeconds[sizeof kSeconds / sizeof kSeconds[0] - 1] * fps;
}

int LabelStepFrames(int fps, int framePixels, int labelWidth) {
  static const int kFrames[] = {1, 2, 5, 10};
  fps = std::max(fps, 1);
  // Zoomed in beyond the usual, ruler labels come within the second, on steps that divide it.
  if (framePixels > kFramePixels) {
    for (int frames : kFrames) {
      if (frames < fps && fps % frames == 0 && frames * framePixels >= labelWidth + kLabelGap) {
        return frames;
      }
    }
  }
  return SecondLabelStepFrames(fps, framePixels, labelWidth);
}

void DrawTimelineWindow() {
  FinishGoToFrame();
  const WindowLayout& layout = CurrentLayout(kTimelineWindow);
  FollowCurrentFrame(layout.visibleWidth);

  char title[kWindowTitleSize];
  const int counterStart = FormatTimelineWindowTitle(title, sizeof title);
  float scrollY = 0;
  const bool windowActive =
      BeginEditorWindow(kTimelineWindow, title, &editor.timelineScroll, &scrollY);

  View v;
  v.framePixels = TimelineFramePixels();
  v.scrollPixels = ui->regionScrollX[ui->depth];
  v.visibleWidth = layout.visibleWidth;
  v.firstFrame = std::clamp((v.scrollPixels - kMarkerOverhang) / v.framePixels, 0, kMaxFrames - 1);
  v.lastFrame = std::clamp((v.scrollPixels + v.visibleWidth + kMarkerOverhang) / v.framePixels, 0,
                           kMaxFrames - 1);

  SceneObject* selected = project.selected;
  KeyTrack* track = selected != nullptr ? selected->keys.get() : nullptr;
  if (!ui->leftDown && IsTimelineDrag(editor.dragState)) {
    // A press on one of several selected keys that moved nothing selects that key alone.
    if (editor.dragState == kDragKey && editor.keyPressCollapses && track != nullptr) {
      SelectOnlyKey(*track, project.selectedKey);
    }
    editor.keyPressCollapses = false;
    editor.dragState = kDragNone;
  }

  // The counter in the title: from the end of the words before it to the end of the title.
  char before[kWindowTitleSize];
  std::snprintf(before, sizeof before, "%.*s", counterStart, title);
  const int counterLeft = 3 + TextWidth(before), counterRight = 3 + TextWidth(title);

  Pointer p;
  p.x = ui->mouseX - editor.timelineWindow.x;
  p.y = ui->mouseY - editor.timelineWindow.y;
  p.frame = TimelineFrameAt(p.x, v.scrollPixels, v.framePixels);
  const bool rulerPressed = RunBands(p, v, counterLeft, counterRight);
  p.lane = TimelineLaneAt(p.y);
  RunClipDrag(p);

  DrawLaneBackground(v);
  RunClips(p, v);

  // Every lane opens the lane menu down to the bottom of the last one, unless a clip or an earlier
  // band already asked for a menu.
  if (!ui->menuOpen && ui->rightPressed && InBand(p, v, 55, 178)) {
    OpenMenu(kLaneMenu);
    editor.laneMenuFrame = p.frame;
    editor.laneMenuRow = p.lane;
  }

  const bool deletePressed = KeysForTimeline(windowActive) && KeyDown(kKeyDelete);
  if (deletePressed && DeleteClip(editor.selectedClip)) editor.selectedClip = -1;

  const bool keyRowPressed =
      track != nullptr && RunFrameStrip(*track, ImageTrackOf(selected), p, v);
  if (rulerPressed && !keyRowPressed) project.selectedKey = -1;
  DrawClipGaugeValue(v);
  if (track != nullptr) {
    // Delete removes every selected key, never the track's last one.
    if (deletePressed) DeleteSelectedKeys(*track);
    if (KeysForTimeline(windowActive) && editor.ctrlHeld && KeyDown(kKeyA)) {
      editor.selectionStart = 0;
      editor.selectionEnd = kMaxFrames - 1;
    }
  }
  EndEditorWindow();
  editor.timelineShownFrame = project.currentFrame;
}
