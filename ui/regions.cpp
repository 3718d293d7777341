// The frame, the region stack with its input routing, item interaction and in-place text editing.
//
// Routing: a press is offered to every region that contains it while the frame is drawn; the
// region drawn last among them becomes the mouse owner. In the next frame the owner alone gets
// the previous frame's flags (the press, with the pointer at the press position); from the frame
// after that on it gets the current ones. Every other region sees the pointer but no buttons.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/input.h"
#include "platform/platform.h"
#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

// A broken Begin/End pairing is a programming error: debug builds stop with a plain sentence,
// release builds ignore the call (the caller's counterpart is ignored too, see regionOverflow).
#ifdef NDEBUG
#define UI_CHECK(condition, message) ((void)0)
#else
#define UI_CHECK(condition, message) \
  ((condition) ? (void)0 : UiCheckFailed(message, __FILE__, __LINE__))
[[noreturn]] void UiCheckFailed(const char* message, const char* file, int line) {
  std::fprintf(stderr, "tavoka: %s (%s:%d)\n", message, file, line);
  std::abort();
}
#endif

constexpr int32_t kFramesSincePressLimit = 1 << 30;

InputFlags GetFlags() {
  const UiContext& c = *ui;
  return InputFlags{c.leftDown,   c.leftPressed,   c.leftReleased,   c.leftDouble,
                    c.rightDown,  c.rightPressed,  c.rightReleased,  c.middleDown,
                    c.middlePressed, c.middleReleased};
}

void SetFlags(const InputFlags& f) {
  UiContext& c = *ui;
  c.leftDown = f.leftDown;
  c.leftPressed = f.leftPressed;
  c.leftReleased = f.leftReleased;
  c.leftDouble = f.leftDouble;
  c.rightDown = f.rightDown;
  c.rightPressed = f.rightPressed;
  c.rightReleased = f.rightReleased;
  c.middleDown = f.middleDown;
  c.middlePressed = f.middlePressed;
  c.middleReleased = f.middleReleased;
}

void ClearFlags() { SetFlags(InputFlags{}); }

}  // namespace

bool AnyPressed() { return ui->leftPressed || ui->rightPressed || ui->middlePressed; }

void CopyId(char* to, const char* from) {
  if (to == from) return;
  std::snprintf(to, kIdSize, "%s", from != nullptr ? from : "");
}

namespace {

void UpdateLocalMouse() {
  ui->localMouseX = ui->mouseX - ui->originX;
  ui->localMouseY = ui->mouseY - ui->originY;
}

void ApplyScissor(int level) {
  UiContext& c = *ui;
  SetScissor(c.clipX[level], c.clipY[level], c.clipW[level], c.clipH[level]);
}

bool EditableCharacter(uint8_t c) {
  return (c >= 32 && c <= 126) || c == 196 || c == 197 || c == 214 || c == 228 || c == 229 ||
         c == 246;
}

// The text being edited without its cursor. The editing keys work on it; PutBackText writes it
// back with the cursor at editCursor. Its length never passes editCapacity - 2, so the text, the
// cursor and the terminator always fit the caller's buffer.
struct PlainText {
  char chars[kEditSavedSize] = "";
  int length = 0;
};

PlainText TakeText() {
  PlainText plain;
  const char* text = ui->editText;
  const int limit = std::min(static_cast<int>(ui->editCapacity) - 2, kEditSavedSize - 2);
  for (int i = 0; text[i] != '\0' && plain.length < limit; ++i) {
    if (i != ui->editCursor) plain.chars[plain.length++] = text[i];
  }
  plain.chars[plain.length] = '\0';
  return plain;
}

void PutBackText(const PlainText& plain) {
  char* text = ui->editText;
  const int cursor = std::clamp(static_cast<int>(ui->editCursor), 0, plain.length);
  ui->editCursor = cursor;
  std::memcpy(text, plain.chars, static_cast<size_t>(cursor));
  text[cursor] = '_';
  std::memcpy(text + cursor + 1, plain.chars + cursor, static_cast<size_t>(plain.length - cursor));
  text[plain.length + 1] = '\0';
}

void RemoveCharacters(PlainText& plain, int from, int to) {
  std::memmove(plain.chars + from, plain.chars + to, static_cast<size_t>(plain.length - to + 1));
  plain.length -= to - from;
}

// The key's change to the text and the cursor; false for a character that changes nothing.
bool EditPlainText(PlainText& plain, uint8_t c) {
  UiContext& u = *ui;
  int& cursor = u.editCursor;
  const int from = std::min(u.editCursor, u.editAnchor), to = std::max(u.editCursor, u.editAnchor);
  const bool selection = from != to;
  // A character goes in only while the text, the cursor and the terminator still fit after it.
  if (EditableCharacter(c) || c == 8 || c == kTypedDelete) {
    if (selection) {
      RemoveCharacters(plain, from, to);
      cursor = from;
      if (!EditableCharacter(c)) return true;  // Backspace and Delete remove the selection only
    }
    if (c == 8 && cursor > 0) {
      RemoveCharacters(plain, cursor - 1, cursor);
      cursor -= 1;
    } else if (c == kTypedDelete && cursor < plain.length) {
      RemoveCharacters(plain, cursor, cursor + 1);
    } else if (EditableCharacter(c) && plain.length < kMaxEditLength &&
               plain.length + 3 <= static_cast<int>(u.editCapacity)) {
      std::memmove(plain.chars + cursor + 1, plain.chars + cursor,
                   static_cast<size_t>(plain.length - cursor + 1));
      plain.chars[cursor] = static_cast<char>(c);
      plain.length += 1;
      cursor += 1;
    }
    return true;
  }
  // A cursor key ends the selection, Left and Right at its own end.
  switch (c) {
    case kTypedLeft: cursor = selection ? from : std::max(cursor - 1, 0); return true;
    case kTypedRight: cursor = selection ? to : std::min(cursor + 1, plain.length); return true;
    case kTypedHome: cursor = 0; return true;
    case kTypedEnd: cursor = plain.length; return true;
    default: return false;
  }
}

// One typed character for the text being edited.
void EditWithTypedCharacter(uint8_t c) {
  if (c == 13) {
    FinishTextEdit();
  } else if (c != 27) {
    PlainText plain = TakeText();
    if (EditPlainText(plain, c)) {
      ui->editAnchor = ui->editCursor;
      PutBackText(plain);
    }
  }
  // Escape also arrives as the typed character 27.
  if (ui->editing && (KeyDown(kKeyEscape) || c == 27)) CancelTextEdit();
}

}  // namespace

bool RouteInput(const char* id, int x, int y, int w, int h) {
  UiContext& c = *ui;
  SetFlags(c.inputSnapshot[0]);
  if (AnyPressed() && !c.leftDouble && MouseIn(x, y, w, h)) {
    CopyId(c.mouseOwner, id);
    c.framesSincePress = 0;
  }
  if (c.framesSincePress >= 1 && std::strcmp(c.mouseOwner, id) == 0) {
    SetFlags(c.inputSnapshot[1]);
    return true;
  }
  ClearFlags();
  return false;
}

void BeginFrame() {
  UiContext& c = *ui;
  SetFlags(c.inputSnapshot[0]);
  c.inputSnapshot[1] = GetFlags();

  const MouseState& m = *c.mouse;
  c.mouseX = m.x;
  c.mouseY = m.y;
  c.mouseDX = m.x - c.prevMouseX;
  c.mouseDY = m.y - c.prevMouseY;
  c.prevMouseX = m.x;
  c.prevMouseY = m.y;
  c.leftPressed = c.leftReleased = c.leftDouble = 0;
  c.rightPressed = c.rightReleased = 0;
  c.middlePressed = c.middleReleased = 0;

  // Left Alt turns the left button into the middle one for as long as that press lasts.
  bool left = m.left != 0, right = m.right != 0, middle = m.middle != 0;
  if (!left) {
    c.leftAsMiddle = 0;
  } else if (KeyDown(kKeyLeftAlt)) {
    c.leftAsMiddle = 1;
  }
  if (c.leftAsMiddle) {
    middle = true;
    left = false;
  }
  auto edges = [](bool held, uint8_t& down, uint8_t& pressed, uint8_t& released) {
    pressed = held && !down;
    released = !held && down;
    down = held;
  };
  edges(left, c.leftDown, c.leftPressed, c.leftReleased);
  edges(right, c.rightDown, c.rightPressed, c.rightReleased);
  edges(middle, c.middleDown, c.middlePressed, c.middleReleased);

  if (c.mouseDX != 0 || c.mouseDY != 0) c.doubleClickTimer = 0;
  if (c.leftPressed) {
    if (c.doubleClickTimer > 0) {
      c.leftDouble = 1;
      c.doubleClickTimer = 0;
    } else {
      c.doubleClickTimer = kDoubleClickFrames;
    }
  }
  if (c.doubleClickTimer > 0) --c.doubleClickTimer;

  if (AnyPressed()) {
    c.mouseX = m.pressX;
    c.mouseY = m.pressY;
  }
  if (c.menuOpen) {
    // The open menu takes the pointer and the presses; no region sees them.
    c.savedMouseX = c.mouseX;
    c.savedMouseY = c.mouseY;
    c.savedLeftPressed = c.leftPressed;
    c.savedRightPressed = c.rightPressed;
    c.savedMiddlePressed = c.middlePressed;
    c.mouseX = c.mouseY = -1;
    c.leftPressed = c.rightPressed = c.middlePressed = 0;
  }

  c.depth = 0;
  c.regionOverflow = 0;
  c.regionX[0] = c.regionY[0] = 0;
  c.regionScrollX[0] = c.regionScrollY[0] = 0;
  c.regionW[0] = c.clipW[0] = logicalWidth;
  c.regionH[0] = c.clipH[0] = logicalHeight;
  c.clipX[0] = c.clipY[0] = 0;
  c.regionId[0][0] = '\0';
  c.currentWindow[0] = '\0';
  c.originX = c.originY = 0;

  if (c.editing) {
    const uint8_t typed = typedChar;
    typedChar = 0;
    if (typed != 0) EditWithTypedCharacter(typed);
    if (c.editing && AnyPressed()) FinishTextEdit();  // a click anywhere keeps the typed text
  }

  if (c.framesSincePress == 0) {
    c.inputSnapshot[0] = GetFlags();
    c.mouseX = m.pressX;
    c.mouseY = m.pressY;
  } else {
    c.inputSnapshot[0] = c.inputSnapshot[1] = GetFlags();
  }
  if (c.framesSincePress < kFramesSincePressLimit) ++c.framesSincePress;
  c.ownerDepth = 0;
  ClearFlags();
  c.idSuffix[0] = '\0';
}

void BeginRoot(int x, int y, int w, int h, const char* /*name*/) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The root region carries the id of level 0, which is empty: presses that land in no
  // window belong to it.
  char id[kIdSize];
  CopyId(id, ui->regionId[0]);
  BeginRegion(id, x, y, 0, 0, w, h);
}

void BeginRegion(const char* id, int x, int y, int offsetX, int offsetY, int w, int h) {
  UiContext& c = *ui;
  if (c.regionOverflow > 0 || c.depth + 1 >= kMaxRegions) {
    UI_CHECK(false, "BeginRegion: more than 32 nested regions");
    ++c.regionOverflow;
    return;
  }
  const int level = ++c.depth;
  c.regionX[level] = x;
  c.regionY[level] = y;
  c.regionScrollX[level] = offsetX;
  c.regionScrollY[level] = offsetY;
  c.regionW[level] = w;
  c.regionH[level] = h;
  CopyId(c.regionId[level], id);
  CopyId(c.currentWindow, id);
  c.originX = x - offsetX;
  c.originY = y - offsetY;

  int left = x, top = y, right = x + w, bottom = y + h;
  if (level - 1 >= 1) {
    const int parent = level - 1;
    if (left < c.clipX[parent]) left = c.clipX[parent];
    if (top < c.clipY[parent]) top = c.clipY[parent];
    if (right > c.clipX[parent] + c.clipW[parent]) right = c.clipX[parent] + c.clipW[parent];
    if (bottom > c.clipY[parent] + c.clipH[parent]) bottom = c.clipY[parent] + c.clipH[parent];
  }
  c.clipX[level] = left;
  c.clipY[level] = top;
  c.clipW[level] = right > left ? right - left : 0;
  c.clipH[level] = bottom > top ? bottom - top : 0;
  ApplyScissor(level);

  if (RouteInput(c.regionId[level], x, y, w, h)) ++c.ownerDepth;
  UpdateLocalMouse();
}

void EndRegion() {
  UiContext& c = *ui;
  if (c.regionOverflow > 0) {
    --c.regionOverflow;  // the matching push was refused
    return;
  }
  if (c.depth <= 0) {
    UI_CHECK(false, "EndRegion: no region is open");
    return;
  }
  const int level = --c.depth;
  CopyId(c.currentWindow, c.regionId[level]);
  c.originX = c.regionX[level] - c.regionScrollX[level];
  c.originY = c.regionY[level] - c.regionScrollY[level];
  if (level == 0) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    ApplyScissor(level);
  }
  if (--c.ownerDepth <= 0) {
    c.ownerDepth = 0;
    ClearFlags();
  }
  UpdateLocalMouse();
}

const char* MakeId(const char* name) {
  // One byte stays free for the "H" / "V" ending of scroll-bar ids.
  std::snprintf(ui->idBuffer, kIdSize - 1, "%.*s%s", kIdNameLength, name != nullptr ? name : "",
                ui->idSuffix);
  return ui->idBuffer;
}

bool Interact(int x, int y, int w, int h, const char* id) {
  UiContext& c = *ui;
  const bool inside = MouseInLocal(x, y, w, h);
  const bool pressed = c.leftPressed || c.rightPressed;
  if (std::strcmp(id, c.activeId) != 0) {
    if (!(pressed && inside)) return false;
    CopyId(c.activeId, id);
  }
  if (pressed && !inside) {
    c.activeId[0] = '\0';
    return false;
  }
  if (c.leftReleased) {
    c.activeId[0] = '\0';
    return true;  // released this frame, inside or outside
  }
  return true;
}

bool MouseIn(int x, int y, int w, int h) {
  return ui->mouseX >= x && ui->mouseX < x + w && ui->mouseY >= y && ui->mouseY < y + h;
}

bool MouseInLocal(int x, int y, int w, int h) {
  return MouseIn(x + ui->originX, y + ui->originY, w, h);
}

bool MouseInRegion() {
  const int level = ui->depth;
  return MouseIn(ui->regionX[level], ui->regionY[level], ui->regionW[level], ui->regionH[level]);
}

void StartTextEdit(char* text, size_t capacity, bool selectAll) {
  // Characters typed before the edit began (shortcuts, Space for playback) are not its text.
  ClearTypedChars();
  if (ui->editing) FinishTextEdit();
  if (text == nullptr || capacity < 2) return;
  size_t length = strnlen(text, capacity);
  if (length == capacity) text[--length] = '\0';
  std::snprintf(ui->editSaved, sizeof ui->editSaved, "%s", text);
  // A text that fills its buffer loses its last character while edited, for the cursor;
  // cancelling brings it back.
  length = std::min({length, capacity - 2, static_cast<size_t>(kEditSavedSize - 2)});
  ui->editText = text;
  ui->editCapacity = capacity;
  ui->editing = 1;
  text[length] = '_';
  text[length + 1] = '\0';
  ui->editCursor = static_cast<int32_t>(length);
  ui->editAnchor = selectAll ? 0 : ui->editCursor;
}

void FinishTextEdit() {
  if (!ui->editing) return;
  const PlainText plain = TakeText();
  std::memcpy(ui->editText, plain.chars, static_cast<size_t>(plain.length) + 1);
  ui->editing = 0;
  ui->editText = nullptr;
}

void CancelTextEdit() {
  if (!ui->editing) return;
  std::snprintf(ui->editText, ui->editCapacity, "%s", ui->editSaved);
  ui->editing = 0;
  ui->editText = nullptr;
}
