// The editor frame: window titles, the layout at the stored positions, the focused-window flags
// and what a new project keeps.
#include <cstring>
#include <string>

#include "tests/editor_driver.h"

namespace {

class EditorFrameTest : public EditorTest {};

std::string ImageTitle() {
  char title[kWindowTitleSize];
  FormatImageWindowTitle(title, sizeof title);
  return title;
}

std::string TimelineTitle() {
  char title[kWindowTitleSize];
  FormatTimelineWindowTitle(title, sizeof title);
  return title;
}

TEST_F(EditorFrameTest, TitlesNameTheSelectedObjectByTheirRules) {
  EXPECT_EQ(ImageTitle(), "Images");  // the root
  EXPECT_EQ(TimelineTitle(), "Scene   Timeline - frame 0  0:00  30 fps");
  project.selected = project.camera;
  EXPECT_EQ(ImageTitle(), "Images");
  EXPECT_EQ(TimelineTitle(), "Camera   Timeline - frame 0  0:00  30 fps");

  SceneObject* object = CreateObject(nullptr);
  CopyName(object->name, kNameSize, "arm 100%s");
  project.selected = object;
  project.fps = 24;
  EXPECT_EQ(ImageTitle(), "arm 100%s   Images");
  EXPECT_EQ(TimelineTitle(), "arm 100%s   Timeline - frame 0  0:00  24 fps");

  project.selected = object->children[0];  // its image child, while the alignment is edited
  EXPECT_EQ(ImageTitle(), "Images");
  EXPECT_EQ(TimelineTitle(), "Timeline - frame 0  0:00  24 fps");

  // A name as long as names get still leaves the words after it.
  std::string longName(kNameSize - 1, 'n');
  CopyName(object->name, kNameSize, longName.c_str());
  project.selected = object;
  EXPECT_EQ(ImageTitle(), longName + "   Images");

  EXPECT_STREQ(ViewWindowTitle(), "View - Edit");
  PressKey(kKeyTab);
  EXPECT_STREQ(ViewWindowTitle(), "View - Camera");
}

TEST_F(EditorFrameTest, WindowsAreDrawnAtTheirStoredPositions) {
  const Rgb background{255, 247, 242}, list{209, 212, 204};
  auto same = [](Rgb a, Rgb b) {
    return std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1;
  };
  const Rgb atList = ReadPixel(800 + 100, 10 + 12 + 300);
  EXPECT_TRUE(same(atList, list));
  EXPECT_TRUE(same(ReadPixel(770, 700), background));

  // (770, 700) lies in the gap between the view and timeline and the windows on the right.
  editor.objectWindow = {760, 380};
  RunPasses(1);
  EXPECT_TRUE(same(ReadPixel(800 + 100, 10 + 12 + 300), background));
  EXPECT_TRUE(same(ReadPixel(770, 700), list));

  // Positions last for the run, not for the project.
  NewProject();
  RunPasses(1);
  EXPECT_EQ(editor.objectWindow.x, 760);
  EXPECT_TRUE(same(ReadPixel(770, 700), list));
}

TEST_F(EditorFrameTest, TheObjectWindowFlagFollowsTheFocus) {
  Click(ObjectRow(1));
  EXPECT_TRUE(editor.objectWindowActive);
  Click(InView(600, 450));
  EXPECT_FALSE(editor.objectWindowActive);
  Click(ObjectRow(0));
  EXPECT_TRUE(editor.objectWindowActive);
  // A press on no window leaves the focus where it was.
  Click(Point{1010, 750});
  EXPECT_TRUE(editor.objectWindowActive);
}

TEST_F(EditorFrameTest, ANewProjectEndsANameBeingTyped) {
  SceneObject* object = CreateObject(nullptr);
  RunPasses(1);
  Click(ObjectRow(2));
  Click(ObjectRow(2));
  ASSERT_TRUE(ui->editing);
  ASSERT_EQ(project.selected, object);
  NewProject();  // frees the object whose name was being typed
  EXPECT_FALSE(ui->editing);
  Type("zz");  // must reach no freed name
  EXPECT_STREQ(project.root->name, "Scene");
  EXPECT_EQ(editor.dragState, kDragNone);
  EXPECT_FALSE(editor.attachMode);
}

}  // namespace
