// Scroll bars, in-place text editing and context menus.
#include <cstring>
#include <string>

#include "tests/ui_fixture.h"

namespace {

// A window at (100, 100) with a scroll area 198 x 99 at (1, 12) over 400 x 99 content: only a
// horizontal bar, in screen rows 203..210. Bar length 198, travel 182, so the thumb starts at
// screen x 101 + round(182 * scroll).
class ScrollBar : public UiTest {
 protected:
  int windowX = 100, windowY = 100;
  float scrollX = 0, scrollY = 0;
  int contentH = 99;

  void RunFrame() {
    Frame([&] {
      int w = 200, h = 100;
      Window(&windowX, &windowY, &w, &h, "list", "listwin");
      ScrollArea(1, 12, 198, 99, &scrollX, &scrollY, 400, contentH, 10, "listscroll");
      EndRegion();
      EndRegion();
    });
  }
  void Press(int x, int y) {
    PressLeft(x, y);
    RunFrame();  // lands
    RunFrame();  // delivered
  }
};

TEST_F(ScrollBar, APressBesideTheThumbCentresItUnderThePointerThenDrags) {
  Press(101 + 8 + 91, 206);  // the middle of the travel
  EXPECT_NEAR(scrollX, 0.5f, 1e-4);
  MoveTo(101 + 8 + 91 + 40, 206);
  RunFrame();
  EXPECT_NEAR(scrollX, (91 + 40) / 182.0f, 1e-4);
  MoveTo(600, 206);  // past the end
  RunFrame();
  EXPECT_EQ(scrollX, 1.0f);
  ReleaseAll();
  RunFrame();
  RunFrame();
  MoveTo(150, 206);
  RunFrame();
  EXPECT_EQ(scrollX, 1.0f) << "no drag after the release";
}

TEST_F(ScrollBar, APressOnTheThumbDragsItWithoutAJump) {
  scrollX = 0.25f;
  const int thumbLeft = 101 + 46;  // round(182 * 0.25) = 45.5 -> 46
  Press(thumbLeft + 2, 207);
  EXPECT_FLOAT_EQ(scrollX, 0.25f);
  MoveTo(thumbLeft + 2 + 91, 300);  // leaving the bar vertically does not matter
  RunFrame();
  EXPECT_NEAR(scrollX, 0.75f, 1e-4);
  MoveTo(0, 207);
  RunFrame();
  EXPECT_EQ(scrollX, 0.0f);
}

TEST_F(ScrollBar, ContentNoLargerThanTheViewportHasNoBarAndNoScroll) {
  scrollY = 0.7f;  // content height equals the viewport's
  RunFrame();
  EXPECT_EQ(scrollY, 0.0f);
  float sx = 0.4f, sy = 0.6f;
  Frame([&] {
    BeginRegion("w", 0, 0, 0, 0, 300, 300);
    ScrollArea(0, 0, 100, 100, &sx, &sy, 100, 100, 10, "exact");
    EXPECT_EQ(ui->regionW[ui->depth], 100);
    EXPECT_EQ(ui->regionH[ui->depth], 100);
    EXPECT_EQ(ui->regionScrollX[ui->depth], 0);
    EndRegion();
    EndRegion();
  });
  EXPECT_EQ(sx, 0.0f);
  EXPECT_EQ(sy, 0.0f);
}

TEST_F(ScrollBar, ContentScrollsByTheFractionOfItsOverhang) {
  float sx = 0.5f, sy = 0.25f;
  int viewX = 0, viewY = 0;
  Frame([&] {
    BeginRegion("w", 10, 20, 0, 0, 300, 300);
    ScrollArea(0, 0, 108, 108, &sx, &sy, 300, 500, 10, "both");
    // Both bars take 8 pixels: the viewport is 100 x 100.
    EXPECT_EQ(ui->regionW[ui->depth], 100);
    EXPECT_EQ(ui->regionH[ui->depth], 100);
    viewX = ui->originX;
    viewY = ui->originY;
    EndRegion();
    EndRegion();
  });
  EXPECT_EQ(viewX, 10 - 100);  // (300 - 100) * 0.5
  EXPECT_EQ(viewY, 20 - 100);  // (500 - 100) * 0.25
}

class TextField : public UiTest {
 protected:
  char name[128] = "Arm";
  void Type(uint8_t c) {
    typedChar = c;
    Frame();
  }
};

TEST_F(TextField, TypingBackspaceAndEnter) {
  StartTextEdit(name, sizeof name);
  EXPECT_STREQ(name, "Arm_");
  Type('s');
  EXPECT_STREQ(name, "Arms_");
  EXPECT_EQ(typedChar, 0) << "the field consumes the character";
  Type(0xE4);  // ä
  EXPECT_STREQ(name, "Arms\xE4_");
  Type(8);
  EXPECT_STREQ(name, "Arms_");
  Type(7);  // not a character a name takes
  EXPECT_STREQ(name, "Arms_");
  Type(13);
  EXPECT_STREQ(name, "Arms");
  EXPECT_FALSE(ui->editing);
  Type('x');
  EXPECT_STREQ(name, "Arms");
  EXPECT_EQ(typedChar, 'x') << "without a field the character is left alone";
}

TEST_F(TextField, TheFortyEighthCharacterIsIgnored) {
  name[0] = '\0';
  StartTextEdit(name, sizeof name);
  for (int i = 0; i < 60; ++i) Type('a' + i % 26);
  EXPECT_EQ(std::strlen(name), 48u);  // 47 characters and the cursor
  EXPECT_EQ(name[47], '_');
  FinishTextEdit();
  EXPECT_EQ(std::strlen(name), 47u);
}

TEST_F(TextField, BackspaceOnAnEmptyFieldDoesNothing) {
  name[0] = '\0';
  StartTextEdit(name, sizeof name);
  Type(8);
  Type(8);
  EXPECT_STREQ(name, "_");
  Type('b');
  EXPECT_STREQ(name, "b_");
}

TEST_F(TextField, EscapeRestoresTheTextAsItWas) {
  StartTextEdit(name, sizeof name);
  Type('x');
  Type(8);
  Type(8);
  EXPECT_STREQ(name, "Ar_");
  HoldKey(kKeyEscape, true);
  Type(27);
  EXPECT_STREQ(name, "Arm");
  EXPECT_FALSE(ui->editing);
}

TEST_F(TextField, APressAnywhereKeepsTheTypedText) {
  StartTextEdit(name, sizeof name);
  Type('y');
  PressRight(500, 500);
  Frame();
  EXPECT_STREQ(name, "Army");
  EXPECT_FALSE(ui->editing);
}

TEST_F(TextField, StartingAnotherEditFinishesTheFirst) {
  char other[64] = "Leg";
  typedChar = 'q';
  StartTextEdit(name, sizeof name);
  EXPECT_EQ(typedChar, 0) << "a pending character is discarded";
  StartTextEdit(other, sizeof other);
  EXPECT_STREQ(name, "Arm");
  EXPECT_STREQ(other, "Leg_");
  CancelTextEdit();
  EXPECT_STREQ(other, "Leg");
}

TEST_F(TextField, SmallAndFullBuffersAreNeverOverrun) {
  // Room for three characters: the field stops there.
  char small[5] = "";
  StartTextEdit(small, sizeof small);
  for (int i = 0; i < 10; ++i) Type('z');
  EXPECT_STREQ(small, "zzz_");
  FinishTextEdit();
  EXPECT_STREQ(small, "zzz");

  // A name that fills its buffer gives up its last character to the cursor while edited;
  // Escape brings it back whole.
  char full[128];
  std::memset(full, 'n', 127);
  full[127] = '\0';
  StartTextEdit(full, sizeof full);
  EXPECT_EQ(std::strlen(full), 127u);
  EXPECT_EQ(full[126], '_');
  Type('k');
  EXPECT_EQ(std::strlen(full), 127u) << "no character fits";
  HoldKey(kKeyEscape, true);
  Type(27);
  EXPECT_EQ(std::string(full), std::string(127, 'n'));
}

// The cursor "_" stands where it is in the text: Home, End, Left and Right move it, Backspace
// removes the character before it and Delete the one after; finishing takes it out from there.
// A rename starts with the whole text selected: the first character replaces it, Delete empties
// it, Left and Right end the selection at its start and end.
TEST_F(TextField, TheCursorKeysAndASelectedTextEditWhereTheCursorIs) {
  std::strcpy(name, "arm_l");
  StartTextEdit(name, sizeof name);
  for (uint8_t key : {kTypedHome, kTypedLeft, uint8_t('L'), kTypedRight, kTypedRight}) Type(key);
  Type(kTypedDelete);
  EXPECT_STREQ(name, "Lar__l");
  Type(8);
  EXPECT_STREQ(name, "La__l");
  for (uint8_t key : {kTypedEnd, kTypedRight, kTypedDelete, kTypedLeft, kTypedLeft}) Type(key);
  EXPECT_STREQ(name, "La__l");
  FinishTextEdit();
  EXPECT_STREQ(name, "La_l") << "the cursor leaves from the middle, the name's underscore stays";

  StartTextEdit(name, sizeof name, true);
  Type('x');
  EXPECT_STREQ(name, "x_");
  HoldKey(kKeyEscape, true);
  Type(27);
  HoldKey(kKeyEscape, false);
  EXPECT_STREQ(name, "La_l") << "Escape restores the name";
  StartTextEdit(name, sizeof name, true);
  Type(kTypedDelete);
  EXPECT_STREQ(name, "_");
  CancelTextEdit();
  StartTextEdit(name, sizeof name, true);
  Type(kTypedLeft);
  Type('<');
  Type(kTypedEnd);
  Type('>');
  FinishTextEdit();
  EXPECT_STREQ(name, "<La_l>");

  // A field with no room left still takes a character in place of its selection.
  char small[5] = "abc";
  StartTextEdit(small, sizeof small, true);
  for (uint8_t key : {'z', 'y', 'x', 'w'}) Type(key);
  FinishTextEdit();
  EXPECT_STREQ(small, "zyx");
}

class Menu : public UiTest {
 protected:
  // Opens a menu with the pointer at (x, y), in the frame after a right press there, and
  // returns with the menu open and its first frame drawn.
  void OpenAt(int menu, int x, int y) {
    PressRight(x, y);
    Frame();
    ReleaseAll();
    Frame([&] { OpenMenu(menu); });
  }
};

TEST_F(Menu, TablesHoldTheFourteenMenus) {
  EXPECT_EQ(kMenus[1].count, 6);
  EXPECT_STREQ(kMenus[1].labels[4], "delete [DEL]");
  EXPECT_EQ(kMenus[6].width, 90);
  EXPECT_STREQ(kMenus[10].labels[4], "export with motion blur");
  EXPECT_EQ(kMenus[13].count, 8);
  EXPECT_STREQ(kMenus[13].labels[7], "60 fps (NTSC)");
  for (const MenuEntryList& menu : kMenus) {
    for (int i = 0; i < menu.count; ++i) EXPECT_LT(std::strlen(menu.labels[i]), 32u);
  }
}

TEST_F(Menu, ALeftPressOnAnEntryYieldsItsCode) {
  OpenAt(3, 400, 300);  // menu at (390, 296), entries 10 high
  EXPECT_EQ(ui->menuX, 390);
  EXPECT_EQ(ui->menuY, 296);
  PressLeft(420, 296 + 10 + 5);
  EXPECT_EQ(Frame(), 31);
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(ui->savedMouseX, -1);
}

TEST_F(Menu, TheBoundaryBetweenTwoEntriesBelongsToTheLowerOne) {
  OpenAt(1, 400, 300);
  PressLeft(420, 296 + 20);
  EXPECT_EQ(Frame(), 12);
}

TEST_F(Menu, APressOutsideTheEntriesClosesItWithNoCommand) {
  OpenAt(3, 400, 300);
  PressLeft(420, 296 + 30);  // the outline row below the last entry
  EXPECT_EQ(Frame(), -1);
  EXPECT_FALSE(ui->menuOpen);
}

TEST_F(Menu, ARightPressClosesItAndOpensNothingAndReachesNoWindow) {
  int x = 300, y = 250;
  WindowView view;
  OpenAt(12, 400, 300);
  ReleaseAll();
  PressRight(320, 300);
  EXPECT_EQ(Frame([&] {
              view = OpenWindow(&x, &y, 200, 150, "lanes");
              if (view.flags.rightPressed) OpenMenu(11);
            }),
            -1);
  EXPECT_FALSE(ui->menuOpen);
  for (int frame = 0; frame < 3; ++frame) {
    Frame([&] {
      view = OpenWindow(&x, &y, 200, 150, "lanes");
      EXPECT_FALSE(view.flags.rightPressed);
      if (view.flags.rightPressed) OpenMenu(11);
    });
    EXPECT_FALSE(ui->menuOpen);
  }
}

TEST_F(Menu, WhileOpenNoWindowSeesThePointerOrAPress) {
  int x = 300, y = 250;
  WindowView view;
  OpenAt(0, 320, 300);
  MoveTo(350, 320);
  Frame([&] { view = OpenWindow(&x, &y, 200, 150, "under"); });
  EXPECT_EQ(view.mouseX, -1);
  EXPECT_EQ(view.mouseY, -1);
  EXPECT_TRUE(ui->menuOpen);
}

TEST_F(Menu, TheOpeningFrameHighlightsNothingAndTakesNoPress) {
  PressRight(500, 400);
  Frame();
  // The same press is still held and a left press arrives as the menu opens: nothing is chosen.
  PressLeft(500, 400);
  EXPECT_EQ(Frame([&] { OpenMenu(2); }), -1);
  EXPECT_TRUE(ui->menuOpen);
  EXPECT_EQ(ui->savedMouseX, -1);
  EXPECT_EQ(ui->savedMouseY, -1);
}

TEST_F(Menu, HoverHighlightsTheEntryUnderThePointer) {
  OpenAt(6, 400, 300);
  MoveTo(395, 296 + 15);
  ClearScreen(0, 0, 0);
  Frame();
  Rgb hovered = ReadPixel(470, 296 + 19), plain = ReadPixel(470, 296 + 9);
  EXPECT_NEAR(hovered.r, 115, 2);  // palette 8
  EXPECT_EQ(plain.r, 255);         // palette 9
}

TEST_F(Menu, StaysOnScreenAtTheRightAndBottomEdgesOnly) {
  OpenAt(13, logicalWidth - 5, logicalHeight - 5);
  EXPECT_EQ(ui->menuX, logicalWidth - 120);
  EXPECT_EQ(ui->menuY, logicalHeight - 80);
  PressLeft(logicalWidth - 60, logicalHeight - 5);
  EXPECT_EQ(Frame(), 137);

  OpenAt(0, 3, 2);
  EXPECT_EQ(ui->menuX, -7);
  EXPECT_EQ(ui->menuY, -2);
}

}  // namespace
