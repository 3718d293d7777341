// Key-frame interpolation and the transforms through the object tree: poses at any frame and
// fraction from the cubic curves of the key track, key insertion, the mapping between an
// object's pivot and edit-view pixels, and re-parenting that keeps an object where it is.
// Builds on scene/scene.h (records, ProjectState).
#pragma once

#include <array>

#include "scene/scene.h"

constexpr int kBezierSteps = 1024;  // curve parameter steps: t = i / 1023

// The four cubic Bernstein weights at one parameter value.
struct CurveWeights {
  float w0 = 0, w1 = 0, w2 = 0, w3 = 0;
};

// The weights at every step, built once at start-up (any evaluation builds it if nobody has).
struct BezierWeights {
  std::array<CurveWeights, kBezierSteps> entries;
  bool built = false;
};
extern BezierWeights bezierWeights;

// Fills bezierWeights; later calls do nothing.
void BuildBezierWeights();
// The table entry nearest t (clamped to [0, 1]; halfway cases go to the even entry).
const CurveWeights& WeightsAt(float t);
// w0*p0 + w1*p1 + w2*p2 + w3*p3 per component, with the weights at t.
Vec3 Bezier3(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float t);
// v turned by degrees (clockwise on screen) about the z axis; z of the result is 0.
Vec3 Rotate(const Vec3& v, float degrees);

// A turn as its cosine and sine, for walks that apply one angle many times: ApplyTurn(TurnOf(d),
// v) is exactly Rotate(v, d).
struct Turn {
  double cosine = 1, sine = 0;
};
Turn TurnOf(float degrees);
inline Vec3 ApplyTurn(const Turn& turn, const Vec3& v) {
  return Vec3{static_cast<float>(turn.cosine * v.x - turn.sine * v.y),
              static_cast<float>(turn.sine * v.x + turn.cosine * v.y), 0};
}

// Sets object's state (and its track's current) to the pose at frame + fraction, writing the
// worked-out velocities back into the keys, then updates the pivot's screen position. A
// fraction below 0 counts back from frame; times before frame 0 evaluate at frame 0.
void EvaluateObject(SceneObject* object, int frame, float fraction);
// EvaluateObject on object and then on its whole subtree, parents before children.
void EvaluateTree(SceneObject* object, int frame, float fraction);
// The poses of object's subtree at frame, parents before children, and nothing else: no
// worked-out velocity is written back into a key and no screen position is updated. For
// pictures of other frames; the caller keeps the states it needs and puts them back.
void PoseTree(SceneObject* object, int frame);
// EvaluateObject on the root, every ancestor down to object, and object.
void EvaluateChain(SceneObject* object, int frame, float fraction);

// Sets state.screenPos: where object's pivot lands in the edit view, from the evaluated states
// of the object and its ancestors.
void UpdateScreenPos(SceneObject* object);
// One step of that walk: point w of a node's frame, given the node's state and the turn of its
// rotation, into the frame of the node's parent (turned, times the x scale, moved).
inline Vec3 StepToParent(const Vec3& w, const Turn& turn, const Key& state) {
  const Vec3 turned = ApplyTurn(turn, w);
  const float scale = state.scale.x;
  return Vec3{turned.x * scale + state.position.x, turned.y * scale + state.position.y,
              turned.z * scale + state.position.z};
}
// Sum of the evaluated levels (position z) from the root down to object: its drawing order,
// also for an object that is hidden and that the drawing passes do not visit.
float AccumulatedLevel(const SceneObject* object);
// A point of the scene (root frame) as edit-view pixels, through zoom and pan.
Vec3 SceneToScreen(const Vec3& w);
// The position in the parent's frame that puts object's pivot at its state.screenPos. When an
// ancestor's x scale (or the zoom) is zero or not finite, the mapping has no inverse and the
// result is the object's current position, so a drag leaves it where it was.
Vec3 ScreenToLocal(const SceneObject* object);

// Inserts a key at frame holding the pose evaluated there, with the mode of the key before it
// (Auto when it becomes the first key), automatic velocity on and zero velocity. Returns its
// index; the index of the key already on frame (track unchanged); or -1 when the object has no
// key track, the track is full or frame lies outside 0..1999.
int InsertKey(SceneObject* object, int frame);

// Moves object under newParent keeping where it is at the current frame: its key track becomes
// one key at frame 0 holding that pose. False, and nothing changed, for the root, newParent
// being object, its parent or inside its subtree, a full newParent, a chain that would grow
// past the model's depth, or a pose that cannot be expressed in newParent's frame (a zero or
// non-finite x scale on the way).
bool AttachTo(SceneObject* object, SceneObject* newParent);

// Calls visit(node) for every object from the root down to object, root first. The walk holds
// at most kMaxChain objects at a time; a deeper chain (only a damaged file makes one) is taken
// in pieces rather than overflowing the slots.
template <typename Node, typename Visit>
void VisitChainFromRoot(Node* object, Visit&& visit) {
  if (object == nullptr) return;
  std::array<Node*, kMaxChain> chain;
  int count = 0;
  for (Node* node = object; node != nullptr && count < kMaxChain; node = node->parent) {
    chain[count++] = node;
  }
  if (chain[count - 1]->parent != nullptr) VisitChainFromRoot(chain[count - 1]->parent, visit);
  for (int i = count - 1; i >= 0; --i) visit(chain[i]);
}
