// The window reads every press before it draws what the press changed: the bands above the
// scroll area (title, ruler, frame cells, lanes) are tested in window coordinates, clips and
// keys in content coordinates while they are drawn. Drags last until the left button is let go;
// every frame of a drag checks that the clip or key it works on still exists.
#include "editor/timeline_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "platform/input.h"
#include "ui/ui.h"

namespace {

// Palette entries by their use here.
constexpr int kBlack = 6, kWhite = 9, kRed = 11, kCursorBrown = 0, kLightGrey = 10;
constexpr int kGreyGreen = 15, kLaneGrey = 8, kClipBlue = 12, kWaveBlue = 13, kDarkGrey = 14;

constexpr int kContentWidth = 3840;
constexpr int kBandRight = 737;  // bands span window x 0..737
constexpr float kVolumePerPixel = 0.02f, kPanPerPixel = 0.04f;

// Menus opened here.
constexpr int kKeyMenu = 6, kSelectionMenu = 9, kClipMenu = 11, kLaneMenu = 12, kFpsMenu = 13;

bool IsTimelineDrag(int dragState) { return dragState >= 11 && dragState <= 19; }

// The pointer in window coordinates, the frame and lane under it.
struct Pointer {
  int x = 0, y = 0;
  int frame = 0, lane = 0;
};

bool InBand(const Pointer& p, int top, int bottom) {
  return p.x >= 0 && p.x <= kBandRight && p.y >= top && p.y <= bottom;
}

int ClipTop(const Clip& clip) { return kLaneSpacing * clip.row + kLaneTop; }

// Presses on the title bar, the ruler, the frame cells and the lanes; the scrub and the range
// selection that follow the pointer.
void RunBands(const Pointer& p) {
  if (ui->rightPressed && InBand(p, 0, kTitleBarHeight - 1)) OpenMenu(kFpsMenu);

  if (InBand(p, 12, 64)) {
    if (ui->leftPressed) {
      editor.animationPlaying = -1;
      project.currentFrame = p.frame;
      editor.dragState = kDragScrub;
      project.selectedKey = -1;
      editor.selectionStart = editor.selectionEnd = -1;
    }
    if (ui->rightPressed && editor.selectionStart != editor.selectionEnd) OpenMenu(kSelectionMenu);
  }
  if (ui->leftPressed && InBand(p, 30, 41)) {
    editor.dragState = kDragRangeSelect;
    editor.selectionAnchor = project.currentFrame;
  }

  const int drag = editor.dragState;
  if (drag == kDragScrub || drag == kDragRangeSelect || drag == kDragKey) {
    project.currentFrame = p.frame;
    if (!sounding) StartScrub(project.currentFrame);
    if (drag == kDragRangeSelect) {
      editor.selectionStart = std::min(editor.selectionAnchor, project.currentFrame);
      editor.selectionEnd = std::max(editor.selectionAnchor, project.currentFrame);
    }
  }

  if (ui->leftPressed && InBand(p, 67, 179)) editor.selectedClip = -1;
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

void DrawLaneBackground() {
  FillRect(0, 53, kContentWidth, 2, kBlack);
  FillRect(0, 55, kContentWidth, 130, kLaneGrey);
  for (int n = 0; n < kTimelineFrames; n += 3) {
    const int x = kFramePixels * n;
    if (n % 12 == 0) {
      FillRect(x, 55, 1, 130, kLightGrey);
      if (n == 0) {
        DrawText(1, 44, kBlack, "0");
      } else {
        DrawTextFormat(x - TextWidthFormat("%i", n / 12) / 2, 44, kBlack, "%i", n / 12);
      }
    } else if (n % 12 == 6) {
      FillRect(x, 55, 1, 130, kGreyGreen);
    }
  }
  for (int k = 0; k <= kLaneCount; ++k) FillRect(0, 55 + kLaneSpacing * k, kContentWidth, 1, kGreyGreen);
}

// A press on clip index: the left button grabs it (its volume or pan handle when pressed there),
// the right one opens its menu.
void PressClip(int index, const Clip& clip, const Pointer& p) {
  const int x0 = kFramePixels * clip.startFrame, y0 = ClipTop(clip);
  if (!MouseInRegion() || !MouseInLocal(x0, y0, ClipWidth(clip), kClipHeight)) return;
  if (ui->leftPressed) {
    editor.selectedClip = index;
    editor.clipGrabOffset = p.frame - clip.startFrame;
    editor.dragState = kDragClipMove;
    if (MouseInLocal(x0, y0, 8, 7)) editor.dragState = kDragClipVolume;
    if (MouseInLocal(x0 + 10, y0, 8, 7)) editor.dragState = kDragClipPan;
  }
  if (ui->rightPressed) {
    editor.selectedClip = index;
    OpenMenu(kClipMenu);
  }
}

void DrawClip(const Clip& clip, bool selected, int scrollPixels) {
  const int x0 = kFramePixels * clip.startFrame, y0 = ClipTop(clip);
  const int width = ClipWidth(clip);
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
    const int first = std::max(0, scrollPixels - x0);
    const int last = std::min(width, scrollPixels + CurrentLayout(kTimelineWindow).visibleWidth - x0);
    for (int k = first; k < last; ++k) {
      const int h = clip.wave->overview[k];
      FillRect(x0 + k, y0 + 6 - h / 2, 1, h, colour);
    }
  }
  DrawOutline(x0, y0, width, kClipHeight, outline);
  if (selected) {
    FillRect(x0 + 1, y0 + 1, 20, 12, kBlack);
    DrawText(x0 + 2, y0 - 1, kWhite, "v");
    DrawText(x0 + 11, y0 - 1, kWhite, "p");
  }
  DrawTextOutlined(x0 + 3, y0 + 5, kWhite, kBlack, clip.label);
}

// The gauge of a volume or pan drag, drawn over every clip.
void DrawClipGauge(const Clip& clip) {
  const int x0 = kFramePixels * clip.startFrame, y0 = ClipTop(clip);
  if (editor.dragState == kDragClipVolume) {
    DrawOutline(x0, y0 - 25, 7, 52, kWhite);
    FillRect(x0 + 1, y0 - 24, 5, 50, kBlack);
    const int v = static_cast<int>(std::lround(46.0f * clip.volume));
    FillRect(x0 + 1, y0 + 21 - v, 5, 5, kWhite);
  } else if (editor.dragState == kDragClipPan) {
    DrawOutline(x0 - 25, y0, 51, 6, kWhite);
    FillRect(x0 - 24, y0, 49, 5, kBlack);
    FillRect(x0, y0, 1, 6, kWhite);
    const int q = static_cast<int>(std::lround(22.0f * clip.pan));
    FillRect(x0 - 2 + q, y0, 5, 5, kWhite);
  }
}

void RunClips(const Pointer& p, int scrollPixels) {
  for (int i = 0; i < ClipCount(); ++i) {
    const Clip& clip = *GetClip(i);
    PressClip(i, clip, p);
    DrawClip(clip, i == editor.selectedClip, scrollPixels);
  }
  if (const Clip* selected = GetClip(editor.selectedClip)) DrawClipGauge(*selected);
}

// Which key each frame of the ruler shows; a later key on the same frame wins.
using KeySlots = std::array<int, kTimelineFrames>;
void FillKeySlots(const KeyTrack& track, KeySlots& slots) {
  slots.fill(-1);
  for (int i = 0; i < track.count; ++i) {
    const int frame = track.keys[i].frame;
    if (frame >= 0 && frame < kTimelineFrames) slots[frame] = i;
  }
}

void DrawTick(int f, int x, int fps) {
  switch (f % fps) {
    case 0:
      FillRect(x - 2, 0, 2, 18, kBlack);
      DrawTextFormat(x + 2, -1, kBlack, "%i", f);
      break;
    case 6:
    case 18:
      FillRect(x - 1, 4, 1, 14, kBlack);
      break;
    case 12:
      FillRect(x - 1, 0, 1, 18, kBlack);
      break;
    default:
      FillRect(x - 1, 7, 1, 8, kBlack);
      break;
  }
}

void DrawPlayRange(int f, int x) {
  if (f == project.playStart) {
    DrawOutline(x - 1, 18, 1, 11, kRed);
    DrawOutline(x - 1, 18, 3, 1, kRed);
    DrawOutline(x - 1, 28, 3, 1, kRed);
  }
  if (f == project.playEnd) {
    DrawOutline(x + 7, 18, 1, 11, kRed);
    DrawOutline(x + 5, 18, 3, 1, kRed);
    DrawOutline(x + 5, 28, 3, 1, kRed);
  }
}

bool NamesKey(const KeyTrack& track, int index) { return index >= 0 && index < track.count; }

// The ruler of the selected object: ticks, cursor, image changes and presence, frame cells, the
// play range and the key markers, with the key presses and the key drag.
void RunFrameStrip(KeyTrack& track, const ImageTrack* images) {
  FillRect(0, 10, kContentWidth, 1, kBlack);
  KeySlots slots;
  FillKeySlots(track, slots);
  const int fps = std::max(project.fps, 1);
  const bool inContent = MouseInRegion();

  for (int f = 0; f < kTimelineFrames; ++f) {
    const int x = 1 + kFramePixels * f;
    if (images != nullptr && f >= 1 && images->frameImage[f] != images->frameImage[f - 1]) {
      DrawOutline(x - 1, 18, 1, 11, kBlack);
    }
    if (f == project.currentFrame) {
      FillRect(x + 2, 0, 3, 53, kCursorBrown);
      FillRect(x + 2, 55, 3, 125, kLightGrey);  // over the clips
    }
    DrawTick(f, x, fps);
    if (images != nullptr && images->frameImage[f] != 0) FillRect(x, 20, 7, 7, kGreyGreen);
    const bool marked = f == project.currentFrame ||
                        (editor.selectionStart <= f && f <= editor.selectionEnd && f >= 0);
    DrawOutline(x, 20, 7, 7, marked ? kWhite : kGreyGreen);

    // The dragged key jumps to every free frame the pointer reaches.
    if (ui->leftDown && slots[f] == -1 && editor.dragState == kDragKey &&
        NamesKey(track, project.selectedKey) && inContent &&
        MouseInLocal(x, 0, kFramePixels, 90)) {
      track.keys[project.selectedKey].frame = f;
      project.selectedKey = RestoreKeyOrder(track, project.selectedKey);
      // The keys between the old and the new place changed their indices.
      FillKeySlots(track, slots);
    }

    DrawPlayRange(f, x);

    const int i = slots[f];
    if (i < 0) continue;
    if (inContent && MouseInLocal(x, 29, kFramePixels, 12)) {
      if (ui->leftPressed) {
        editor.dragState = kDragKey;
        project.selectedKey = i;
      }
      if (ui->rightPressed) {
        OpenMenu(kKeyMenu);
        project.selectedKey = i;
      }
    }
    const int image = KeyMarkerImage(track, i);
    if (image >= 0) DrawImage(ui->skin[image], x - 4, 27);
    if (i == project.selectedKey) DrawImage(ui->skin[kSkinKeySelected], x - 4, 27);
  }
}

// Delete and Ctrl+A belong to the timeline while it is the active window, and never to a name
// being typed (a clip's label may be the very text under edit).
bool KeysForTimeline(bool windowActive) { return windowActive && !ui->editing; }

}  // namespace

int TimelineFrameAt(int windowX, int scrollPixels) {
  return std::clamp((windowX + scrollPixels - 2) / kFramePixels, 0, kMaxFrames - 1);
}

int TimelineLaneAt(int windowY) { return std::clamp((windowY - 69) / kLaneSpacing, 0, kLaneCount - 1); }

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
      return -1;  // manual keys show only the selection mark
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

int TimelineContentWidth() { return kContentWidth; }

int ClipWidth(const Clip& clip) {
  return clip.wave != nullptr ? clip.wave->overviewLength : kMissingClipWidth;
}

void DrawTimelineWindow() {
  char title[kWindowTitleSize];
  FormatTimelineWindowTitle(title, sizeof title);
  float scrollY = 0;
  const bool windowActive =
      BeginEditorWindow(kTimelineWindow, title, &editor.timelineScroll, &scrollY);
  const int scrollPixels = ui->regionScrollX[ui->depth];

  if (!ui->leftDown && IsTimelineDrag(editor.dragState)) editor.dragState = kDragNone;

  Pointer p;
  p.x = ui->mouseX - editor.timelineWindow.x;
  p.y = ui->mouseY - editor.timelineWindow.y;
  p.frame = TimelineFrameAt(p.x, scrollPixels);
  RunBands(p);
  p.lane = TimelineLaneAt(p.y);
  RunClipDrag(p);

  DrawLaneBackground();
  RunClips(p, scrollPixels);

  // Every lane opens the lane menu down to the bottom of the last one, unless a clip or an earlier
  // band already asked for a menu.
  if (!ui->menuOpen && ui->rightPressed && InBand(p, 55, 178)) {
    OpenMenu(kLaneMenu);
    editor.laneMenuFrame = p.frame;
    editor.laneMenuRow = p.lane;
  }

  const bool deletePressed = KeysForTimeline(windowActive) && KeyDown(kKeyDelete);
  if (deletePressed && DeleteClip(editor.selectedClip)) editor.selectedClip = -1;

  SceneObject* selected = project.selected;
  if (selected != nullptr && selected->keys) {
    KeyTrack& track = *selected->keys;
    RunFrameStrip(track, ImageTrackOf(selected));
    if (deletePressed && DeleteKey(track, project.selectedKey)) project.selectedKey = -1;
    if (KeysForTimeline(windowActive) && editor.ctrlHeld && KeyDown(kKeyA)) {
      editor.selectionStart = 0;
      editor.selectionEnd = kMaxFrames - 1;
    }
  }
  EndEditorWindow();
}
