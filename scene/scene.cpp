#include "scene/scene.h"

#include <cstdio>
#include <cstring>

#include "platform/log.h"
#include "scene/animation.h"

ProjectState project;
std::atomic<bool> exporting{false};

namespace {

constexpr int kMaxHooks = 16;
NewProjectHook newProjectHooks[kMaxHooks];
int newProjectHookCount = 0;

SceneObject* NewImageChild() {
  SceneObject* child = new SceneObject();
  CopyName(child->name, kNameSize, "a");
  child->images = std::make_unique<ImageTrack>();
  return child;
}

}  // namespace

void AddNewProjectHook(NewProjectHook hook) {
  for (int i = 0; i < newProjectHookCount; ++i) {
    if (newProjectHooks[i] == hook) return;
  }
  if (newProjectHookCount < kMaxHooks) newProjectHooks[newProjectHookCount++] = hook;
}

void ClearNewProjectHooks() { newProjectHookCount = 0; }

void CopyName(char* dest, int destSize, const char* text) {
  if (destSize <= 0) return;
  if (text == nullptr) text = "";
  std::snprintf(dest, static_cast<size_t>(destSize), "%s", text);
}

std::unique_ptr<KeyTrack> MakeDefaultKeyTrack() {
  auto track = std::make_unique<KeyTrack>();
  track->count = 1;
  track->keys[0] = Key();
  return track;
}

void NewProject() {
  for (int i = 0; i < newProjectHookCount; ++i) newProjectHooks[i]();

  if (project.root != nullptr) FreeObject(project.root);
  project = ProjectState();
  exporting = false;

  SceneObject* root = new SceneObject();
  CopyName(root->name, kNameSize, "Scene");
  root->kind = kRootObject;
  root->reservedVector = Vec3{256, 256, 0};
  root->keys = MakeDefaultKeyTrack();
  project.root = root;
  EvaluateObject(root, 0, 0);

  SceneObject* camera = CreateObject(root);
  CopyName(camera->name, kNameSize, "Camera");
  SceneObject* imageChild = camera->children[0];
  DetachChild(camera, imageChild);
  FreeObject(imageChild);
  camera->kind = kCameraObject;

  project.camera = camera;
  project.selected = root;
  project.alignmentParent = nullptr;
  LogMessage("Init done");
}

SceneObject* CreateObject(SceneObject* parent) {
  if (parent == nullptr) parent = project.root;
  if (parent == nullptr || parent->childCount >= kMaxChildren) return nullptr;
  // The object and its image child "a" both have to fit on the chain below parent.
  if (ChainLength(parent) + 2 > kMaxChain - 1) return nullptr;
  // A project file holds at most kMaxObjects objects; one more could be saved but never loaded.
  if (project.root != nullptr && CountObjects(project.root) + 2 > kMaxObjects) return nullptr;

  SceneObject* object = new SceneObject();
  std::snprintf(object->name, kNameSize, "Object-%.3i", project.objectCounter);
  object->keys = MakeDefaultKeyTrack();

  SceneObject* child = NewImageChild();
  child->parent = object;
  object->children[0] = child;
  object->childCount = 1;

  AppendChild(parent, object);
  // Evaluated once it hangs in the tree, so the pivot's screen position counts its parents.
  EvaluateTree(object, 0, 0);
  project.objectCounter += 1;
  return object;
}

bool AppendChild(SceneObject* parent, SceneObject* child) {
  if (parent == nullptr || child == nullptr || parent->childCount >= kMaxChildren) return false;
  parent->children[parent->childCount++] = child;
  child->parent = parent;
  return true;
}

bool DetachChild(SceneObject* parent, SceneObject* child) {
  if (parent == nullptr || child == nullptr) return false;
  int index = -1;
  for (int i = 0; i < parent->childCount; ++i) {
    if (parent->children[i] == child) {
      index = i;
      break;
    }
  }
  if (index < 0) return false;
  LogMessage("Removing child %s from parent %s", child->name, parent->name);
  for (int i = index; i + 1 < parent->childCount; ++i) {
    parent->children[i] = parent->children[i + 1];
  }
  parent->childCount -= 1;
  parent->children[parent->childCount] = nullptr;
  return true;
}

void FreeObject(SceneObject* object) {
  if (object == nullptr) return;
  LogMessage("Removing %s (parent=%s)", object->name,
             object->parent != nullptr ? object->parent->name : "none");
  for (int i = 0; i < object->childCount; ++i) FreeObject(object->children[i]);
  delete object;
}

int AddKey(KeyTrack& track, const Key& key) {
  if (track.count >= kMaxKeys || key.frame < 0 || key.frame >= kMaxFrames) return -1;
  int index = 0;
  while (index < track.count && track.keys[index].frame < key.frame) ++index;
  if (index < track.count && track.keys[index].frame == key.frame) return -1;
  for (int i = track.count; i > index; --i) track.keys[i] = track.keys[i - 1];
  track.keys[index] = key;
  track.count += 1;
  return index;
}

int FindKeyAtFrame(const KeyTrack& track, int frame) {
  for (int i = 0; i < track.count; ++i) {
    if (track.keys[i].frame == frame) return i;
  }
  return -1;
}

bool DeleteKey(KeyTrack& track, int index) {
  if (track.count <= 1 || index < 0 || index >= track.count) return false;
  for (int i = index; i + 1 < track.count; ++i) track.keys[i] = track.keys[i + 1];
  track.count -= 1;
  return true;
}

int AddImageEntry(ImageTrack& track, const char* name, const char* file) {
  if (track.count >= kMaxImages) return -1;
  ImageEntry& entry = track.entries[track.count];
  entry = ImageEntry();
  CopyName(entry.name, kNameSize, name);
  CopyName(entry.file, kFileNameSize, file);
  return track.count++;
}

bool SetFrameImage(ImageTrack& track, int frame, int image) {
  if (frame < 0 || frame >= kMaxFrames || image < 0 || image > track.count) return false;
  track.frameImage[frame] = image;
  return true;
}

ImageTrack* ImageTrackOf(const SceneObject* object) {
  if (object == nullptr || object->childCount < 1 || object->children[0] == nullptr) {
    return nullptr;
  }
  return object->children[0]->images.get();
}

int CountObjects(const SceneObject* object) {
  if (object == nullptr) return 0;
  int count = 1;
  for (int i = 0; i < object->childCount; ++i) count += CountObjects(object->children[i]);
  return count;
}

int ChainLength(const SceneObject* object) {
  int length = 0;
  for (const SceneObject* node = object; node != nullptr; node = node->parent) ++length;
  return length;
}

bool IsInSubtree(const SceneObject* object, const SceneObject* node) {
  for (const SceneObject* n = node; n != nullptr; n = n->parent) {
    if (n == object) return true;
  }
  return false;
}
