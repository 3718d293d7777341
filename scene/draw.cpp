// The passes keep each object's model-view matrix on the CPU instead of OpenGL's matrix stack:
// the tree may be 63 objects deep, twice the 32 entries OpenGL promises, and a push beyond
// the stack is refused with only an error flag while the matching pop still pops. The image pass reads the matrix
// once and touches OpenGL no further; the overlay loads each object's matrix before drawing.
#include "scene/draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "images/image_bank.h"
#include "platform/platform.h"
#include "ui/ui.h"

ImageDrawList imageDrawList;
float selectedLevel = 0;

namespace {

constexpr float kPi = 3.14159265358979f;

// Column-major 4 x 4, as glLoadMatrixf takes it.
struct Matrix {
  float m[16];
};

// parent * translate (x, y) * scale (sx, sy) * rotate by degrees about z: what glTranslatef,
// glScalef and glRotatef in that order would make of the parent's matrix.
Matrix ObjectMatrix(const Matrix& parent, const Key& state) {
  const float radians = state.rotation * kPi / 180.0f;
  const float c = std::cos(radians), s = std::sin(radians);
  const float sx = state.scale.x, sy = state.scale.y;
  // Local columns: x axis (c sx, s sy), y axis (-s sx, c sy), z axis unchanged, origin (x, y).
  const float local[4][4] = {{c * sx, s * sy, 0, 0},
                             {-s * sx, c * sy, 0, 0},
                             {0, 0, 1, 0},
                             {state.position.x, state.position.y, 0, 1}};
  Matrix out;
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += parent.m[k * 4 + row] * local[col][k];
      out.m[col * 4 + row] = sum;
    }
  }
  return out;
}

void QueueImage(SceneObject* object, const ImageEntry* entry, const Matrix& matrix, float level) {
  ImageDrawList& list = imageDrawList;
  if (list.count >= kMaxImageDraws) {
    list.dropped += 1;
    return;
  }
  QueuedImage& queued = list.images[list.count];
  queued.entry = entry;
  queued.unloaded = false;
  queued.object = object;
  std::memcpy(queued.matrix, matrix.m, sizeof queued.matrix);
  list.order[list.count] = SortEntry{list.count, level};
  list.count += 1;
}

void QueueFrameImage(SceneObject* object, int frame, const Matrix& matrix, float level) {
  const ImageTrack* track = object->images.get();
  if (track == nullptr || frame < 0 || frame >= kMaxFrames) return;
  const int n = track->frameImage[frame];
  if (n > 0 && n <= kMaxImages) QueueImage(object, &track->entries[n - 1], matrix, level);
}

void Line(float x0, float y0, float x1, float y1) {
  glVertex2f(x0, y0);
  glVertex2f(x1, y1);
}

void DrawGrid() {
  SetLineWidth(1);
  glBegin(GL_LINES);
  for (int i = -10; i <= 10; ++i) {
    if (i == 0) {
      glColor4f(0, 0, 0, 0.4f);
    } else {
      glColor4f(0, 0.2f, 0.4f, 0.2f);
    }
    const float at = 128.0f * i;
    Line(-1280, at, 1280, at);
    Line(at, -1280, at, 1280);
  }
  glEnd();
}

void DrawSelectionFrame(const SceneObject* object, bool onKeyFrame) {
  const float width = onKeyFrame ? 3.0f : 2.0f;
  if (object == project.alignmentParent) {
    glColor4f(0, 0, 0, 0.5f);
  } else if (onKeyFrame) {
    glColor4f(1, 0.5f, 0.5f, 0.5f);
  } else {
    glColor4f(0.5f, 0.5f, 0.5f, 0.4f);
  }
  float w = kObjectFrameSize, h = kObjectFrameSize;
  if (object->kind == kRootObject) w = h = kRootFrameSize;
  if (object->kind == kCameraObject) {
    w = kCameraFrameWidth;
    h = kCameraFrameHeight;
  }
  SetLineWidth(width);
  glBegin(GL_LINES);
  Line(-w / 2, -h / 2, w / 2, -h / 2);
  Line(w / 2, -h / 2, w / 2, h / 2);
  Line(w / 2, h / 2, -w / 2, h / 2);
  Line(-w / 2, h / 2, -w / 2, -h / 2);
  glEnd();
  SetLineWidth(1);
  glBegin(GL_LINES);
  Line(-w / 2, 0, w / 2, 0);
  Line(0, -h / 2, 0, h / 2);
  glEnd();
}

// Drawn in the parent's space: from the position to 5 x the velocity ahead, with a head of two
// 20-unit strokes turned 30 degrees either way from the reversed velocity.
void DrawVelocityArrow(const Key& state) {
  const float x = state.position.x, y = state.position.y;
  const float tipX = x + 5 * state.velocity.x, tipY = y + 5 * state.velocity.y;
  glColor4f(1, 0.6f, 0, 1);
  SetLineWidth(3);
  glBegin(GL_LINES);
  Line(x, y, tipX, tipY);
  const float length = std::hypot(state.velocity.x, state.velocity.y);
  if (length > 0 && std::isfinite(length)) {
    const float backX = -state.velocity.x / length, backY = -state.velocity.y / length;
    for (const float degrees : {30.0f, -30.0f}) {
      const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
      Line(tipX, tipY, tipX + 20 * (c * backX - s * backY), tipY + 20 * (s * backX + c * backY));
    }
  }
  glEnd();
  SetLineWidth(1);
}

// What one walk over the tree does: the image pass of a frame or the overlay.
struct Pass {
  bool onKeyFrame = false;
  bool overlay = false;
  bool editView = false;
  int frame = 0;               // whose images the image pass queues
  bool noteSelected = false;   // record the selected object's level
};

void DrawNode(SceneObject* object, const Pass& pass, float parentLevel,
              const Matrix& parentMatrix) {
  if (object->hidden) return;
  const Matrix matrix = ObjectMatrix(parentMatrix, object->state);
  const float level = parentLevel + object->state.position.z;
  if (pass.noteSelected && object == project.selected) selectedLevel = level;

  const bool marks = pass.overlay && !exporting.load(std::memory_order_relaxed);
  if (!pass.overlay) {
    QueueFrameImage(object, pass.frame, matrix, level);
  } else if (marks && object->kind == kRootObject) {
    glLoadMatrixf(matrix.m);
    DrawGrid();
  }

  for (int i = 0; i < object->childCount; ++i) {
    DrawNode(object->children[i], pass, level, matrix);
  }

  if (!marks || (object != project.selected && object != project.alignmentParent)) return;
  glLoadMatrixf(matrix.m);
  DrawSelectionFrame(object, pass.onKeyFrame);
  if (pass.onKeyFrame && !object->state.autoVelocity && pass.editView) {
    glLoadMatrixf(parentMatrix.m);
    DrawVelocityArrow(object->state);
  }
}

// Insertion sort of short runs, then bottom-up merges: ascending level, equal levels in their
// present order. Runs every frame, so it merges through a fixed scratch list.
void StableSortByLevel(SortEntry* items, int count) {
  constexpr int kRun = 16;
  for (int left = 0; left < count; left += kRun) {
    const int right = std::min(left + kRun, count);
    for (int i = left + 1; i < right; ++i) {
      const SortEntry item = items[i];
      int j = i;
      for (; j > left && item.level < items[j - 1].level; --j) items[j] = items[j - 1];
      items[j] = item;
    }
  }
  static std::array<SortEntry, kMaxImageDraws> scratch;
  for (int width = kRun; width < count; width *= 2) {
    for (int left = 0; left < count; left += 2 * width) {
      const int middle = std::min(left + width, count), right = std::min(left + 2 * width, count);
      int a = left, b = middle, out = left;
      while (a < middle && b < right) {
        scratch[out++] = items[b].level < items[a].level ? items[b++] : items[a++];
      }
      while (a < middle) scratch[out++] = items[a++];
      while (b < right) scratch[out++] = items[b++];
    }
    std::copy(scratch.begin(), scratch.begin() + count, items);
  }
}

}  // namespace

void DrawObject(SceneObject* object, bool onKeyFrame, bool overlay, float parentLevel,
                bool editView) {
  if (object == nullptr) return;
  if (!overlay && imageDrawList.count <= 0) {  // the caller started a new picture
    imageDrawList.count = 0;
    imageDrawList.dropped = 0;
  }
  Matrix current;
  glGetFloatv(GL_MODELVIEW_MATRIX, current.m);
  if (overlay) glDisable(GL_TEXTURE_2D);
  Pass pass;
  pass.onKeyFrame = onKeyFrame;
  pass.overlay = overlay;
  pass.editView = editView;
  pass.frame = project.currentFrame;
  pass.noteSelected = true;
  DrawNode(object, pass, parentLevel, current);
  if (overlay) glLoadMatrixf(current.m);
}

void QueueImages(SceneObject* root, int frame, const float* matrix) {
  imageDrawList.count = 0;
  imageDrawList.dropped = 0;
  if (root == nullptr) return;
  Matrix base = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
  if (matrix != nullptr) std::memcpy(base.m, matrix, sizeof base.m);
  Pass pass;
  pass.frame = frame;
  DrawNode(root, pass, 0, base);
}

void SortQueue() {
  ImageDrawList& list = imageDrawList;
  const int count = std::clamp(list.count, 0, kMaxImageDraws);
  // NOTE: a level that is NaN compares false both ways, so an exchange sort of neighbours never
  // moves anything past it. Sorting the runs between NaNs separately keeps exactly that order.
  int start = 0;
  for (int k = 0; k <= count; ++k) {
    if (k == count || std::isnan(list.order[k].level)) {
      StableSortByLevel(list.order.data() + start, k - start);
      start = k + 1;
    }
  }
}

void DrawQueue() {
  ImageDrawList& list = imageDrawList;
  const int count = std::clamp(list.count, 0, kMaxImageDraws);
  glPushMatrix();
  for (int k = 0; k < count; ++k) {
    QueuedImage& queued = list.images[list.order[k].index];
    if (queued.entry == nullptr) continue;
    glLoadMatrixf(queued.matrix);
    const TiledImage* image = GetImage(queued.entry->file);
    queued.unloaded = image == nullptr;
    if (image != nullptr) DrawTiledImage(image, queued.entry->flipH, queued.entry->flipV);
  }
  glPopMatrix();
}

void DrawQueueBatched(const float* colour) {
  const ImageDrawList& list = imageDrawList;
  const int count = std::clamp(list.count, 0, kMaxImageDraws);
  // The queued matrices hold the whole transform.
  glPushMatrix();
  glLoadIdentity();
  BeginImageBatch(colour);
  for (int k = 0; k < count; ++k) {
    const QueuedImage& queued = list.images[list.order[k].index];
    if (queued.entry == nullptr) continue;
    const TiledImage* image = GetImage(queued.entry->file);
    AddImageToBatch(image, queued.entry->flipH, queued.entry->flipV, queued.matrix);
  }
  EndImageBatch();
  glPopMatrix();
}

int LevelToPixels(float level) {
  if (std::isnan(level)) return 0;
  return static_cast<int>(std::lround(std::clamp(level, -1e6f, 1e6f)));
}

void DrawLevelMarkers(SceneObject* object, float parentLevel) {
  if (object == nullptr) return;
  const float level = parentLevel + object->state.position.z;
  FillRect(6, project.viewHeight / 2 - LevelToPixels(level) - 2, 20, 3, 8);
  for (int i = 0; i < object->childCount; ++i) DrawLevelMarkers(object->children[i], level);
}
