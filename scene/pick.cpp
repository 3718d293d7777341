#include "scene/pick.h"

#include <array>
#include <cmath>

#include "images/image_bank.h"
#include "scene/draw.h"

namespace {

// The object a picture belongs to for the user: an image child's pictures are its parent's.
SceneObject* OwnerOf(SceneObject* holder) {
  if (holder != nullptr && !holder->keys && holder->parent != nullptr) return holder->parent;
  return holder;
}

// Point (x, y) in the space of a queued picture: its matrix (a turn, scale and move in the
// plane) undone. False when the matrix flattens the picture to a line or a point.
bool ToPictureSpace(const float* m, float x, float y, float* outX, float* outY) {
  const double a = m[0], b = m[1], c = m[4], d = m[5];
  const double det = a * d - b * c;
  if (!(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
  const double dx = x - static_cast<double>(m[12]), dy = y - static_cast<double>(m[13]);
  *outX = static_cast<float>((d * dx - c * dy) / det);
  *outY = static_cast<float>((a * dy - b * dx) / det);
  return true;
}

}  // namespace

int ObjectsAtPoint(SceneObject* root, int frame, float x, float y, SceneObject** hits,
                   int capacity) {
  if (root == nullptr || hits == nullptr || capacity <= 0) return 0;
  QueueImages(root, frame, nullptr);
  SortQueue();
  const ImageDrawList& list = imageDrawList;
  int count = 0;
  // The last drawn lies on top.
  for (int k = list.count - 1; k >= 0 && count < capacity; --k) {
    const QueuedImage& queued = list.images[list.order[k].index];
    if (queued.entry == nullptr) continue;
    SceneObject* owner = OwnerOf(queued.object);
    bool known = false;
    for (int i = 0; i < count; ++i) known = known || hits[i] == owner;
    if (known) continue;
    float px = 0, py = 0;
    if (!ToPictureSpace(queued.matrix, x, y, &px, &py)) continue;
    const TiledImage* image = GetImage(queued.entry->file);
    if (ImageCoversPoint(image, queued.entry->flipH, queued.entry->flipV, px, py)) {
      hits[count++] = owner;
    }
  }
  return count;
}

SceneObject* PickObject(SceneObject* root, int frame, float x, float y,
                        const SceneObject* current, bool next) {
  std::array<SceneObject*, kMaxPickHits> hits;
  const int count = ObjectsAtPoint(root, frame, x, y, hits.data(), kMaxPickHits);
  if (count == 0) return nullptr;
  if (next) {
    for (int i = 0; i < count; ++i) {
      if (hits[i] == current) return hits[(i + 1) % count];
    }
  }
  return hits[0];
}
