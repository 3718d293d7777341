// The transforms through the tree: pivots to edit-view pixels and back, and re-parenting that
// keeps an object where it is. Each node contributes its evaluated state; drawing scales x and
// y separately, but these walks use the x scale alone, so they are exact when every ancestor
// has equal x and y scales.
#include "scene/animation.h"

#include <cmath>

namespace {

// Degrees become radians through the float 1/180 and then this truncated pi; every pose on
// screen and in exported pictures depends on these exact constants.
constexpr float kInverseHalfTurn = 1.0f / 180.0f;  // 0.0055555557f
constexpr double kPi = 3.141592653589;
static_assert(kInverseHalfTurn == 0.0055555557f, "angles convert through the float 1/180");

bool IsFinite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// A scale that can be divided by: finite, not zero, and with a finite reciprocal.
bool IsInvertibleScale(float scale) {
  return std::isfinite(scale) && scale != 0.0f && std::isfinite(1.0f / scale);
}

// True when every object from object up to the root can be divided out of a position.
bool ChainIsInvertible(const SceneObject* object) {
  for (const SceneObject* node = object; node != nullptr; node = node->parent) {
    if (!IsInvertibleScale(node->state.scale.x)) return false;
  }
  return true;
}

// Objects on the longest chain from object down through its subtree, object included.
int SubtreeHeight(const SceneObject* object) {
  int height = 0;
  for (int i = 0; i < object->childCount; ++i) {
    const int h = SubtreeHeight(object->children[i]);
    if (h > height) height = h;
  }
  return height + 1;
}

struct WorldPose {
  Vec3 position;
  Vec3 scale{1, 1, 1};
  float rotation = 0;
};

}  // namespace

float AccumulatedLevel(const SceneObject* object) {
  float level = 0;
  VisitChainFromRoot(object, [&](const SceneObject* node) { level += node->state.position.z; });
  return level;
}

Turn TurnOf(float degrees) {
  const double radians = static_cast<double>(degrees * kInverseHalfTurn) * kPi;
  return Turn{std::cos(radians), std::sin(radians)};
}

Vec3 Rotate(const Vec3& v, float degrees) { return ApplyTurn(TurnOf(degrees), v); }

Vec3 SceneToScreen(const Vec3& w) {
  const float zoom = project.viewZoom;
  return Vec3{zoom * w.x - zoom * project.viewPanX + static_cast<float>(project.viewWidth) / 2,
              zoom * w.y - zoom * project.viewPanY + static_cast<float>(project.viewHeight) / 2,
              zoom * w.z};
}

void UpdateScreenPos(SceneObject* object) {
  if (object == nullptr) return;
  Vec3 w;
  for (const SceneObject* node = object; node != nullptr; node = node->parent) {
    w = StepToParent(w, TurnOf(node->state.rotation), node->state);
  }
  object->state.screenPos = SceneToScreen(w);
}

Vec3 ScreenToLocal(const SceneObject* object) {
  if (object == nullptr) return Vec3{};
  const Vec3 unchanged = object->state.position;
  const float zoom = project.viewZoom;
  if (!IsInvertibleScale(zoom) || !ChainIsInvertible(object->parent)) return unchanged;

  const Vec3& screen = object->state.screenPos;
  Vec3 p{(screen.x - static_cast<float>(project.viewWidth) / 2 + zoom * project.viewPanX) / zoom,
         (screen.y - static_cast<float>(project.viewHeight) / 2 + zoom * project.viewPanY) / zoom,
         screen.z / zoom};
  VisitChainFromRoot(object->parent, [&](const SceneObject* node) {
    const Key& state = node->state;
    p = Vec3{p.x - state.position.x, p.y - state.position.y, p.z - state.position.z};
    const float inverse = 1.0f / state.scale.x;
    p = Vec3{p.x * inverse, p.y * inverse, p.z * inverse};
    p = Rotate(p, -state.rotation);
  });
  return IsFinite(p) ? p : unchanged;
}

bool AttachTo(SceneObject* object, SceneObject* newParent) {
  if (object == nullptr || newParent == nullptr) return false;
  SceneObject* oldParent = object->parent;
  // The root cannot be detached; its own subtree (object included) would cut it off the tree.
  if (oldParent == nullptr || newParent == oldParent || IsInSubtree(object, newParent)) {
    return false;
  }
  if (newParent->childCount >= kMaxChildren) return false;
  if (ChainLength(newParent) + SubtreeHeight(object) > kMaxChain - 1) return false;

  // The pose on screen is the pose at the current frame.
  const int frame = project.currentFrame;
  EvaluateChain(object, frame, 0);
  EvaluateChain(newParent, frame, 0);
  if (!ChainIsInvertible(newParent)) return false;

  // World pose: the object's own scale, then each ancestor's rotation, x scale and position.
  WorldPose pose;
  pose.position = Vec3{object->state.position.x, object->state.position.y, 0};
  pose.scale = object->state.scale;
  pose.rotation = object->state.rotation;
  for (const SceneObject* node = oldParent; node != nullptr; node = node->parent) {
    const Key& state = node->state;
    pose.rotation += state.rotation;
    pose.position = Rotate(pose.position, state.rotation);
    pose.scale = Vec3{pose.scale.x * state.scale.x, pose.scale.y * state.scale.x,
                      pose.scale.z * state.scale.x};
    pose.position = Vec3{pose.position.x * state.scale.x + state.position.x,
                         pose.position.y * state.scale.x + state.position.y, 0};
  }

  // Into newParent's frame, from the root down.
  VisitChainFromRoot(newParent, [&](const SceneObject* node) {
    const Key& state = node->state;
    pose.position = Vec3{(pose.position.x - state.position.x) / state.scale.x,
                         (pose.position.y - state.position.y) / state.scale.x, 0};
    pose.scale = Vec3{pose.scale.x / state.scale.x, pose.scale.y / state.scale.x,
                      pose.scale.z / state.scale.x};
    pose.rotation -= state.rotation;
    pose.position = Rotate(pose.position, -state.rotation);
  });
  // The level keeps the object's drawing order among everything else in the scene.
  pose.position.z = AccumulatedLevel(object) - AccumulatedLevel(newParent);
  if (!IsFinite(pose.position) || !IsFinite(pose.scale) || !std::isfinite(pose.rotation)) {
    return false;
  }

  DetachChild(oldParent, object);
  AppendChild(newParent, object);
  if (object->keys) {
    KeyTrack& track = *object->keys;
    const Key first = track.keys[0];
    Key key;
    key.frame = 0;
    key.position = pose.position;
    key.scale = pose.scale;
    key.rotation = pose.rotation;
    key.mode = kAuto;
    key.autoVelocity = first.autoVelocity;
    key.velocity = first.velocity;
    track.keys[0] = key;
    track.count = 1;
    // The selected key may have been one of the keys just dropped.
    if (object == project.selected && project.selectedKey >= track.count) project.selectedKey = -1;
  } else {
    object->state.position = pose.position;
    object->state.scale = pose.scale;
    object->state.rotation = pose.rotation;
  }
  EvaluateTree(object, frame, 0);
  return true;
}
