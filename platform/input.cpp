#include "platform/input.h"

#include <cstring>

InputDevices* inputDevices = nullptr;

namespace {
// What the window layer has reported since the last poll.
uint8_t keyLive[256];     // currently down
uint8_t keyTapped[256];   // went down at least once since the last poll
bool keyboardFocus = true;
bool polledOnce = false;  // the first poll sees no keys, like an unacquired device
}  // namespace

InputDevices* CreateInputDevices() {
  std::memset(keyLive, 0, sizeof keyLive);
  std::memset(keyTapped, 0, sizeof keyTapped);
  polledOnce = false;
  keyboardFocus = true;
  inputDevices = new InputDevices();
  return inputDevices;
}

void PollInputDevices() {
  if (inputDevices == nullptr) return;
  uint8_t* state = inputDevices->keyState;
  if (!polledOnce || !keyboardFocus) {
    std::memset(state, 0, 256);
    std::memset(keyTapped, 0, sizeof keyTapped);
    polledOnce = true;
    return;
  }
  for (int code = 0; code < 256; ++code) {
    state[code] = (keyLive[code] || keyTapped[code]) ? 0x80 : 0;
  }
  std::memset(keyTapped, 0, sizeof keyTapped);
}

bool KeyDown(int code) {
  if (inputDevices == nullptr || code < 0 || code > 255) return false;
  return (inputDevices->keyState[code] & 0x80) != 0;
}

void FreeInputDevices() {
  delete inputDevices;
  inputDevices = nullptr;
}

void NoteKeyEvent(int code, bool down) {
  if (code <= 0 || code > 255) return;
  keyLive[code] = down ? 1 : 0;
  if (down) keyTapped[code] = 1;
}

void NoteKeyboardFocus(bool focused) {
  keyboardFocus = focused;
  if (!focused) {
    std::memset(keyLive, 0, sizeof keyLive);
    std::memset(keyTapped, 0, sizeof keyTapped);
  }
}

void ForgetHeldKeys() {
  std::memset(keyLive, 0, sizeof keyLive);
  std::memset(keyTapped, 0, sizeof keyTapped);
  if (inputDevices != nullptr) std::memset(inputDevices->keyState, 0, 256);
}

void ForgetKey(int code) {
  if (code <= 0 || code > 255) return;
  keyLive[code] = keyTapped[code] = 0;
  if (inputDevices != nullptr) inputDevices->keyState[code] = 0;
}

bool AnyKeyHeld() {
  for (int code = 0; code < 256; ++code) {
    if (keyLive[code] || keyTapped[code]) return true;
  }
  return false;
}
