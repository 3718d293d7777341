// The keyboard as a snapshot of 256 DirectInput scan codes, taken once per main-loop pass. Key
// tests everywhere in the editor go through KeyDown; typed text comes from the window instead.
#pragma once

#include <cstdint>

// DirectInput scan codes of the keys the editor reacts to.
enum KeyCode : int {
  kKeyEscape = 1,
  kKeyTab = 15,
  kKeyQ = 16,
  kKeyY = 21,
  kKeyO = 24,
  kKeyLeftCtrl = 29,
  kKeyA = 30,
  kKeyS = 31,
  kKeyG = 34,
  kKeyL = 38,
  kKeyLeftShift = 42,
  kKeyZ = 44,
  kKeyC = 46,
  kKeyV = 47,
  kKeyN = 49,
  kKeyRightShift = 54,
  kKeyLeftAlt = 56,
  kKeySpace = 57,
  kKeyRightCtrl = 157,
  kKeyHome = 199,
  kKeyPageUp = 201,
  kKeyLeft = 203,
  kKeyRight = 205,
  kKeyEnd = 207,
  kKeyPageDown = 209,
  kKeyInsert = 210,
  kKeyDelete = 211,
};

struct InputDevices {
  uint8_t keyState[256] = {};  // high bit set: the key is held in this pass
};

// The one instance, created at start-up after the window; null before and after.
extern InputDevices* inputDevices;

InputDevices* CreateInputDevices();
// Takes this pass's snapshot. A key that went down since the last poll counts as held even if
// it is already up again, so a quick tap is never lost. Nothing is held in the first pass or
// while the window lacks the keyboard focus.
void PollInputDevices();
bool KeyDown(int code);
void FreeInputDevices();

// Fed by the window layer as key and focus events arrive.
void NoteKeyEvent(int code, bool down);
void NoteKeyboardFocus(bool focused);
// Forgets every held key, as after a modal dialog: a key counts again once it is pressed anew.
void ForgetHeldKeys();
// The same for one key whose press has been used up.
void ForgetKey(int code);
// Whether any key is held now, or was tapped since the last poll.
bool AnyKeyHeld();
