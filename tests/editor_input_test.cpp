// The editor fed through the window layer's real events, as a hand, a touchpad or a remote
// desktop delivers them: clicks shorter than a pass, Escape over an open menu, names typed faster
// than passes and a held Backspace.
#include <string>

#include "editor/commands.h"
#include "tests/editor_driver.h"

namespace {

class EditorInput : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    arm = CreateObject(nullptr);
    CopyName(arm->name, kNameSize, "arm");
    RunPasses(1);
  }
  void TearDown() override {
    if (ui->editing) FinishTextEdit();
    ui->menuOpen = 0;
    editor.attachMode = false;
    EditorTest::TearDown();
  }

  static void PushButton(Uint8 button, bool down, Point p) {
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = p.x;
    event.button.y = p.y;
    SDL_PushEvent(&event);
  }
  // Press and release both arrive before the next pass; then passes enough for the editor.
  static void QuickClick(Point p, Uint8 button = SDL_BUTTON_LEFT) {
    PushButton(button, true, p);
    PushButton(button, false, p);
    RunPasses(3);
  }
  static void PushKey(SDL_Scancode scancode, SDL_Keycode sym, bool down, bool repeat = false) {
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    SDL_PushEvent(&event);
  }
  static void TapKey(SDL_Scancode scancode, SDL_Keycode sym) {
    PushKey(scancode, sym, true);
    PushKey(scancode, sym, false);
    RunPasses(2);
  }
  static void PushText(const char* utf8) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, utf8, sizeof event.text.text);
    SDL_PushEvent(&event);
  }
  // The point of entry i of the open menu.
  static Point MenuEntry(int i) {
    return Point{ui->menuX + 20, ui->menuY + kMenuEntryHeight * i + kMenuEntryHeight / 2};
  }

  SceneObject* arm = nullptr;
};

TEST_F(EditorInput, ClicksShorterThanAPassSelectOpenMenusAndChoose) {
  QuickClick(ObjectRow(2));
  EXPECT_EQ(project.selected, arm);
  QuickClick(ObjectRow(2), SDL_BUTTON_RIGHT);
  ASSERT_TRUE(ui->menuOpen) << "a quick right click opens the object's menu";
  EXPECT_EQ(ui->menuId, 1);
  QuickClick(MenuEntry(2));  // "hide/show"
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(arm->hidden, 1);
  EXPECT_FALSE(ui->editing);
}

TEST_F(EditorInput, EscapeClosesAMenuWithoutChoosingAndDoesNothingElse) {
  project.selected = arm;
  RunCommand(kCommandAttachTo);
  ASSERT_TRUE(editor.attachMode);
  Click(ObjectRow(2), Button::kRight);
  ASSERT_TRUE(ui->menuOpen);
  const std::vector<uint8_t> before = WriteProject();
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_TRUE(editor.attachMode) << "the Escape that closed the menu cancels nothing else";
  EXPECT_EQ(WriteProject(), before) << "and chooses no entry";
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(editor.attachMode) << "the next Escape does";

  // A name being typed while a menu is open keeps its text.
  RunCommand(kCommandRenameObject);
  PushText("s");
  RunPasses(2);
  OpenMenu(10);
  RunPasses(1);
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(ui->menuOpen);
  ASSERT_TRUE(ui->editing);
  FinishTextEdit();
  EXPECT_STREQ(arm->name, "arms");
}

TEST_F(EditorInput, NamesTypedFasterThanPassesAndAHeldBackspaceReachTheField) {
  project.selected = arm;
  RunCommand(kCommandRenameObject);
  RunPasses(1);
  // Three repeats after the first press: four characters go.
  PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true);
  for (int i = 0; i < 3; ++i) PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, true, true);
  PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, false);
  RunPasses(6);
  EXPECT_STREQ(arm->name, "_");
  // A whole word between two passes, and characters with AltGr.
  PushText("K");
  PushText("i");
  PushText("te");
  SDL_SetModState(KMOD_RALT);
  PushText("@{");
  RunPasses(1);
  SDL_SetModState(KMOD_NONE);
  PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, true);
  PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, false);
  RunPasses(10);
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(arm->name, "Kite@{");
}

}  // namespace
