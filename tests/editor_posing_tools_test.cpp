// The posing tools of the edit view driven through the whole editor: picking an object by
// clicking its picture (Alt+click for the one below), the onion skin, the properties strip's
// typed values and the scale drag that follows the distance dragged.
#include <png.h>

#include <cmath>
#include <cstring>
#include <string>

#include "editor/commands.h"
#include "editor/history.h"
#include "editor/object_panel.h"
#include "editor/properties_strip.h"
#include "editor/view_window.h"
#include "export/export.h"
#include "images/image_bank.h"
#include "tests/editor_driver.h"
#include "tests/image_fixture.h"
#include "tests/png_compare.h"

namespace {

Point Offset(Point p, int dx, int dy) { return Point{p.x + dx, p.y + dy}; }

class PosingTools : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    directory_ = MakeWorkDirectory();
    editor.onionSkin = false;
    editor.onionFrames = 2;
  }
  void TearDown() override {
    editor.onionSkin = false;
    EditorTest::TearDown();
  }

  // A side x side picture in colour; with leftHalfOnly its right half is transparent.
  void WritePicture(const char* file, int side, Rgba colour, bool leftHalfOnly = false) {
    RgbaImage image(side, side, colour);
    for (int y = 0; y < side && leftHalfOnly; ++y) {
      for (int x = side / 2; x < side; ++x) image.Set(x, y, Rgba{0, 0, 0, 0});
    }
    const PngFormat rgba{PNG_COLOR_TYPE_RGB_ALPHA, 8};
    ASSERT_TRUE(WritePngFile(directory_ + "/" + file, image, rgba));
  }
  // An object under the root at (x, y, level) showing file on every frame.
  static SceneObject* AddPictured(const char* name, const char* file, float x, float y,
                                  float level) {
    SceneObject* object = CreateObject(nullptr);
    CopyName(object->name, kNameSize, name);
    object->keys->keys[0].position = Vec3{x, y, level};
    ImageTrack& images = *ImageTrackOf(object);
    const int entry = AddImageEntry(images, name, file) + 1;
    for (int f = 0; f < kMaxFrames; ++f) images.frameImage[f] = entry;
    return object;
  }
  static Point StripField(const SceneObject* object, int field) {
    int left = 0, right = 0;
    PropertyFieldSpan(object, field, &left, &right);
    return InView(static_cast<float>(right - 4),
                  static_cast<float>(CurrentLayout(kViewWindow).visibleHeight - 6));
  }
  // A click as quick as a person's: released in the pass after the press landed, before the
  // view has seen the press.
  static void QuickClick(Point p) {
    mouseState.x = mouseState.pressX = p.x;
    mouseState.y = mouseState.pressY = p.y;
    mouseState.left = 1;
    RunPasses(1);
    mouseState.left = 0;
    RunPasses(2);
  }
  // Types text into the strip's field of the selected object and ends with Enter or Escape.
  static void TypeValue(int field, const char* text, bool enter = true) {
    Click(StripField(project.selected, field));
    Type(text);
    Type(enter ? "\r" : "\x1b");
    RunPasses(1);
  }

  std::string directory_;
};

TEST_F(PosingTools, APictureCoversAPointOnlyWhereItsOwnPixelIsVisibleFlippedOrNot) {
  // 100 x 50, only the top left 10 x 10 pixels visible (alpha 1 counts).
  RgbaImage picture(100, 50, Rgba{0, 0, 0, 0});
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) picture.Set(x, y, Rgba{10, 20, 30, 1});
  }
  TiledImage* image = TileBuffer(picture.pixels.data(), 100, 50);
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(ImageCoversPoint(image, false, false, -49.5f, -24.5f));
  EXPECT_TRUE(ImageCoversPoint(image, false, false, -40.5f, -15.5f));
  EXPECT_FALSE(ImageCoversPoint(image, false, false, -39.5f, -24.5f));
  EXPECT_FALSE(ImageCoversPoint(image, false, false, 0, 0));  // inside the rectangle
  EXPECT_FALSE(ImageCoversPoint(image, false, false, -50.5f, -24.5f));  // outside it
  EXPECT_TRUE(ImageCoversPoint(image, true, false, 45, -20));  // mirrored about the centre
  EXPECT_FALSE(ImageCoversPoint(image, true, false, -45, -20));
  EXPECT_TRUE(ImageCoversPoint(image, true, true, 45, 20));
  FreeTiledImage(image);
}

TEST_F(PosingTools, AClickSelectsTheTopmostPictureWithAVisiblePixelThere) {
  WritePicture("under.png", 60, Rgba{200, 30, 30, 255});
  WritePicture("over.png", 60, Rgba{30, 30, 200, 255}, true);
  SceneObject* under = AddPictured("under", "under.png", 0, 0, 0);
  SceneObject* over = AddPictured("over", "over.png", 0, 0, 1);
  project.selected = project.root;
  RunPasses(1);

  Click(InView(370 - 15, 260));  // the left half: the upper picture's own pixels
  EXPECT_EQ(project.selected, over);
  Click(InView(370 + 15, 260));  // its transparent right half lets the click through
  EXPECT_EQ(project.selected, under);

  // Raised above the other, the lower one takes the click on the shared half.
  under->keys->keys[0].position.z = 2;
  RunPasses(1);
  Click(InView(370 - 15, 260));
  EXPECT_EQ(project.selected, under);

  // Hidden objects are not picked; a click on no picture changes nothing.
  under->hidden = 1;
  RunPasses(1);
  for (const Point p : {InView(370 - 15, 260), InView(370 + 15, 260), InView(100, 100)}) {
    Click(p);
    EXPECT_EQ(project.selected, over);
  }
}

TEST_F(PosingTools, AltClickReachesEveryPictureBelowAndDragsStillPan) {
  WritePicture("part.png", 60, Rgba{90, 160, 90, 255});
  SceneObject* low = AddPictured("low", "part.png", 0, 0, 0);
  SceneObject* middle = AddPictured("middle", "part.png", 10, 0, 1);
  SceneObject* top = AddPictured("top", "part.png", 20, 0, 2);
  project.selected = project.root;
  RunPasses(1);
  const Point shared = InView(370 + 10, 260 + 20);  // below the handles, in all three

  Click(shared);
  EXPECT_EQ(project.selected, top);
  HoldKey(kKeyLeftAlt);
  QuickClick(shared);
  EXPECT_EQ(project.selected, middle);
  Click(shared);
  EXPECT_EQ(project.selected, low);
  QuickClick(shared);
  EXPECT_EQ(project.selected, top);  // round again from the top

  // Alt+drag pans and picks nothing, from a picture as from empty space.
  Drag(shared, Offset(shared, 40, 0));
  ReleaseKey(kKeyLeftAlt);
  EXPECT_FLOAT_EQ(project.viewPanX, -40);
  EXPECT_EQ(project.selected, top);
  // So does a plain drag that starts on a picture.
  const Point moved = Offset(shared, 40, 0);
  Drag(moved, Offset(moved, 0, 30));
  EXPECT_FLOAT_EQ(project.viewPanY, -30);
  EXPECT_EQ(project.selected, top);

  // The camera view picks nothing.
  PressKey(kKeyTab);
  ASSERT_EQ(editor.viewMode, kCameraView);
  project.selected = project.root;
  Click(InView(370, 260));
  EXPECT_EQ(project.selected, project.root);
}

TEST_F(PosingTools, APickedObjectIsScrolledIntoTheObjectList) {
  WritePicture("dot.png", 20, Rgba{0, 0, 0, 255});
  SceneObject* last = nullptr;
  for (int i = 0; i < 60; ++i) last = CreateObject(nullptr);
  ImageTrack& images = *ImageTrackOf(last);
  images.frameImage[0] = AddImageEntry(images, "dot", "dot.png") + 1;
  last->keys->keys[0].position = Vec3{-200, -150, 0};
  editor.objectListScroll = 0;
  RunPasses(1);

  Click(InView(370 - 200, 260 - 150));
  ASSERT_EQ(project.selected, last);
  ASSERT_EQ(ObjectListRow(last), 61);  // after the scene and the camera
  // Its row is in sight now: clicking it there keeps it selected and starts its rename.
  const int scrolled = static_cast<int>(std::lround(editor.objectListScroll * (900 - 369)));
  EXPECT_GE(scrolled, 10 * 61 + 9 - 369);  // the row's last pixel in sight
  Click(Offset(ObjectRow(61), 0, -scrolled));
  EXPECT_EQ(project.selected, last);
  EXPECT_TRUE(ui->editing);
  FinishTextEdit();
}

TEST_F(PosingTools, OnionSkinTintsEarlierFramesRedAndLaterGreenFainterWithDistance) {
  // Half transparent, so its two visible tiles lie in a page twice as wide as tall.
  WritePicture("grey.png", 40, Rgba{128, 128, 128, 255}, true);
  SceneObject* object = AddPictured("walker", "grey.png", 0, 0, 0);
  object->keys->count = 0;
  for (int frame = 7; frame <= 13; ++frame) {
    Key key;
    key.frame = frame;
    key.position = Vec3{100.0f * static_cast<float>(frame - 10), 0, 0};
    ASSERT_GE(AddKey(*object->keys, key), 0);
  }
  project.selected = project.root;
  project.currentFrame = 10;
  editor.onionFrames = 3;
  RunPasses(1);
  auto at = [](int distance) {
    const Point p = InView(370.0f + 100.0f * static_cast<float>(distance) - 10, 260 + 10);
    return ReadPixel(p.x, p.y);
  };
  EXPECT_EQ(at(-1).r, at(-1).g);  // off: the view's plain background
  EXPECT_EQ(at(1).r, at(1).g);

  RecordEditNow();
  const int steps = UndoStepCount();
  PressKey(kKeyO);
  ASSERT_TRUE(editor.onionSkin);
  RunPasses(1);
  EXPECT_EQ(UndoStepCount(), steps);  // drawing other frames is no edit
  // Red before, green after, each step fainter: nearer the white background.
  for (int d = 1; d <= 3; ++d) {
    EXPECT_GT(at(-d).r, at(-d).g + 5) << d;
    EXPECT_GT(at(d).g, at(d).r + 5) << d;
    if (d == 3) break;
    EXPECT_LT(at(-d).g, at(-d - 1).g) << d;
    EXPECT_LT(at(d).r, at(d + 1).r) << d;
  }
  EXPECT_EQ(object->state.position.x, 0);  // the current pose is back, and keys unchanged
  EXPECT_EQ(object->keys->count, 7);

  // One frame each side, chosen from the view's menu (its eleventh entry, after the file commands
  // and the export size).
  Click(InView(600, 300), Button::kRight);
  ASSERT_TRUE(ui->menuOpen);
  EXPECT_STREQ(ui->extraLabels[0], "onion skin: 1 frame each side");
  EXPECT_STREQ(ui->extraLabels[2], "onion skin: 3 frames each side *");
  Click(Point{ui->menuX + 20, ui->menuY + 10 * kMenuEntryHeight + 5});
  EXPECT_EQ(editor.onionFrames, 1);
  EXPECT_GT(at(-1).r, at(-1).g + 5);
  EXPECT_EQ(at(-2).r, at(-2).g);

  // Never through the camera nor in exported pictures.
  PressKey(kKeyTab);
  EXPECT_EQ(at(-1).r, at(-1).g);
  char path[kDialogPathSize];
  std::snprintf(path, sizeof path, "%s/onion.png", directory_.c_str());
  ASSERT_TRUE(ExportAnimation(path, 10, 10, false));
  RgbImage picture;
  ASSERT_TRUE(ReadPngRgb((directory_ + "/onion_frame0000.png").c_str(), &picture));
  const uint8_t* earlier = &picture.rgb[((240 + 10) * picture.width + 320 - 90) * 3];
  EXPECT_EQ(earlier[0], earlier[1]);

  PressKey(kKeyO);
  EXPECT_FALSE(editor.onionSkin);
}

TEST_F(PosingTools, TypedValuesKeyTheCurrentFrameAndBadOnesChangeNothing) {
  SceneObject* object = CreateObject(nullptr);
  project.selected = object;
  project.currentFrame = 20;
  RunPasses(1);
  const int steps = UndoStepCount();

  TypeValue(kPropertyX, "12.5");
  ASSERT_EQ(object->keys->count, 2);
  EXPECT_EQ(object->keys->keys[1].frame, 20);
  EXPECT_FLOAT_EQ(object->keys->keys[1].position.x, 12.5f);
  EXPECT_FLOAT_EQ(object->state.position.x, 12.5f);
  EXPECT_EQ(UndoStepCount(), steps + 1);
  // A field starts from the value it shows, all of it selected, so typing replaces it.
  Click(StripField(object, kPropertyX));
  EXPECT_EQ(std::strncmp(editor.propertyText, "12.5", 4), 0) << editor.propertyText;
  Type("\x1b");
  RunPasses(1);
  TypeValue(kPropertyRotation, "-45");
  TypeValue(kPropertyScaleY, "2,5");  // a comma for the point
  EXPECT_EQ(object->keys->count, 2);  // the key of the frame takes them
  EXPECT_FLOAT_EQ(object->keys->keys[1].rotation, -45);
  EXPECT_FLOAT_EQ(object->keys->keys[1].scale.y, 2.5f);
  EXPECT_FLOAT_EQ(object->keys->keys[1].scale.x, 1);
  EXPECT_EQ(UndoStepCount(), steps + 3);

  // Escape, nothing typed, non-numbers and values out of range change nothing.
  const Key before = object->keys->keys[1];
  TypeValue(kPropertyY, "99", false);
  TypeValue(kPropertyY, "");
  for (const char* bad : {"abc", "1e", "nan", "200000", "--1"}) {
    TypeValue(kPropertyY, bad);
    EXPECT_NE(std::strstr(editor.propertyMessage, "-100000 to 100000"), nullptr) << bad;
  }
  TypeValue(kPropertyScaleX, "0");
  EXPECT_NE(std::strstr(editor.propertyMessage, "refused"), nullptr);
  EXPECT_EQ(std::memcmp(&before, &object->keys->keys[1], sizeof before), 0);
  EXPECT_EQ(object->keys->count, 2);
  EXPECT_EQ(UndoStepCount(), steps + 3);

  // Each applied value is one undo step.
  ASSERT_TRUE(UndoEdit());
  RunPasses(1);
  EXPECT_FLOAT_EQ(project.selected->keys->keys[1].scale.y, 1);
  EXPECT_FLOAT_EQ(project.selected->keys->keys[1].rotation, -45);

  // A full track takes no key on a frame without one, and says so.
  KeyTrack& track = *project.selected->keys;
  for (int frame = 100; track.count < kMaxKeys; ++frame) {
    Key key;
    key.frame = frame;
    ASSERT_GE(AddKey(track, key), 0);
  }
  project.currentFrame = 50;
  RunPasses(1);
  TypeValue(kPropertyX, "7");
  EXPECT_NE(std::strstr(editor.propertyMessage, "no room"), nullptr);
  EXPECT_EQ(FindKeyAtFrame(track, 50), -1);
}

TEST_F(PosingTools, TypedValuesChangeAnAlignmentDirectlyWithoutKeys) {
  SceneObject* object = CreateObject(nullptr);
  project.selected = object;
  RunPasses(1);
  EditAlignment();
  RunPasses(1);
  SceneObject* child = object->children[0];
  ASSERT_EQ(project.selected, child);
  TypeValue(kPropertyX, "-30");
  TypeValue(kPropertyLevel, "4");
  EXPECT_FLOAT_EQ(child->state.position.x, -30);
  EXPECT_FLOAT_EQ(child->state.position.z, 4);
  EXPECT_EQ(object->keys->count, 1);
}

TEST_F(PosingTools, TheScaleFollowsTheDistanceDraggedNotTheSpeed) {
  SceneObject* object = CreateObject(nullptr);
  project.selected = object;
  RunPasses(1);
  const Point handle = Offset(PivotOf(object), 0, kScaleHandleDY);
  auto dragScale = [&](int dy, int steps) {
    object->keys->keys[0].scale = Vec3{1, 1, 1};
    RunPasses(1);
    Drag(handle, Offset(handle, 0, dy), steps);
    return object->keys->keys[0].scale.x;
  };
  const float slowUp = dragScale(-100, 25), fastUp = dragScale(-100, 1);
  EXPECT_NEAR(slowUp, std::pow(1.1, 5), 1e-4);
  EXPECT_FLOAT_EQ(fastUp, slowUp);
  const float slowDown = dragScale(300, 30), fastDown = dragScale(300, 1);
  EXPECT_NEAR(fastDown, std::pow(1.1, -15), 1e-4);  // a quarter, not a few pixels
  EXPECT_FLOAT_EQ(fastDown, slowDown);
  // Back where it began, the scale is the one it started from.
  object->keys->keys[0].scale = Vec3{2, 2, 2};
  RunPasses(1);
  Press(handle);
  DragTo(Offset(handle, 0, 2000), 1);
  EXPECT_FLOAT_EQ(object->keys->keys[0].scale.x, kMinScale);
  DragTo(handle, 3);
  Release();
  EXPECT_FLOAT_EQ(object->keys->keys[0].scale.x, 2);
}

}  // namespace
