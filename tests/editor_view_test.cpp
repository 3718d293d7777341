// The view window driven through the whole editor: handle drags and the keys they write, the
// Shift constraint, zoom and pan, the camera view, the handles' menus and press routing.
#include <png.h>

#include <cmath>
#include <cstring>

#include "editor/view_window.h"
#include "scene/draw.h"
#include "tests/editor_driver.h"
#include "tests/image_fixture.h"

namespace {

Point Offset(Point p, int dx, int dy) { return Point{p.x + dx, p.y + dy}; }

class ViewWindow : public EditorTest {
 protected:
  // An ordinary object under parent (the root when null) with its first key at (x, y),
  // selected and evaluated.
  static SceneObject* AddSelected(SceneObject* parent = nullptr, float x = 0, float y = 0) {
    SceneObject* object = CreateObject(parent);
    EXPECT_NE(object, nullptr);
    object->keys->keys[0].position = Vec3{x, y, 0};
    project.selected = object;
    RunPasses(1);
    return object;
  }
  static bool KeysEqual(const KeyTrack& a, const KeyTrack& b) {
    return a.count == b.count &&
           std::memcmp(a.keys.data(), b.keys.data(), sizeof(Key) * a.count) == 0;
  }
};

TEST_F(ViewWindow, PressingPOnAFrameWithoutAKeyAddsAKeyHoldingTheInterpolatedPose) {
  SceneObject* object = AddSelected();
  KeyTrack& track = *object->keys;
  track.keys[0].mode = kCorner;
  Key later = track.keys[0];
  later.frame = 30;
  later.position = Vec3{300, 60, 5};
  later.rotation = 90;
  later.scale = Vec3{2, 2, 2};
  ASSERT_EQ(AddKey(track, later), 1);
  project.currentFrame = 15;
  RunPasses(1);
  const Key pose = object->state;

  Click(PivotOf(object));
  ASSERT_EQ(track.count, 3);
  const Key& added = track.keys[1];
  EXPECT_EQ(added.frame, 15);
  EXPECT_NEAR(added.position.x, pose.position.x, 1e-3);
  EXPECT_NEAR(added.position.y, pose.position.y, 1e-3);
  EXPECT_FLOAT_EQ(added.position.z, pose.position.z);
  EXPECT_FLOAT_EQ(added.rotation, pose.rotation);
  EXPECT_FLOAT_EQ(added.scale.x, pose.scale.x);
  EXPECT_EQ(added.mode, kCorner);  // the mode of the key before it
  EXPECT_EQ(editor.dragState, kDragNone);
  EXPECT_EQ(editor.dragKey, -1);
}

TEST_F(ViewWindow, DraggingPKeepsTheGrabbedPointUnderThePointerUnderATurnedScaledParent) {
  SceneObject* parent = AddSelected(nullptr, 40, -30);
  parent->keys->keys[0].rotation = 30;
  parent->keys->keys[0].scale = Vec3{2, 2, 2};
  SceneObject* object = AddSelected(parent, 20, 10);
  project.viewZoom = 1.25f;
  RunPasses(1);
  const Vec3 start = object->state.screenPos;

  const Point grab = Offset(PivotOf(object), 3, -2);
  Press(grab);
  EXPECT_EQ(editor.dragState, kDragMove);
  const Vec3 offset = editor.grabOffset;
  DragTo(Offset(grab, 60, 45), 5);
  EXPECT_NEAR(object->state.screenPos.x, start.x + 60, 0.01);
  EXPECT_NEAR(object->state.screenPos.y, start.y + 45, 0.01);
  EXPECT_FLOAT_EQ(editor.grabOffset.x, offset.x);  // taken on the press only
  Release();
  RunPasses(1);
  EXPECT_NEAR(object->state.screenPos.x, start.x + 60, 0.01);
  EXPECT_EQ(object->keys->count, 1);  // frame 0 already had its key
}

TEST_F(ViewWindow, ShiftKeepsAMoveHorizontalVerticalOrDiagonal) {
  SceneObject* object = AddSelected();
  const Point pivot = PivotOf(object);
  HoldKey(kKeyLeftShift);
  Press(pivot);
  DragTo(Offset(pivot, 100, 10));
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.x, 100);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.y, 0);
  // While P is dragged, guide lines (black at half strength) cross at the pivot.
  const Point guide = Offset(pivot, 100, -100);
  EXPECT_NEAR(ReadPixel(guide.x, guide.y).g, 127, 2);
  DragTo(Offset(pivot, 100, 100));
  EXPECT_NEAR(object->keys->keys[0].position.x, 100, 1e-3);
  EXPECT_NEAR(object->keys->keys[0].position.y, 100, 1e-3);
  DragTo(Offset(pivot, -8, 70));
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.x, 0);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.y, 70);
  Release();
  ReleaseKey(kKeyLeftShift);
}

TEST_F(ViewWindow, ShiftAtTheStartPointTakesTheUnconstrainedPoint) {
  const Vec3 start{370, 260, 0}, unconstrained{366, 260, 0};
  const Vec3 point = ConstrainMove(start, start, unconstrained);
  EXPECT_FLOAT_EQ(point.x, 366);
  EXPECT_FLOAT_EQ(point.y, 260);

  // Grabbed 4 pixels right of the pivot, then the pointer put on the start point itself.
  SceneObject* object = AddSelected();
  const Point pivot = PivotOf(object);
  HoldKey(kKeyLeftShift);
  Press(Offset(pivot, 4, 0));
  DragTo(pivot, 1);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.x, -4);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.y, 0);
  Release();
  ReleaseKey(kKeyLeftShift);
}

TEST_F(ViewWindow, ShiftDirectionIgnoresTheLevelOfTheSceneRoot) {
  project.root->keys->keys[0].position.z = 100;  // screenPos.z of every pivot becomes 100
  SceneObject* object = AddSelected();
  ASSERT_FLOAT_EQ(object->state.screenPos.z, 100);
  const Point pivot = PivotOf(object);
  HoldKey(kKeyLeftShift);
  Press(pivot);
  DragTo(Offset(pivot, 30, 30));
  EXPECT_NEAR(object->keys->keys[0].position.x, 30, 1e-3);  // diagonal, not vertical
  EXPECT_NEAR(object->keys->keys[0].position.y, 30, 1e-3);
  Release();
  ReleaseKey(kKeyLeftShift);
}

TEST_F(ViewWindow, RotateAddsPointFourDegreesPerPixelAndScaleGrowsUpwards) {
  SceneObject* object = AddSelected();
  const Point rotate = Offset(PivotOf(object), kRotateHandleDX, 0);
  Drag(rotate, Offset(rotate, 0, 10));
  EXPECT_NEAR(object->keys->keys[0].rotation, 4, 1e-4);

  const Point scale = Offset(PivotOf(object), 0, kScaleHandleDY);
  Press(scale);
  DragTo(Offset(scale, 0, -20), 1);  // 20 pixels up in one frame
  Release();
  EXPECT_NEAR(object->keys->keys[0].scale.x, 1.1, 1e-5);
  EXPECT_NEAR(object->keys->keys[0].scale.y, 1.1, 1e-5);
  EXPECT_NEAR(object->keys->keys[0].scale.z, 1.1, 1e-5);
}

TEST_F(ViewWindow, AFastDownwardScaleDragNeverReachesZero) {
  EXPECT_NEAR(ScaleDragFactor(200), std::pow(1.1, -10), 1e-6);  // 1 - 0.005 x 200 would be 0
  EXPECT_FLOAT_EQ(ScaleDragFactor(-20), 1.1f);
  EXPECT_FLOAT_EQ(ScaleComponent(-0.5f, 0.001f), -kMinScale);  // a flip stays a flip
  EXPECT_FLOAT_EQ(ScaleComponent(0, 2), 0);

  SceneObject* parent = AddSelected();
  SceneObject* child = AddSelected(parent, 50, 0);
  project.selected = parent;
  RunPasses(1);
  Point scale = Offset(PivotOf(parent), 0, kScaleHandleDY);
  Press(scale);
  for (int i = 0; i < 6; ++i) {
    scale = Offset(scale, 0, 300);
    DragTo(scale, 1);
    ASSERT_GT(parent->keys->keys[0].scale.x, 0);
  }
  Release();
  EXPECT_FLOAT_EQ(parent->keys->keys[0].scale.x, kMinScale);
  // The child's pivot can still be moved: its parent's scale has an inverse.
  project.selected = child;
  RunPasses(1);
  const Point pivot = PivotOf(child);
  Drag(pivot, Offset(pivot, 10, 0));
  EXPECT_NEAR(child->state.screenPos.x, pivot.x - InView(0, 0).x + 10, 0.5);
  EXPECT_TRUE(std::isfinite(child->keys->keys[0].position.x));
}

TEST_F(ViewWindow, TheLevelMarkerRaisesTheKeyAndFollowsThePointer) {
  SceneObject* object = AddSelected();
  const Point marker = InView(16, 260 - 1);
  Press(marker);
  EXPECT_EQ(editor.dragState, kDragLevel);
  DragTo(Offset(marker, 0, -15), 3);
  Release();
  RunPasses(1);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.z, 15);
  EXPECT_FLOAT_EQ(selectedLevel, 15);
  // The selection's marker (white inside black) now sits 15 pixels higher; the other
  // objects' grey marks stay at level 0.
  const Point moved = InView(16, 260 - 15 - 1), level0 = InView(16, 260 - 1);
  EXPECT_EQ(ReadPixel(moved.x, moved.y).r, 255);
  EXPECT_EQ(ReadPixel(moved.x, moved.y).b, 255);
  EXPECT_EQ(ReadPixel(level0.x, level0.y).r, 115);  // palette 8: 0.45, 0.47, 0.51
  // And it is grabbed there again.
  Drag(Offset(marker, 0, -15), Offset(marker, 0, -20), 1);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.z, 20);
}

TEST_F(ViewWindow, AZeroManualVelocityPutsVOnPAndVWins) {
  SceneObject* object = AddSelected();
  Key& key = object->keys->keys[0];
  key.autoVelocity = 0;
  key.velocity = Vec3{0, 0, 0.75f};
  RunPasses(1);
  const Point pivot = PivotOf(object);
  Press(pivot);
  EXPECT_EQ(editor.dragState, kDragVelocity);
  DragTo(Offset(pivot, 50, 25));
  Release();
  EXPECT_NEAR(key.velocity.x, 10, 1e-4);  // the handle lies 5 frames of velocity away
  EXPECT_NEAR(key.velocity.y, 5, 1e-4);
  EXPECT_FLOAT_EQ(key.velocity.z, 0.75f);  // the level's tangent is not the pointer's
  EXPECT_FLOAT_EQ(key.position.x, 0);      // and the object did not move
  // The handle now lies under the pointer, where a press grabs it again.
  Press(Offset(pivot, 50, 25));
  EXPECT_EQ(editor.dragState, kDragVelocity);
  Release();
}

TEST_F(ViewWindow, WheelZoomStepsAndSnapsToOne) {
  MoveMouse(InView(500, 100));
  Wheel(3);
  EXPECT_FLOAT_EQ(project.viewZoom, 1.953125f);
  project.viewZoom = 1.25f;
  Wheel(-1);
  EXPECT_EQ(project.viewZoom, 1.0f);
  Wheel(-1);
  EXPECT_FLOAT_EQ(project.viewZoom, 0.8f);
  EXPECT_FLOAT_EQ(ZoomAfterWheel(kMinZoom, -1), kMinZoom);
  EXPECT_FLOAT_EQ(ZoomAfterWheel(kMaxZoom, 1), kMaxZoom);
}

TEST_F(ViewWindow, ALeftDragOnEmptySpacePansButNotInTheCameraView) {
  project.viewZoom = 2;
  Drag(InView(500, 100), InView(540, 130));
  EXPECT_FLOAT_EQ(project.viewPanX, -20);
  EXPECT_FLOAT_EQ(project.viewPanY, -15);
  Drag(InView(500, 100), InView(520, 100), 2, Button::kMiddle);
  EXPECT_FLOAT_EQ(project.viewPanX, -30);

  editor.viewMode = kCameraView;
  Drag(InView(500, 100), InView(540, 130));
  EXPECT_FLOAT_EQ(project.viewPanX, -30);
  EXPECT_FLOAT_EQ(project.viewPanY, -15);
}

TEST_F(ViewWindow, TheClickThatClosesAMenuDoesNotPan) {
  Click(InView(600, 400), Button::kRight);
  ASSERT_TRUE(ui->menuOpen);
  Drag(InView(300, 300), InView(340, 330));  // the press lands outside the menu's entries
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_FLOAT_EQ(project.viewPanX, 0);
  EXPECT_FLOAT_EQ(project.viewPanY, 0);
}

TEST_F(ViewWindow, DraggingTheTitleBarMovesTheWindowWithoutPanning) {
  const Point title{editor.viewWindow.x + 300, editor.viewWindow.y + 5};
  Drag(title, Offset(title, 20, 10));
  EXPECT_EQ(editor.viewWindow.x, 30);
  EXPECT_EQ(editor.viewWindow.y, 20);
  EXPECT_FLOAT_EQ(project.viewPanX, 0);
  EXPECT_FLOAT_EQ(project.viewPanY, 0);
}

TEST_F(ViewWindow, TheCameraViewShowsTheCameraFrameAtOnePixelPerUnit) {
  MakeWorkDirectory();
  ASSERT_TRUE(WritePngFile(workDirectory_ + "/red.png", RgbaImage(60, 60, Rgba{255, 0, 0, 255}),
                           PngFormat{PNG_COLOR_TYPE_RGB_ALPHA, 8}));
  SceneObject* object = AddSelected(nullptr, 100, 50);
  ImageTrack& images = *object->children[0]->images;
  SetFrameImage(images, 0, AddImageEntry(images, "red", "red.png") + 1);
  project.selected = project.root;
  project.viewZoom = 3;  // the camera view does not zoom
  editor.viewMode = kCameraView;
  RunPasses(1);

  // The frame's outline (2 wide, black) runs 320 and 240 pixels from the centre.
  auto dark = [](Point p) { return ReadPixel(p.x, p.y).r < 40; };
  EXPECT_TRUE(dark(InView(370 - 320, 300)) || dark(InView(370 - 321, 300)));
  EXPECT_TRUE(dark(InView(370 + 320, 300)) || dark(InView(370 + 319, 300)));
  EXPECT_TRUE(dark(InView(200, 260 - 240)) || dark(InView(200, 260 - 241)));
  // Outside it, the camera view's mask (0.5, 0.4, 0.4 at 0.6) over the white view.
  const Point outside = InView(20, 100);
  EXPECT_NEAR(ReadPixel(outside.x, outside.y).r, 178, 2);
  EXPECT_NEAR(ReadPixel(outside.x, outside.y).g, 163, 2);
  // The 60-pixel image centred 100, 50 from the middle.
  const Point inside = InView(370 + 100 - 28, 260 + 50), beside = InView(370 + 100 - 33, 260 + 50);
  EXPECT_EQ(ReadPixel(inside.x, inside.y).r, 255);
  EXPECT_EQ(ReadPixel(inside.x, inside.y).g, 0);
  EXPECT_EQ(ReadPixel(beside.x, beside.y).g, 255);
  EXPECT_EQ(std::string(ViewWindowTitle()), "View - Camera");
}

TEST_F(ViewWindow, AnObjectWithoutKeysMovesAndTurnsWithoutKeys) {
  SceneObject* object = AddSelected(nullptr, 30, 0);
  SceneObject* image = object->children[0];
  project.selected = image;
  project.alignmentParent = object;
  RunPasses(1);
  const Point pivot = PivotOf(image);
  Drag(pivot, Offset(pivot, 25, 15));
  EXPECT_FLOAT_EQ(image->state.position.x, 25);
  EXPECT_FLOAT_EQ(image->state.position.y, 15);
  const Point rotate = Offset(PivotOf(image), kRotateHandleDX, 0);
  Drag(rotate, Offset(rotate, 0, 10));
  EXPECT_NEAR(image->state.rotation, 4, 1e-4);
  EXPECT_FALSE(image->keys);
  EXPECT_EQ(object->keys->count, 1);
  EXPECT_FLOAT_EQ(object->keys->keys[0].position.x, 30);
}

TEST_F(ViewWindow, ADragOnAFullTrackWithoutAKeyHereChangesNothing) {
  SceneObject* object = AddSelected();
  KeyTrack& track = *object->keys;
  for (int frame = 2; track.count < kMaxKeys; frame += 2) {
    Key key = track.keys[0];
    key.frame = frame;
    key.position.x = static_cast<float>(frame);
    ASSERT_GE(AddKey(track, key), 0);
  }
  project.currentFrame = 1;
  RunPasses(1);
  const KeyTrack before = track;
  const Point pivot = PivotOf(object);
  Press(pivot);
  EXPECT_EQ(editor.dragState, kDragMove);
  DragTo(Offset(pivot, 40, 0));
  EXPECT_EQ(editor.dragKey, -1);
  Release();
  const Point rotate = Offset(PivotOf(object), kRotateHandleDX, 0);
  Drag(rotate, Offset(rotate, 0, 30));
  const Point scale = Offset(PivotOf(object), 0, kScaleHandleDY);
  Drag(scale, Offset(scale, 0, 30));
  Drag(InView(16, 259), InView(16, 240));
  EXPECT_TRUE(KeysEqual(track, before));
  EXPECT_EQ(PivotOf(object).x, pivot.x);
}

TEST_F(ViewWindow, ARightPressOnAHandleOpensItsMenuElsewhereTheViewMenu) {
  SceneObject* object = AddSelected();
  const Point pivot = PivotOf(object);
  const struct {
    Point at;
    int menu;
  } cases[] = {{pivot, 3},
               {Offset(pivot, kRotateHandleDX, 0), 4},
               {Offset(pivot, 0, kScaleHandleDY), 5},
               {InView(16, 259), 2},
               {InView(600, 400), 10}};
  for (const auto& c : cases) {
    Click(c.at, Button::kRight);
    EXPECT_TRUE(ui->menuOpen);
    EXPECT_EQ(ui->menuId, c.menu);
    Click(Point{1010, 750});  // closes the menu, picks nothing
    EXPECT_FALSE(ui->menuOpen);
  }
  editor.viewMode = kCameraView;
  Click(pivot, Button::kRight);
  EXPECT_EQ(ui->menuId, 10);
  EXPECT_EQ(object->keys->count, 1);
}

TEST_F(ViewWindow, WhereWindowsOverlapThePressGoesToTheLaterOne) {
  editor.objectWindow = {300, 100};  // the object list now lies over the view
  project.selected = project.camera;
  RunPasses(1);
  Drag(ObjectRow(0), Offset(ObjectRow(0), 30, 20));
  EXPECT_EQ(project.selected, project.root);  // the list took it
  EXPECT_FLOAT_EQ(project.viewPanX, 0);       // the view did not pan
  EXPECT_FLOAT_EQ(project.viewPanY, 0);
  EXPECT_TRUE(editor.objectWindowActive);
  Click(InView(100, 450));
  EXPECT_FALSE(editor.objectWindowActive);
}

}  // namespace
