// Context menus: at most one open at a time, drawn on top after every window; a left press on
// an entry yields its command code, 10 x menu number + entry index.
#include <algorithm>
#include <cstdio>

#include "platform/input.h"
#include "platform/platform.h"
#include "ui/ui.h"

const MenuEntryList kMenus[kMenuCount] = {
    {120, 1, {"new object [INSERT]"}},
    {120,
     6,
     {"attach to...", "edit alignment", "hide/show", "rename [CLICK]", "delete [DEL]",
      "new object [INSERT]"}},
    {100, 1, {"reset level"}},
    {130, 3, {"reset position", "reset level", "auto/manual velocity"}},
    {100, 1, {"reset rotation"}},
    {100, 1, {"reset scale"}},
    {90, 4, {"manual", "corner", "auto", "stationary"}},
    {150, 1, {"import new image [INSERT]"}},
    {130,
     5,
     {"import image", "flip horizontally", "flip vertically", "rename [CLICK]", "delete [DEL]"}},
    {100, 1, {"repeat images"}},
    // The file commands follow the view's own entries; the recent projects are added to them
    // when the menu opens.
    {130,
     10,
     {"edit view", "camera view", "reset edit view", "export animation",
      "export with motion blur", "new project", "open...", "save", "save as...",
      "export size..."}},
    {100, 4, {"reset pan", "reset volume", "rename", "delete [DEL]"}},
    {120, 2, {"import sound", "mute/unmute"}},
    {120,
     8,
     {"10 fps", "12 fps", "15 fps", "24 fps (film)", "25 fps (PAL/2)", "30 fps (NTSC/2)",
      "50 fps (PAL)", "60 fps (NTSC)"}},
    {100, 4, {"640 x 480", "1280 x 960", "1920 x 1440", "2560 x 1920"}},
};

void OpenMenu(int menuId) {
  if (menuId < 0 || menuId >= kMenuCount) return;
  ui->menuOpen = 1;
  ui->menuId = menuId;
  ui->menuMarked = -1;
  ui->menuX = ui->mouseX - 10;
  ui->menuY = ui->mouseY - 4;
  ui->extraCount = 0;
}

bool AddMenuEntry(const char* label, int code) {
  UiContext& c = *ui;
  if (!c.menuOpen || c.extraCount >= kMaxExtraEntries || label == nullptr) return false;
  std::snprintf(c.extraLabels[c.extraCount], kExtraLabelSize, "%s", label);
  c.extraCodes[c.extraCount] = code;
  ++c.extraCount;
  return true;
}

namespace {

void CloseMenu() {
  UiContext& c = *ui;
  c.menuOpen = 0;
  c.savedLeftPressed = c.savedRightPressed = c.savedMiddlePressed = 0;
  c.savedMouseX = c.savedMouseY = -1;
}

}  // namespace

bool CloseMenuOnEscape() {
  if (ui == nullptr || !ui->menuOpen) return false;
  if (!KeyDown(kKeyEscape)) return false;
  CloseMenu();
  // The key and the character 27 it typed.
  ForgetKey(kKeyEscape);
  if (typedChar == 27) typedChar = 0;
  return true;
}

int RunMenus() {
  UiContext& c = *ui;
  if (!c.menuOpen) return -1;
  const int code = ContextMenu();
  // Any press closes the menu; it reached no window.
  if (c.leftPressed || c.rightPressed || c.middlePressed) CloseMenu();
  return code;
}

int ContextMenu() {
  UiContext& c = *ui;
  c.mouseX = c.savedMouseX;
  c.mouseY = c.savedMouseY;
  c.leftPressed = c.savedLeftPressed;
  c.rightPressed = c.savedRightPressed;
  c.middlePressed = c.savedMiddlePressed;

  const MenuEntryList& menu = kMenus[c.menuId];
  const int count = menu.count + c.extraCount;
  const int height = kMenuEntryHeight * count;
  int width = menu.width;
  for (int e = 0; e < c.extraCount; ++e) width = std::max(width, TextWidth(c.extraLabels[e]) + 6);
  // Kept on screen at the right and bottom; the corrected position is kept.
  if (c.menuX > logicalWidth - width) c.menuX = logicalWidth - width;
  if (c.menuY > logicalHeight - height) c.menuY = logicalHeight - height;

  for (int i = 0; i < count; ++i) {
    const bool own = i < menu.count;
    const int top = c.menuY + kMenuEntryHeight * i;
    const bool hover = MouseIn(c.menuX, top, width, kMenuEntryHeight);
    if (c.leftPressed) {
      if (hover) return own ? 10 * c.menuId + i : c.extraCodes[i - menu.count];
      continue;
    }
    FillRect(c.menuX, top, width, kMenuEntryHeight, hover ? 8 : 9);
    DrawText(c.menuX + 3, top + 1, hover ? 9 : 6,
             own ? menu.labels[i] : c.extraLabels[i - menu.count]);
    if (i == c.menuMarked) FillRect(c.menuX + width - 9, top + 3, 4, 4, hover ? 9 : 6);
  }
  DrawOutline(c.menuX, c.menuY, width, height + 1, 6);
  FillRectAlpha(c.menuX + 2, c.menuY + height + 1, width - 4, 2, 1, 0.15f);
  return -1;
}
