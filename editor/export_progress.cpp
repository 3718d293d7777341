#include "editor/export_progress.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

#include "platform/input.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {

constexpr int kPanelWidth = 320, kPanelHeight = 74;
constexpr int kBarWidth = 296, kBarHeight = 12;

}  // namespace

void DrawExportProgress(int frame, int total) {
  total = std::max(total, 1);
  frame = std::clamp(frame, 0, total);
  SetProjection(logicalWidth, logicalHeight);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(1.0f, 0.97f, 0.95f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  // The export runs in the middle of an editor frame: draw at window positions and give the
  // open region its origin back afterwards.
  const int32_t savedX = ui->originX, savedY = ui->originY;
  ui->originX = ui->originY = 0;
  const int x = (logicalWidth - kPanelWidth) / 2, y = (logicalHeight - kPanelHeight) / 2;
  FillRectAlpha(x + 2, y + kPanelHeight, kPanelWidth - 4, 4, 1, 0.15f);
  FillRect(x, y, kPanelWidth, kPanelHeight, 10);
  DrawOutline(x, y, kPanelWidth, kPanelHeight, 6);
  DrawText(x + 12, y + 8, 6, "Exporting animation");

  const int barX = x + 12, barY = y + 24;
  const int filled = static_cast<int>(int64_t{kBarWidth} * frame / total);
  FillRect(barX, barY, kBarWidth, kBarHeight, 9);
  FillRect(barX, barY, filled, kBarHeight, 12);
  DrawOutline(barX, barY, kBarWidth, kBarHeight, 6);

  DrawTextFormat(x + 12, y + 42, 6, "frame %d of %d", frame, total);
  DrawText(x + 12, y + 56, 7, "Escape cancels");
  ui->originX = savedX;
  ui->originY = savedY;
}

bool ShowExportProgress(int frame, int total, void*) {
  DrainEvents();
  PollInputDevices();
  if (quitFlag || KeyDown(kKeyEscape)) {
    // The Escape that stopped the export must not also act in the editor's next frame.
    ForgetHeldKeys();
    return false;
  }
  DrawExportProgress(frame, total);
  glFlush();
  SwapGLBuffers();
  return true;
}
