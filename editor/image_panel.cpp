#include "editor/image_panel.h"

#include <algorithm>

#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "images/image_bank.h"
#include "ui/ui.h"

namespace {

constexpr int kImageMenu = 8;  // "import image", "flip ...", "rename [CLICK]", "delete [DEL]"
constexpr int kListMenu = 7;   // "import new image [INSERT]"
constexpr int kNamePartWidth = kImageRowWidth - kFrameColumnWidth;
constexpr int kMissingColour = 11;  // the red of a clip whose sound file is missing

// The held left button began on the list itself, not on the title bar, the scroll bar or a
// context menu: only such a press sweeps the frame column. Cleared while the button is up.
bool sweeping = false;

bool MouseInFrameColumn(int r) {
  return MouseInRegion() && MouseInLocal(0, kImageRowHeight * r, kFrameColumnWidth, kImageRowHeight);
}

bool MouseInNamePart(int r) {
  return MouseInRegion() &&
         MouseInLocal(kFrameColumnWidth, kImageRowHeight * r, kNamePartWidth, kImageRowHeight);
}

// The image shown on the current frame as a row number, -1 when the frame is outside the table.
int ShownRow(const ImageTrack& track) {
  const int frame = project.currentFrame;
  return frame >= 0 && frame < kMaxFrames ? track.frameImage[frame] : -1;
}

// Left press: a second click on the selected entry renames it. Right press: an entry opens
// the image menu; the invisible row is only selected. True when a right press hit the row.
bool SelectRow(ImageTrack& track, int r) {
  if (!MouseInNamePart(r)) return false;
  if (ui->leftPressed) {
    if (r == editor.selectedImageRow && r >= 1) {
      StartTextEdit(track.entries[r - 1].name, kNameSize, true);
    }
    editor.selectedImageRow = r;
  }
  if (ui->rightPressed) {
    if (r >= 1) OpenMenu(kImageMenu);
    editor.selectedImageRow = r;
    return true;
  }
  return false;
}

// " (missing)" or " (unreadable)" for an entry whose file cannot be loaded, "" otherwise.
const char* LoadMark(const ImageEntry& entry) {
  if (entry.file[0] == '\0' || GetImage(entry.file) != nullptr) return "";
  bool missing = false;
  ImageFailureReason(entry.file, &missing);
  return missing ? " (missing)" : " (unreadable)";
}

void DrawRow(const ImageTrack& track, int r, int shown) {
  const int top = kImageRowHeight * r;
  int textColour = 6;
  if (r == editor.selectedImageRow) {
    FillRect(kFrameColumnWidth, top, kNamePartWidth, kImageRowHeight - 1, 15);
    textColour = 9;
  }
  if (r == shown) {
    FillRect(0, top, kFrameColumnWidth, kImageRowHeight, 0);
    DrawOutline(0, top, kImageRowWidth, kImageRowHeight, 0);
  }
  // The number stays black; only the name takes the selection colour. Names are text, never
  // formats, and a name from a file may fill its whole field.
  if (r >= 1) {
    const ImageEntry& entry = track.entries[r - 1];
    // An entry whose file cannot be loaded shows nothing in the view; the list says why.
    const char* mark = LoadMark(entry);
    if (mark[0] != '\0') textColour = kMissingColour;
    DrawTextSelection(5 + TextWidthFormat("%.3i: ", r - 1), top, entry.name);
    DrawTextFormat(5, top, textColour, "%.3i: %.*s%s", r - 1, kNameSize - 1, entry.name, mark);
    DrawTextFormat(5, top, 6, "%.3i:", r - 1);
  } else {
    if (textColour == 6) textColour = 15;
    DrawText(5, top, textColour, "--- : <Invisible>");
    DrawText(5, top, 6, "--- :");
  }
}

}  // namespace

int ImageRowCount(const ImageTrack& track) {
  return std::clamp(track.count, 0, kMaxImages) + 1;
}

void AssignImageRow(ImageTrack& track, int row) {
  if (row < 0 || row >= ImageRowCount(track)) return;
  SetFrameImage(track, project.currentFrame, row);
  if (editor.selectionStart == -1) return;
  // The timeline keeps its range inside the frame table; whatever else arrives is cut to it.
  const int first = std::max(editor.selectionStart, 0);
  const int last = std::min(editor.selectionEnd, kMaxFrames - 1);
  for (int f = first; f <= last; ++f) track.frameImage[f] = row;
}

void RunImagePanel() {
  char title[kWindowTitleSize];
  FormatImageWindowTitle(title, sizeof title);
  float scrollX = 0;
  editor.imageWindowActive =
      BeginEditorWindow(kImageWindow, title, &scrollX, &editor.imageListScroll);

  if (!ui->leftDown) sweeping = false;
  if (ui->leftPressed) sweeping = MouseInRegion();

  ImageTrack* track = ImageTrackOf(project.selected);
  if (track != nullptr) {
    const int rows = ImageRowCount(*track);
    bool rightPressOnRow = false;
    for (int r = 0; r < rows; ++r) {
      if (sweeping && ui->leftDown && MouseInFrameColumn(r)) AssignImageRow(*track, r);
      rightPressOnRow = SelectRow(*track, r) || rightPressOnRow;
      DrawRow(*track, r, ShownRow(*track));
    }
    // The list menu belongs to the space beside the entries; a right press on the invisible
    // row selects it and opens nothing.
    if (ui->rightPressed && !ui->menuOpen && !rightPressOnRow) {
      FinishTextEdit();
      OpenMenu(kListMenu);
    }
  }
  EndEditorWindow();
}
