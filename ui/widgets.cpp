// Windows, scroll areas and the drawing operations. Every widget works in the same order: id,
// rectangle, press routing, behaviour, drawing.
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

int Nearest(float value) { return static_cast<int>(std::lround(value)); }

// A solid quad in screen pixels, texturing off.
void Quad(int x, int y, int w, int h) {
  glDisable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glVertex2i(x, y);
  glVertex2i(x, y + h);
  glVertex2i(x + w, y + h);
  glVertex2i(x + w, y);
  glEnd();
}

void TexturedQuad(int x, int y, int w, int h, float s1, float t1) {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2i(x, y);
  glTexCoord2f(0, t1);
  glVertex2i(x, y + h);
  glTexCoord2f(s1, t1);
  glVertex2i(x + w, y + h);
  glTexCoord2f(s1, 1);
  glVertex2i(x + w, y);
  glEnd();
}

// One scroll bar. The horizontal and vertical bars differ only in which coordinate they read,
// so the vertical one is described with its axes swapped: `along` is the bar's direction.
struct BarAxis {
  int barStart;       // region-local start of the bar along its direction
  int across;         // region-local position of the bar's 8-pixel row or column
  int length;         // bar length L
  int mouse;          // ui->mouseX or mouseY
  int origin;         // ui->originX or originY
  int* dragStart;     // ui->dragStartX or Y
  float* dragStartValue;
  bool vertical;
};

void RunBar(const BarAxis& axis, float* value, const char* id) {
  UiContext& c = *ui;
  const int travel = axis.length - 16;
  auto rect = [&](int along, int alongSize, int* rx, int* ry, int* rw, int* rh) {
    if (axis.vertical) {
      *rx = axis.across, *ry = along, *rw = 8, *rh = alongSize;
    } else {
      *rx = along, *ry = axis.across, *rw = alongSize, *rh = 8;
    }
  };
  int rx, ry, rw, rh;
  rect(axis.barStart + Nearest(travel * *value), 16, &rx, &ry, &rw, &rh);
  if (Interact(rx, ry, rw, rh, id)) {
    // On the thumb: it follows the pointer from where it was grabbed.
    if (c.leftPressed) {
      *axis.dragStart = axis.mouse;
      *axis.dragStartValue = *value;
    }
    if (c.leftDown && travel > 0) {
      *value = static_cast<float>(axis.mouse - *axis.dragStart) / travel + *axis.dragStartValue;
    }
  } else {
    rect(axis.barStart, axis.length, &rx, &ry, &rw, &rh);
    if (Interact(rx, ry, rw, rh, id)) {
      // Elsewhere on the bar: the thumb's centre jumps under the pointer, then drags.
      if (c.leftDown && travel > 0) {
        *value = static_cast<float>(axis.mouse - axis.origin - axis.barStart - 8) / travel;
      }
      if (c.leftPressed) {
        *axis.dragStart = axis.mouse;
        *axis.dragStartValue = *value;
      }
    }
  }
  if (travel <= 0 || !(*value >= 0.0f)) *value = 0.0f;  // NaN included
  if (*value > 1.0f) *value = 1.0f;
}

}  // namespace

void SetColour(int colour, float alpha) {
  const float* rgb = ui->palette[colour < 0 || colour >= kPaletteSize ? 6 : colour];
  glColor4f(rgb[0], rgb[1], rgb[2], alpha);
}

bool Window(int* x, int* y, const int* w, const int* h, const char* title, const char* name) {
  UiContext& c = *ui;
  char id[kIdSize];
  CopyId(id, MakeId(name));
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  RouteInput(id, *x, *y, *w, kTitleBarHeight);
  bool becomesFocused = AnyPressed() && MouseIn(*x, *y, *w, *h + kTitleBarHeight);
  if (Interact(*x, *y, *w, kTitleBarHeight, id) && c.leftDown) {
    // Dragged by the title bar; windows may leave the screen.
    *x += c.mouseDX;
    *y += c.mouseDY;
    CopyId(c.mouseOwner, id);
    becomesFocused = true;
  }
  if (becomesFocused) CopyId(c.focusWindow, id);
  const bool focused = std::strcmp(c.focusWindow, id) == 0;

  DrawTitleBar(*x, *y, *w, kTitleBarHeight, 9, c.skin[focused ? kSkinTitleBar : kSkinTitleBarInactive]);
  DrawOutline(*x, *y, *w, kTitleBarHeight, 6);
  const int outline = focused ? 7 : 16, text = focused ? 3 : 6;
  DrawText(*x + 2, *y + 1, outline, title);
  DrawText(*x + 4, *y + 1, outline, title);
  DrawText(*x + 3, *y, outline, title);
  DrawText(*x + 3, *y + 2, outline, title);
  DrawText(*x + 3, *y + 1, text, title);
  FillRectAlpha(*x + 2, *y + *h + kTitleBarHeight, *w - 4, 4, 1, 0.15f);

  BeginRegion(id, *x, *y, 0, 0, *w, *h + kTitleBarHeight);
  DrawOutline(0, kTitleBarHeight, *w, *h, 6);
  return focused;
}

void ScrollArea(int x, int y, int w, int h, float* scrollX, float* scrollY, int contentW,
                int contentH, int background, const char* name) {
  UiContext& c = *ui;
  char id[kIdSize], idH[kIdSize + 1], idV[kIdSize + 1];  // MakeId leaves room for the ending
  CopyId(id, MakeId(name));
  std::snprintf(idH, sizeof idH, "%sH", id);
  std::snprintf(idV, sizeof idV, "%sV", id);
  const bool needH = contentW > w;
  const bool needV = contentH > h;

  if (needH) {
    if (needV) FillRect(x + w - 8, y + h - 8, 8, 8, 6);
    const int length = needV ? w - 8 : w;
    const int barY = y + h - 8;
    RunBar(BarAxis{x, barY, length, c.mouseX, c.originX, &c.dragStartX, &c.dragStartValueX, false},
           scrollX, idH);
    const int travel = length - 16;
    DrawImage(c.skin[kSkinScrollLeft], x, barY);
    DrawImage(c.skin[kSkinScrollRight], x + length - 8, barY);
    FillRect(x + 8, barY, travel, 8, 6);
    FillRect(x + 8, barY + 1, travel, 6, 7);
    DrawImage(c.skin[kSkinThumbH], x + Nearest(travel * *scrollX), barY);
    h -= 8;
  } else {
    *scrollX = 0;
  }

  if (needV) {
    const int barX = x + w - 8;
    RunBar(BarAxis{y, barX, h, c.mouseY, c.originY, &c.dragStartY, &c.dragStartValueY, true},
           scrollY, idV);
    const int travel = h - 16;
    DrawImage(c.skin[kSkinScrollTop], barX, y);
    DrawImage(c.skin[kSkinScrollBottom], barX, y + h - 8);
    FillRect(barX, y + 8, 8, travel, 6);
    FillRect(barX + 1, y + 8, 6, travel, 7);
    DrawImage(c.skin[kSkinThumbV], barX, y + Nearest(travel * *scrollY));
    w -= 8;
  } else {
    *scrollY = 0;
  }

  if (needH && needV) DrawImage(c.skin[kSkinCorner], x + w, y + h);
  FillRect(x, y, w, h, background);

  // The viewport shares the window's id, and so its mouse ownership.
  char windowId[kIdSize];
  CopyId(windowId, c.currentWindow);
  BeginRegion(windowId, x + c.originX, y + c.originY, Nearest((contentW - w) * *scrollX),
              Nearest((contentH - h) * *scrollY), w, h);
}

void FillRect(int x, int y, int w, int h, int colour) { FillRectAlpha(x, y, w, h, colour, 1.0f); }

void FillRectAlpha(int x, int y, int w, int h, int colour, float alpha) {
  SetColour(colour, alpha);
  Quad(x + ui->originX, y + ui->originY, w, h);
}

// Lines on pixel boundaries: a vertical line at x covers column x, a horizontal line at y
// covers row y - 1, so (x, y, w, h) frames columns x .. x + w - 1 and rows y - 1 .. y + h - 1.
void DrawOutline(int x, int y, int w, int h, int colour) {
  SetColour(colour, 1.0f);
  const int left = x + ui->originX, top = y + ui->originY;
  Quad(left, top - 1, w, 1);
  Quad(left, top + h - 1, w, 1);
  Quad(left, top - 1, 1, h + 1);
  Quad(left + w - 1, top - 1, 1, h + 1);
}

void DrawImage(const Texture& texture, int x, int y) {
  glColor4f(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture.textureId);
  TexturedQuad(x + ui->originX, y + ui->originY, texture.width, texture.height, 1, 0);
  glDisable(GL_TEXTURE_2D);
}

void DrawTitleBar(int x, int y, int w, int h, int colour, const Texture& texture) {
  SetColour(colour, 1.0f);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture.textureId);
  const float bottom = texture.height > 0 ? 1.0f - static_cast<float>(h) / texture.height : 0.0f;
  TexturedQuad(x + ui->originX, y + ui->originY, w, h, static_cast<float>(w) / 512.0f, bottom);
  glDisable(GL_TEXTURE_2D);
}
