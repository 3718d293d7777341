// The editor's per-frame function and its window layout: every frame it lays out the editor
// windows in one root region, runs them in stacking order (later windows lie on top and win
// presses where they overlap), then the context menus and the command picked from them.
// Builds on the toolkit (ui/ui.h) and the editor state (editor/editor_state.h).
#pragma once

#include <array>
#include <cstddef>

#include "editor/editor_state.h"

// The editor windows in drawing order.
enum EditorWindow : int {
  kViewWindow = 0,
  kObjectWindow = 1,
  kImageWindow = 2,
  kTimelineWindow = 3,
  kEditorWindowCount = 4,
};

// Where one editor window lies and where its content lives.
struct WindowLayout {
  const char* name;        // toolkit id of the window
  int x, y;                // home position: where the window sits until the user moves it
  int width, height;       // body below the 12-pixel title bar
  const char* scrollName;  // toolkit id of the content area, opened at (1, 12)
  int visibleWidth, visibleHeight;
  int contentWidth, contentHeight;
  int background;          // palette entry behind the content
};
// The layout of a 1024 x 768 screen, the size the program opens with.
extern const std::array<WindowLayout, kEditorWindowCount> kWindowLayout;
constexpr int kMinScreenWidth = 800, kMinScreenHeight = 600;  // the smallest the window gets

// The layout of a screen of the given logical size: the lists keep their width at the right
// edge and share its height, the timeline keeps its height at the bottom, and the view and the
// timeline take the width the lists leave; the view takes the height the timeline leaves. At
// 1024 x 768 it is kWindowLayout.
WindowLayout LayoutFor(EditorWindow window, int screenWidth, int screenHeight);
// The layout of this frame, set by ArrangeWindows.
const WindowLayout& CurrentLayout(EditorWindow window);
// Fits the windows to a screen of the given size, once per frame before they are drawn: when
// the size changed since the last call, every window moves by as much as its home moved, so one
// the user moved keeps its place relative to its home. Then every title bar is kept within reach
// (at least kTitleBarReach pixels of it on the screen, never above the top).
void ArrangeWindows(int screenWidth, int screenHeight);
constexpr int kTitleBarReach = 40;

// The window's position, kept in the editor state for the whole run.
WindowPosition& WindowPositionOf(EditorWindow window);

// Window and content area of one editor window with its layout; the two scroll fractions are the
// caller's (the toolkit forces a fraction to 0 where the content does not scroll). True when the
// window is the focused one. EndEditorWindow closes both regions.
bool BeginEditorWindow(EditorWindow window, const char* title, float* scrollX, float* scrollY);
void EndEditorWindow();

// Titles, formatted anew every frame: the view names its mode (and the onion skin's frames on
// each side while it is on in the edit view), and how many images its last picture left out
// when it held more than a picture can; the image window names the
// selected object when it is an ordinary object with keys; the timeline names it whenever it has
// a key track, and always counts the current frame, its time as seconds:frames and the frame
// rate ("frame 137  4:17  30 fps", "  loop" after it while playback loops), or shows the frame
// number being typed to go to. Names are copied as text, never as formats. The timeline's
// returns where the counter begins in the title.
const char* ViewWindowTitle();
void FormatImageWindowTitle(char* title, size_t size);
int FormatTimelineWindowTitle(char* title, size_t size);
constexpr size_t kWindowTitleSize = 160;  // room for a whole name and the words around it

// One frame of the editor; true when the frame is complete and is to be presented (an export
// draws over the back buffer and returns false).
bool EditorFrame();
