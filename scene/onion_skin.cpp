#include "scene/onion_skin.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "scene/animation.h"
#include "scene/draw.h"

namespace {

// Alpha of a picture one, two and three frames away.
constexpr float kOnionAlpha[kMaxOnionFrames] = {0.4f, 0.24f, 0.12f};
// The channels a tint keeps of the others: the picture stays readable, in the tint's colour.
constexpr float kTintOthers = 0.35f;

// What the onion skin's poses overwrite, in tree order.
struct SavedPose {
  SceneObject* object;
  Key state;
  Key current;
};

void SavePoses(SceneObject* object, std::vector<SavedPose>& saved) {
  SavedPose pose{object, object->state, object->keys ? object->keys->current : Key{}};
  saved.push_back(pose);
  for (int i = 0; i < object->childCount; ++i) SavePoses(object->children[i], saved);
}

}  // namespace

void OnionSkinColour(int distance, float colour[4]) {
  const int steps = std::abs(distance);
  const bool earlier = distance < 0;
  colour[0] = earlier ? 1.0f : kTintOthers;
  colour[1] = earlier ? kTintOthers : 1.0f;
  colour[2] = kTintOthers;
  colour[3] = steps >= 1 && steps <= kMaxOnionFrames ? kOnionAlpha[steps - 1] : 0.0f;
}

void DrawOnionSkins(SceneObject* root, int frame, int framesEachSide) {
  if (root == nullptr) return;
  const int reach = std::clamp(framesEachSide, kMinOnionFrames, kMaxOnionFrames);
  // Kept between frames: the editor draws the onion skin on every pass.
  static std::vector<SavedPose> saved;
  saved.clear();
  SavePoses(root, saved);

  float matrix[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
  for (int steps = reach; steps >= 1; --steps) {
    for (const int distance : {-steps, steps}) {
      const int at = frame + distance;
      if (at < 0 || at >= kMaxFrames) continue;
      PoseTree(root, at);
      QueueImages(root, at, matrix);
      SortQueue();
      float colour[4];
      OnionSkinColour(distance, colour);
      DrawQueueBatched(colour);
    }
  }
  imageDrawList.count = 0;
  for (const SavedPose& pose : saved) {
    pose.object->state = pose.state;
    if (pose.object->keys) pose.object->keys->current = pose.current;
  }
}
