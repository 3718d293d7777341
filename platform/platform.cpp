// SDL2 implementation of the window layer. Nothing else in the program includes SDL.
#include "platform/platform.h"

#include <SDL.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/input.h"
#include "platform/log.h"

MouseState mouseState;
int32_t logicalWidth = 1024, logicalHeight = 768;
float interfaceScale = 0;
int32_t windowX = 50, windowY = 50;
uint8_t quitFlag = 0;
uint8_t typedChar = 0;

namespace {

SDL_Window* window = nullptr;
SDL_GLContext glContext = nullptr;
bool sdlVideoUp = false;
bool windowHeadless = false;
int minLogicalWidth = 0, minLogicalHeight = 0;

float Scale() { return interfaceScale > 0 ? interfaceScale : 1.0f; }
// Logical pixels to window pixels.
int Physical(float logical) { return static_cast<int>(std::lround(logical * Scale())); }
int Physical(int logical) { return Physical(static_cast<float>(logical)); }

// A client area of width x height window pixels shows this many logical pixels.
void FitToClient(int width, int height) {
  SetProjection(static_cast<int>(width / Scale()), static_cast<int>(height / Scale()));
}

void ApplyMinimumSize() {
  if (window == nullptr || minLogicalWidth <= 0 || minLogicalHeight <= 0) return;
  SDL_SetWindowMinimumSize(window, static_cast<int>(std::ceil(minLogicalWidth * Scale())),
                           static_cast<int>(std::ceil(minLogicalHeight * Scale())));
}

// A quit signal waiting for DrainEvents; written by the signal handler only.
volatile std::sig_atomic_t pendingQuitSignal = 0;
int quitSignal = 0;

void NoteQuitSignal(int signal) { pendingQuitSignal = signal; }

// The program's handlers while the window exists; the default ones (ending the program) after.
void InstallQuitSignals(bool own) {
  struct sigaction action {};
  action.sa_handler = own ? NoteQuitSignal : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

void TakePendingSignal() {
  const int signal = pendingQuitSignal;
  if (signal == 0) return;
  pendingQuitSignal = 0;
  quitSignal = signal;
  quitFlag = 1;
}

// The latch of one mouse button: its first change in a pass shows in that pass; a later change
// waits for the next pass (with the position of a press), so a click shorter than a pass is seen
// as a press and then a release.
struct ButtonLatch {
  bool changedThisPass = false;
  int8_t waiting = -1;  // the state held back for the next pass, -1 none
  int32_t waitingX = 0, waitingY = 0;
};
ButtonLatch buttonLatches[3];

// Typed characters not yet handed out, oldest first.
uint8_t queuedChars[kMaxQueuedChars];
int queuedCount = 0;

void QueueTypedChar(uint8_t c) {
  if (c == 0 || queuedCount >= kMaxQueuedChars) return;  // a full queue drops what follows
  queuedChars[queuedCount++] = c;
}

// SDL scancode to DirectInput scan code, for the whole PC keyboard. Keys without a
// DirectInput code map to 0 and are ignored.
struct ScanCodePair {
  SDL_Scancode sdl;
  uint8_t dik;
};
const ScanCodePair kScanCodes[] = {
    {SDL_SCANCODE_ESCAPE, 1},        {SDL_SCANCODE_1, 2},
    {SDL_SCANCODE_2, 3},             {SDL_SCANCODE_3, 4},
    {SDL_SCANCODE_4, 5},             {SDL_SCANCODE_5, 6},
    {SDL_SCANCODE_6, 7},             {SDL_SCANCODE_7, 8},
    {SDL_SCANCODE_8, 9},             {SDL_SCANCODE_9, 10},
    {SDL_SCANCODE_0, 11},            {SDL_SCANCODE_MINUS, 12},
    {SDL_SCANCODE_EQUALS, 13},       {SDL_SCANCODE_BACKSPACE, 14},
    {SDL_SCANCODE_TAB, 15},          {SDL_SCANCODE_Q, 16},
    {SDL_SCANCODE_W, 17},            {SDL_SCANCODE_E, 18},
    {SDL_SCANCODE_R, 19},            {SDL_SCANCODE_T, 20},
    {SDL_SCANCODE_Y, 21},            {SDL_SCANCODE_U, 22},
    {SDL_SCANCODE_I, 23},            {SDL_SCANCODE_O, 24},
    {SDL_SCANCODE_P, 25},            {SDL_SCANCODE_LEFTBRACKET, 26},
    {SDL_SCANCODE_RIGHTBRACKET, 27}, {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_LCTRL, 29},        {SDL_SCANCODE_A, 30},
    {SDL_SCANCODE_S, 31},            {SDL_SCANCODE_D, 32},
    {SDL_SCANCODE_F, 33},            {SDL_SCANCODE_G, 34},
    {SDL_SCANCODE_H, 35},            {SDL_SCANCODE_J, 36},
    {SDL_SCANCODE_K, 37},            {SDL_SCANCODE_L, 38},
    {SDL_SCANCODE_SEMICOLON, 39},    {SDL_SCANCODE_APOSTROPHE, 40},
    {SDL_SCANCODE_GRAVE, 41},        {SDL_SCANCODE_LSHIFT, 42},
    {SDL_SCANCODE_BACKSLASH, 43},    {SDL_SCANCODE_Z, 44},
    {SDL_SCANCODE_X, 45},            {SDL_SCANCODE_C, 46},
    {SDL_SCANCODE_V, 47},            {SDL_SCANCODE_B, 48},
    {SDL_SCANCODE_N, 49},            {SDL_SCANCODE_M, 50},
    {SDL_SCANCODE_COMMA, 51},        {SDL_SCANCODE_PERIOD, 52},
    {SDL_SCANCODE_SLASH, 53},        {SDL_SCANCODE_RSHIFT, 54},
    {SDL_SCANCODE_KP_MULTIPLY, 55},  {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_SPACE, 57},        {SDL_SCANCODE_CAPSLOCK, 58},
    {SDL_SCANCODE_F1, 59},           {SDL_SCANCODE_F2, 60},
    {SDL_SCANCODE_F3, 61},           {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_F5, 63},           {SDL_SCANCODE_F6, 64},
    {SDL_SCANCODE_F7, 65},           {SDL_SCANCODE_F8, 66},
    {SDL_SCANCODE_F9, 67},           {SDL_SCANCODE_F10, 68},
    {SDL_SCANCODE_NUMLOCKCLEAR, 69}, {SDL_SCANCODE_SCROLLLOCK, 70},
    {SDL_SCANCODE_KP_7, 71},         {SDL_SCANCODE_KP_8, 72},
    {SDL_SCANCODE_KP_9, 73},         {SDL_SCANCODE_KP_MINUS, 74},
    {SDL_SCANCODE_KP_4, 75},         {SDL_SCANCODE_KP_5, 76},
    {SDL_SCANCODE_KP_6, 77},         {SDL_SCANCODE_KP_PLUS, 78},
    {SDL_SCANCODE_KP_1, 79},         {SDL_SCANCODE_KP_2, 80},
    {SDL_SCANCODE_KP_3, 81},         {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_PERIOD, 83},    {SDL_SCANCODE_NONUSBACKSLASH, 86},
    {SDL_SCANCODE_F11, 87},          {SDL_SCANCODE_F12, 88},
    {SDL_SCANCODE_F13, 100},         {SDL_SCANCODE_F14, 101},
    {SDL_SCANCODE_F15, 102},         {SDL_SCANCODE_INTERNATIONAL2, 112},
    {SDL_SCANCODE_INTERNATIONAL1, 115}, {SDL_SCANCODE_INTERNATIONAL4, 121},
    {SDL_SCANCODE_INTERNATIONAL5, 123}, {SDL_SCANCODE_INTERNATIONAL3, 125},
    {SDL_SCANCODE_KP_COMMA, 126},    {SDL_SCANCODE_KP_EQUALS, 141},
    {SDL_SCANCODE_AUDIOPREV, 144},   {SDL_SCANCODE_AUDIONEXT, 153},
    {SDL_SCANCODE_KP_ENTER, 156},    {SDL_SCANCODE_RCTRL, 157},
    {SDL_SCANCODE_MUTE, 160},        {SDL_SCANCODE_CALCULATOR, 161},
    {SDL_SCANCODE_AUDIOPLAY, 162},   {SDL_SCANCODE_AUDIOSTOP, 164},
    {SDL_SCANCODE_VOLUMEDOWN, 174},  {SDL_SCANCODE_VOLUMEUP, 176},
    {SDL_SCANCODE_AC_HOME, 178},     {SDL_SCANCODE_KP_DIVIDE, 181},
    {SDL_SCANCODE_PRINTSCREEN, 183}, {SDL_SCANCODE_RALT, 184},
    {SDL_SCANCODE_PAUSE, 197},       {SDL_SCANCODE_HOME, 199},
    {SDL_SCANCODE_UP, 200},          {SDL_SCANCODE_PAGEUP, 201},
    {SDL_SCANCODE_LEFT, 203},        {SDL_SCANCODE_RIGHT, 205},
    {SDL_SCANCODE_END, 207},         {SDL_SCANCODE_DOWN, 208},
    {SDL_SCANCODE_PAGEDOWN, 209},    {SDL_SCANCODE_INSERT, 210},
    {SDL_SCANCODE_DELETE, 211},      {SDL_SCANCODE_LGUI, 219},
    {SDL_SCANCODE_RGUI, 220},        {SDL_SCANCODE_APPLICATION, 221},
    {SDL_SCANCODE_POWER, 222},       {SDL_SCANCODE_SLEEP, 223},
    {SDL_SCANCODE_AC_SEARCH, 229},   {SDL_SCANCODE_AC_BOOKMARKS, 230},
    {SDL_SCANCODE_AC_REFRESH, 231},  {SDL_SCANCODE_AC_STOP, 232},
    {SDL_SCANCODE_AC_FORWARD, 233},  {SDL_SCANCODE_AC_BACK, 234},
    {SDL_SCANCODE_COMPUTER, 235},    {SDL_SCANCODE_MAIL, 236},
    {SDL_SCANCODE_MEDIASELECT, 237},
};

int DirectInputCode(SDL_Scancode scancode) {
  for (const ScanCodePair& pair : kScanCodes) {
    if (pair.sdl == scancode) return pair.dik;
  }
  return 0;
}

void TearDown() {
  if (glContext != nullptr) {
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(glContext);
    glContext = nullptr;
  }
  if (window != nullptr) {
    SDL_DestroyWindow(window);
    window = nullptr;
  }
  if (sdlVideoUp) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    sdlVideoUp = false;
  }
}

void UpdatePointer(int cx, int cy) {
  int clientW = 0, clientH = 0;
  SDL_GetWindowSize(window, &clientW, &clientH);
  ClientToLogical(cx, cy, clientW, clientH, logicalWidth, logicalHeight, &mouseState.x,
                  &mouseState.y);
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      FitToClient(event.data1, event.data2);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      quitFlag = 1;
      break;
    case SDL_WINDOWEVENT_LEAVE:
      mouseState.left = mouseState.right = mouseState.middle = 0;
      for (ButtonLatch& latch : buttonLatches) latch = ButtonLatch();
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      NoteKeyboardFocus(true);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      NoteKeyboardFocus(false);
      break;
    default:
      break;
  }
}

uint8_t* ButtonFlag(int index) {
  if (index == 0) return &mouseState.left;
  if (index == 1) return &mouseState.right;
  return &mouseState.middle;
}

void SetButton(int index, bool down, int32_t x, int32_t y) {
  *ButtonFlag(index) = down ? 1 : 0;
  if (down) {
    mouseState.x = mouseState.pressX = x;
    mouseState.y = mouseState.pressY = y;
  }
}

void HandleButton(uint8_t button, bool down, int cx, int cy) {
  int index = -1;
  if (button == SDL_BUTTON_LEFT) index = 0;
  if (button == SDL_BUTTON_RIGHT) index = 1;
  if (button == SDL_BUTTON_MIDDLE) index = 2;
  if (index < 0) return;
  int clientW = 0, clientH = 0;
  SDL_GetWindowSize(window, &clientW, &clientH);
  int32_t x = 0, y = 0;
  ClientToLogical(cx, cy, clientW, clientH, logicalWidth, logicalHeight, &x, &y);
  ButtonLatch& latch = buttonLatches[index];
  if (!latch.changedThisPass) {
    if ((*ButtonFlag(index) != 0) == down) return;
    SetButton(index, down, x, y);
    latch.changedThisPass = true;
    return;
  }
  latch.waiting = down ? 1 : 0;
  if (down) {
    latch.waitingX = x;
    latch.waitingY = y;
  }
}

// At the start of a pass: what the latches held back becomes the buttons' state.
void ReleaseButtonLatches() {
  for (int index = 0; index < 3; ++index) {
    ButtonLatch& latch = buttonLatches[index];
    latch.changedThisPass = false;
    if (latch.waiting < 0) continue;
    const bool down = latch.waiting == 1;
    if ((*ButtonFlag(index) != 0) != down) {
      SetButton(index, down, latch.waitingX, latch.waitingY);
      latch.changedThisPass = true;
    }
    latch.waiting = -1;
  }
}

void HandleKey(const SDL_KeyboardEvent& event) {
  const bool down = event.type == SDL_KEYDOWN;
  // The snapshot holds key state, not auto-repeat; Backspace, Delete and the cursor keys repeat
  // as typed characters, as letters do through their text events.
  if (!event.repeat) NoteKeyEvent(DirectInputCode(event.keysym.scancode), down);
  if (!down) return;
  // These keys produce no text-input event but are typed characters for the text fields.
  switch (event.keysym.sym) {
    case SDLK_BACKSPACE: QueueTypedChar(8); break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      if (!event.repeat) QueueTypedChar(13);
      break;
    case SDLK_ESCAPE:
      if (!event.repeat) QueueTypedChar(27);
      break;
    case SDLK_HOME: QueueTypedChar(kTypedHome); break;
    case SDLK_END: QueueTypedChar(kTypedEnd); break;
    case SDLK_LEFT: QueueTypedChar(kTypedLeft); break;
    case SDLK_RIGHT: QueueTypedChar(kTypedRight); break;
    case SDLK_DELETE: QueueTypedChar(kTypedDelete); break;
    default: break;
  }
}

// Every character of a text-input event (an input method may commit several at once).
void HandleText(const char* utf8) {
  const SDL_Keymod mods = SDL_GetModState();
  TextModifiers held;
  held.ctrl = (mods & KMOD_CTRL) != 0;
  held.leftAlt = (mods & KMOD_LALT) != 0;
  held.rightAlt = (mods & KMOD_RALT) != 0;
  held.modeSwitch = (mods & KMOD_MODE) != 0;
  const bool suppressed = ModifiersSuppressText(held);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8);
  while (*s != 0) {
    QueueTypedChar(TypedCharFromUtf8(reinterpret_cast<const char*>(s), suppressed));
    ++s;
    while ((*s & 0xC0) == 0x80) ++s;  // the rest of a multi-byte character
  }
}

void HandleEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      quitFlag = 1;
      break;
    case SDL_WINDOWEVENT:
      HandleWindowEvent(event.window);
      break;
    case SDL_MOUSEMOTION:
      UpdatePointer(event.motion.x, event.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      HandleButton(event.button.button, event.type == SDL_MOUSEBUTTONDOWN, event.button.x,
                   event.button.y);
      break;
    case SDL_MOUSEWHEEL: {
      int delta = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
      if (delta != 0) mouseState.wheel = delta < 0 ? -1 : 1;
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      HandleKey(event.key);
      break;
    case SDL_TEXTINPUT:
      HandleText(event.text.text);
      break;
    default:
      break;
  }
}

void InitGLState() {
  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_SMOOTH);
  glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
  glClearDepth(1.0);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_CULL_FACE);
}

}  // namespace

void ClientToLogical(int cx, int cy, int clientW, int clientH, int logicalW, int logicalH,
                     int32_t* x, int32_t* y) {
  // A minimised window reports a zero client size; take it as 1 like the projection does.
  if (clientW <= 0) clientW = 1;
  if (clientH <= 0) clientH = 1;
  // The logical pixel that covers the client pixel: at twice the scale client pixels 2n and
  // 2n + 1 both lie on logical pixel n.
  *x = static_cast<int32_t>(std::floor(static_cast<double>(cx) / clientW * logicalW));
  *y = static_cast<int32_t>(std::floor(static_cast<double>(cy) / clientH * logicalH));
}

bool ModifiersSuppressText(const TextModifiers& held) {
  if (held.rightAlt || held.modeSwitch) return false;  // AltGr, with or without Ctrl
  if (held.ctrl) return !held.leftAlt;  // Ctrl+Left Alt is AltGr on layouts that report it so
  return held.leftAlt;
}

uint8_t TypedCharFromUtf8(const char* utf8, bool suppressed) {
  if (suppressed || utf8 == nullptr) return 0;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(utf8);
  unsigned code = 0;
  if (s[0] < 0x80) {
    code = s[0];
  } else if ((s[0] & 0xE0) == 0xC0 && (s[1] & 0xC0) == 0x80) {
    code = ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
  } else {
    return 0;
  }
  if (code >= 32 && code <= 126) return static_cast<uint8_t>(code);
  switch (code) {
    case 0xC5: case 0xC4: case 0xD6: case 0xE5: case 0xE4: case 0xF6:
      return static_cast<uint8_t>(code);
    default:
      return 0;
  }
}

float ScaleForDisplay(float dpi, int usableWidth, int usableHeight, int minWidth, int minHeight) {
  float scale = 1.0f;
  if (dpi >= 192) {
    scale = 2.0f;
  } else if (dpi >= 144) {
    scale = 1.5f;
  }
  while (scale > 1.0f && (minWidth * scale > usableWidth || minHeight * scale > usableHeight)) {
    scale = scale > 1.5f ? 1.5f : 1.0f;
  }
  return scale;
}

bool CreateGLWindow(const char* title, int width, int height, int bits, bool headless,
                    int minWidth, int minHeight) {
  windowHeadless = headless;
  if (headless) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  // The program's own handlers tell a quit signal from a closed window (SDL would turn both
  // into SDL_QUIT) and also take SIGHUP, which would otherwise end the program on the spot.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  InstallQuitSignals(true);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "tavoka: cannot start the window system: %s\n", SDL_GetError());
    return false;
  }
  sdlVideoUp = true;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!headless && driver != nullptr &&
      (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
    std::fprintf(stderr,
                 "tavoka: no display found (set DISPLAY or WAYLAND_DISPLAY); the editor needs "
                 "one. Use --export to render without a display.\n");
    TearDown();
    return false;
  }

  int colourBits = bits >= 32 ? 8 : 5;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colourBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colourBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colourBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, bits >= 32 ? 8 : 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

  // The window is the logical size times the scale, as far as the display has room.
  const SDL_Rect anySize{0, 0, 1 << 14, 1 << 14};
  SDL_Rect usable = anySize;
  if (headless || SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = anySize;
  if (interfaceScale <= 0) {
    float dpi = 96;
    if (headless || SDL_GetDisplayDPI(0, &dpi, nullptr, nullptr) != 0) dpi = 96;
    interfaceScale = ScaleForDisplay(dpi, usable.w, usable.h, minWidth, minHeight);
  }
  LogMessage("interface scale %.1f", interfaceScale);
  if (Physical(minWidth) > usable.w || Physical(minHeight) > usable.h) {
    std::fprintf(stderr,
                 "tavoka: at interface scale %.1f the smallest window, %d x %d pixels, is larger "
                 "than the screen's %d x %d; try a smaller --ui-scale\n",
                 interfaceScale, Physical(minWidth), Physical(minHeight), usable.w, usable.h);
  }
  minLogicalWidth = minWidth;
  minLogicalHeight = minHeight;
  const int windowWidth = std::max(std::min(Physical(width), usable.w), Physical(minWidth));
  const int windowHeight = std::max(std::min(Physical(height), usable.h), Physical(minHeight));
  window = SDL_CreateWindow(title, windowX, windowY, windowWidth, windowHeight,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
  if (window == nullptr) {
    TearDown();
    ShowMessageBox("ERROR", "Could not create window", true);
    return false;
  }
  glContext = SDL_GL_CreateContext(window);
  if (glContext == nullptr || SDL_GL_MakeCurrent(window, glContext) != 0) {
    TearDown();
    ShowMessageBox("ERROR", "OpenGL initialization failed", true);
    return false;
  }
  SDL_GL_SetSwapInterval(0);
  SDL_DisableScreenSaver();
  SDL_RaiseWindow(window);
  SDL_StartTextInput();

  ApplyMinimumSize();
  int clientW = windowWidth, clientH = windowHeight;
  SDL_GetWindowSize(window, &clientW, &clientH);
  FitToClient(clientW, clientH);
  InitGLState();
  return true;
}

void SetProjection(int width, int height) {
  if (height == 0) height = 1;
  logicalWidth = width;
  logicalHeight = height;
  glViewport(0, 0, Physical(width), Physical(height));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, 1, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool SetInterfaceScale(float scale) {
  bool known = false;
  for (float allowed : kInterfaceScales) known = known || allowed == scale;
  if (!known) return false;
  interfaceScale = scale;
  if (window != nullptr) {
    ApplyMinimumSize();
    int clientW = 0, clientH = 0;
    SDL_GetWindowSize(window, &clientW, &clientH);
    FitToClient(clientW, clientH);
  }
  return true;
}

void SetWindowClientSize(int width, int height) {
  if (window == nullptr) return;
  SDL_SetWindowSize(window, width, height);
  int clientW = width, clientH = height;
  SDL_GetWindowSize(window, &clientW, &clientH);
  FitToClient(clientW, clientH);
}

void SetScissor(int x, int y, int w, int h) {
  const int left = Physical(x), right = Physical(x + w);
  const int top = Physical(y), bottom = Physical(y + h);
  glScissor(left, Physical(logicalHeight) - bottom, right - left, bottom - top);
  glEnable(GL_SCISSOR_TEST);
}

void SetLineWidth(float width) { glLineWidth(width * Scale()); }
void SetPointSize(float size) { glPointSize(size * Scale()); }

void DestroyGLWindow() {
  TearDown();
  InstallQuitSignals(false);
}

void SetWindowTitle(const char* title) {
  if (window != nullptr) SDL_SetWindowTitle(window, title);
}

int DrainEvents() {
  ReleaseButtonLatches();
  TakePendingSignal();
  SDL_Event event;
  int handled = 0;
  // Once the window is asked to close, the rest of the queue is left: the pass still runs its
  // per-frame step once and the main loop then shuts down.
  while (!quitFlag && SDL_PollEvent(&event)) {
    HandleEvent(event);
    ++handled;
  }
  TakePendingSignal();
  // One queued character per pass; one the toolkit left unread (no text was being edited) is
  // replaced by the next.
  if (queuedCount > 0) {
    typedChar = queuedChars[0];
    --queuedCount;
    std::memmove(queuedChars, queuedChars + 1, static_cast<size_t>(queuedCount));
  }
  return handled;
}

bool InputWaiting() {
  if (queuedCount > 0 || pendingQuitSignal != 0) return true;
  for (const ButtonLatch& latch : buttonLatches) {
    if (latch.waiting >= 0) return true;
  }
  return false;
}

void ClearTypedChars() {
  queuedCount = 0;
  typedChar = 0;
}

bool QuitSignalArrived() { return pendingQuitSignal != 0 || quitSignal != 0; }

int TakeQuitSignal() {
  TakePendingSignal();
  const int signal = quitSignal;
  quitSignal = 0;
  return signal;
}

bool WaitForEvents(int timeoutMs) { return SDL_WaitEventTimeout(nullptr, timeoutMs) == 1; }

void SwapGLBuffers() {
  if (window != nullptr) SDL_GL_SwapWindow(window);
}

uint64_t PerformanceCounter() { return SDL_GetPerformanceCounter(); }
uint64_t PerformanceFrequency() { return SDL_GetPerformanceFrequency(); }
void SleepMilliseconds(uint32_t ms) { SDL_Delay(ms); }

void ShowMessageBox(const char* caption, const char* text, bool warning) {
  LogMessage("%s: %s", caption, text);
  Uint32 flags = warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
  if (windowHeadless || SDL_ShowSimpleMessageBox(flags, caption, text, window) != 0) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
}

int ShowQuestionBox(const char* caption, const char* text, const char* const* buttons, int count) {
  if (windowHeadless || count <= 0 || count > 3) return -1;
  SDL_MessageBoxButtonData data[3];
  // SDL lists buttons right to left on some systems; the ids keep the caller's indices.
  for (int i = 0; i < count; ++i) {
    data[i].flags = 0;
    if (i == 0) data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (i == count - 1) data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data[i].buttonid = i;
    data[i].text = buttons[i];
  }
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_WARNING;
  box.window = window;
  box.title = caption;
  box.message = text;
  box.numbuttons = count;
  box.buttons = data;
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) return -1;
  // A box closed without a button answers as its last (Escape) button does.
  return chosen >= 0 && chosen < count ? chosen : count - 1;
}

void* GetGLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }
