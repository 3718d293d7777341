// The image list driven through the whole editor: which track is listed, the invisible row,
// choosing images by pressing and sweeping the frame column (with and without a frame range),
// selection and rename, the two menus, the window's title and how rows are drawn.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "editor/image_panel.h"
#include "tests/editor_driver.h"
#include "tests/image_fixture.h"
#include "tests/png_compare.h"

namespace {

constexpr Rgb kListBackground{209, 212, 204};  // palette 10
constexpr Rgb kSelectedBar{153, 158, 145};     // palette 15
constexpr Rgb kShownColumn{179, 153, 140};     // palette 0

bool Near(Rgb a, Rgb b) {
  return std::abs(a.r - b.r) <= 2 && std::abs(a.g - b.g) <= 2 && std::abs(a.b - b.b) <= 2;
}

class ImageList : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    editor.imageListScroll = 0;
    project.currentFrame = 10;
    // Every entry names this picture unless a test says otherwise.
    ASSERT_TRUE(WriteSolidPng(MakeWorkDirectory() + "/x.png"));
  }

  // An ordinary object with images named by names (nullptr ends the list), selected.
  static SceneObject* ObjectWithImages(std::initializer_list<const char*> names) {
    SceneObject* object = CreateObject(nullptr);
    for (const char* name : names) AddImageEntry(*object->children[0]->images, name, "x.png");
    project.selected = object;
    RunPasses(1);
    return object;
  }
  static ImageTrack& Images(SceneObject* object) { return *object->children[0]->images; }

  // Client pixel of a point of the list's content (scrolled to the top).
  static Point InList(int x, int y) {
    return Point{editor.imageWindow.x + 1 + x, editor.imageWindow.y + kTitleBarHeight + y};
  }
  static Point FrameColumn(int row) { return InList(12, 10 * row + 5); }
  static Point NamePart(int row) { return InList(120, 10 * row + 5); }
  static Rgb ListPixel(int x, int y) {
    const Point p = InList(x, y);
    return ReadPixel(p.x, p.y);
  }
  // The rightmost column of row r's text band (x 1..189) that is not list background, or -1.
  static int RightmostInk(int r) {
    const Point p = InList(1, 10 * r);
    const RgbImage band = ReadBackRgb(p.x, p.y, 189, 9);
    int right = -1;
    for (int y = 0; y < band.height; ++y) {
      for (int x = 0; x < band.width; ++x) {
        const uint8_t* c = &band.rgb[3 * (y * band.width + x)];
        if (!Near(Rgb{c[0], c[1], c[2]}, kListBackground) && x + 1 > right) right = x + 1;
      }
    }
    return right;
  }
  // Pixels of row r's text band in colour.
  static int PixelsOf(int r, Rgb colour) {
    const Point p = InList(1, 10 * r);
    const RgbImage band = ReadBackRgb(p.x, p.y, 189, 9);
    int n = 0;
    for (size_t i = 0; i < band.rgb.size(); i += 3) {
      n += Near(Rgb{band.rgb[i], band.rgb[i + 1], band.rgb[i + 2]}, colour);
    }
    return n;
  }
  static void CloseMenu() { Click(Point{1010, 750}); }
  static void EndRename() {
    typedChar = 13;
    RunPasses(1);
  }
};

TEST_F(ImageList, ANewObjectShowsTheInvisibleRowSelectedAndShown) {
  ObjectWithImages({});
  EXPECT_TRUE(Near(ListPixel(150, 5), kSelectedBar));
  EXPECT_TRUE(Near(ListPixel(3, 5), kShownColumn));  // no frame shows an image yet
  EXPECT_GT(RightmostInk(0), 60);                    // "--- : <Invisible>"
  EXPECT_EQ(RightmostInk(1), -1);                    // nothing below it
  EXPECT_TRUE(Near(ListPixel(150, 15), kListBackground));

  // Another row selected (one the track does not have, as after a delete or in another
  // object's list): no bar, and the invisible row's words turn grey-green.
  editor.selectedImageRow = 7;
  RunPasses(1);
  EXPECT_TRUE(Near(ListPixel(150, 5), kListBackground));
  EXPECT_GT(PixelsOf(0, kSelectedBar), 10);
}

TEST_F(ImageList, TheRootTheCameraAndAnImageChildListNothingAndOpenNoMenu) {
  SceneObject* object = ObjectWithImages({"body"});
  for (SceneObject* selected : {project.root, project.camera, object->children[0]}) {
    project.selected = selected;
    RunPasses(1);
    EXPECT_EQ(RightmostInk(0), -1);
    Click(NamePart(0), Button::kRight);
    Click(NamePart(4), Button::kRight);
    EXPECT_FALSE(ui->menuOpen);
    Press(FrameColumn(0));
    Release();
  }
  // An ordinary object whose first child carries no image track (as a damaged project could
  // hold): an empty list, not a crash.
  object->children[0]->images.reset();
  project.selected = object;
  RunPasses(1);
  EXPECT_EQ(RightmostInk(0), -1);
  Press(FrameColumn(0));
  Release();
}

TEST_F(ImageList, PressingAndSweepingTheFrameColumnChoosesTheImage) {
  SceneObject* object = ObjectWithImages({"body", "arm"});
  ImageTrack& track = Images(object);
  Click(FrameColumn(2));
  EXPECT_EQ(track.frameImage[10], 2);
  EXPECT_EQ(track.frameImage[9], 0);
  EXPECT_EQ(track.frameImage[11], 0);
  // The shown row: its frame column filled and the row outlined.
  EXPECT_TRUE(Near(ListPixel(3, 25), kShownColumn));
  EXPECT_FALSE(Near(ListPixel(3, 5), kShownColumn));

  // Held and swept up the column: row by row, the last row touched wins.
  Press(FrameColumn(2));
  MoveMouse(FrameColumn(1));
  EXPECT_EQ(track.frameImage[10], 1);
  MoveMouse(FrameColumn(0));
  EXPECT_EQ(track.frameImage[10], 0);
  MoveMouse(FrameColumn(1));
  Release();
  EXPECT_EQ(track.frameImage[10], 1);
  MoveMouse(FrameColumn(2));  // the button is up: nothing changes
  EXPECT_EQ(track.frameImage[10], 1);

  // A press in the name part that slides into the column assigns too.
  Press(NamePart(2));
  MoveMouse(FrameColumn(2));
  Release();
  EXPECT_EQ(track.frameImage[10], 2);
  EXPECT_EQ(editor.selectedImageRow, 2);
}

TEST_F(ImageList, OnlyAPressOnTheListSweeps) {
  SceneObject* object = ObjectWithImages({"body", "arm"});
  ImageTrack& track = Images(object);
  // From the scroll bar across to the column.
  const Point bar{editor.imageWindow.x + 1 + 194, FrameColumn(1).y};
  Press(bar);
  EXPECT_EQ(editor.selectedImageRow, 0);  // the bar lies over row 1's name part
  MoveMouse(FrameColumn(1));
  Release();
  EXPECT_EQ(track.frameImage[10], 0);

  // From a context menu entry that lies over the column: the press picks the entry and the
  // button is still held when the menu has gone.
  Click(InList(32, 15), Button::kRight);
  ASSERT_TRUE(ui->menuOpen);
  const Point entry{ui->menuX + 3, FrameColumn(2).y};
  ASSERT_GE(entry.x, InList(0, 0).x);
  ASSERT_LT(entry.x, InList(kFrameColumnWidth, 0).x);
  ASSERT_GE(entry.y, ui->menuY + kMenuEntryHeight);  // "flip horizontally"
  ASSERT_LT(entry.y, ui->menuY + 2 * kMenuEntryHeight);
  Press(entry);
  MoveMouse(Point{entry.x, FrameColumn(1).y});
  Release();
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(track.frameImage[10], 0);
}

TEST_F(ImageList, ASelectedRangeTakesTheImageOnEveryFrame) {
  SceneObject* object = ObjectWithImages({"body", "arm"});
  ImageTrack& track = Images(object);
  project.currentFrame = 20;
  editor.selectionStart = 20;
  editor.selectionEnd = 29;
  RunPasses(1);
  Click(FrameColumn(1));
  for (int f = 20; f <= 29; ++f) EXPECT_EQ(track.frameImage[f], 1) << f;
  EXPECT_EQ(track.frameImage[19], 0);
  EXPECT_EQ(track.frameImage[30], 0);

  // A range that reaches past the frame table is cut to it.
  editor.selectionStart = -40;
  editor.selectionEnd = kMaxFrames + 500;
  Click(FrameColumn(2));
  EXPECT_EQ(track.frameImage[0], 2);
  EXPECT_EQ(track.frameImage[kMaxFrames - 1], 2);
  // Nothing before the frame table was written either (the last entry's file field lies there).
  const ImageEntry& last = track.entries[kMaxImages - 1];
  for (char c : last.file) ASSERT_EQ(c, '\0');
  editor.selectionStart = editor.selectionEnd = -1;

  // A current frame outside the table (the project file reader takes any number) is not
  // written, and the row shown there is none.
  project.currentFrame = kMaxFrames + 3;
  AssignImageRow(track, 1);
  project.currentFrame = -2;
  AssignImageRow(track, 1);
  EXPECT_EQ(track.frameImage[kMaxFrames - 1], 2);
  EXPECT_EQ(track.frameImage[0], 2);
  AssignImageRow(track, 3);  // no such row
  project.currentFrame = 5;
  AssignImageRow(track, 3);
  EXPECT_EQ(track.frameImage[5], 2);
}

TEST_F(ImageList, RightClicksOpenTheImageMenuOrTheListMenu) {
  ObjectWithImages({"body", "arm"});
  Click(NamePart(2), Button::kRight);
  EXPECT_TRUE(ui->menuOpen);
  EXPECT_EQ(ui->menuId, 8);
  EXPECT_EQ(editor.selectedImageRow, 2);
  CloseMenu();

  Click(NamePart(0), Button::kRight);  // selects the invisible row, opens nothing
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(editor.selectedImageRow, 0);

  Click(NamePart(6), Button::kRight);  // below the rows
  EXPECT_TRUE(ui->menuOpen);
  EXPECT_EQ(ui->menuId, 7);
  EXPECT_EQ(editor.selectedImageRow, 0);
  CloseMenu();
}

TEST_F(ImageList, ASecondClickOnAnEntryRenamesIt) {
  SceneObject* object = ObjectWithImages({"body", "arm"});
  ImageTrack& track = Images(object);
  Click(NamePart(0));
  Click(NamePart(0));
  EXPECT_FALSE(ui->editing);  // the invisible row has no name

  Click(NamePart(2));
  EXPECT_EQ(editor.selectedImageRow, 2);
  EXPECT_FALSE(ui->editing);
  EXPECT_TRUE(editor.imageWindowActive);
  Click(NamePart(2));
  ASSERT_TRUE(ui->editing);
  EXPECT_STREQ(track.entries[1].name, "arm_");
  Type("s");
  PressKey(kKeyDelete);  // belongs to the text while it is typed: the entry stays
  EndRename();
  EXPECT_STREQ(track.entries[1].name, "s") << "typing replaced the selected name";
  EXPECT_STREQ(track.entries[1].file, "x.png");

  // A right press below the rows ends a rename and keeps the text.
  Click(NamePart(1));
  Click(NamePart(1));
  ASSERT_TRUE(ui->editing);
  Type("y");
  Click(NamePart(8), Button::kRight);
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(track.entries[0].name, "y");
  CloseMenu();
}

TEST_F(ImageList, DeletedEntriesAndStrangeNamesAreDrawnAsTheyAre) {
  SceneObject* object = ObjectWithImages({"50%s%n%d", "gone"});
  ImageTrack& track = Images(object);
  RunPasses(1);
  // The name is text: the ink ends where the plain text ends.
  const int width = 5 + TextWidthFormat("%.3i: %s", 0, track.entries[0].name);
  EXPECT_GE(RightmostInk(1), width - 4);
  EXPECT_LE(RightmostInk(1), width + 1);

  // Delete in the focused list frees the entry's slot; the row stays with its number only and
  // can still be chosen for a frame.
  Click(NamePart(2));
  PressKey(kKeyDelete);
  Click(NamePart(0));  // the deleted row without the selection bar
  EXPECT_STREQ(track.entries[1].name, "");
  EXPECT_STREQ(track.entries[1].file, "");
  EXPECT_EQ(track.count, 2);
  const int numberOnly = 5 + TextWidthFormat("%.3i: ", 1);
  EXPECT_LE(RightmostInk(2), numberOnly + 1);
  EXPECT_GT(RightmostInk(2), 10);
  Click(FrameColumn(2));
  EXPECT_EQ(track.frameImage[10], 2);
}

// An entry whose file is missing or broken shows nothing in the view; the list names it in
// the red of a clip without its sound, and says which.
TEST_F(ImageList, EntriesWhoseFileCannotBeLoadedAreMarkedInRed) {
  constexpr Rgb kRed{255, 0, 0};
  ASSERT_TRUE(WriteFileBytes(workDirectory_ + "/torn.png", {0x89, 'P', 'N', 'G', '\r', '\n'}));
  SceneObject* object = ObjectWithImages({"good", "gone", "torn"});
  ImageTrack& track = Images(object);
  CopyName(track.entries[1].file, kFileNameSize, "gone.png");
  CopyName(track.entries[2].file, kFileNameSize, "torn.png");
  RunPasses(1);
  EXPECT_EQ(PixelsOf(1, kRed), 0);
  EXPECT_GT(PixelsOf(2, kRed), 20);
  EXPECT_GT(PixelsOf(3, kRed), 20);
  EXPECT_NEAR(RightmostInk(1), 5 + TextWidthFormat("%.3i: good", 0), 3);
  EXPECT_NEAR(RightmostInk(2), 5 + TextWidthFormat("%.3i: gone (missing)", 1), 3);
  EXPECT_NEAR(RightmostInk(3), 5 + TextWidthFormat("%.3i: torn (unreadable)", 2), 3);

  // Once the file is there the entry is drawn as any other.
  ASSERT_TRUE(WriteSolidPng(workDirectory_ + "/gone.png"));
  RunPasses(1);
  EXPECT_EQ(PixelsOf(2, kRed), 0);
  EXPECT_NEAR(RightmostInk(2), 5 + TextWidthFormat("%.3i: gone", 1), 3);
}

TEST_F(ImageList, ASelectedRowBeyondTheTrackIsHarmless) {
  SceneObject* object = ObjectWithImages({"body", "arm", "leg"});
  Click(NamePart(3));
  SceneObject* other = ObjectWithImages({"hat"});  // the row stays at 3 for this list
  EXPECT_EQ(editor.selectedImageRow, 3);
  PressKey(kKeyDelete);
  EXPECT_STREQ(Images(other).entries[0].name, "hat");
  Click(NamePart(1));
  EXPECT_EQ(editor.selectedImageRow, 1);

  project.selected = object;
  RunPasses(1);
  editor.selectedImageRow = 99;
  RunPasses(1);
  Click(NamePart(2));
  EXPECT_FALSE(ui->editing);
  NewProject();
  EXPECT_EQ(editor.selectedImageRow, 0);
  RunPasses(1);
}

// The title bar of the image window compared with a window of the same name drawn alone with
// the expected title.
class ImageListTitle : public ImageList {
 protected:
  static RgbImage DrawnTitleBar() {
    return ReadBackRgb(editor.imageWindow.x, editor.imageWindow.y, 200, kTitleBarHeight);
  }
  static RgbImage ExpectedTitleBar(const char* title) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(1.0f, 0.97f, 0.95f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    BeginFrame();
    std::snprintf(ui->idSuffix, sizeof ui->idSuffix, "%.8X", 1);
    BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
    int x = editor.imageWindow.x, y = editor.imageWindow.y;
    const int w = 200, h = 300;
    Window(&x, &y, &w, &h, title, "imagewin");
    EndRegion();
    EndRegion();
    glDisable(GL_BLEND);
    return DrawnTitleBar();
  }
  static int Differences(const RgbImage& a, const RgbImage& b) {
    return CompareImages(a, b, 8).differingPixels;
  }
};

TEST_F(ImageListTitle, NamesOrdinaryObjectsOnly) {
  SceneObject* arm = CreateObject(nullptr);
  CopyName(arm->name, kNameSize, "arm");
  const struct {
    SceneObject* selected;
    const char* title;
  } cases[] = {{project.root, "Images"}, {project.camera, "Images"}, {arm, "arm   Images"}};
  for (const auto& c : cases) {
    project.selected = c.selected;
    RunPasses(1);
    const RgbImage drawn = DrawnTitleBar();
    EXPECT_EQ(Differences(ExpectedTitleBar(c.title), drawn), 0) << c.title;
    EXPECT_GT(Differences(ExpectedTitleBar("arm   Image"), drawn), 0) << c.title;
  }
}

}  // namespace
