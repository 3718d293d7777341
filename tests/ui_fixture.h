// A fresh toolkit context on the offscreen OpenGL context for every test, and helpers that play
// the window layer: set the pointer and buttons, then run one toolkit frame.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "platform/input.h"
#include "platform/platform.h"
#include "tests/harness.h"
#include "ui/ui.h"

// What the widgets of one window saw in a frame.
struct WindowView {
  bool focused = false;
  InputFlags flags = {};
  int mouseX = 0, mouseY = 0;
};

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGLContext();
    if (inputDevices == nullptr) CreateInputDevices();
    std::memset(inputDevices->keyState, 0, sizeof inputDevices->keyState);
    FreeUiContext();
    ASSERT_TRUE(CreateUiContext());
    mouseState = MouseState{};
    typedChar = 0;
  }
  void TearDown() override { FreeUiContext(); }

  static void MoveTo(int x, int y) {
    mouseState.x = x;
    mouseState.y = y;
  }
  // A press as the window layer records it: the button, the pointer and the press position.
  static void PressLeft(int x, int y) { Press(&mouseState.left, x, y); }
  static void PressRight(int x, int y) { Press(&mouseState.right, x, y); }
  static void PressMiddle(int x, int y) { Press(&mouseState.middle, x, y); }
  static void Press(uint8_t* button, int x, int y) {
    MoveTo(x, y);
    mouseState.pressX = x;
    mouseState.pressY = y;
    *button = 1;
  }
  static void ReleaseAll() { mouseState.left = mouseState.right = mouseState.middle = 0; }
  static void HoldKey(int code, bool held) { inputDevices->keyState[code] = held ? 0x80 : 0; }

  // One frame as the editor runs it: BeginFrame, the id suffix, the root, the caller's
  // windows, the menus. Returns the menu's command code or -1.
  static int Frame(const std::function<void()>& windows = [] {}) {
    BeginFrame();
    std::snprintf(ui->idSuffix, sizeof ui->idSuffix, "%.8X", 1);
    BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
    windows();
    const int code = RunMenus();
    EndRegion();
    return code;
  }

  // Clears the back buffer to one colour and sets the blending every frame draws with.
  static void ClearScreen(float r, float g, float b) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
  }

  static InputFlags CurrentFlags() {
    return InputFlags{ui->leftDown,    ui->leftPressed,   ui->leftReleased,  ui->leftDouble,
                      ui->rightDown,   ui->rightPressed,  ui->rightReleased, ui->middleDown,
                      ui->middlePressed, ui->middleReleased};
  }

  // A window with a scroll area over its body, as the editor's windows are built.
  static WindowView OpenWindow(int* x, int* y, int w, int h, const char* name,
                               const std::function<void()>& content = [] {}) {
    WindowView view;
    view.focused = Window(x, y, &w, &h, name, name);
    view.flags = CurrentFlags();
    view.mouseX = ui->mouseX;
    view.mouseY = ui->mouseY;
    float scrollX = 0, scrollY = 0;
    char scrollName[64];
    std::snprintf(scrollName, sizeof scrollName, "%sscroll", name);
    ScrollArea(1, 12, w - 2, h - 1, &scrollX, &scrollY, w - 2, h - 1, 10, scrollName);
    content();
    EndRegion();
    EndRegion();
    return view;
  }
};
