// The editor fed through the window layer's real events: clicks shorter than a pass, Escape over
// an open menu, names typed faster than passes, a held Backspace and AltGr, the cursor keys in a
// name.
#include "app/app.h"
#include "editor/commands.h"
#include "tests/editor_driver.h"

namespace {

class EditorInput : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    arm = CreateObject(nullptr);
    CopyName(arm->name, kNameSize, "arm");
    project.selected = arm;
    RunPasses(1);
  }
  void TearDown() override {
    if (ui->editing) FinishTextEdit();
    ui->menuOpen = 0;
    editor.attachMode = false;
    SDL_SetModState(KMOD_NONE);
    EditorTest::TearDown();
  }

  static void Push(SDL_Event event) { SDL_PushEvent(&event); }
  // Press and release both arrive before the next pass.
  static void QuickClick(Point p, Uint8 button = SDL_BUTTON_LEFT) {
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
      SDL_Event event{};
      event.type = type;
      event.button.button = button;
      event.button.x = p.x;
      event.button.y = p.y;
      Push(event);
    }
    RunPasses(3);
  }
  static void PushKey(SDL_Scancode scancode, SDL_Keycode sym, Uint32 type, bool repeat = false) {
    SDL_Event event{};
    event.type = type;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    Push(event);
  }
  static void TapKey(SDL_Scancode scancode, SDL_Keycode sym) {
    PushKey(scancode, sym, SDL_KEYDOWN);
    PushKey(scancode, sym, SDL_KEYUP);
    RunPasses(2);
  }
  static void PushText(const char* utf8) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, utf8, sizeof event.text.text);
    Push(event);
  }

  SceneObject* arm = nullptr;
};

TEST_F(EditorInput, ClicksShorterThanAPassSelectOpenMenusAndChoose) {
  project.selected = project.root;
  QuickClick(ObjectRow(2));
  EXPECT_EQ(project.selected, arm);
  QuickClick(ObjectRow(2), SDL_BUTTON_RIGHT);
  ASSERT_TRUE(ui->menuOpen) << "a quick right click opens the object's menu";
  EXPECT_EQ(ui->menuId, 1);
  QuickClick(Point{ui->menuX + 20, ui->menuY + 2 * kMenuEntryHeight + 5});  // "hide/show"
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(arm->hidden, 1);
}

TEST_F(EditorInput, EscapeClosesAMenuWithoutChoosingAndDoesNothingElse) {
  RunCommand(kCommandAttachTo);
  Click(ObjectRow(2), Button::kRight);
  ASSERT_TRUE(ui->menuOpen);
  const std::vector<uint8_t> before = WriteProject();
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_TRUE(editor.attachMode) << "the Escape that closed the menu cancels nothing else";
  EXPECT_EQ(WriteProject(), before) << "and chooses no entry";
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(editor.attachMode) << "the next Escape does";

  // Nor does it cancel a name being typed.
  RunCommand(kCommandRenameObject);
  TapKey(SDL_SCANCODE_END, SDLK_END);  // after the selected name
  PushText("s");
  OpenMenu(10);
  RunPasses(2);
  TapKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_FALSE(ui->menuOpen);
  ASSERT_TRUE(ui->editing);
  FinishTextEdit();
  EXPECT_STREQ(arm->name, "arms");
}

TEST_F(EditorInput, NamesTypedFasterThanPassesAndAHeldBackspaceReachTheField) {
  RunCommand(kCommandRenameObject);
  RunPasses(1);
  // A press and two repeats: three characters go.
  PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, SDL_KEYDOWN);
  for (int i = 0; i < 2; ++i) PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, SDL_KEYDOWN, true);
  PushKey(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, SDL_KEYUP);
  RunPasses(4);
  EXPECT_STREQ(arm->name, "_");
  // A whole word between two passes, then characters typed with AltGr.
  for (const char* text : {"K", "i", "te"}) PushText(text);
  SDL_SetModState(KMOD_RALT);
  PushText("@{");
  RunPasses(1);
  SDL_SetModState(KMOD_NONE);
  PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, SDL_KEYDOWN);
  RunPasses(8);
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(arm->name, "Kite@{");
}

// A rename shows the selected name on a dark band; the cursor keys arrive as the text's own
// keys, in the order typed, and never step frames or go to the play range's ends.
TEST_F(EditorInput, ARenameShowsItsSelectionAndTakesTheCursorKeys) {
  project.currentFrame = 5;
  RunCommand(kCommandRenameObject);
  RunPasses(1);
  // Below the glyphs of the name, on arm's row (depth 1: the name starts 14 pixels in).
  const int x = editor.objectWindow.x + 1 + 14 + 2;
  const int y = editor.objectWindow.y + kTitleBarHeight + 10 * 2 + 8;
  const Rgb band = ReadPixel(x, y);
  EXPECT_NEAR(band.r, 77, 2);
  EXPECT_NEAR(band.g, 77, 2);
  TapKey(SDL_SCANCODE_END, SDLK_END);
  EXPECT_STREQ(arm->name, "arm_");
  EXPECT_NEAR(ReadPixel(x, y).g, 158, 2) << "the selected row's colour again";

  for (int i = 0; i < 2; ++i) PushKey(SDL_SCANCODE_LEFT, SDLK_LEFT, SDL_KEYDOWN, i > 0);
  PushKey(SDL_SCANCODE_LEFT, SDLK_LEFT, SDL_KEYUP);
  PushText("X");
  TapKey(SDL_SCANCODE_DELETE, SDLK_DELETE);
  RunPasses(2);  // one typed key a pass
  EXPECT_STREQ(arm->name, "aX_m");
  TapKey(SDL_SCANCODE_HOME, SDLK_HOME);
  PushText("<");
  TapKey(SDL_SCANCODE_RETURN, SDLK_RETURN);
  RunPasses(1);
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(arm->name, "<aXm");
  EXPECT_EQ(project.currentFrame, 5);
  EXPECT_EQ(project.selected, arm) << "Delete belonged to the name";
}

}  // namespace
