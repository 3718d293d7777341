#include "scene/animation.h"

#include <cmath>

BezierWeights bezierWeights;

namespace {

// Saved projects replay the same poses only if these stay the exact float constants.
constexpr float kStep = 1.0f / 1023.0f;  // 0.0009775171f
constexpr float kOneThird = 1.0f / 3.0f;  // 0.33333334f
static_assert(kStep == 0.0009775171f, "the table step is the float nearest 1/1023");
static_assert(kOneThird == 0.33333334f, "handles use the float nearest 1/3");

constexpr int kChannels = 7;  // position x, y, z; scale x, y, z; rotation

struct Pose {
  Vec3 position;
  Vec3 scale{1, 1, 1};
  float rotation = 0;
  Vec3 velocity;
};

Vec3 operator-(const Vec3& a, const Vec3& b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator/(const Vec3& v, float d) { return Vec3{v.x / d, v.y / d, v.z / d}; }

void ToChannels(const Key& key, float* x) {
  x[0] = key.position.x;
  x[1] = key.position.y;
  x[2] = key.position.z;
  x[3] = key.scale.x;
  x[4] = key.scale.y;
  x[5] = key.scale.z;
  x[6] = key.rotation;
}

Pose PoseOfKey(const Key& key, const Vec3& velocity) {
  return Pose{key.position, key.scale, key.rotation, velocity};
}

// Index of the last key whose frame is at or before frame, -1 when every key is later. Tracks
// are in ascending frame order, so a binary search finds the key a full scan would; on a track
// out of order (a damaged file) it still returns an index in range.
int LastKeyAtOrBefore(const KeyTrack& track, int count, int frame) {
  int low = 0, high = count;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (track.keys[middle].frame <= frame) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low - 1;
}

// Pose between key c and key c + 1. The handles of both keys come from their modes; keys with
// automatic velocity get the worked-out position tangent written back (unless writeBack is
// false), the others bend the position handle along their stored velocity.
Pose EvaluateSegment(KeyTrack& track, int count, int c, int frame, float fraction,
                     bool writeBack) {
  Key& a = track.keys[c];
  Key& b = track.keys[c + 1];
  const int span = b.frame - a.frame;
  // Two keys on one frame (or out of order) come only from damaged files: hold the earlier pose.
  if (span <= 0) return PoseOfKey(a, a.velocity);

  const float d = static_cast<float>(span);
  const float t = static_cast<float>((static_cast<double>(frame) + fraction - a.frame) / span);
  float x0[kChannels], x1[kChannels], x2[kChannels], x3[kChannels];
  ToChannels(a, x0);
  ToChannels(b, x3);

  // Outgoing handle, decided by a.
  Vec3 velocityA;
  const int spanBefore = c > 0 ? b.frame - track.keys[c - 1].frame : 0;
  if (c > 0 && a.mode == kAuto && spanBefore > 0) {
    const Key& previous = track.keys[c - 1];
    float xp[kChannels];
    ToChannels(previous, xp);
    const float s = d / static_cast<float>(spanBefore) / 3.0f;
    for (int i = 0; i < kChannels; ++i) x1[i] = x0[i] + (x3[i] - xp[i]) * s;
    velocityA = (b.position - previous.position) / static_cast<float>(spanBefore);
  } else if (a.mode == kStationary) {
    for (int i = 0; i < kChannels; ++i) x1[i] = x0[i];
  } else {
    const float s = d / d * kOneThird;
    for (int i = 0; i < kChannels; ++i) x1[i] = x0[i] + (x3[i] - x0[i]) * s;
    velocityA = (b.position - a.position) / d;
  }
  const Vec3 outgoing = a.autoVelocity != 0 ? velocityA : a.velocity;
  if (a.autoVelocity != 0) {
    if (writeBack) a.velocity = velocityA;
  } else {
    const float reach = d * kOneThird;
    x1[0] = a.position.x + a.velocity.x * reach;
    x1[1] = a.position.y + a.velocity.y * reach;
    x1[2] = a.position.z + a.velocity.z * reach;
  }

  // Incoming handle, decided by b.
  Vec3 velocityB;
  const int spanAfter = c + 1 < count - 1 ? track.keys[c + 2].frame - a.frame : 0;
  if (c + 1 < count - 1 && b.mode == kAuto && spanAfter > 0) {
    const Key& next = track.keys[c + 2];
    float xn[kChannels];
    ToChannels(next, xn);
    const float s = d / static_cast<float>(spanAfter) / 3.0f;
    for (int i = 0; i < kChannels; ++i) x2[i] = x3[i] - (xn[i] - x0[i]) * s;
    velocityB = (next.position - a.position) / static_cast<float>(spanAfter);
  } else if (b.mode == kStationary) {
    for (int i = 0; i < kChannels; ++i) x2[i] = x3[i];
  } else {
    for (int i = 0; i < kChannels; ++i) x2[i] = x3[i] - (x3[i] - x0[i]) * kOneThird;
    velocityB = (b.position - a.position) / d;
  }
  if (b.autoVelocity != 0) {
    if (writeBack) b.velocity = velocityB;
  } else {
    const float reach = d * kOneThird;
    x2[0] = b.position.x - b.velocity.x * reach;
    x2[1] = b.position.y - b.velocity.y * reach;
    x2[2] = b.position.z - b.velocity.z * reach;
  }

  // Bezier3 of position and scale and the same sum for rotation, all with the weights at t.
  const CurveWeights& w = WeightsAt(t);
  float x[kChannels];
  for (int i = 0; i < kChannels; ++i) {
    x[i] = w.w0 * x0[i] + w.w1 * x1[i] + w.w2 * x2[i] + w.w3 * x3[i];
  }
  return Pose{Vec3{x[0], x[1], x[2]}, Vec3{x[3], x[4], x[5]}, x[6], outgoing};
}

// Pose from the last key on: that key's values. Its velocity is the chord from the key before
// when it is automatic (zero for Stationary), else its own; nothing is written back.
Pose EvaluateAfterLastKey(const KeyTrack& track, int c) {
  const Key& key = track.keys[c];
  Vec3 velocity;
  if (key.autoVelocity == 0) {
    velocity = key.velocity;
  } else if (c > 0 && key.mode != kStationary) {
    const Key& previous = track.keys[c - 1];
    const int span = key.frame - previous.frame;
    if (span > 0) velocity = (key.position - previous.position) / static_cast<float>(span);
  }
  return PoseOfKey(key, velocity);
}

// EvaluateObject without the screen position.
void EvaluatePose(SceneObject* object, int frame, float fraction, bool writeBack = true) {
  if (fraction < 0) {
    frame -= 1;
    fraction += 1;
  }
  if (frame < 0) {
    frame = 0;
    fraction = 0;
  }
  // An image child "a" has a fixed pose; a track without keys can only come from a damaged file.
  if (!object->keys || object->keys->count <= 0) return;
  KeyTrack& track = *object->keys;
  const int count = track.count < kMaxKeys ? track.count : kMaxKeys;
  const int c = LastKeyAtOrBefore(track, count, frame);

  Pose pose;
  if (c < 0) {
    pose = PoseOfKey(track.keys[0], Vec3{});
  } else if (c == count - 1) {
    pose = EvaluateAfterLastKey(track, c);
  } else {
    pose = EvaluateSegment(track, count, c, frame, fraction, writeBack);
  }

  Key& state = object->state;
  state.position = pose.position;
  state.scale = pose.scale;
  state.rotation = pose.rotation;
  state.velocity = pose.velocity;
  track.current = state;
}

}  // namespace

void BuildBezierWeights() {
  if (bezierWeights.built) return;
  for (int i = 0; i < kBezierSteps; ++i) {
    // t is a float step; t squared is rounded to float before use; the products are taken in
    // double and each weight is stored as a float.
    const float t = static_cast<float>(i) * kStep;
    const float t2 = t * t;
    const double u = 1.0 - static_cast<double>(t);
    CurveWeights& w = bezierWeights.entries[i];
    w.w0 = static_cast<float>(u * u * u);
    w.w1 = static_cast<float>(3.0 * t * u * u);
    w.w2 = static_cast<float>(3.0 * t2 * u);
    w.w3 = static_cast<float>(static_cast<double>(t2) * t);
  }
  bezierWeights.built = true;
}

const CurveWeights& WeightsAt(float t) {
  if (!bezierWeights.built) BuildBezierWeights();
  // NaN fails both tests and lands on entry 0.
  if (!(t > 0.0f)) t = 0.0f;
  if (t > 1.0f) t = 1.0f;
  // NOTE: the product is taken in double. In float, t = 5/30 gives exactly 170.5 and would
  // round to entry 170; the pose that users and saved projects know uses entry 171.
  const int index = static_cast<int>(std::nearbyint(static_cast<double>(t) * 1023.0));
  return bezierWeights.entries[index];
}

Vec3 Bezier3(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float t) {
  const CurveWeights& w = WeightsAt(t);
  return Vec3{w.w0 * p0.x + w.w1 * p1.x + w.w2 * p2.x + w.w3 * p3.x,
              w.w0 * p0.y + w.w1 * p1.y + w.w2 * p2.y + w.w3 * p3.y,
              w.w0 * p0.z + w.w1 * p1.z + w.w2 * p2.z + w.w3 * p3.z};
}

void EvaluateObject(SceneObject* object, int frame, float fraction) {
  if (object == nullptr) return;
  EvaluatePose(object, frame, fraction);
  UpdateScreenPos(object);
}

void EvaluateTree(SceneObject* object, int frame, float fraction) {
  if (object == nullptr) return;
  EvaluateObject(object, frame, fraction);
  for (int i = 0; i < object->childCount; ++i) EvaluateTree(object->children[i], frame, fraction);
}

void PoseTree(SceneObject* object, int frame) {
  if (object == nullptr) return;
  EvaluatePose(object, frame, 0, false);
  for (int i = 0; i < object->childCount; ++i) PoseTree(object->children[i], frame);
}

void EvaluateChain(SceneObject* object, int frame, float fraction) {
  if (object == nullptr) return;
  std::array<SceneObject*, kMaxChain> chain;  // chain[0] is object
  int count = 0;
  for (SceneObject* node = object; node != nullptr && count < kMaxChain; node = node->parent) {
    chain[count++] = node;
  }
  if (chain[count - 1]->parent != nullptr) {
    // Deeper than the slots (only a damaged file makes such a chain): the plain walk.
    VisitChainFromRoot(object, [&](SceneObject* node) { EvaluateObject(node, frame, fraction); });
    return;
  }
  // Poses root first; then every pivot walks up to the root as UpdateScreenPos does, with each
  // ancestor's turn worked out once: the view runs this 201 times a frame for its motion path.
  std::array<Turn, kMaxChain> turns;
  for (int i = count - 1; i >= 0; --i) {
    EvaluatePose(chain[i], frame, fraction);
    turns[i] = TurnOf(chain[i]->state.rotation);
  }
  for (int i = 0; i < count; ++i) {
    Vec3 w;
    for (int j = i; j < count; ++j) w = StepToParent(w, turns[j], chain[j]->state);
    chain[i]->state.screenPos = SceneToScreen(w);
  }
}

int InsertKey(SceneObject* object, int frame) {
  if (object == nullptr || !object->keys || frame < 0 || frame >= kMaxFrames) return -1;
  KeyTrack& track = *object->keys;
  const int existing = FindKeyAtFrame(track, frame);
  if (existing >= 0) return existing;
  if (track.count >= kMaxKeys) return -1;

  EvaluateObject(object, frame, 0);
  int j = 0;
  while (j < track.count && track.keys[j].frame <= frame) ++j;

  Key key;
  key.frame = frame;
  key.position = track.current.position;
  key.scale = track.current.scale;
  key.rotation = track.current.rotation;
  key.mode = j > 0 ? track.keys[j - 1].mode : kAuto;
  key.autoVelocity = 1;
  return AddKey(track, key);
}
