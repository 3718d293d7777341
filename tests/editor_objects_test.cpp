// The object list driven through the whole editor: which objects are listed, selection and
// rename, DEL and INSERT with their latches, attach mode, menus, and how rows are drawn.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "editor/object_panel.h"
#include "tests/editor_driver.h"
#include "tests/png_compare.h"

namespace {

constexpr Rgb kListBackground{209, 212, 204};  // palette 10
constexpr Rgb kSelectedRow{153, 158, 145};     // palette 15
constexpr Rgb kMarkedRow{179, 153, 140};       // palette 0
constexpr Rgb kDepthBar{115, 120, 130};        // palette 8

bool Near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

class ObjectList : public EditorTest {
 protected:
  // Client pixel of a point of the list's content (scrolled to the top).
  static Point InList(int x, int y) {
    return Point{editor.objectWindow.x + 1 + x, editor.objectWindow.y + kTitleBarHeight + y};
  }
  static Rgb ListPixel(int x, int y) {
    const Point p = InList(x, y);
    return ReadPixel(p.x, p.y);
  }
  // Pixels of row r's text band (x 4..179) that differ from the list's background.
  static int InkInRow(int r) {
    const Point p = InList(4, 10 * r);
    const RgbImage band = ReadBackRgb(p.x, p.y, 176, 9);
    int ink = 0;
    for (size_t i = 0; i < band.rgb.size(); i += 3) {
      if (!Near(Rgb{band.rgb[i], band.rgb[i + 1], band.rgb[i + 2]}, kListBackground)) ++ink;
    }
    return ink;
  }
  // Gives the list the keyboard focus by clicking row r, which selects its object.
  static void ClickRow(int r) { Click(ObjectRow(r)); }
  static void EndRename() {
    typedChar = 13;
    RunPasses(1);
  }
};

TEST_F(ObjectList, ANewProjectListsSceneAndCameraOnly) {
  EXPECT_GT(InkInRow(0), 0);
  EXPECT_GT(InkInRow(1), 0);
  EXPECT_EQ(InkInRow(2), 0);
  ClickRow(1);
  EXPECT_EQ(project.selected, project.camera);
  ClickRow(2);  // no row there
  EXPECT_EQ(project.selected, project.camera);

  SceneObject* object = CreateObject(nullptr);
  RunPasses(1);
  EXPECT_GT(InkInRow(2), 0);
  EXPECT_EQ(InkInRow(3), 0);  // its image child "a" is not listed
  ClickRow(2);
  EXPECT_EQ(project.selected, object);
}

TEST_F(ObjectList, ASecondClickRenamesOrdinaryObjectsOnly) {
  ClickRow(1);
  ClickRow(1);
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(project.camera->name, "Camera");
  ClickRow(0);
  ClickRow(0);
  EXPECT_FALSE(ui->editing);

  SceneObject* object = CreateObject(nullptr);
  const std::string name = object->name;
  ClickRow(2);
  EXPECT_FALSE(ui->editing);
  ClickRow(2);
  ASSERT_TRUE(ui->editing);
  EXPECT_EQ(std::string(object->name), name + "_");  // the toolkit's cursor
  Type("x");
  EndRename();
  EXPECT_EQ(std::string(object->name), "x") << "typing replaced the selected name";
}

TEST_F(ObjectList, ChangingTheSelectionForgetsTheSelectedKey) {
  project.selectedKey = 0;
  ClickRow(1);
  EXPECT_EQ(project.selectedKey, -1);
}

TEST_F(ObjectList, HoldingInsertAddsOneObjectAsASiblingAndRenamesIt) {
  ClickRow(0);  // the root: its new object goes under it
  PressKey(kKeyInsert, 5);
  ASSERT_EQ(project.root->childCount, 2);
  SceneObject* first = project.root->children[1];
  EXPECT_EQ(project.selected, first);
  EXPECT_TRUE(ui->editing);
  EXPECT_EQ(first->name[std::strlen(first->name) - 1], '_');
  EndRename();

  SceneObject* inner = CreateObject(first);
  RunPasses(1);
  ClickRow(3);  // first's child
  ASSERT_EQ(project.selected, inner);
  PressKey(kKeyInsert);
  ASSERT_EQ(first->childCount, 3);  // image child, inner and the new sibling
  EXPECT_EQ(project.selected, first->children[2]);
  EndRename();

  ClickRow(1);  // the camera: the new object becomes a child of the root
  PressKey(kKeyInsert);
  EXPECT_EQ(project.root->childCount, 3);
  EXPECT_EQ(project.selected, project.root->children[2]);
  EndRename();
}

TEST_F(ObjectList, InsertUnderAFullParentDoesNothing) {
  while (project.root->childCount < kMaxChildren) ASSERT_NE(CreateObject(nullptr), nullptr);
  ClickRow(2);
  SceneObject* selected = project.selected;
  ASSERT_EQ(selected, project.root->children[1]);
  const int objects = CountObjects(project.root);
  PressKey(kKeyInsert);
  EXPECT_EQ(CountObjects(project.root), objects);
  EXPECT_EQ(project.selected, selected);
  EXPECT_FALSE(ui->editing);
}

TEST_F(ObjectList, DeleteRemovesTheSubtreeOnceAndSelectsTheParent) {
  SceneObject* a = CreateObject(nullptr);
  CreateObject(a);
  CreateObject(nullptr);
  RunPasses(1);
  ClickRow(2);
  ASSERT_EQ(project.selected, a);
  PressKey(kKeyDelete, 5);  // held: one object goes
  EXPECT_EQ(project.selected, project.root);
  EXPECT_EQ(project.root->childCount, 2);
  EXPECT_EQ(CountObjects(project.root), 4);  // root, camera, the other object and its "a"

  PressKey(kKeyDelete);  // the root stays
  ClickRow(1);
  PressKey(kKeyDelete);  // and so does the camera
  EXPECT_EQ(CountObjects(project.root), 4);
  EXPECT_EQ(project.selected, project.camera);
}

TEST_F(ObjectList, DeleteActsOnlyInTheFocusedListAndNotWhileANameIsTyped) {
  SceneObject* object = CreateObject(nullptr);
  RunPasses(1);
  ClickRow(2);
  Click(InView(600, 450));  // the view takes the focus
  ASSERT_FALSE(editor.objectWindowActive);
  PressKey(kKeyDelete);
  EXPECT_EQ(project.root->childCount, 2);

  ClickRow(2);
  ClickRow(2);  // renaming it
  ASSERT_TRUE(ui->editing);
  PressKey(kKeyDelete);
  EXPECT_EQ(project.root->childCount, 2);
  EXPECT_EQ(project.selected, object);
  Type("q");
  EndRename();
  EXPECT_EQ(object->name[std::strlen(object->name) - 1], 'q');
}

TEST_F(ObjectList, AttachModeCancelsOnTheSelectedObjectOrItsParent) {
  SceneObject* a = CreateObject(nullptr);
  SceneObject* b = CreateObject(a);
  RunPasses(1);
  ClickRow(3);
  ASSERT_EQ(project.selected, b);
  editor.attachMode = true;
  ClickRow(3);  // the selected object itself: an ordinary click, which renames
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(b->parent, a);
  EndRename();

  editor.attachMode = true;
  ClickRow(2);  // its parent: selects the parent
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(b->parent, a);
  EXPECT_EQ(project.selected, a);
}

TEST_F(ObjectList, AttachingKeepsTheObjectInPlaceWithOneKeyAtFrameZero) {
  SceneObject* a = CreateObject(nullptr);
  a->keys->keys[0].position = Vec3{100, 50, 2};
  a->keys->keys[0].rotation = 30;
  a->keys->keys[0].scale = Vec3{2, 2, 2};
  SceneObject* b = CreateObject(nullptr);
  b->keys->keys[0].position = Vec3{-40, 20, 0};
  Key later = b->keys->keys[0];
  later.frame = 30;
  later.position = Vec3{80, -60, 0};
  AddKey(*b->keys, later);
  project.currentFrame = 10;
  RunPasses(1);
  ClickRow(3);
  ASSERT_EQ(project.selected, b);
  const Vec3 before = b->state.screenPos;

  editor.attachMode = true;
  RunPasses(1);
  ClickRow(2);
  EXPECT_FALSE(editor.attachMode);
  ASSERT_EQ(b->parent, a);
  EXPECT_EQ(project.selected, b);
  EXPECT_EQ(b->keys->count, 1);
  EXPECT_EQ(b->keys->keys[0].frame, 0);
  EXPECT_NEAR(b->state.screenPos.x, before.x, 0.01);
  EXPECT_NEAR(b->state.screenPos.y, before.y, 0.01);
}

TEST_F(ObjectList, AttachModeRefusesTheOwnSubtreeAFullParentAndTheCamera) {
  SceneObject* b = CreateObject(nullptr);
  SceneObject* full = CreateObject(nullptr);
  while (full->childCount < kMaxChildren) ASSERT_NE(CreateObject(full), nullptr);
  RunPasses(1);

  project.selected = full;
  editor.attachMode = true;
  RunPasses(1);
  ClickRow(4);  // full's first listed child, inside its own subtree
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(full->parent, project.root);
  EXPECT_EQ(full->childCount, kMaxChildren);

  project.selected = b;
  editor.attachMode = true;
  RunPasses(1);
  ClickRow(3);  // full
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(b->parent, project.root);

  // The mode survives a right click, which may select the camera; the camera stays put.
  editor.attachMode = true;
  Click(ObjectRow(1), Button::kRight);
  EXPECT_TRUE(editor.attachMode);
  EXPECT_EQ(project.selected, project.camera);
  EXPECT_EQ(ui->menuId, 0);
  Click(Point{1010, 750});  // closes the menu
  ClickRow(2);
  EXPECT_FALSE(editor.attachMode);
  EXPECT_EQ(project.camera->parent, project.root);
}

TEST_F(ObjectList, RightClicksOpenTheObjectMenuOrTheListMenu) {
  CreateObject(nullptr);
  RunPasses(1);
  const struct {
    Point at;
    int menu;
  } cases[] = {{ObjectRow(2), 1}, {ObjectRow(0), 0}, {ObjectRow(1), 0}, {ObjectRow(20), 0}};
  for (const auto& c : cases) {
    Click(c.at, Button::kRight);
    EXPECT_TRUE(ui->menuOpen);
    EXPECT_EQ(ui->menuId, c.menu);
    Click(Point{1010, 750});
  }
}

TEST_F(ObjectList, RowsShowSelectionDepthMarkedSubtreeAndHiddenObjects) {
  SceneObject* a = CreateObject(nullptr);
  CreateObject(a);
  SceneObject* other = CreateObject(nullptr);
  project.selected = a;
  RunPasses(1);
  EXPECT_TRUE(Near(ListPixel(150, 24), kSelectedRow));
  EXPECT_TRUE(Near(ListPixel(5, 24), kDepthBar));    // depth 1: 12 pixels wide
  EXPECT_TRUE(Near(ListPixel(11, 24), kDepthBar));
  EXPECT_TRUE(Near(ListPixel(150, 34), kListBackground));
  EXPECT_TRUE(Near(ListPixel(21, 34), kDepthBar));   // depth 2: 22 pixels wide

  editor.attachMode = true;
  RunPasses(1);
  EXPECT_TRUE(Near(ListPixel(150, 24), kMarkedRow));
  EXPECT_TRUE(Near(ListPixel(150, 34), kMarkedRow));  // the child, part of the subtree
  EXPECT_TRUE(Near(ListPixel(150, 44), kListBackground));
  editor.attachMode = false;

  auto inkAtH = [&] {
    const Point p = InList(kHiddenMarkX, 40);
    const RgbImage box = ReadBackRgb(p.x, p.y, 7, 9);
    int ink = 0;
    for (size_t i = 0; i < box.rgb.size(); i += 3) ink += box.rgb[i] < 100;
    return ink;
  };
  RunPasses(1);
  EXPECT_EQ(inkAtH(), 0);
  other->hidden = 1;
  RunPasses(1);
  EXPECT_GT(inkAtH(), 4);
}

TEST_F(ObjectList, TheScrollBarAndRowsOutOfSightTakeNoClicks) {
  ClickRow(1);
  const Point bar{editor.objectWindow.x + 1 + 194, ObjectRow(0).y};
  Click(bar);  // the bar's top end lies over the root's row
  EXPECT_EQ(project.selected, project.camera);
}

TEST_F(ObjectList, AListLongerThanNinetyRowsScrollsToItsLastRow) {
  SceneObject* last = nullptr;
  for (int group = 0; group < 2; ++group) {
    SceneObject* parent = CreateObject(nullptr);
    for (int i = 0; i < 60; ++i) last = CreateObject(parent);
  }
  RunPasses(1);
  const int row = ObjectListRow(last);
  ASSERT_EQ(row, 123);
  const WindowLayout& layout = CurrentLayout(kObjectWindow);
  ASSERT_GE(layout.contentHeight, kObjectRowHeight * (row + 1));
  ScrollObjectListToShow(last);
  RunPasses(1);
  const int scrolled = static_cast<int>(
      std::lround(editor.objectListScroll * (layout.contentHeight - layout.visibleHeight)));
  Click(Point{ObjectRow(row).x, ObjectRow(row).y - scrolled});
  EXPECT_EQ(project.selected, last);
}

TEST_F(ObjectList, NamesAreShownAsTheyAre) {
  SceneObject* object = CreateObject(nullptr);
  CopyName(object->name, kNameSize, "50%s%n%d");
  project.selected = object;
  RunPasses(1);
  EXPECT_GT(InkInRow(2), 0);
  // The name plate is as wide as the plain text: outlined at both ends, nothing beyond.
  const int x = static_cast<int>(std::lround(object->state.screenPos.x));
  const int y = static_cast<int>(std::lround(object->state.screenPos.y));
  const int w = TextWidth(object->name);
  const Point left = InView(x - w / 2 - 3, y + 24), right = InView(x - w / 2 + w + 2, y + 24);
  EXPECT_LT(ReadPixel(left.x, left.y).r, 30);
  EXPECT_LT(ReadPixel(right.x, right.y).r, 30);
  EXPECT_GT(ReadPixel(right.x + 1, right.y).r, 200);
}

}  // namespace
