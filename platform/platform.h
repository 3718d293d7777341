// The window, its OpenGL context and the input state the window system delivers. This is the only
// part of the program that knows the window system (SDL2); everything else reads the records
// below and calls these functions.
#pragma once

#include <cstdint>

// The pointer and buttons as the window delivers them; the toolkit reads it once per frame.
struct MouseState {
  int32_t x = 0, y = 0;            // pointer in logical pixels
  int32_t pressX = 0, pressY = 0;  // where the most recent left, right or middle press happened
  uint8_t left = 0, right = 0, middle = 0;
  int32_t wheel = 0;               // -1, 0 or +1: the last wheel notch of this pass, +1 away from the user
};

// Window globals. The logical size follows the client size on every resize: the client size
// divided by the interface scale.
extern MouseState mouseState;
extern int32_t logicalWidth, logicalHeight;
// Interface scale: window pixels per logical pixel, one of kInterfaceScales. The whole interface
// is laid out and drawn in logical pixels; the projection, the scissor, line widths and the
// pointer map them to the window's pixels. Pictures drawn into an export's own framebuffer never
// see it. 0 before the window opens means "from the display's density".
extern float interfaceScale;
constexpr float kInterfaceScales[3] = {1.0f, 1.5f, 2.0f};
extern int32_t windowX, windowY;
extern uint8_t quitFlag;   // set when the window is asked to close or a quit signal arrives
// The character typed for this pass (Latin-1), 0 when none; the toolkit consumes it. Characters
// typed faster than passes wait in a queue of kMaxQueuedChars and come one per pass.
extern uint8_t typedChar;
constexpr int kMaxQueuedChars = 64;
// Keys that edit a text field without typing a character arrive as typed characters too, in the
// order they were pressed and repeating while held: Backspace 8, Enter 13, Escape 27 and these.
constexpr uint8_t kTypedHome = 2, kTypedEnd = 3, kTypedLeft = 4, kTypedRight = 5;
constexpr uint8_t kTypedDelete = 127;

// Opens the window with an OpenGL compatibility context. With headless set it uses SDL's
// offscreen driver (no window server needed: tests and batch export). Without it, a machine
// with no display is refused with a message on stderr instead of running invisibly.
// width x height are logical pixels: the window gets them times the interface scale (chosen
// from the display first when it is 0; 1 headless), cut to the display's usable area, and
// cannot be made smaller than minWidth x minHeight logical pixels.
// On failure it shows its message, tears down what it made and returns false.
bool CreateGLWindow(const char* title, int width, int height, int bits, bool headless,
                    int minWidth = 0, int minHeight = 0);
// Orthographic pixel projection of a logical size, origin top left, y down, on a viewport of
// that size times the interface scale; a height of 0 is taken as 1.
void SetProjection(int width, int height);
// Changes the interface scale (a value of kInterfaceScales) and fits the logical size to the
// window's client size again. False, nothing changed, for any other value.
bool SetInterfaceScale(float scale);
// The scale a display of the given density (dots per inch) suggests: 2 from 192, 1.5 from 144,
// else 1, lowered until a window of minWidth x minHeight logical pixels fits a usable area of
// usableWidth x usableHeight (a scale of 1 always stays).
float ScaleForDisplay(float dpi, int usableWidth, int usableHeight, int minWidth, int minHeight);
// Resizes the window's client area to width x height window pixels, as a user's drag would.
void SetWindowClientSize(int width, int height);
// Clipping to a rectangle of logical pixels (top-left origin).
void SetScissor(int x, int y, int w, int h);
// Line width and point size in logical pixels.
void SetLineWidth(float width);
void SetPointSize(float size);
void DestroyGLWindow();
// Changes the window's title (nothing without a window).
void SetWindowTitle(const char* title);

// Handles every waiting window event: mouse, size, close, typed characters and keys; returns
// how many. A mouse button that changes more than once within one pass (a quick click) shows its
// first change in this pass and where it ended up in the next, so a quick click is never lost.
int DrainEvents();
// True while input taken from the window still waits for a pass of its own: a button change held
// back by the latch or queued typed characters. A loop that sleeps until the next event must
// run a pass first.
bool InputWaiting();
// Empties the queue of typed characters and typedChar (a text edit starts afresh).
void ClearTypedChars();
// Waits until a window event is waiting (left in the queue for DrainEvents) or timeoutMs has
// passed; true when one is waiting.
bool WaitForEvents(int timeoutMs);
void SwapGLBuffers();

// Position conversion of pointer events: client pixels to the logical pixels covering them.
void ClientToLogical(int cx, int cy, int clientW, int clientH, int logicalW, int logicalH,
                     int32_t* x, int32_t* y);
// Typed-character rules: the Latin-1 byte of the first character of a text-input event, or 0 when
// it delivers nothing (characters outside ASCII 32..126 and the six letters Å Ä Ö å ä ö, or
// suppressed by the modifiers held).
uint8_t TypedCharFromUtf8(const char* utf8, bool suppressed);
// The modifier keys held when text arrives. Ctrl without Alt and Left Alt alone make shortcuts,
// not text; AltGr (Right Alt, which some layouts report together with Ctrl, or the mode-switch
// modifier) types characters such as @ { [ ] } \ | ~ on many layouts.
struct TextModifiers {
  bool ctrl = false, leftAlt = false, rightAlt = false, modeSwitch = false;
};
bool ModifiersSuppressText(const TextModifiers& held);

// Quit signals. While the window exists, SIGTERM, SIGINT and SIGHUP (the desktop logging out, a
// terminal closing) set the quit flag at the next DrainEvents instead of ending the program.
// TakeQuitSignal gives the signal that asked the program to end (0 when none) and forgets it.
// Nobody may be there to answer a question then: the caller must not ask.
int TakeQuitSignal();
// Whether a quit signal has arrived and not been taken yet (modal dialogs close on it).
bool QuitSignalArrived();

// Clock and pacing.
uint64_t PerformanceCounter();
uint64_t PerformanceFrequency();
void SleepMilliseconds(uint32_t ms);

// SDL's modal message box with a caption; warning or information icon. Where it cannot be shown
// (no display, an X server without core fonts) it writes the message to stderr instead.
void ShowMessageBox(const char* caption, const char* text, bool warning);

// A modal question with up to three buttons; the index of the button chosen (the last one when
// the box is closed without a button), or -1 when the box cannot be shown.
int ShowQuestionBox(const char* caption, const char* text, const char* const* buttons, int count);

// OpenGL entry points beyond 1.1 (framebuffer objects for export).
void* GetGLProcAddress(const char* name);
