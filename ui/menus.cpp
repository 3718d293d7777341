// Context menus: at most one open at a time, drawn on top after every window; a left press on
// an entry yields its command code, 10 x menu number + entry index.
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
    {130,
     6,
     {"edit view", "camera view", "reset edit view", "export animation",
      "export with motion blur", "export size..."}},
    {100, 3, {"reset pan", "rename", "delete [DEL]"}},
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
}

int RunMenus() {
  UiContext& c = *ui;
  if (!c.menuOpen) return -1;
  const int code = ContextMenu();
  if (c.leftPressed || c.rightPressed || c.middlePressed) {
    // Any press closes the menu; it reached no window.
    c.menuOpen = 0;
    c.savedLeftPressed = c.savedRightPressed = c.savedMiddlePressed = 0;
    c.savedMouseX = c.savedMouseY = -1;
  }
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
  const int height = kMenuEntryHeight * menu.count;
  // Kept on screen at the right and bottom; the corrected position is kept.
  if (c.menuX > logicalWidth - menu.width) c.menuX = logicalWidth - menu.width;
  if (c.menuY > logicalHeight - height) c.menuY = logicalHeight - height;

  for (int i = 0; i < menu.count; ++i) {
    const int top = c.menuY + kMenuEntryHeight * i;
    const bool hover = MouseIn(c.menuX, top, menu.width, kMenuEntryHeight);
    if (c.leftPressed) {
      if (hover) return 10 * c.menuId + i;
      continue;
    }
    FillRect(c.menuX, top, menu.width, kMenuEntryHeight, hover ? 8 : 9);
    DrawText(c.menuX + 3, top + 1, hover ? 9 : 6, menu.labels[i]);
    if (i == c.menuMarked) FillRect(c.menuX + menu.width - 9, top + 3, 4, 4, hover ? 9 : 6);
  }
  DrawOutline(c.menuX, c.menuY, menu.width, height + 1, 6);
  FillRectAlpha(c.menuX + 2, c.menuY + height + 1, menu.width - 4, 2, 1, 0.15f);
  return -1;
}
