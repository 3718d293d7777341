// Bitmap text: glyph metrics measured from the font image, plain and outlined text, widths.
#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

constexpr int kFormatBufferSize = 256;
constexpr int kFontTextureWidth = 1024;
constexpr int kReplacementCell = '?' - 32;

// One glyph quad inside an open glBegin(GL_QUADS); positions are screen pixels.
void EmitGlyph(int cell, int x, int y) {
  const float width = static_cast<float>(ui->glyphWidth[cell]);
  const float s0 = static_cast<float>(ui->glyphOffset[cell] + 8 * cell) / kFontTextureWidth;
  const float s1 = s0 + width / kFontTextureWidth;
  const float left = static_cast<float>(x), top = static_cast<float>(y);
  glTexCoord2f(s0, 1);
  glVertex2f(left, top);
  glTexCoord2f(s0, 0);
  glVertex2f(left, top + 8);
  glTexCoord2f(s1, 0);
  glVertex2f(left + width, top + 8);
  glTexCoord2f(s1, 1);
  glVertex2f(left + width, top);
}

void BeginText() {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, ui->skin[kSkinFont].textureId);
  glBegin(GL_QUADS);
}

void EndText() {
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

// Draws text from screen position (x, y); with an outline colour every glyph is first drawn at
// its eight neighbouring positions in that colour.
void DrawString(int x, int y, int colour, int outlineColour, bool outlined, const char* text) {
  static const int kOutline[8][2] = {{-1, 0}, {1, 0},  {0, -1}, {0, 1},
                                     {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  BeginText();
  int advance = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const int cell = GlyphCell(static_cast<uint8_t>(*p));
    if (outlined) {
      SetColour(outlineColour);
      for (const auto& offset : kOutline) EmitGlyph(cell, x + advance + offset[0], y + offset[1]);
    }
    SetColour(colour);
    EmitGlyph(cell, x + advance, y);
    advance += ui->glyphWidth[cell] + 1;
  }
  EndText();
}

}  // namespace

bool LoadFontMetrics(UiContext& context, const char* path) {
  for (int g = 0; g < kGlyphCells; ++g) {
    context.glyphOffset[g] = 0;
    context.glyphWidth[g] = 2;
  }
  uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  if (!ReadTga(path, &pixels, &width, &height)) return false;
  const int rows = height < 8 ? height : 8;
  for (int g = 0; g < kGlyphCells; ++g) {
    int first = -1, last = -1;
    for (int c = 0; c < 8; ++c) {
      const int column = 8 * g + c;
      if (column >= width) break;
      bool inked = false;
      for (int row = 0; row < rows && !inked; ++row) {
        inked = pixels[(static_cast<size_t>(row) * width + column) * 4 + 1] != 0;
      }
      if (inked) {
        if (first < 0) first = c;
        last = c;
      }
    }
    if (first >= 0) {
      context.glyphOffset[g] = first;
      context.glyphWidth[g] = last - first + 1;
    }
  }
  // The digit 1 takes the place of the 0, so columns of numbers line up.
  context.glyphOffset['1' - 32] = context.glyphOffset['0' - 32];
  context.glyphWidth['1' - 32] = context.glyphWidth['0' - 32];
  std::free(pixels);
  return true;
}

int GlyphCell(uint8_t character) {
  switch (character) {
    case 197: return 96;   // Å
    case 196: return 97;   // Ä
    case 214: return 98;   // Ö
    case 229: return 99;   // å
    case 228: return 100;  // ä
    case 246: return 101;  // ö
    default: break;
  }
  if (character >= 32 && character - 32 < kGlyphCells) return character - 32;
  return kReplacementCell;
}

void DrawGlyph(int code, int x, int y, int colour) {
  int cell = (code - 32) & 255;
  if (cell >= kGlyphCells) cell = kReplacementCell;
  BeginText();
  SetColour(colour);
  EmitGlyph(cell, x + ui->originX, y + ui->originY);
  EndText();
}

void DrawText(int x, int y, int colour, const char* text) {
  DrawString(x + ui->originX, y + ui->originY, colour, 0, false, text);
}

void DrawTextFormat(int x, int y, int colour, const char* format, ...) {
  char text[kFormatBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  DrawText(x, y, colour, text);
}

void DrawTextOutlined(int x, int y, int colour, int outlineColour, const char* text) {
  DrawString(x + ui->originX, y + ui->originY, colour, outlineColour, true, text);
}

void DrawTextOutlinedFormat(int x, int y, int colour, int outlineColour, const char* format, ...) {
  char text[kFormatBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  DrawTextOutlined(x, y, colour, outlineColour, text);
}

int TextWidth(const char* text) {
  int width = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    width += ui->glyphWidth[GlyphCell(static_cast<uint8_t>(*p))] + 1;
  }
  return width;
}

int TextWidthFormat(const char* format, ...) {
  char text[kFormatBufferSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return TextWidth(text);
}

void DrawTextSelection(int x, int y, const char* text) {
  constexpr int kSelectionColour = 14;  // dark grey: white and black text both read on it
  const UiContext& c = *ui;
  if (!c.editing || text == nullptr || text != c.editText || c.editCursor == c.editAnchor) return;
  // The selected characters as they stand in the buffer, around the cursor character.
  int first = c.editAnchor, end = c.editCursor;
  if (c.editAnchor > c.editCursor) {
    first = c.editCursor + 1;
    end = c.editAnchor + 1;
  }
  int left = 0, width = 0;
  for (int i = 0; text[i] != '\0' && i < end; ++i) {
    const int advance = ui->glyphWidth[GlyphCell(static_cast<uint8_t>(text[i]))] + 1;
    if (i < first) {
      left += advance;
    } else {
      width += advance;
    }
  }
  FillRect(x + left - 1, y - 1, width + 1, 10, kSelectionColour);
}
