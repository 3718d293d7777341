// The window layer's events and the keyboard snapshot, driven with real SDL events on the
// offscreen window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/input.h"
#include "platform/platform.h"
#include "tests/harness.h"

namespace {

void PushKey(SDL_Scancode scancode, bool down, SDL_Keycode sym = SDLK_UNKNOWN) {
  SDL_Event event{};
  event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  SDL_PushEvent(&event);
}

void PushButton(Uint8 button, bool down, int x, int y) {
  SDL_Event event{};
  event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  event.button.button = button;
  event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  event.button.x = x;
  event.button.y = y;
  SDL_PushEvent(&event);
}

void PushWheel(int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEWHEEL;
  event.wheel.y = y;
  event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  SDL_PushEvent(&event);
}

void PushWindowEvent(Uint8 which) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.event = which;
  SDL_PushEvent(&event);
}

void PushText(const char* utf8) {
  SDL_Event event{};
  event.type = SDL_TEXTINPUT;
  SDL_strlcpy(event.text.text, utf8, sizeof event.text.text);
  SDL_PushEvent(&event);
}

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGLContext();
    DrainEvents();
    FreeInputDevices();
    CreateInputDevices();
    mouseState = MouseState();
    typedChar = 0;
    quitFlag = 0;
  }
  void TearDown() override {
    FreeInputDevices();
    SDL_SetModState(KMOD_NONE);
    ClearTypedChars();
  }
  // One pass as the main loop runs it, as far as input goes.
  void Pass() {
    mouseState.wheel = 0;
    DrainEvents();
    PollInputDevices();
  }
};

TEST_F(Input, PositionsAreScaledFromClientToLogicalPixels) {
  int32_t x = 0, y = 0;
  ClientToLogical(100, 50, 1024, 768, 1024, 768, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  // A resize still pending: the client is already 512 wide, the logical size not yet.
  ClientToLogical(101, 51, 512, 384, 1024, 768, &x, &y);
  EXPECT_EQ(x, 202);
  EXPECT_EQ(y, 102);
  ClientToLogical(1, 1, 3, 3, 1024, 768, &x, &y);  // 341.33, 256: the pixel covering it
  EXPECT_EQ(x, 341);
  EXPECT_EQ(y, 256);
  ClientToLogical(10, 10, 0, 0, 1024, 768, &x, &y);  // a minimised client never divides by 0
  EXPECT_EQ(x, 10240);
}

TEST_F(Input, ButtonsRecordThePressPositionAndLeaveClearsThem) {
  PushButton(SDL_BUTTON_LEFT, true, 120, 80);
  PushButton(SDL_BUTTON_RIGHT, true, 130, 90);
  PushButton(SDL_BUTTON_MIDDLE, true, 140, 95);
  Pass();
  EXPECT_EQ(mouseState.left, 1);
  EXPECT_EQ(mouseState.right, 1);
  EXPECT_EQ(mouseState.middle, 1);
  EXPECT_EQ(mouseState.pressX, 140);
  EXPECT_EQ(mouseState.pressY, 95);
  EXPECT_EQ(mouseState.x, 140);

  PushButton(SDL_BUTTON_RIGHT, false, 130, 90);
  Pass();
  EXPECT_EQ(mouseState.right, 0);
  EXPECT_EQ(mouseState.left, 1);

  PushWindowEvent(SDL_WINDOWEVENT_LEAVE);
  Pass();
  EXPECT_EQ(mouseState.left, 0);
  EXPECT_EQ(mouseState.middle, 0);
}

TEST_F(Input, TheWheelReportsTheLastNotchOfThePassAndIgnoresZero) {
  PushWheel(3);
  Pass();
  EXPECT_EQ(mouseState.wheel, 1);
  PushWheel(-1);
  PushWheel(0);
  mouseState.wheel = 0;
  DrainEvents();
  EXPECT_EQ(mouseState.wheel, -1);  // delta 0 left the value of the earlier notch
  Pass();
  EXPECT_EQ(mouseState.wheel, 0);   // cleared at the start of the next pass
}

TEST_F(Input, AZeroHeightIsTakenAsOne) {
  SetProjection(1024, 0);
  EXPECT_EQ(logicalHeight, 1);
  EXPECT_EQ(logicalWidth, 1024);
  PushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);  // data 0 x 0, as when minimised
  Pass();
  EXPECT_EQ(logicalHeight, 1);
  SetProjection(1024, 768);
}

TEST_F(Input, TypedCharactersFollowTheLatin1Rules) {
  EXPECT_EQ(TypedCharFromUtf8("a", false), 'a');
  EXPECT_EQ(TypedCharFromUtf8(" ", false), ' ');
  EXPECT_EQ(TypedCharFromUtf8("~", false), '~');
  EXPECT_EQ(TypedCharFromUtf8("\xc3\x85", false), 197);  // Å
  EXPECT_EQ(TypedCharFromUtf8("\xc3\xa4", false), 228);  // ä
  EXPECT_EQ(TypedCharFromUtf8("\xc3\xb6", false), 246);  // ö
  EXPECT_EQ(TypedCharFromUtf8("\xc3\xa9", false), 0);    // é is not in the font
  EXPECT_EQ(TypedCharFromUtf8("\xe2\x82\xac", false), 0);  // €
  EXPECT_EQ(TypedCharFromUtf8("\x7f", false), 0);
  EXPECT_EQ(TypedCharFromUtf8("s", true), 0);  // Ctrl or Alt held

  PushText("x");
  Pass();
  EXPECT_EQ(typedChar, 'x');
  typedChar = 0;
  PushKey(SDL_SCANCODE_BACKSPACE, true, SDLK_BACKSPACE);
  Pass();
  EXPECT_EQ(typedChar, 8);
  PushKey(SDL_SCANCODE_RETURN, true, SDLK_RETURN);
  Pass();
  EXPECT_EQ(typedChar, 13);
  PushKey(SDL_SCANCODE_ESCAPE, true, SDLK_ESCAPE);
  Pass();
  EXPECT_EQ(typedChar, 27);
  // Characters typed faster than passes, or several in one event, come one per pass; a full
  // queue drops what follows.
  PushText("b");
  PushText("\xc3\xa5x");
  std::string typed;
  for (int i = 0; i < 3; ++i) {
    Pass();
    typed += static_cast<char>(typedChar);
  }
  EXPECT_EQ(typed, "b\xe5x");
  for (int i = 0; i < 2 * kMaxQueuedChars; ++i) PushText("z");
  int delivered = 0;
  for (int i = 0; i < 3 * kMaxQueuedChars; ++i, typedChar = 0) {
    Pass();
    delivered += typedChar == 'z' ? 1 : 0;
  }
  EXPECT_EQ(delivered, kMaxQueuedChars);
}

// AltGr (Right Alt, also with Ctrl, or the mode switch) types; Ctrl alone and Left Alt alone
// make shortcuts.
TEST_F(Input, AltGrTypesButCtrlAndLeftAltDoNot) {
  const struct {
    int mods;
    bool types;
  } cases[] = {{KMOD_RALT, true},   {KMOD_LCTRL | KMOD_RALT, true}, {KMOD_MODE, true},
               {KMOD_LCTRL | KMOD_LALT, true}, {KMOD_RCTRL, false}, {KMOD_LALT, false},
               {KMOD_LSHIFT | KMOD_LCTRL, false}};
  for (const auto& c : cases) {
    SDL_SetModState(static_cast<SDL_Keymod>(c.mods));
    PushText("@");
    Pass();
    EXPECT_EQ(typedChar, c.types ? '@' : 0) << "modifiers " << c.mods;
    typedChar = 0;
  }
}

// A click shorter than a pass is a press in its pass and a release in the next; so is a release
// and a new press of a held button, which InputWaiting tells a sleeping loop.
TEST_F(Input, ButtonChangesWithinOnePassAreSeenOnePassEach) {
  PushButton(SDL_BUTTON_RIGHT, true, 300, 200);
  PushButton(SDL_BUTTON_RIGHT, false, 300, 200);
  Pass();
  EXPECT_EQ(mouseState.right, 1);
  EXPECT_EQ(mouseState.pressX, 300);
  EXPECT_TRUE(InputWaiting());
  Pass();
  EXPECT_EQ(mouseState.right, 0);
  EXPECT_FALSE(InputWaiting());

  PushButton(SDL_BUTTON_LEFT, true, 10, 10);
  Pass();
  PushButton(SDL_BUTTON_LEFT, false, 10, 10);
  PushButton(SDL_BUTTON_LEFT, true, 40, 50);
  Pass();
  EXPECT_EQ(mouseState.left, 0);
  Pass();
  EXPECT_EQ(mouseState.left, 1);
  EXPECT_EQ(mouseState.pressY, 50);
}

TEST_F(Input, NoKeyIsHeldInTheFirstPass) {
  PushKey(SDL_SCANCODE_SPACE, true);
  Pass();
  EXPECT_FALSE(KeyDown(kKeySpace));
  Pass();
  EXPECT_TRUE(KeyDown(kKeySpace));  // still held: seen from the second pass on
}

TEST_F(Input, ATapWithinOnePassIsSeenInThatPassOnly) {
  Pass();
  PushKey(SDL_SCANCODE_DELETE, true);
  PushKey(SDL_SCANCODE_DELETE, false);
  Pass();
  EXPECT_TRUE(KeyDown(kKeyDelete));
  Pass();
  EXPECT_FALSE(KeyDown(kKeyDelete));
}

TEST_F(Input, CtrlAndSAreSeenTogetherAndReleasedSeparately) {
  Pass();
  PushKey(SDL_SCANCODE_LCTRL, true);
  PushKey(SDL_SCANCODE_S, true);
  Pass();
  EXPECT_TRUE(KeyDown(kKeyLeftCtrl));
  EXPECT_TRUE(KeyDown(kKeyS));
  PushKey(SDL_SCANCODE_S, false);
  Pass();
  EXPECT_TRUE(KeyDown(kKeyLeftCtrl));
  EXPECT_FALSE(KeyDown(kKeyS));
}

TEST_F(Input, LosingTheFocusReleasesEveryKey) {
  Pass();
  PushKey(SDL_SCANCODE_RIGHT, true);
  Pass();
  EXPECT_TRUE(KeyDown(kKeyRight));
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  Pass();
  EXPECT_FALSE(KeyDown(kKeyRight));
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  Pass();
  EXPECT_FALSE(KeyDown(kKeyRight));  // it must be pressed again
  PushKey(SDL_SCANCODE_RIGHT, true);
  Pass();
  EXPECT_TRUE(KeyDown(kKeyRight));
}

TEST_F(Input, TheMappingCoversTheEditorsKeys) {
  Pass();
  const struct {
    SDL_Scancode sdl;
    int code;
  } keys[] = {
      {SDL_SCANCODE_ESCAPE, 1},     {SDL_SCANCODE_TAB, 15},      {SDL_SCANCODE_A, 30},
      {SDL_SCANCODE_S, 31},         {SDL_SCANCODE_L, 38},        {SDL_SCANCODE_Z, 44},
      {SDL_SCANCODE_Y, 21},         {SDL_SCANCODE_LCTRL, 29},    {SDL_SCANCODE_RCTRL, 157},
      {SDL_SCANCODE_LSHIFT, 42},    {SDL_SCANCODE_RSHIFT, 54},   {SDL_SCANCODE_LALT, 56},
      {SDL_SCANCODE_SPACE, 57},     {SDL_SCANCODE_HOME, 199},    {SDL_SCANCODE_PAGEUP, 201},
      {SDL_SCANCODE_LEFT, 203},     {SDL_SCANCODE_RIGHT, 205},   {SDL_SCANCODE_END, 207},
      {SDL_SCANCODE_PAGEDOWN, 209}, {SDL_SCANCODE_INSERT, 210},  {SDL_SCANCODE_DELETE, 211},
      {SDL_SCANCODE_1, 2},          {SDL_SCANCODE_0, 11},        {SDL_SCANCODE_Q, 16},
      {SDL_SCANCODE_M, 50},         {SDL_SCANCODE_F1, 59},       {SDL_SCANCODE_F10, 68},
      {SDL_SCANCODE_F11, 87},       {SDL_SCANCODE_F12, 88},      {SDL_SCANCODE_UP, 200},
      {SDL_SCANCODE_DOWN, 208},     {SDL_SCANCODE_RETURN, 28},   {SDL_SCANCODE_KP_ENTER, 156},
  };
  for (const auto& key : keys) {
    PushKey(key.sdl, true);
    PushKey(key.sdl, false);
    Pass();
    int held = 0;
    for (int code = 0; code < 256; ++code) held += KeyDown(code) ? 1 : 0;
    EXPECT_TRUE(KeyDown(key.code)) << SDL_GetScancodeName(key.sdl);
    EXPECT_EQ(held, 1) << SDL_GetScancodeName(key.sdl);
  }
}

TEST_F(Input, ForgottenKeysCountAgainOnlyWhenPressedAnew) {
  Pass();
  PushKey(SDL_SCANCODE_LCTRL, true);
  Pass();
  ForgetHeldKeys();
  Pass();
  EXPECT_FALSE(KeyDown(kKeyLeftCtrl));
}

TEST_F(Input, CloseRequestsSetTheQuitFlagAndStopTheDrain) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
  PushButton(SDL_BUTTON_LEFT, true, 5, 5);
  Pass();
  EXPECT_EQ(quitFlag, 1);
  EXPECT_EQ(mouseState.left, 0);  // left in the queue
  quitFlag = 0;
  DrainEvents();
  EXPECT_EQ(mouseState.left, 1);
}

}  // namespace
