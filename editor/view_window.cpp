// The view reads presses before it draws: a handle press of this frame starts its drag at once,
// the drag key is chosen (or inserted) on the drag's first frame and edited until the button is
// released, and the handles are drawn where the edited pose puts them.
#include "editor/view_window.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "editor/commands.h"
#include "editor/editor_frame.h"
#include "editor/editor_state.h"
#include "editor/object_panel.h"
#include "editor/properties_strip.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "scene/animation.h"
#include "scene/draw.h"
#include "scene/onion_skin.h"
#include "scene/pick.h"
#include "ui/ui.h"

namespace {

constexpr int kMotionPathSamples = 201;
constexpr int kMotionPathReach = 100;  // frames before and after the current one
constexpr float kGuideLength = 800;
constexpr float kCameraShadeReach = 100000;  // camera units

// Whether the left button counted as the middle one (Left Alt held) in the previous frame. A
// press reaches the view one frame after it landed, when a quick click may be over and the
// toolkit has forgotten that the middle press was Alt and the left button.
bool leftAsMiddleBefore = false;

// Nearest integer of a view coordinate; far or broken values are held where they cannot wrap.
int Nearest(float value) {
  if (std::isnan(value)) return 0;
  return static_cast<int>(std::lround(std::clamp(value, -1e6f, 1e6f)));
}

Vec3 Add(const Vec3& a, const Vec3& b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Subtract(const Vec3& a, const Vec3& b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Times(const Vec3& a, float f) { return Vec3{a.x * f, a.y * f, a.z * f}; }

bool HasKeys(const SceneObject* object) {
  return object != nullptr && object->keys && object->keys->count > 0;
}

bool IsViewDrag(int dragState) { return dragState >= 1 && dragState <= 9; }

int CentreX() { return project.viewWidth / 2; }
int CentreY() { return project.viewHeight / 2; }

Vec3 MousePoint() {
  return Vec3{static_cast<float>(ui->localMouseX), static_cast<float>(ui->localMouseY), 0};
}

// The content area: handles are pressed only where they can be seen.
bool MouseInView() {
  const WindowLayout& layout = CurrentLayout(kViewWindow);
  return MouseInLocal(0, 0, layout.visibleWidth, layout.visibleHeight);
}

// The edit view's pixel space is the size of the view's body (740 x 520 in a 1024 x 768 window)
// and follows the window's; the scene stays centred in it. Screen positions evaluated for
// another size are worked out again.
void FitViewToWindow() {
  const WindowLayout& layout = CurrentLayout(kViewWindow);
  if (project.viewWidth == layout.width && project.viewHeight == layout.height) return;
  project.viewWidth = layout.width;
  project.viewHeight = layout.height;
  if (project.root != nullptr) EvaluateTree(project.root, project.currentFrame, 0);
}

// Where the "V" handle lies: the pivot moved on by the key velocity of kVelocityHandleFrames
// frames, in view pixels. The object's pose is left as it was.
Vec3 VelocityHandlePoint(SceneObject* object) {
  Key& state = object->state;
  const Vec3 saved = state.position;
  state.position = Add(saved, Times(state.velocity, kVelocityHandleFrames));
  UpdateScreenPos(object);
  const Vec3 point = state.screenPos;
  state.position = saved;
  UpdateScreenPos(object);
  return point;
}

// A press in a handle's hit rectangle: the left button starts its drag, the right one opens
// its menu. Later handles overwrite earlier ones where rectangles overlap.
bool PressHandle(int x, int y, int w, int h, int drag, int menu) {
  if (!MouseInLocal(x, y, w, h)) return false;
  if (ui->leftPressed) editor.dragState = drag;
  if (ui->rightPressed) OpenMenu(menu);
  return ui->leftPressed != 0;
}

void PressHandles(SceneObject* selected) {
  const int x = Nearest(selected->state.screenPos.x), y = Nearest(selected->state.screenPos.y);
  const int half = kHandleHit / 2;
  if (PressHandle(x - half, y - half, kHandleHit, kHandleHit, kDragMove, 3)) {
    editor.grabOffset = Subtract(selected->state.screenPos, MousePoint());
    editor.dragStartScreen = selected->state.screenPos;
  }
  PressHandle(x + kRotateHandleDX - half, y - half, kHandleHit, kHandleHit, kDragRotate, 4);
  if (PressHandle(x - half, y + kScaleHandleDY - half, kHandleHit, kHandleHit, kDragScale, 5)) {
    editor.scaleDragStart = selected->state.scale;
    editor.scaleDragStartY = ui->mouseY;
  }
  const int level = LevelToPixels(selectedLevel);
  PressHandle(6, CentreY() - level - 4, 20, 7, kDragLevel, 2);
}

// The key on the current frame, copied into the object's state so that the state carries the
// key's mode, velocity flag and velocity. Its index, or -1 when the frame has no key.
int LoadCurrentKey(SceneObject* selected) {
  if (!HasKeys(selected)) return -1;
  const int index = FindKeyAtFrame(*selected->keys, project.currentFrame);
  if (index < 0) return -1;
  selected->state = selected->keys->keys[index];
  UpdateScreenPos(selected);
  return index;
}

void PressVelocityHandle(SceneObject* selected, bool inView) {
  const Vec3 point = VelocityHandlePoint(selected);
  const int half = kHandleHit / 2;
  if (inView && ui->leftPressed &&
      MouseInLocal(Nearest(point.x) - half, Nearest(point.y) - half, kHandleHit, kHandleHit)) {
    editor.dragState = kDragVelocity;
    editor.grabOffset = Subtract(point, MousePoint());
  }
}

// The key the drag edits, chosen on its first frame: the key on the current frame, inserted
// holding the evaluated pose when there is none. Stays -1 while a full track has no key here.
void ChooseDragKey(SceneObject* selected) {
  if (!IsViewDrag(editor.dragState) || editor.dragKey != -1 || !HasKeys(selected)) return;
  editor.dragKey = InsertKey(selected, project.currentFrame);
}

Key* DragKey(SceneObject* selected) {
  KeyTrack& track = *selected->keys;
  if (editor.dragKey < 0 || editor.dragKey >= track.count) return nullptr;
  return &track.keys[editor.dragKey];
}

// One frame of the drag in progress. An object with keys changes only through the drag key;
// one without (an image child whose alignment is edited) changes its own pose.
void StepDrag(SceneObject* selected) {
  Key& state = selected->state;
  Key* key = nullptr;
  if (HasKeys(selected)) {
    key = DragKey(selected);
    if (key == nullptr) return;  // no key here and no room for one: the drag changes nothing
  }
  const int frame = project.currentFrame;
  const float dy = static_cast<float>(ui->mouseDY);
  // The pose the press found: an inserted key holds it, and so does a key already there.
  const Vec3 startScale = editor.scaleDragStart;
  switch (editor.dragState) {
    case kDragMove: {
      const Vec3 mouse = MousePoint();
      Vec3 target = Add(mouse, editor.grabOffset);
      if (editor.shiftHeld) target = ConstrainMove(mouse, editor.dragStartScreen, target);
      state.screenPos = target;
      const Vec3 local = ScreenToLocal(selected);
      Vec3& position = key != nullptr ? key->position : state.position;
      position.x = local.x;
      position.y = local.y;
      break;
    }
    case kDragRotate:
      (key != nullptr ? key->rotation : state.rotation) += kDegreesPerPixel * dy;
      break;
    case kDragScale: {
      const float factor = ScaleDragFactor(ui->mouseY - editor.scaleDragStartY);
      Vec3& scale = key != nullptr ? key->scale : state.scale;
      scale = Vec3{ScaleComponent(startScale.x, factor), ScaleComponent(startScale.y, factor),
                   ScaleComponent(startScale.z, factor)};
      break;
    }
    case kDragVelocity: {
      if (key == nullptr) return;
      // The handle stays under the mouse: the velocity is what takes the pivot there in 5
      // frames. Only x and y follow the mouse; the level's tangent is left alone.
      const Vec3 saved = state.position;
      state.position = Add(saved, Times(state.velocity, kVelocityHandleFrames));
      state.screenPos = Add(MousePoint(), editor.grabOffset);
      const Vec3 local = ScreenToLocal(selected);
      key->velocity.x = (local.x - saved.x) / kVelocityHandleFrames;
      key->velocity.y = (local.y - saved.y) / kVelocityHandleFrames;
      state.velocity = key->velocity;
      state.position = saved;
      break;
    }
    case kDragLevel:
      (key != nullptr ? key->position.z : state.position.z) -= dy;
      break;
    default:
      return;
  }
  if (key != nullptr && editor.dragState != kDragVelocity) {
    EvaluateObject(selected, frame, 0);
  } else {
    UpdateScreenPos(selected);
  }
}

// View pixels back in scene units (the edit view's zoom and pan undone).
Vec3 ScreenToScene(const Vec3& screen) {
  const float zoom = project.viewZoom;
  return Vec3{(screen.x - static_cast<float>(CentreX())) / zoom + project.viewPanX,
              (screen.y - static_cast<float>(CentreY())) / zoom + project.viewPanY,
              screen.z / zoom};
}

// The click that ended: the picture under the pointer selects its object, and the object list
// shows its row. The pan kept the scene point under the pointer, so the pointer now is where
// the press was in the scene.
void PickAtPointer() {
  const Vec3 point = ScreenToScene(MousePoint());
  SceneObject* picked = PickObject(project.root, project.currentFrame, point.x, point.y,
                                   project.selected, editor.pickNext);
  LogMessage("%s at %.1f, %.1f: %s", editor.pickNext ? "Alt+click" : "click",
             static_cast<double>(point.x), static_cast<double>(point.y),
             picked != nullptr ? picked->name : "no picture");
  if (picked == nullptr) return;
  SelectObject(picked);
  ScrollObjectListToShow(picked);
}

// Pan with the middle button (or Alt and the left one) or the left one, from a press on the
// view's empty space until the button is let go: a held title bar or the click that closed a
// menu (its press reached no window) does not move the scene. A left press that ends where it
// began is a click that picks (Alt+click the next picture below); the real middle button only
// pans. The wheel zooms.
void PanAndZoom(bool inView) {
  if (editor.pickPending &&
      (std::abs(ui->mouseX - editor.pickPressX) > kClickSlop ||
       std::abs(ui->mouseY - editor.pickPressY) > kClickSlop)) {
    editor.pickPending = false;
  }
  if (!ui->leftDown && !ui->middleDown) {
    if (editor.viewPanning && editor.pickPending) PickAtPointer();
    editor.viewPanning = false;
    editor.pickPending = false;
  }
  if (editor.dragState != kDragNone) return;
  if ((ui->leftPressed || ui->middlePressed) && inView) {
    editor.viewPanning = true;
    const bool altClick = ui->middlePressed && leftAsMiddleBefore;
    editor.pickPending = ui->leftPressed || altClick;
    editor.pickNext = altClick;
    editor.pickPressX = ui->mouseX;
    editor.pickPressY = ui->mouseY;
  }
  if (editor.viewPanning) {
    project.viewPanX -= static_cast<float>(ui->mouseDX) / project.viewZoom;
    project.viewPanY -= static_cast<float>(ui->mouseDY) / project.viewZoom;
  }
  project.viewZoom = ZoomAfterWheel(project.viewZoom, mouseState.wheel);
  mouseState.wheel = 0;
}

bool IsInvertible(float scale) {
  return std::isfinite(scale) && scale != 0.0f && std::isfinite(1.0f / scale);
}

// The inverse of the camera's pose in the root and of the root's pose; false when a scale on
// the way cannot be divided by (nothing can be seen through such a camera).
bool ApplyCameraViewTransform() {
  const Key& camera = project.camera->state;
  const Key& root = project.root->state;
  if (!IsInvertible(camera.scale.x) || !IsInvertible(camera.scale.y) ||
      !IsInvertible(root.scale.x) || !IsInvertible(root.scale.y)) {
    return false;
  }
  glScalef(1 / camera.scale.x, 1 / camera.scale.y, 1);
  glRotatef(-camera.rotation, 0, 0, 1);
  glTranslatef(-camera.position.x, -camera.position.y, 0);
  glScalef(1 / root.scale.x, 1 / root.scale.y, 1);
  glRotatef(-root.rotation, 0, 0, 1);
  glTranslatef(-root.position.x, -root.position.y, 0);
  return true;
}

float PathAlpha(int sample) {
  return 1.0f - 0.01f * static_cast<float>(std::abs(sample - kMotionPathReach));
}

// Where the selected object goes over 200 frames around the current one, with the keys of that
// stretch marked. Leaves the object's chain evaluated at other frames.
void DrawMotionPath(SceneObject* selected) {
  std::array<Vec3, kMotionPathSamples> points;
  for (int i = 0; i < kMotionPathSamples; ++i) {
    EvaluateChain(selected, MotionPathFrame(i, project.currentFrame), 0);
    points[i] = ScreenToScene(selected->state.screenPos);
  }
  glDisable(GL_TEXTURE_2D);
  SetLineWidth(2);
  glBegin(GL_LINES);
  for (int j = 0; j + 1 < kMotionPathSamples; ++j) {
    glColor4f(0.7f, 0.7f, 0.7f, PathAlpha(j) * 0.6f);
    glVertex2f(points[j].x, points[j].y);
    glVertex2f(points[j + 1].x, points[j + 1].y);
  }
  glEnd();
  SetLineWidth(1);

  auto points4 = [&](float size, float grey, float alphaScale, int step) {
    SetPointSize(size);
    glBegin(GL_POINTS);
    for (int i = 0; i < kMotionPathSamples; i += step) {
      glColor4f(grey, grey, grey, PathAlpha(i) * alphaScale);
      glVertex2f(points[i].x, points[i].y);
    }
    glEnd();
  };
  points4(2, 0.5f, 0.7f, 1);
  points4(5, 1.0f, 1.0f, 4);
  points4(3, 0.0f, 1.0f, 4);

  const KeyTrack& track = *selected->keys;
  for (int k = 0; k < track.count && k < kMaxKeys; ++k) {
    const int distance = std::abs(track.keys[k].frame - project.currentFrame);
    if (distance > kMotionPathReach) continue;
    EvaluateChain(selected, track.keys[k].frame, 0);
    const Vec3 point = ScreenToScene(selected->state.screenPos);
    const float alpha = 1.0f - 0.005f * static_cast<float>(distance);
    SetPointSize(7);
    glBegin(GL_POINTS);
    glColor4f(1, 1, 1, alpha);
    glVertex2f(point.x, point.y);
    glEnd();
    SetPointSize(5);
    glBegin(GL_POINTS);
    glColor4f(1, 0, 0, alpha);
    glVertex2f(point.x, point.y);
    glEnd();
  }
  SetPointSize(1);
}

// The camera's picture frame and the shade around it, in the camera's own units.
void DrawCameraMask(bool cameraView, bool outlineFrame) {
  const Key& root = project.root->state;
  const Key& camera = project.camera->state;
  glPushMatrix();
  glTranslatef(root.position.x, root.position.y, 0);
  glScalef(root.scale.x, root.scale.y, 1);
  glRotatef(root.rotation, 0, 0, 1);
  glTranslatef(camera.position.x, camera.position.y, 0);
  glScalef(camera.scale.x, camera.scale.y, 1);
  glRotatef(camera.rotation, 0, 0, 1);
  glDisable(GL_TEXTURE_2D);

  if (cameraView) {
    glColor4f(0.5f, 0.4f, 0.4f, 0.6f);
  } else {
    glColor4f(0.5f, 0.5f, 0.5f, 0.4f);
  }
  auto quad = [](float x0, float y0, float x1, float y1) {
    glVertex2f(x0, y0);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
  };
  // Seen through the camera the shade reaches past any window size; in the edit view it is a
  // frame of 1240 x 1080 around the picture.
  const float outerX = cameraView ? kCameraShadeReach : 620;
  const float outerY = cameraView ? kCameraShadeReach : 540;
  glBegin(GL_QUADS);
  quad(-outerX, -outerY, -320, outerY);
  quad(-320, -outerY, 320, -240);
  quad(-320, 240, 320, outerY);
  quad(320, -outerY, outerX, outerY);
  glEnd();

  SetLineWidth(1);
  glColor4f(0, 0, 0, 0.3f);
  glBegin(GL_LINES);
  glVertex2f(0, -outerY);
  glVertex2f(0, outerY);
  glVertex2f(-outerX, 0);
  glVertex2f(outerX, 0);
  glEnd();

  if (outlineFrame) {
    SetLineWidth(2);
    glColor4f(0, 0, 0, 1);
    glBegin(GL_LINE_LOOP);
    glVertex2f(-320, -240);
    glVertex2f(320, -240);
    glVertex2f(320, 240);
    glVertex2f(-320, 240);
    glEnd();
    SetLineWidth(1);
  }
  glPopMatrix();
}

// The scene under the view transform, the motion path and the camera mask.
void DrawScene(SceneObject* selected, bool cameraView, bool onKeyFrame) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glTranslatef(static_cast<float>(ui->originX + CentreX()),
               static_cast<float>(ui->originY + CentreY()), 0);
  bool visible = true;
  if (cameraView) {
    visible = ApplyCameraViewTransform();
  } else {
    glScalef(project.viewZoom, project.viewZoom, 1);
    glTranslatef(-project.viewPanX, -project.viewPanY, 0);
  }
  if (visible) {
    // Behind the current picture, in the edit view only.
    if (!cameraView && editor.onionSkin) {
      DrawOnionSkins(project.root, project.currentFrame, editor.onionFrames);
    }
    imageDrawList.count = 0;
    DrawObject(project.root, onKeyFrame, false, 0);
    SortQueue();
    DrawQueue();
    DrawObject(project.root, onKeyFrame, true, 0, !cameraView);
    if (HasKeys(selected)) DrawMotionPath(selected);
    EvaluateChain(project.camera, project.currentFrame, 0);
    const bool cameraOutlined = selected == project.camera && onKeyFrame;
    DrawCameraMask(cameraView, !cameraOutlined);
  }
  glPopMatrix();
}

void DrawHandle(int x, int y, const char* label, bool dragged, int square) {
  const int half = kHandleSquare / 2;
  FillRect(x - half, y - half, kHandleSquare, kHandleSquare, dragged ? 9 : square);
  DrawText(x - 3, y - 4, dragged ? square : 9, label);
}

// Guide lines, handles, name plate, velocity handle and level scale of the edit view.
void DrawEditOverlays(SceneObject* selected, bool velocityHandle) {
  const int x = Nearest(selected->state.screenPos.x), y = Nearest(selected->state.screenPos.y);
  // The guides cross the whole view, however large the window.
  const int guide =
      std::max(static_cast<int>(kGuideLength), project.viewWidth + project.viewHeight);
  if (editor.dragState == kDragMove) {
    FillRectAlpha(x, y - guide, 1, 2 * guide, 6, 0.5f);
    FillRectAlpha(x - guide, y, 2 * guide, 1, 6, 0.5f);
  }
  DrawHandle(x, y, "P", editor.dragState == kDragMove, 6);
  DrawHandle(x + kRotateHandleDX, y, "R", editor.dragState == kDragRotate, 6);
  DrawHandle(x, y + kScaleHandleDY, "S", editor.dragState == kDragScale, 6);

  const int w = TextWidth(selected->name);
  FillRect(x - w / 2 - 3, y + 19, w + 6, 11, 10);
  DrawOutline(x - w / 2 - 3, y + 19, w + 6, 11, 6);
  FillRectAlpha(x - w / 2 - 1, y + 30, w + 2, 2, 6, 0.3f);
  DrawText(x - w / 2, y + 20, 6, selected->name);

  if (velocityHandle) {
    const Vec3 point = VelocityHandlePoint(selected);
    DrawHandle(Nearest(point.x), Nearest(point.y), "V", editor.dragState == kDragVelocity, 8);
  }

  FillRectAlpha(14, 0, 4, project.viewHeight, 6, 0.5f);
  DrawLevelMarkers(project.root, 0);
  const int level = LevelToPixels(selectedLevel);
  FillRect(6, CentreY() - level - 3, 20, 5, 6);
  FillRect(9, CentreY() - level - 2, 14, 3, 9);
}

}  // namespace

Vec3 ConstrainMove(const Vec3& mouse, const Vec3& start, const Vec3& unconstrained) {
  // The direction is taken on the screen: a level of the scene root (the z of screenPos) must
  // not tilt it.
  const float dx = mouse.x - start.x, dy = mouse.y - start.y;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (!(length > 0) || !std::isfinite(length)) return unconstrained;
  const float nx = dx / length, ny = dy / length;
  if (std::fabs(nx) < 0.5f) return Vec3{start.x, mouse.y, 0};  // within 30 degrees of vertical
  if (std::fabs(ny) < 0.5f) return Vec3{mouse.x, start.y, 0};  // within 30 degrees of horizontal
  const float sx = nx > 0 ? 1.0f : -1.0f, sy = ny > 0 ? 1.0f : -1.0f;
  const float c = 0.70710677f;  // cos 45 degrees
  const float k = c * c * length * (sx * nx + sy * ny);
  return Vec3{start.x + sx * k, start.y + sy * k, start.z};
}

float ScaleDragFactor(int dy) {
  // Past a factor of 10^7 either way every component is at its bound anyway.
  const double steps = std::clamp(-static_cast<double>(dy) / kScaleDragPixels, -170.0, 170.0);
  return static_cast<float>(std::pow(static_cast<double>(kScaleDragStep), steps));
}

float ScaleComponent(float value, float factor) {
  if (value == 0.0f || !std::isfinite(value)) return value;
  const float scaled = value * factor;
  if (!std::isfinite(scaled) && !(factor > 1.0f)) return value;
  const float floor = std::min(std::fabs(value), kMinScale);
  const float ceiling = std::max(std::fabs(value), kMaxScale);
  const float magnitude = std::isfinite(scaled) ? std::fabs(scaled) : ceiling;
  return std::copysign(std::clamp(magnitude, floor, ceiling), value);
}

float ZoomAfterWheel(float zoom, int wheel) {
  if (wheel > 0) zoom *= kZoomIn;
  if (wheel < 0) zoom *= kZoomOut;
  if (std::fabs(zoom - 1.0f) < 0.1f) zoom = 1.0f;
  if (!(zoom >= kMinZoom)) zoom = kMinZoom;  // NaN too
  if (zoom > kMaxZoom) zoom = kMaxZoom;
  return zoom;
}

int MotionPathFrame(int sample, int currentFrame) {
  const int frame = sample + (currentFrame - kMotionPathReach) / 4 * 4;
  return std::clamp(frame, 0, kMaxFrames - 1);
}

void RunViewWindow() {
  float scrollX = 0, scrollY = 0;
  BeginEditorWindow(kViewWindow, ViewWindowTitle(), &scrollX, &scrollY);
  FitViewToWindow();
  FinishPropertyEdit();
  const WindowLayout& layout = CurrentLayout(kViewWindow);

  if (!ui->leftDown && IsViewDrag(editor.dragState)) {
    editor.dragState = kDragNone;
    editor.dragKey = -1;
  }
  const bool cameraView = editor.viewMode == kCameraView;
  SceneObject* selected = project.selected;
  if (project.root == nullptr || project.camera == nullptr) {
    EndEditorWindow();
    return;
  }

  if (cameraView) {
    if (editor.dragState < 10) {
      editor.dragState = kDragNone;
      editor.dragKey = -1;
    }
    editor.viewPanning = false;
    editor.pickPending = false;
  } else {
    const bool overStrip =
        RunPropertyStripInput(selected, layout.visibleWidth, layout.visibleHeight);
    const bool inView = MouseInView() && !overStrip;
    if (selected != nullptr) {
      if (inView) PressHandles(selected);
      const int key = LoadCurrentKey(selected);
      if (key >= 0 && !selected->keys->keys[key].autoVelocity) {
        PressVelocityHandle(selected, inView);
      }
      ChooseDragKey(selected);
      if (IsViewDrag(editor.dragState)) StepDrag(selected);
    }
    PanAndZoom(inView);
    selected = project.selected;  // a click may have picked another object
  }

  const int key = HasKeys(selected) ? FindKeyAtFrame(*selected->keys, project.currentFrame) : -1;
  DrawScene(selected, cameraView, key >= 0);
  if (selected != nullptr) {
    // The motion path left the chain at other frames.
    EvaluateChain(selected, project.currentFrame, 0);
    selectedLevel = AccumulatedLevel(selected);
    if (!cameraView) {
      DrawEditOverlays(selected, key >= 0 && !selected->keys->keys[key].autoVelocity);
      DrawPropertyStrip(selected, layout.visibleWidth, layout.visibleHeight);
    }
  }

  if (ui->rightPressed && !ui->menuOpen) {
    OpenMenu(10);
    AddOnionSkinEntries();
    AddRecentProjectEntries();
  }
  leftAsMiddleBefore = ui->leftAsMiddle != 0;
  EndEditorWindow();
}
