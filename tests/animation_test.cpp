#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/animation.h"

namespace {

Key MakeKey(int frame, float x, int mode = kAuto) {
  Key key;
  key.frame = frame;
  key.position = Vec3{x, 0, 0};
  key.mode = mode;
  return key;
}

// Replaces object's key track by the given keys, taken as they are (no sorting, no checks), so
// that tests can also build the tracks a damaged file could hold.
void SetKeys(SceneObject* object, const std::vector<Key>& keys) {
  KeyTrack& track = *object->keys;
  track.count = 0;
  for (const Key& key : keys) track.keys[track.count++] = key;
}

bool IsFinite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

class Interpolation : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject();
    object = CreateObject(nullptr);
  }
  const Key& At(int frame, float fraction = 0) {
    EvaluateObject(object, frame, fraction);
    return object->state;
  }
  Key& KeyAt(int index) { return object->keys->keys[index]; }
  SceneObject* object = nullptr;
};

TEST(BezierWeights, TableRunsFromTheFirstToTheLastControlPoint) {
  BuildBezierWeights();
  const CurveWeights& first = bezierWeights.entries[0];
  EXPECT_EQ(first.w0, 1.0f);
  EXPECT_EQ(first.w1, 0.0f);
  EXPECT_EQ(first.w2, 0.0f);
  EXPECT_EQ(first.w3, 0.0f);
  EXPECT_NEAR(bezierWeights.entries[kBezierSteps - 1].w3, 1.0f, 1e-6);
  for (int i = 0; i < kBezierSteps; ++i) {
    const CurveWeights& w = bezierWeights.entries[i];
    ASSERT_NEAR(w.w0 + w.w1 + w.w2 + w.w3, 1.0f, 1e-6) << "entry " << i;
    // The curve is symmetric: entry i read backwards is entry 1023 - i.
    const CurveWeights& mirror = bezierWeights.entries[kBezierSteps - 1 - i];
    ASSERT_NEAR(w.w1, mirror.w2, 1e-6) << "entry " << i;
  }
}

TEST(BezierWeights, LookupRoundsTheDoubleProductAndClamps) {
  const CurveWeights* entries = bezierWeights.entries.data();
  // Frame 5 of a 30-frame segment: t * 1023 is 170.50000508 in double but exactly 170.5 in float.
  const float fifth = static_cast<float>(5.0 / 30.0);
  EXPECT_EQ(&WeightsAt(fifth), &entries[171]);
  EXPECT_EQ(&WeightsAt(0.5f), &entries[512]);  // the one tie: 511.5 goes to the even entry
  EXPECT_EQ(&WeightsAt(0.0f), &entries[0]);
  EXPECT_EQ(&WeightsAt(-3.0f), &entries[0]);
  EXPECT_EQ(&WeightsAt(1.0f), &entries[1023]);
  EXPECT_EQ(&WeightsAt(7.5f), &entries[1023]);
  EXPECT_EQ(&WeightsAt(std::nanf("")), &entries[0]);
  EXPECT_EQ(&WeightsAt(0.3f / 1023.0f), &entries[0]);
  EXPECT_EQ(&WeightsAt(0.7f / 1023.0f), &entries[1]);
}

TEST(BezierWeights, CurveAndRotationHelpers) {
  // Control points on a straight line at thirds make the curve a straight line.
  const Vec3 p = Bezier3(Vec3{0, 0, 3}, Vec3{10, -10, 3}, Vec3{20, -20, 3}, Vec3{30, -30, 3},
                         512.0f / 1023.0f);
  EXPECT_NEAR(p.x, 30.0 * 512 / 1023, 1e-4);
  EXPECT_NEAR(p.y, -30.0 * 512 / 1023, 1e-4);
  EXPECT_NEAR(p.z, 3.0f, 1e-5);

  // Positive angles turn clockwise on screen, where y points down: x goes to y.
  const Vec3 r = Rotate(Vec3{10, 0, 7}, 90);
  EXPECT_NEAR(r.x, 0, 1e-5);
  EXPECT_NEAR(r.y, 10, 1e-5);
  EXPECT_EQ(r.z, 0.0f);
  const Vec3 back = Rotate(Rotate(Vec3{3, 4, 0}, 33), -33);
  EXPECT_NEAR(back.x, 3, 1e-5);
  EXPECT_NEAR(back.y, 4, 1e-5);
  // Angles go through the float 1/180 and pi truncated to 3.141592653589: half a turn leaves
  // sin = 7.93e-13 rather than the 1.2e-16 of the exact constant.
  EXPECT_NEAR(Rotate(Vec3{1, 0, 0}, 180).y, 7.932e-13, 1e-15);
}

TEST_F(Interpolation, CornerKeysGiveTheStraightLine) {
  SetKeys(object, {MakeKey(0, 0, kCorner), MakeKey(30, 300, kCorner)});
  EXPECT_NEAR(At(15).position.x, 150.147, 1e-3);  // entry 512, not exactly 150
  EXPECT_NEAR(At(5).position.x, 50.147, 1e-3);    // entry 171 (170 would give 49.85)
  EXPECT_EQ(object->state.velocity.x, 10.0f);
  EXPECT_EQ(KeyAt(0).velocity.x, 10.0f);
  EXPECT_EQ(KeyAt(1).velocity.x, 10.0f);
  EXPECT_EQ(At(0).position.x, 0.0f);
  EXPECT_EQ(At(30).position.x, 300.0f);
  EXPECT_EQ(At(30).velocity.x, 10.0f);
  // The evaluated pose is also the track's current state.
  EXPECT_EQ(object->keys->current.position.x, 300.0f);
}

TEST_F(Interpolation, StationaryKeysEaseInAndOut) {
  SetKeys(object, {MakeKey(0, 0, kStationary), MakeKey(30, 300, kStationary)});
  KeyAt(0).velocity = Vec3{4, 4, 4};
  KeyAt(1).velocity = Vec3{4, 4, 4};
  EXPECT_NEAR(At(15).position.x, 150.22, 5e-3);
  EXPECT_NEAR(At(5).position.x, 22.34, 5e-3);
  EXPECT_EQ(KeyAt(0).velocity.x, 0.0f);
  EXPECT_EQ(KeyAt(1).velocity.x, 0.0f);
  EXPECT_EQ(KeyAt(1).velocity.z, 0.0f);
  EXPECT_EQ(At(45).velocity.x, 0.0f);  // past a Stationary last key
}

TEST_F(Interpolation, ScaleAndRotationFollowTheModesToo) {
  Key a = MakeKey(0, 0, kStationary);
  Key b = MakeKey(30, 300, kStationary);
  b.rotation = 90;
  b.scale = Vec3{3, 5, 1};
  SetKeys(object, {a, b});
  const Key& state = At(5);
  EXPECT_NEAR(state.rotation, 90 * 22.34 / 300, 0.01);
  EXPECT_NEAR(state.scale.x, 1 + 2 * 22.34 / 300, 1e-3);
  EXPECT_NEAR(state.scale.y, 1 + 4 * 22.34 / 300, 1e-3);
  EXPECT_EQ(state.scale.z, 1.0f);
}

TEST_F(Interpolation, ANegativeFractionCountsBackFromTheFrame) {
  SetKeys(object, {MakeKey(0, 0, kCorner), MakeKey(30, 300, kCorner)});
  const float early = At(9, 0.75f).position.x;
  EXPECT_EQ(At(10, -0.25f).position.x, early);
  EXPECT_NEAR(early, 97.5, 0.2);  // 9.75 frames in, up to the table's steps
  const float onFrame = At(10).position.x;
  EXPECT_GT(At(10, 0.5f).position.x, onFrame);
  EXPECT_EQ(At(0, -0.25f).position.x, 0.0f);
  EXPECT_EQ(At(-5).position.x, 0.0f);
}

TEST_F(Interpolation, BeforeTheFirstKeyTheObjectHoldsKeyZero) {
  Key first = MakeKey(20, 50);
  first.rotation = 30;
  first.scale = Vec3{2, 2, 1};
  first.velocity = Vec3{9, 9, 9};
  SetKeys(object, {first, MakeKey(40, 250)});
  for (int frame = 0; frame < 20; ++frame) {
    const Key& state = At(frame, 0.5f);
    ASSERT_EQ(state.position.x, 50.0f) << "frame " << frame;
    ASSERT_EQ(state.rotation, 30.0f);
    ASSERT_EQ(state.scale.x, 2.0f);
    ASSERT_EQ(state.velocity.x, 0.0f);
  }
  EXPECT_GT(At(21).position.x, 50.0f);
}

TEST_F(Interpolation, AOneKeyTrackHoldsItsPoseAtEveryFrame) {
  Key only = MakeKey(0, -12.5f);
  only.position.y = 40;
  only.rotation = -45;
  SetKeys(object, {only});
  for (int frame : {0, 1, 17, 500, 1999}) {
    for (float fraction : {0.0f, 0.5f, -0.125f}) {
      const Key& state = At(frame, fraction);
      ASSERT_EQ(state.position.x, -12.5f);
      ASSERT_EQ(state.position.y, 40.0f);
      ASSERT_EQ(state.rotation, -45.0f);
      ASSERT_EQ(state.velocity.x, 0.0f);  // the single key has no neighbour to move towards
    }
  }
}

TEST_F(Interpolation, AZeroManualVelocityEasesThePositionOnly) {
  Key a = MakeKey(0, 0, kCorner);
  Key b = MakeKey(30, 300, kCorner);
  a.autoVelocity = b.autoVelocity = 0;
  b.rotation = 90;
  SetKeys(object, {a, b});
  const Key& state = At(5);
  EXPECT_NEAR(state.position.x, 22.34, 5e-3);  // as if Stationary
  EXPECT_NEAR(state.rotation, 90 * 171.0 / 1023, 1e-3);  // still the straight Corner line
  EXPECT_EQ(KeyAt(0).velocity.x, 0.0f);  // manual velocities are never overwritten
  EXPECT_EQ(KeyAt(1).velocity.x, 0.0f);
  EXPECT_EQ(At(40).velocity.x, 0.0f);
}

TEST_F(Interpolation, AManualVelocityBendsThePositionHandle) {
  Key a = MakeKey(0, 0, kCorner);
  a.autoVelocity = 0;
  a.velocity = Vec3{20, 6, 0};
  SetKeys(object, {a, MakeKey(30, 300, kCorner)});
  // Handle at 0 + 20 * 10 = 200 instead of 100: the object leaves faster.
  const Key& state = At(15);
  EXPECT_NEAR(state.position.x, 0.375 * 200 + 0.375 * 200 + 0.125 * 300, 0.5);
  EXPECT_GT(state.position.y, 0.0f);
  EXPECT_EQ(state.velocity.x, 20.0f);
  EXPECT_EQ(KeyAt(0).velocity.x, 20.0f);
  EXPECT_EQ(KeyAt(1).velocity.x, 10.0f);
}

TEST_F(Interpolation, AutoKeysBetweenNeighboursUseTheCatmullRomTangent) {
  SetKeys(object, {MakeKey(0, 0), MakeKey(10, 100), MakeKey(30, 100)});
  // Segment 0..10: the first key aims a third of the way along the chord; key 1 aims along
  // the chord from key 0 to key 2 (100 over 30 frames), scaled to its 10-frame segment.
  const double t = 512.0 / 1023;
  auto bezier = [&](double p0, double p1, double p2, double p3) {
    const double u = 1 - t;
    return u * u * u * p0 + 3 * t * u * u * p1 + 3 * t * t * u * p2 + t * t * t * p3;
  };
  EXPECT_NEAR(At(5).position.x, bezier(0, 100.0 / 3, 100 - 100.0 / 9, 100), 2e-3);
  EXPECT_FLOAT_EQ(KeyAt(0).velocity.x, 10.0f);
  EXPECT_FLOAT_EQ(KeyAt(1).velocity.x, 100.0f / 30);
  EXPECT_FLOAT_EQ(object->state.velocity.x, 10.0f);
  // Segment 10..30: key 1 leaves along the same chord (overshooting 100), the last key falls
  // back to the straight line.
  EXPECT_NEAR(At(20).position.x, bezier(100, 100 + 100.0 * 20 / 30 / 3, 100, 100), 2e-3);
  EXPECT_GT(object->state.position.x, 100.0f);
  EXPECT_FLOAT_EQ(object->state.velocity.x, 100.0f / 30);
  EXPECT_FLOAT_EQ(KeyAt(2).velocity.x, 0.0f);
}

TEST_F(Interpolation, PastTheLastKeyTheVelocityIsTheLastChordAndNotWrittenBack) {
  Key last = MakeKey(30, 300, kCorner);
  last.velocity = Vec3{7, 7, 7};
  SetKeys(object, {MakeKey(0, 0, kCorner), last});
  EXPECT_EQ(At(50).position.x, 300.0f);
  EXPECT_EQ(object->state.velocity.x, 10.0f);
  EXPECT_EQ(KeyAt(1).velocity.x, 7.0f);
  KeyAt(1).autoVelocity = 0;
  EXPECT_EQ(At(50).velocity.x, 7.0f);
}

TEST_F(Interpolation, KeysSharingAFrameNeverDivideByZero) {
  // Tracks a damaged or foreign file can hold: duplicate frames at the end, at the start, and
  // an unsorted track whose neighbour spans are zero.
  const std::vector<Key> tracks[] = {
      {MakeKey(0, 0), MakeKey(10, 100), MakeKey(10, 200)},
      {MakeKey(0, 0), MakeKey(0, 50), MakeKey(10, 100)},
      {MakeKey(20, 0), MakeKey(0, 0), MakeKey(20, 100)},
      {MakeKey(10, 10), MakeKey(10, 20), MakeKey(10, 30), MakeKey(10, 40)},
  };
  for (const auto& keys : tracks) {
    SetKeys(object, keys);
    for (int frame = 0; frame <= 25; ++frame) {
      for (float fraction : {0.0f, 0.5f, -0.25f}) {
        const Key& state = At(frame, fraction);
        ASSERT_TRUE(IsFinite(state.position)) << "frame " << frame;
        ASSERT_TRUE(IsFinite(state.velocity)) << "frame " << frame;
        ASSERT_TRUE(IsFinite(state.screenPos)) << "frame " << frame;
        for (int i = 0; i < object->keys->count; ++i) ASSERT_TRUE(IsFinite(KeyAt(i).velocity));
      }
    }
  }
  // From a shared frame on, the object shows the later of the two keys and stands still.
  SetKeys(object, {MakeKey(0, 0), MakeKey(10, 100), MakeKey(10, 200)});
  EXPECT_EQ(At(15).position.x, 200.0f);
  EXPECT_EQ(object->state.velocity.x, 0.0f);
}

TEST_F(Interpolation, AnInsertedKeyKeepsThePoseAndTakesThePreviousMode) {
  Key a = MakeKey(0, 0, kStationary);
  Key b = MakeKey(30, 300, kCorner);
  b.rotation = 60;
  SetKeys(object, {a, b});
  const Key before = At(12);

  const int index = InsertKey(object, 12);
  ASSERT_EQ(index, 1);
  ASSERT_EQ(object->keys->count, 3);
  const Key& key = KeyAt(1);
  EXPECT_EQ(key.frame, 12);
  EXPECT_EQ(key.position.x, before.position.x);
  EXPECT_EQ(key.rotation, before.rotation);
  EXPECT_EQ(key.mode, kStationary);
  EXPECT_EQ(key.autoVelocity, 1);
  EXPECT_EQ(KeyAt(2).frame, 30);
  EXPECT_EQ(At(12).position.x, before.position.x);
  EXPECT_EQ(object->state.rotation, before.rotation);

  // A key inside a Corner segment follows the straight line, so the neighbouring frames keep
  // their pose up to the table's steps.
  SetKeys(object, {MakeKey(0, 0, kCorner), MakeKey(30, 300, kCorner)});
  const float at20 = At(20).position.x;
  ASSERT_EQ(InsertKey(object, 10), 1);
  EXPECT_EQ(KeyAt(1).mode, kCorner);
  EXPECT_NEAR(At(20).position.x, at20, 0.5);
}

TEST_F(Interpolation, InsertingAtTheEdgesAndRefusals) {
  SetKeys(object, {MakeKey(20, 50, kStationary)});
  const int first = InsertKey(object, 5);
  ASSERT_EQ(first, 0);
  EXPECT_EQ(KeyAt(0).mode, kAuto);  // nothing before it
  EXPECT_EQ(KeyAt(0).position.x, 50.0f);
  EXPECT_EQ(InsertKey(object, 1999), 2);
  EXPECT_EQ(KeyAt(2).mode, kStationary);

  // A frame that already has a key gives that key back and leaves the track alone.
  EXPECT_EQ(InsertKey(object, 20), 1);
  EXPECT_EQ(object->keys->count, 3);
  EXPECT_EQ(InsertKey(object, -1), -1);
  EXPECT_EQ(InsertKey(object, kMaxFrames), -1);
  EXPECT_EQ(InsertKey(object->children[0], 3), -1);  // the image child has no key track
  EXPECT_EQ(InsertKey(nullptr, 3), -1);

  for (int frame = 100; object->keys->count < kMaxKeys; ++frame) {
    ASSERT_GE(InsertKey(object, frame), 0);
  }
  EXPECT_EQ(InsertKey(object, 50), -1);
  EXPECT_EQ(object->keys->count, kMaxKeys);
}

class Hierarchy : public ::testing::Test {
 protected:
  void SetUp() override { NewProject(); }
};

TEST_F(Hierarchy, ChildrenFollowTheirParentsOnScreen) {
  SceneObject* parent = CreateObject(nullptr);
  SceneObject* child = CreateObject(parent);
  SetKeys(parent, {MakeKey(0, 0, kCorner), MakeKey(10, 100, kCorner)});
  parent->keys->keys[1].rotation = 90;
  parent->keys->keys[1].scale = Vec3{2, 2, 2};
  SetKeys(child, {MakeKey(0, 10)});

  // At frame 10 the parent stands at x 100, turned a quarter, twice as big: the child's x 10
  // becomes y 20.
  EvaluateTree(project.root, 10, 0);
  EXPECT_NEAR(child->state.screenPos.x, 370 + 100, 1e-3);
  EXPECT_NEAR(child->state.screenPos.y, 260 + 20, 1e-3);
  EXPECT_NEAR(parent->state.screenPos.x, 470, 1e-3);
  // The image child's pivot is its object's pivot.
  EXPECT_NEAR(child->children[0]->state.screenPos.x, 470, 1e-3);

  project.viewZoom = 2;
  project.viewPanX = 50;
  project.viewPanY = -10;
  EvaluateChain(child, 0, 0);
  EXPECT_NEAR(parent->state.position.x, 0, 1e-6);
  EXPECT_NEAR(child->state.screenPos.x, 370 + 2 * (10 - 50), 1e-3);
  EXPECT_NEAR(child->state.screenPos.y, 260 + 2 * (0 + 10), 1e-3);
}

TEST_F(Hierarchy, AChainEvaluationEqualsEvaluatingEachObjectFromTheRoot) {
  SceneObject* object = project.root;
  for (int depth = 0; depth < 6; ++depth) {
    object = CreateObject(object);
    Key a = MakeKey(0, 10.0f * depth, depth % 4);
    Key b = MakeKey(25, -7.5f * depth, (depth + 1) % 4);
    a.rotation = 13.0f * depth;
    b.rotation = -50;
    b.scale = Vec3{1.25f, 1.25f, 1};
    SetKeys(object, {a, b});
  }
  project.viewZoom = 1.7f;
  project.viewPanX = 12;
  EvaluateChain(object, 9, 0.375f);
  std::vector<Key> chained;
  for (SceneObject* node = object; node != nullptr; node = node->parent) {
    chained.push_back(node->state);
  }
  EvaluateChain(object, 20, 0);  // anything else in between
  std::vector<SceneObject*> fromRoot;
  for (SceneObject* node = object; node != nullptr; node = node->parent) {
    fromRoot.insert(fromRoot.begin(), node);
  }
  for (SceneObject* node : fromRoot) EvaluateObject(node, 9, 0.375f);
  int i = 0;
  for (SceneObject* node = object; node != nullptr; node = node->parent, ++i) {
    ASSERT_EQ(node->state.screenPos.x, chained[i].screenPos.x) << "level " << i;
    ASSERT_EQ(node->state.screenPos.y, chained[i].screenPos.y) << "level " << i;
    ASSERT_EQ(node->state.position.x, chained[i].position.x) << "level " << i;
  }
}

// Builds a chain of depth objects below the root by hand (CreateObject refuses to go this deep,
// a file need not), each one key frame 0 at x 0 and one at frame 10 at x 1.
SceneObject* BuildDeepChain(int depth) {
  SceneObject* node = project.root;
  for (int i = 0; i < depth; ++i) {
    SceneObject* next = new SceneObject();
    next->keys = MakeDefaultKeyTrack();
    AddKey(*next->keys, MakeKey(10, 1));
    if (!AppendChild(node, next)) {
      delete next;
      return nullptr;
    }
    node = next;
  }
  return node;
}

TEST_F(Hierarchy, ChainsDeeperThanTheWalkSlotsAreWalkedWhole) {
  SceneObject* deepest = BuildDeepChain(150);
  ASSERT_NE(deepest, nullptr);
  ASSERT_EQ(ChainLength(deepest), 151);
  EvaluateChain(deepest, 10, 0);
  for (SceneObject* node = deepest; node != project.root; node = node->parent) {
    ASSERT_EQ(node->state.position.x, 1.0f);
  }
  EXPECT_NEAR(deepest->state.screenPos.x, 370 + 150, 1e-3);

  // The inverse walk takes every ancestor too.
  deepest->state.screenPos.x += 25;
  const Vec3 local = ScreenToLocal(deepest);
  EXPECT_NEAR(local.x, 26, 1e-3);

  // Nothing new may be created or attached below the model's depth.
  SceneObject* at61 = deepest;
  while (ChainLength(at61) > 61) at61 = at61->parent;
  EXPECT_NE(CreateObject(at61), nullptr);
  EXPECT_EQ(CreateObject(at61->children[0]), nullptr);
  EXPECT_EQ(CreateObject(deepest), nullptr);
}

TEST_F(Hierarchy, NewObjectsAreEvaluatedInPlace) {
  SceneObject* parent = CreateObject(nullptr);
  parent->keys->keys[0].position = Vec3{30, 40, 0};
  EvaluateObject(parent, 0, 0);
  SceneObject* child = CreateObject(parent);
  EXPECT_NEAR(child->state.screenPos.x, 400, 1e-4);
  EXPECT_NEAR(child->state.screenPos.y, 300, 1e-4);
  EXPECT_EQ(child->keys->current.scale.x, 1.0f);
  EXPECT_NEAR(project.root->state.screenPos.x, 370, 1e-4);
}

}  // namespace
