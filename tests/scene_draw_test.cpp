// Scene drawing, rendered and read back: painting order by accumulated level, hidden subtrees,
// the overlay by selection and key state, nothing of the overlay while exporting, and the queue's
// order and capacity.
#include <GL/gl.h>
#include <png.h>

#include <cmath>
#include <limits>
#include <random>

#include "images/image_bank.h"
#include "scene/animation.h"
#include "scene/draw.h"
#include "tests/image_fixture.h"
#include "ui/ui.h"

namespace {

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr int kOriginX = 400, kOriginY = 300;  // where the scene's origin is drawn

class SceneDraw : public ImageTest {
 protected:
  void SetUp() override {
    ImageTest::SetUp();
    NewProject();
    imageDrawList.count = 0;
    for (const auto& [name, colour] : {std::pair{"red.png", kRed}, std::pair{"green.png", kGreen},
                                       std::pair{"blue.png", kBlue}}) {
      ASSERT_TRUE(WritePngFile(PathOf(name), RgbaImage(60, 60, colour),
                               PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8}));
    }
  }
  void TearDown() override {
    exporting = false;
    ImageTest::TearDown();
  }

  // A new object under parent (the root when null) at (x, y) and level z, showing file on the
  // current frame through its image child "a".
  static SceneObject* AddImageObject(SceneObject* parent, const char* file, float x, float y,
                                     float z = 0) {
    SceneObject* object = CreateObject(parent);
    EXPECT_NE(object, nullptr);
    object->state.position = Vec3{x, y, z};
    ImageTrack& track = *object->children[0]->images;
    const int entry = AddImageEntry(track, file, file);
    EXPECT_TRUE(SetFrameImage(track, project.currentFrame, entry + 1));
    return object;
  }

  // The view's order for one picture: queue reset, image pass, sort, draw, then the overlay.
  static void DrawPicture(bool onKeyFrame, bool overlay, bool editView = true) {
    glLoadIdentity();
    glTranslatef(kOriginX, kOriginY, 0);
    imageDrawList.count = 0;
    DrawObject(project.root, onKeyFrame, false, 0);
    SortQueue();
    DrawQueue();
    if (overlay) DrawObject(project.root, onKeyFrame, true, 0, editView);
  }

  static Rgba At(int x, int y) { return ScreenAt(kOriginX + x, kOriginY + y); }

  // Non-white pixels of one row from scene x0 to x1 (inclusive).
  static int MarkedPixels(int y, int x0, int x1) {
    int marked = 0;
    for (int x = x0; x <= x1; ++x) marked += !(At(x, y) == kWhite);
    return marked;
  }
};

bool Near(Rgba a, Rgba b, int tolerance = 3) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// An exchange sort of neighbours, repeated until nothing moves: the reference order.
void ExchangeSort(std::vector<SortEntry>& order) {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (size_t k = 0; k + 1 < order.size(); ++k) {
      if (order[k].level > order[k + 1].level) {
        std::swap(order[k], order[k + 1]);
        swapped = true;
      }
    }
  }
}

}  // namespace

TEST_F(SceneDraw, EqualLevelsPaintInTreeOrderAndARaisedLevelComesToTheFront) {
  SceneObject* first = AddImageObject(nullptr, "red.png", 0, 0);
  AddImageObject(nullptr, "blue.png", 10, 0);
  DrawPicture(false, false);
  EXPECT_EQ(At(15, 0), kBlue);   // the later sibling lies on top
  EXPECT_EQ(At(-25, 0), kRed);

  first->state.position.z = 1;
  ClearScreen(kWhite);
  DrawPicture(false, false);
  EXPECT_EQ(At(15, 0), kRed);
  EXPECT_EQ(At(35, 0), kBlue);
}

TEST_F(SceneDraw, LevelsAddUpDownTheTree) {
  // Parent at level 5 whose image child sits at -10: the image paints at level -5, between an
  // object at -6 and one at -4.
  SceneObject* parent = AddImageObject(nullptr, "red.png", 0, 0, 5);
  parent->children[0]->state.position.z = -10;
  AddImageObject(nullptr, "green.png", -20, 0, -6);
  AddImageObject(nullptr, "blue.png", 20, 0, -4);
  project.selected = parent->children[0];
  DrawPicture(false, false);

  ASSERT_EQ(imageDrawList.count, 3);
  EXPECT_FLOAT_EQ(imageDrawList.order[0].level, -6);
  EXPECT_FLOAT_EQ(imageDrawList.order[1].level, -5);
  EXPECT_FLOAT_EQ(imageDrawList.order[2].level, -4);
  EXPECT_FLOAT_EQ(selectedLevel, -5);
  EXPECT_EQ(At(-40, 0), kGreen);
  EXPECT_EQ(At(-20, 0), kRed);   // red over green
  EXPECT_EQ(At(0, 0), kBlue);    // blue over both
  EXPECT_EQ(At(40, 0), kBlue);
}

TEST_F(SceneDraw, ObjectTransformsPlaceTheImage) {
  // Translate, then scale, then turn: turned a quarter clockwise and then stretched twice along
  // x, the 60 x 60 image covers x 40..160 and y 20..80 around the pivot (100, 50).
  SceneObject* parent = AddImageObject(nullptr, "red.png", 100, 50);
  parent->state.rotation = 90;
  parent->state.scale = Vec3{2, 1, 1};
  SceneObject* child = AddImageObject(parent, "blue.png", 40, 0);
  child->children[0]->state.scale = Vec3{0.5f, 0.5f, 1};
  DrawPicture(false, false);
  EXPECT_EQ(At(41, 21), kRed);
  EXPECT_EQ(At(158, 78), kRed);
  EXPECT_EQ(At(38, 50), kWhite);
  EXPECT_EQ(At(100, 18), kWhite);
  // The child, 40 along the parent's turned x axis, is at (100, 90); its half-size image covers
  // x 70..130 and y 75..105.
  EXPECT_EQ(At(100, 90), kBlue);
  EXPECT_EQ(At(128, 103), kBlue);
  EXPECT_EQ(At(132, 90), kWhite);
  EXPECT_EQ(At(100, 107), kWhite);
}

TEST_F(SceneDraw, HiddenObjectHidesItsWholeSubtreeInBothPasses) {
  SceneObject* parent = AddImageObject(nullptr, "red.png", -100, 0);
  SceneObject* child = AddImageObject(parent, "blue.png", 50, 0);
  AddImageObject(nullptr, "green.png", 100, 0);
  parent->hidden = 1;
  project.selected = child;
  selectedLevel = 123;
  DrawPicture(true, true);
  EXPECT_EQ(imageDrawList.count, 1);
  EXPECT_EQ(At(-100, 10), kWhite);
  EXPECT_EQ(At(-50, 20), kWhite);  // neither image nor selection frame of the hidden child
  EXPECT_EQ(At(-50 + 64, 20), kWhite);
  EXPECT_EQ(At(100, 10), kGreen);
  EXPECT_FLOAT_EQ(selectedLevel, 123);  // not visited

  parent->hidden = 0;
  child->children[0]->hidden = 1;  // only the child's image
  ClearScreen(kWhite);
  DrawPicture(false, false);
  EXPECT_EQ(At(-100, 0), kRed);
  EXPECT_EQ(At(-40, 0), kWhite);
}

TEST_F(SceneDraw, SelectionFrameIsPinkAndThreeWideOnAKeyFrameGreyAndTwoWideElsewhere) {
  SceneObject* object = CreateObject(nullptr);
  object->state.position = Vec3{0, 0, 0};
  project.selected = object;

  DrawPicture(true, true);
  EXPECT_TRUE(Near(At(64, 20), Rgba{255, 191, 191, 255})) << int(At(64, 20).g);
  EXPECT_EQ(MarkedPixels(20, 54, 74), 3);
  EXPECT_EQ(MarkedPixels(20, -74, -54), 3);
  EXPECT_EQ(MarkedPixels(-30, 54, 74), 3);

  ClearScreen(kWhite);
  DrawPicture(false, true);
  EXPECT_TRUE(Near(At(64, 20), Rgba{204, 204, 204, 255})) << int(At(64, 20).r);
  EXPECT_EQ(MarkedPixels(20, 54, 74), 2);
  // The cross through the pivot is one pixel wide.
  EXPECT_EQ(MarkedPixels(20, -10, 10), 1);

  // The frame turns and stretches with the object.
  object->state.scale = Vec3{1.5f, 1, 1};
  ClearScreen(kWhite);
  DrawPicture(false, true);
  EXPECT_EQ(MarkedPixels(20, 54, 74), 0);
  EXPECT_EQ(MarkedPixels(20, 86, 106), 2);
}

TEST_F(SceneDraw, FramesBySizeOfKindAndTheAlignmentParentInBlack) {
  project.selected = project.camera;
  DrawPicture(false, true);
  EXPECT_EQ(MarkedPixels(100, 310, 330), 2);  // the camera's 640 x 480 frame
  EXPECT_EQ(MarkedPixels(237, -10, 5), 1);    // only its vertical cross line near the bottom

  SceneObject* object = CreateObject(nullptr);
  project.selected = object->children[0];
  project.alignmentParent = object;
  object->children[0]->state.position = Vec3{200, 0, 0};
  ClearScreen(kWhite);
  DrawPicture(false, true);
  EXPECT_TRUE(Near(At(64, 20), Rgba{128, 128, 128, 255}, 2)) << int(At(64, 20).r);
  EXPECT_TRUE(Near(At(200 + 64, 20), Rgba{204, 204, 204, 255}));
}

TEST_F(SceneDraw, GridAndSelectionMarksNeverAppearWhileExporting) {
  AddImageObject(nullptr, "red.png", 0, 0);
  SceneObject* mover = CreateObject(nullptr);
  mover->state.autoVelocity = 0;
  mover->state.velocity = Vec3{10, 0, 0};
  project.selected = mover;

  exporting = true;
  DrawPicture(true, false);
  const RgbaImage images = ReadScreen(0, 0, 1024, 768);
  DrawObject(project.root, true, true, 0, true);
  const RgbaImage withOverlay = ReadScreen(0, 0, 1024, 768);
  EXPECT_EQ(ComparePictures(images, withOverlay).pixels, 0);

  exporting = false;
  DrawObject(project.root, true, true, 0, true);
  const RgbaImage editing = ReadScreen(0, 0, 1024, 768);
  EXPECT_GT(ComparePictures(images, editing).pixels, 1000);
  // The grid: axes darker than the other lines, every 128 units. A line on a pixel boundary
  // lands on one of the two rows beside it.
  auto lineAt = [](int x, int y, Rgba colour) {
    return Near(At(x, y - 1), colour, 4) != Near(At(x, y), colour, 4);
  };
  EXPECT_TRUE(lineAt(200, 128, Rgba{204, 214, 224, 255}));
  EXPECT_TRUE(lineAt(200, -256, Rgba{204, 214, 224, 255}));
  EXPECT_TRUE(lineAt(200, 0, Rgba{153, 153, 153, 255}));
  EXPECT_EQ(MarkedPixels(100, 120, 140), 1);
  EXPECT_EQ(MarkedPixels(100, 150, 250), 0);
}

TEST_F(SceneDraw, VelocityArrowOnlyOnAKeyFrameWithHandSetVelocityInTheEditView) {
  SceneObject* parent = CreateObject(nullptr);
  parent->state.position = Vec3{-100, 0, 0};
  SceneObject* mover = CreateObject(parent);
  mover->state.position = Vec3{0, 100, 0};
  mover->state.velocity = Vec3{10, 0, 0};
  mover->state.autoVelocity = 0;
  project.selected = mover;
  const Rgba orange{255, 153, 0, 255};

  DrawPicture(true, true);
  // In the parent's space from (0, 100) to (50, 100), the head's strokes back from the tip.
  EXPECT_EQ(At(-100 + 25, 100), orange);
  EXPECT_EQ(At(-100 + 41, 100 - 5), orange);
  EXPECT_EQ(At(-100 + 41, 100 + 5), orange);

  const struct {
    bool onKeyFrame, editView;
    uint8_t autoVelocity;
  } without[] = {{false, true, 0}, {true, false, 0}, {true, true, 1}};
  for (const auto& c : without) {
    mover->state.autoVelocity = c.autoVelocity;
    ClearScreen(kWhite);
    DrawPicture(c.onKeyFrame, true, c.editView);
    EXPECT_FALSE(Near(At(-100 + 25, 100), orange, 60));
  }

  // No velocity: a dot of a line and no head, and nothing undefined.
  mover->state.autoVelocity = 0;
  mover->state.velocity = Vec3{0, 0, 3};
  ClearScreen(kWhite);
  DrawPicture(true, true);
  EXPECT_FALSE(Near(At(-100 - 15, 100 - 9), orange, 60));
}

TEST_F(SceneDraw, DeepTreesLeaveTheViewMatrixAsItWas) {
  // 60 nested objects, each one unit to the right of its parent: deeper than OpenGL's
  // model-view stack, which has room for 32.
  SceneObject* parent = nullptr;
  for (int depth = 0; depth < 60; ++depth) {
    parent = CreateObject(parent);
    parent->state.position = Vec3{1, 0, 0};
  }
  ImageTrack& track = *parent->children[0]->images;
  SetFrameImage(track, 0, AddImageEntry(track, "red", "red.png") + 1);
  project.selected = parent;

  while (glGetError() != GL_NO_ERROR) {
  }
  glLoadIdentity();
  glTranslatef(kOriginX, kOriginY, 0);
  float before[16], after[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, before);
  DrawPicture(false, true);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]) << i;
  EXPECT_EQ(At(60 - 29, 10), kRed);
  EXPECT_EQ(At(60 + 29, 10), kRed);
  EXPECT_EQ(At(60 - 31, 10), kWhite);
}

TEST_F(SceneDraw, ImagesThatCannotBeLoadedAreSkipped) {
  AddImageObject(nullptr, "missing.png", -50, 0);
  AddImageObject(nullptr, "blue.png", 50, 0);
  SceneObject* free = AddImageObject(nullptr, "red.png", 0, 100);
  free->children[0]->images->entries[0].file[0] = '\0';  // a deleted entry
  DrawPicture(false, false);
  EXPECT_EQ(imageDrawList.count, 3);
  EXPECT_EQ(At(-50, 0), kWhite);
  EXPECT_EQ(At(50, 0), kBlue);
  EXPECT_EQ(At(0, 100), kWhite);
  EXPECT_EQ(imageBank.count, 1);
}

TEST_F(SceneDraw, OnlyTheCurrentFramesImageIsQueued) {
  SceneObject* object = AddImageObject(nullptr, "red.png", 0, 0);
  ImageTrack& track = *object->children[0]->images;
  AddImageEntry(track, "blue", "blue.png");
  ASSERT_TRUE(SetFrameImage(track, 7, 2));
  project.currentFrame = 7;
  DrawPicture(false, false);
  EXPECT_EQ(At(0, 0), kBlue);
  project.currentFrame = 8;  // no image on this frame
  ClearScreen(kWhite);
  DrawPicture(false, false);
  EXPECT_EQ(imageDrawList.count, 0);
  EXPECT_EQ(At(0, 0), kWhite);
}

TEST_F(SceneDraw, ImagesBeyondTheQueueAreDropped) {
  // 17 groups of 60 objects: 1020 images, the last 20 of them beyond the queue.
  std::vector<SceneObject*> objects;
  for (int group = 0; group < 17; ++group) {
    SceneObject* holder = CreateObject(nullptr);
    for (int i = 0; i < 60; ++i) {
      objects.push_back(AddImageObject(holder, "red.png", static_cast<float>(i), 0, 0));
    }
  }
  objects[999]->state.position = Vec3{-200, -200, -1};  // the last image that fits
  objects[1000]->state.position = Vec3{200, -200, -1};  // the first that does not
  DrawPicture(false, false);
  EXPECT_EQ(imageDrawList.count, kMaxImageDraws);
  EXPECT_EQ(imageDrawList.dropped, 20);
  EXPECT_EQ(imageDrawList.images[999].entry, &objects[999]->children[0]->images->entries[0]);
  EXPECT_EQ(imageDrawList.order[0].index, 999);
  EXPECT_EQ(At(-200, -200), kRed);
  EXPECT_EQ(At(200, -200), kWhite);

  // The next picture starts a fresh count.
  DrawPicture(false, false);
  EXPECT_EQ(imageDrawList.dropped, 20);
  objects.back()->hidden = 1;
  DrawPicture(false, false);
  EXPECT_EQ(imageDrawList.dropped, 19);
}

TEST(SortQueue, GivesTheOrderOfTheStableExchangeSort) {
  std::mt19937 random(20240607);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float levels[] = {0, -0.0f, 1, -1, 2.5f, 5, -5, 100, inf, -inf, nan};
  for (int trial = 0; trial < 60; ++trial) {
    const int count = trial < 50 ? 1 + static_cast<int>(random() % 120) : kMaxImageDraws;
    const bool withNan = trial % 3 == 0;
    std::vector<SortEntry> reference;
    for (int i = 0; i < count; ++i) {
      float level = levels[random() % (withNan ? 11 : 10)];
      if (random() % 4 == 0) level = static_cast<float>(static_cast<int>(random() % 41) - 20) / 4;
      reference.push_back(SortEntry{i, level});
      imageDrawList.order[i] = reference.back();
    }
    imageDrawList.count = count;
    ExchangeSort(reference);
    SortQueue();
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(imageDrawList.order[i].index, reference[i].index)
          << "trial " << trial << " position " << i;
    }
  }
}

TEST_F(SceneDraw, LevelMarkersStandAtAccumulatedLevelsHiddenObjectsIncluded) {
  ASSERT_TRUE(CreateUiContext());
  SceneObject* parent = CreateObject(nullptr);
  parent->state.position.z = 40;
  parent->hidden = 1;
  SceneObject* child = CreateObject(parent);
  child->state.position.z = 30.6f;  // level 70.6 marks at 71
  glLoadIdentity();
  ClearScreen(kWhite);
  DrawLevelMarkers(project.root, 0);
  const Rgba marker{115, 120, 130, 255};
  const int centre = project.viewHeight / 2;
  EXPECT_TRUE(Near(ScreenAt(10, centre - 1), marker));        // root, camera, levels 0
  EXPECT_TRUE(Near(ScreenAt(10, centre - 40 - 1), marker));   // the hidden parent
  EXPECT_TRUE(Near(ScreenAt(25, centre - 71 - 2), marker));   // its child, 20 wide and 3 high
  EXPECT_TRUE(Near(ScreenAt(25, centre - 71), marker));
  EXPECT_EQ(ScreenAt(26, centre - 71 - 1), kWhite);
  EXPECT_EQ(ScreenAt(10, centre - 71 - 3), kWhite);
  EXPECT_EQ(ScreenAt(10, centre - 71 + 1), kWhite);
  EXPECT_EQ(LevelToPixels(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(LevelToPixels(2.5f), 3);
  EXPECT_EQ(LevelToPixels(-2.5f), -3);
  EXPECT_EQ(LevelToPixels(1e30f), 1000000);
  FreeUiContext();
}

TEST_F(SceneDraw, ImagesStandWhereTheKeysPutTheObjectAtTheCurrentFrame) {
  SceneObject* object = AddImageObject(nullptr, "red.png", 0, 0);
  Key later;
  later.frame = 20;
  later.position = Vec3{200, 0, 0};
  ASSERT_GE(AddKey(*object->keys, later), 0);
  ImageTrack& track = *object->children[0]->images;
  for (int frame = 0; frame <= 20; ++frame) SetFrameImage(track, frame, 1);
  for (int frame : {0, 10, 20}) {
    project.currentFrame = frame;
    EvaluateTree(project.root, frame, 0);
    ClearScreen(kWhite);
    DrawPicture(false, false);
    const int x = static_cast<int>(std::lround(object->state.position.x));
    EXPECT_EQ(At(x - 28, 0), kRed) << "frame " << frame;
    EXPECT_EQ(At(x + 28, 0), kRed) << "frame " << frame;
    EXPECT_EQ(At(x + 32, 0), kWhite) << "frame " << frame;
  }
  EXPECT_FLOAT_EQ(object->state.position.x, 200);
}
