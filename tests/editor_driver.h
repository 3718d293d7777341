// Drives the whole editor headless: the application on the offscreen context, input played the
// way the window layer delivers it (pointer, buttons, wheel, keys, typed characters) and main
// loop passes run in between. Remember the toolkit's hand-over: a press reaches its window in
// the pass after the one in which it lands, so the helpers below run two passes per press.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "platform/input.h"
#include "platform/platform.h"
#include "project/project_file.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "tests/harness.h"
#include "ui/ui.h"

enum class Button { kLeft, kRight, kMiddle };

struct Point {
  int x, y;
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEditor();
    ForgetHeldKeys();
    mouseState = MouseState{};
    mouseState.x = mouseState.y = 1020;  // over nothing
    typedChar = 0;
    editor.viewWindow = {10, 10};
    editor.objectWindow = {800, 10};
    editor.imageWindow = {800, 420};
    editor.timelineWindow = {10, 560};
    editor.objectListScroll = 0;
    // What an earlier test in this process left in the toolkit: an open menu would take the
    // first press, a focused window would be drawn so.
    ui->menuOpen = 0;
    ui->focusWindow[0] = ui->activeId[0] = '\0';
    RunPasses(2);  // the first poll of the keyboard sees nothing; settle the toolkit
    if (ui->editing) FinishTextEdit();
  }
  void TearDown() override {
    ForgetHeldKeys();
    mouseState = MouseState{};
    if (!workDirectory_.empty()) std::filesystem::remove_all(workDirectory_);
  }

  // Client pixels of a point of the view's content (its edit-view pixel space) and of the
  // middle of an object list row (list scrolled to the top).
  static Point InView(float x, float y) {
    return Point{editor.viewWindow.x + 1 + static_cast<int>(std::lround(x)),
                 editor.viewWindow.y + kTitleBarHeight + static_cast<int>(std::lround(y))};
  }
  static Point PivotOf(const SceneObject* object) {
    return InView(object->state.screenPos.x, object->state.screenPos.y);
  }
  static Point ObjectRow(int row) {
    return Point{editor.objectWindow.x + 1 + 60,
                 editor.objectWindow.y + kTitleBarHeight + 10 * row + 5};
  }

  // Input. Every helper ends with the passes that let the editor see what it did.
  static void MoveMouse(Point p, int passes = 1) {
    mouseState.x = p.x;
    mouseState.y = p.y;
    RunPasses(passes);
  }
  static uint8_t& ButtonFlag(Button button) {
    if (button == Button::kRight) return mouseState.right;
    if (button == Button::kMiddle) return mouseState.middle;
    return mouseState.left;
  }
  // The press lands in one pass and reaches its window in the next.
  static void Press(Point p, Button button = Button::kLeft) {
    mouseState.x = mouseState.pressX = p.x;
    mouseState.y = mouseState.pressY = p.y;
    ButtonFlag(button) = 1;
    RunPasses(2);
  }
  static void Release(Button button = Button::kLeft) {
    ButtonFlag(button) = 0;
    RunPasses(1);
  }
  static void Click(Point p, Button button = Button::kLeft) {
    Press(p, button);
    Release(button);
  }
  // With the button held: the pointer goes to p in steps passes, by a straight line.
  static void DragTo(Point p, int steps = 4) {
    const int x0 = mouseState.x, y0 = mouseState.y;
    for (int i = 1; i <= steps; ++i) {
      mouseState.x = x0 + (p.x - x0) * i / steps;
      mouseState.y = y0 + (p.y - y0) * i / steps;
      RunPasses(1);
    }
  }
  static void Drag(Point from, Point to, int steps = 4, Button button = Button::kLeft) {
    Press(from, button);
    DragTo(to, steps);
    Release(button);
  }
  // One wheel notch per pass, +1 away from the user.
  static void Wheel(int notches) {
    for (int i = 0; i < std::abs(notches); ++i) {
      SDL_Event event{};
      event.type = SDL_MOUSEWHEEL;
      event.wheel.y = notches > 0 ? 1 : -1;
      event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
      SDL_PushEvent(&event);
      RunPasses(1);
    }
  }
  static void HoldKey(int code) { NoteKeyEvent(code, true); }
  // Ctrl+key (Ctrl+Shift+key), pressed once.
  static void Chord(int key, bool shift = false) {
    HoldKey(kKeyLeftCtrl);
    if (shift) HoldKey(kKeyLeftShift);
    PressKey(key);
    ReleaseKey(kKeyLeftShift);
    ReleaseKey(kKeyLeftCtrl);
    RunPasses(1);
  }
  static void ReleaseKey(int code) { NoteKeyEvent(code, false); }
  // Held for passes, then released and one more pass.
  static void PressKey(int code, int passes = 1) {
    HoldKey(code);
    RunPasses(passes);
    ReleaseKey(code);
    RunPasses(1);
  }
  static void Type(const char* text) {
    for (const char* c = text; *c != '\0'; ++c) {
      typedChar = static_cast<uint8_t>(*c);
      RunPasses(1);
    }
  }
  // A rename starts with the whole name selected: End first, then text after the name.
  static void TypeAtEnd(const char* text) {
    typedChar = kTypedEnd;
    RunPasses(1);
    Type(text);
  }

  // A fresh directory that the image bank reads from, as a project's folder; PNG files go there.
  std::string MakeWorkDirectory() {
    workDirectory_ = (std::filesystem::temp_directory_path() /
                      ("tavoka_editor_" + std::to_string(getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name()))
                         .string();
    std::filesystem::remove_all(workDirectory_);
    std::filesystem::create_directories(workDirectory_);
    SetWorkPath((workDirectory_ + "/").c_str());
    return workDirectory_;
  }

  std::string workDirectory_;
};
