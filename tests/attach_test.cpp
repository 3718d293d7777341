#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/animation.h"

namespace {

// An object with one key holding the given pose.
SceneObject* PosedObject(SceneObject* parent, Vec3 position, float rotation, float scale) {
  SceneObject* object = CreateObject(parent);
  Key& key = object->keys->keys[0];
  key.position = position;
  key.rotation = rotation;
  key.scale = Vec3{scale, scale, scale};
  return object;
}

class ScreenMapping : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject();
    // Root moved, turned and scaled too: every ancestor counts.
    Key& rootKey = project.root->keys->keys[0];
    rootKey.position = Vec3{-20, 15, 0};
    rootKey.rotation = 10;
    grandparent = PosedObject(nullptr, Vec3{120, -40, 2}, 30, 1.5f);
    parent = PosedObject(grandparent, Vec3{-25, 60, 0}, -75, 0.5f);
    object = PosedObject(parent, Vec3{33, 12, 1}, 200, 2);
  }
  SceneObject* grandparent = nullptr;
  SceneObject* parent = nullptr;
  SceneObject* object = nullptr;
};

TEST_F(ScreenMapping, ScreenToLocalInvertsUpdateScreenPosAtAnyZoomAndPan) {
  const float zooms[] = {0.25f, 1, 3.5f};
  const float pans[][2] = {{0, 0}, {140, -260}, {-75.5f, 33}};
  for (float zoom : zooms) {
    for (const auto& pan : pans) {
      project.viewZoom = zoom;
      project.viewPanX = pan[0];
      project.viewPanY = pan[1];
      EvaluateChain(object, 0, 0);
      const Vec3 local = ScreenToLocal(object);
      ASSERT_NEAR(local.x, 33, 1e-3) << "zoom " << zoom << " pan " << pan[0];
      ASSERT_NEAR(local.y, 12, 1e-3) << "zoom " << zoom << " pan " << pan[0];

      // A point picked on screen, stored as the key's position, lands under that point.
      object->state.screenPos = Vec3{500, 100, 0};
      const Vec3 target = ScreenToLocal(object);
      object->keys->keys[0].position = Vec3{target.x, target.y, 1};
      EvaluateObject(object, 0, 0);
      ASSERT_NEAR(object->state.screenPos.x, 500, 2e-3);
      ASSERT_NEAR(object->state.screenPos.y, 100, 2e-3);
      object->keys->keys[0].position = Vec3{33, 12, 1};
    }
  }
}

TEST_F(ScreenMapping, AnAncestorWithoutAnInverseLeavesThePositionAsItWas) {
  const float unusable[] = {0.0f, -0.0f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(), 1e-39f};
  for (float scale : unusable) {
    grandparent->keys->keys[0].scale.x = scale;
    EvaluateChain(object, 0, 0);
    object->state.screenPos = Vec3{500, 100, 0};
    const Vec3 local = ScreenToLocal(object);
    ASSERT_EQ(local.x, 33.0f) << "x scale " << scale;
    ASSERT_EQ(local.y, 12.0f) << "x scale " << scale;
  }
  grandparent->keys->keys[0].scale.x = 1.5f;
  EvaluateChain(object, 0, 0);
  project.viewZoom = 0;
  object->state.screenPos = Vec3{500, 100, 0};
  EXPECT_EQ(ScreenToLocal(object).x, 33.0f);
  // The object's own scale is never divided by.
  project.viewZoom = 1;
  object->keys->keys[0].scale.x = 0;
  EvaluateChain(object, 0, 0);
  EXPECT_NEAR(ScreenToLocal(object).x, 33, 1e-3);
}

class Attach : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject();
    oldParent = PosedObject(nullptr, Vec3{100, 50, 3}, 40, 2);
    newParent = PosedObject(nullptr, Vec3{-60, 80, -1}, -110, 0.75f);
    object = PosedObject(oldParent, Vec3{0, 0, 0}, 0, 1);
    child = PosedObject(object, Vec3{20, 5, 0}, 0, 1);
    // The object moves and turns over three keys.
    Key& first = object->keys->keys[0];
    first.position = Vec3{10, 20, 2};
    first.autoVelocity = 0;
    first.velocity = Vec3{1, 2, 0};
    Key later;
    later.frame = 20;
    later.position = Vec3{60, -30, 2};
    later.rotation = 45;
    later.scale = Vec3{1.5f, 1.5f, 1.5f};
    AddKey(*object->keys, later);
    later.frame = 40;
    later.position = Vec3{-10, 0, 2};
    AddKey(*object->keys, later);
    project.currentFrame = 13;
    EvaluateTree(project.root, project.currentFrame, 0);
  }
  // Everything an attach may change, to check that a refusal changed nothing.
  struct Snapshot {
    SceneObject* parent;
    int oldChildren, newChildren, keyCount;
    float x;
  };
  Snapshot Take(SceneObject* target) const {
    return Snapshot{object->parent, object->parent->childCount, target->childCount,
                    object->keys->count, object->keys->keys[1].position.x};
  }
  void ExpectUnchanged(const Snapshot& before, SceneObject* target) const {
    EXPECT_EQ(object->parent, before.parent);
    EXPECT_EQ(object->parent->childCount, before.oldChildren);
    EXPECT_EQ(target->childCount, before.newChildren);
    EXPECT_EQ(object->keys->count, before.keyCount);
    EXPECT_EQ(object->keys->keys[1].position.x, before.x);
  }
  SceneObject* oldParent = nullptr;
  SceneObject* newParent = nullptr;
  SceneObject* object = nullptr;
  SceneObject* child = nullptr;
};

TEST_F(Attach, TheObjectStaysWhereItWasWithOneKeyAtFrameZero) {
  const Vec3 pivot = object->state.screenPos;
  const Vec3 childPivot = child->state.screenPos;
  const float turn = oldParent->state.rotation + object->state.rotation;
  const float size = oldParent->state.scale.x * object->state.scale.x;
  const float level = project.root->state.position.z + oldParent->state.position.z +
                      object->state.position.z;

  ASSERT_TRUE(AttachTo(object, newParent));
  EXPECT_EQ(object->parent, newParent);
  EXPECT_EQ(newParent->children[newParent->childCount - 1], object);
  EXPECT_EQ(oldParent->childCount, 1);  // only its image child is left
  EXPECT_NEAR(object->state.screenPos.x, pivot.x, 1e-3);
  EXPECT_NEAR(object->state.screenPos.y, pivot.y, 1e-3);
  // Its subtree comes along unchanged.
  EXPECT_NEAR(child->state.screenPos.x, childPivot.x, 1e-3);
  EXPECT_NEAR(child->state.screenPos.y, childPivot.y, 1e-3);
  EXPECT_EQ(child->parent, object);

  const KeyTrack& track = *object->keys;
  ASSERT_EQ(track.count, 1);
  const Key& key = track.keys[0];
  EXPECT_EQ(key.frame, 0);
  EXPECT_EQ(key.mode, kAuto);
  EXPECT_EQ(key.autoVelocity, 0);  // from the first key
  EXPECT_EQ(key.velocity.y, 2.0f);
  EXPECT_NEAR(newParent->state.rotation + key.rotation, turn, 1e-4);
  EXPECT_NEAR(newParent->state.scale.x * key.scale.x, size, 1e-5);
  EXPECT_NEAR(newParent->state.scale.y * key.scale.y, size, 1e-5);
  // The drawing order among everything else stays the same.
  EXPECT_NEAR(project.root->state.position.z + newParent->state.position.z + key.position.z,
              level, 1e-5);

  // Later frames show the same single pose.
  EvaluateChain(object, 35, 0);
  EXPECT_NEAR(object->state.screenPos.x, pivot.x, 1e-3);
}

TEST_F(Attach, MovingToTheRootOrDeeperKeepsThePlaceOnScreen) {
  const Vec3 pivot = object->state.screenPos;
  ASSERT_TRUE(AttachTo(object, project.root));
  EXPECT_NEAR(object->state.screenPos.x, pivot.x, 1e-3);
  EXPECT_NEAR(object->state.screenPos.y, pivot.y, 1e-3);
  SceneObject* deeper = PosedObject(newParent, Vec3{5, 5, 0}, 90, 3);
  EvaluateTree(project.root, project.currentFrame, 0);
  ASSERT_TRUE(AttachTo(object, deeper));
  EXPECT_NEAR(object->state.screenPos.x, pivot.x, 1e-3);
  EXPECT_NEAR(object->state.screenPos.y, pivot.y, 1e-3);
}

TEST_F(Attach, TheObjectsOwnUnequalScaleSurvives) {
  object->keys->count = 1;
  object->keys->keys[0].scale = Vec3{1, 3, 1};
  EvaluateTree(project.root, project.currentFrame, 0);
  ASSERT_TRUE(AttachTo(object, project.root));
  const Key& key = object->keys->keys[0];
  EXPECT_NEAR(key.scale.y / key.scale.x, 3, 1e-5);
}

TEST_F(Attach, AnImageChildMovesWithItsFixedPose) {
  SceneObject* image = object->children[0];
  image->state.position = Vec3{7, -3, 0};
  EvaluateTree(project.root, project.currentFrame, 0);
  const Vec3 pivot = image->state.screenPos;
  ASSERT_TRUE(AttachTo(image, newParent));
  EXPECT_FALSE(image->keys);
  EXPECT_NEAR(image->state.screenPos.x, pivot.x, 1e-3);
  EXPECT_NEAR(image->state.screenPos.y, pivot.y, 1e-3);
}

TEST_F(Attach, RefusalsChangeNothing) {
  SceneObject* grandchild = CreateObject(child);
  struct Case {
    const char* what;
    SceneObject* target;
  } cases[] = {
      {"itself", object},
      {"its current parent", oldParent},
      {"its child", child},
      {"its grandchild", grandchild},
      {"its image child", object->children[0]},
  };
  for (const Case& c : cases) {
    const Snapshot before = Take(c.target);
    EXPECT_FALSE(AttachTo(object, c.target)) << c.what;
    ExpectUnchanged(before, c.target);
  }
  EXPECT_FALSE(AttachTo(project.root, newParent));
  EXPECT_EQ(project.root->parent, nullptr);
  EXPECT_FALSE(AttachTo(nullptr, newParent));
  EXPECT_FALSE(AttachTo(object, nullptr));

  // A new parent that is full.
  while (newParent->childCount < kMaxChildren) ASSERT_NE(CreateObject(newParent), nullptr);
  const Snapshot full = Take(newParent);
  EXPECT_FALSE(AttachTo(object, newParent));
  ExpectUnchanged(full, newParent);
}

TEST_F(Attach, ANewParentWithoutAnInverseIsRefused) {
  SceneObject* inner = PosedObject(newParent, Vec3{1, 1, 0}, 0, 1);
  const float unusable[] = {0.0f, std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  for (float scale : unusable) {
    newParent->keys->keys[0].scale.x = scale;
    const Snapshot before = Take(inner);
    EXPECT_FALSE(AttachTo(object, inner)) << "x scale " << scale;
    ExpectUnchanged(before, inner);
    EXPECT_FALSE(AttachTo(object, newParent)) << "x scale " << scale;
  }
}

TEST_F(Attach, ChainsMayNotGrowPastTheModelsDepth) {
  // A chain of ordinary objects 61 deep; the image child of the last one is the 62nd.
  SceneObject* bottom = newParent;
  while (ChainLength(bottom) < 61) bottom = CreateObject(bottom);
  ASSERT_EQ(ChainLength(bottom->children[0]), 62);
  // object has a child with an image child below it: three more levels do not fit.
  const Snapshot before = Take(bottom);
  EXPECT_FALSE(AttachTo(object, bottom));
  ExpectUnchanged(before, bottom);
  EXPECT_TRUE(AttachTo(child, bottom->parent));
}

TEST_F(Attach, ADroppedSelectedKeyIsDeselected) {
  project.selected = object;
  project.selectedKey = 2;
  ASSERT_TRUE(AttachTo(object, newParent));
  EXPECT_EQ(project.selectedKey, -1);
}

}  // namespace
