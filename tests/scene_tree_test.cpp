#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "scene/scene.h"

namespace {

class ObjectTree : public ::testing::Test {
 protected:
  void SetUp() override { NewProject(); }
};

TEST_F(ObjectTree, NewProjectHoldsSceneAndCamera) {
  SceneObject* root = project.root;
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->name, "Scene");
  EXPECT_EQ(root->kind, kRootObject);
  EXPECT_EQ(root->parent, nullptr);
  EXPECT_EQ(root->reservedVector.x, 256.0f);
  ASSERT_EQ(root->childCount, 1);
  ASSERT_TRUE(root->keys);
  EXPECT_EQ(root->keys->count, 1);
  EXPECT_FALSE(root->images);

  SceneObject* camera = root->children[0];
  EXPECT_EQ(camera, project.camera);
  EXPECT_STREQ(camera->name, "Camera");
  EXPECT_EQ(camera->kind, kCameraObject);
  EXPECT_EQ(camera->parent, root);
  EXPECT_EQ(camera->childCount, 0);
  ASSERT_TRUE(camera->keys);
  EXPECT_EQ(camera->keys->count, 1);
  EXPECT_EQ(CountObjects(root), 2);

  EXPECT_EQ(project.selected, root);
  EXPECT_EQ(project.alignmentParent, nullptr);
  EXPECT_EQ(project.fps, 30);
  EXPECT_EQ(project.playStart, 0);
  EXPECT_EQ(project.playEnd, 89);
  EXPECT_EQ(project.selectedKey, -1);
  EXPECT_EQ(project.viewZoom, 1.0f);
  EXPECT_EQ(project.viewWidth, 740);
  EXPECT_EQ(project.viewHeight, 520);
  EXPECT_STREQ(project.workPath, "");
}

TEST_F(ObjectTree, ObjectsAreNumberedAfterTheCamera) {
  SceneObject* first = CreateObject(nullptr);
  SceneObject* second = CreateObject(project.root);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(first->name, "Object-002");
  EXPECT_STREQ(second->name, "Object-003");
  for (SceneObject* object : {first, second}) {
    EXPECT_EQ(object->parent, project.root);
    EXPECT_EQ(object->kind, kOrdinaryObject);
    EXPECT_EQ(object->reservedVector.x, 128.0f);
    ASSERT_EQ(object->childCount, 1);
    SceneObject* child = object->children[0];
    EXPECT_STREQ(child->name, "a");
    EXPECT_FALSE(child->keys);
    ASSERT_TRUE(child->images);
    EXPECT_EQ(child->images->count, 0);
    for (int f = 0; f < kMaxFrames; ++f) ASSERT_EQ(child->images->frameImage[f], 0);
  }
  EXPECT_EQ(project.root->children[1], first);
  EXPECT_EQ(project.root->children[2], second);
}

TEST_F(ObjectTree, NewObjectsAndTheirImageChildAreVisibleWithADefaultKey) {
  SceneObject* object = CreateObject(nullptr);
  EXPECT_EQ(object->hidden, 0);
  EXPECT_EQ(object->children[0]->hidden, 0);
  const Key& key = object->keys->keys[0];
  EXPECT_EQ(key.frame, 0);
  EXPECT_EQ(key.mode, kAuto);
  EXPECT_EQ(key.autoVelocity, 1);
  EXPECT_EQ(key.scale.x, 1.0f);
  EXPECT_EQ(key.scale.y, 1.0f);
  EXPECT_EQ(key.scale.z, 1.0f);
  EXPECT_EQ(object->state.scale.x, 1.0f);
  EXPECT_EQ(object->children[0]->state.scale.y, 1.0f);
}

TEST_F(ObjectTree, DeletingTheFirstOfThreeChildrenKeepsTheOthersInOrder) {
  SceneObject* parent = CreateObject(nullptr);
  SceneObject* a = CreateObject(parent);
  SceneObject* b = CreateObject(parent);
  SceneObject* c = CreateObject(parent);
  ASSERT_EQ(parent->childCount, 4);  // the image child comes first
  EXPECT_TRUE(DetachChild(parent, a));
  FreeObject(a);
  ASSERT_EQ(parent->childCount, 3);
  EXPECT_EQ(parent->children[1], b);
  EXPECT_EQ(parent->children[2], c);
}

TEST_F(ObjectTree, DetachingANonChildLeavesTheListUnchanged) {
  SceneObject* parent = CreateObject(nullptr);
  SceneObject* other = CreateObject(nullptr);
  EXPECT_FALSE(DetachChild(parent, other));
  EXPECT_EQ(parent->childCount, 1);
  EXPECT_EQ(project.root->childCount, 3);
  EXPECT_EQ(other->parent, project.root);
}

TEST_F(ObjectTree, SubtreeMembership) {
  SceneObject* a = CreateObject(nullptr);
  SceneObject* b = CreateObject(a);
  EXPECT_TRUE(IsInSubtree(a, b));
  EXPECT_TRUE(IsInSubtree(a, a));
  EXPECT_FALSE(IsInSubtree(b, a));
  EXPECT_EQ(CountObjects(project.root), 2 + 2 + 2);
}

TEST_F(ObjectTree, AFullParentRefusesAChildWithoutChangingAnything) {
  SceneObject* parent = CreateObject(nullptr);
  while (parent->childCount < kMaxChildren) ASSERT_NE(CreateObject(parent), nullptr);
  int counter = project.objectCounter;
  int before = CountObjects(project.root);
  EXPECT_EQ(CreateObject(parent), nullptr);
  EXPECT_EQ(project.objectCounter, counter);
  EXPECT_EQ(CountObjects(project.root), before);
  EXPECT_EQ(parent->childCount, kMaxChildren);

  SceneObject* loose = CreateObject(nullptr);
  DetachChild(project.root, loose);
  EXPECT_FALSE(AppendChild(parent, loose));
  EXPECT_EQ(loose->parent, project.root);  // untouched
  FreeObject(loose);
}

TEST_F(ObjectTree, KeyTracksStayOrderedAndRefuseBeyondTheirCapacity) {
  KeyTrack& track = *CreateObject(nullptr)->keys;
  Key key;
  key.frame = 20;
  EXPECT_EQ(AddKey(track, key), 1);
  key.frame = 10;
  EXPECT_EQ(AddKey(track, key), 1);
  EXPECT_EQ(track.keys[2].frame, 20);
  EXPECT_EQ(AddKey(track, key), -1);  // frame 10 already has a key
  key.frame = kMaxFrames;
  EXPECT_EQ(AddKey(track, key), -1);
  key.frame = -1;
  EXPECT_EQ(AddKey(track, key), -1);
  EXPECT_EQ(track.count, 3);

  for (int frame = 30; track.count < kMaxKeys; ++frame) {
    key.frame = frame;
    ASSERT_GE(AddKey(track, key), 0);
  }
  Key last = track.keys[kMaxKeys - 1];
  key.frame = 1500;
  EXPECT_EQ(AddKey(track, key), -1);
  EXPECT_EQ(track.count, kMaxKeys);
  EXPECT_EQ(track.keys[kMaxKeys - 1].frame, last.frame);
  EXPECT_EQ(FindKeyAtFrame(track, 10), 1);
  EXPECT_EQ(FindKeyAtFrame(track, 11), -1);
}

TEST_F(ObjectTree, TheLastKeyCannotBeDeleted) {
  KeyTrack& track = *CreateObject(nullptr)->keys;
  Key key;
  key.frame = 5;
  AddKey(track, key);
  EXPECT_FALSE(DeleteKey(track, 2));
  EXPECT_TRUE(DeleteKey(track, 0));
  EXPECT_EQ(track.count, 1);
  EXPECT_EQ(track.keys[0].frame, 5);
  EXPECT_FALSE(DeleteKey(track, 0));
  EXPECT_EQ(track.count, 1);
}

TEST_F(ObjectTree, ImageTracksRefuseA65thImageAndFramesOutsideTheRange) {
  ImageTrack& track = *CreateObject(nullptr)->children[0]->images;
  for (int i = 0; i < kMaxImages; ++i) ASSERT_EQ(AddImageEntry(track, "arm", "arm.png"), i);
  EXPECT_EQ(AddImageEntry(track, "extra", "extra.png"), -1);
  EXPECT_EQ(track.count, kMaxImages);
  EXPECT_STREQ(track.entries[kMaxImages - 1].file, "arm.png");

  EXPECT_TRUE(SetFrameImage(track, 1999, 64));
  EXPECT_EQ(track.frameImage[1999], 64);
  EXPECT_FALSE(SetFrameImage(track, 2000, 1));
  EXPECT_FALSE(SetFrameImage(track, -1, 1));
  EXPECT_FALSE(SetFrameImage(track, 3, 65));
  EXPECT_EQ(track.frameImage[3], 0);
}

TEST_F(ObjectTree, LongNamesAreCutToTheirFields) {
  char longName[600];
  std::memset(longName, 'x', sizeof longName - 1);
  longName[sizeof longName - 1] = '\0';
  ImageTrack& track = *CreateObject(nullptr)->children[0]->images;
  ASSERT_EQ(AddImageEntry(track, longName, longName), 0);
  EXPECT_EQ(std::strlen(track.entries[0].name), static_cast<size_t>(kNameSize - 1));
  EXPECT_EQ(std::strlen(track.entries[0].file), static_cast<size_t>(kFileNameSize - 1));
}

int hookCalls = 0;
void CountHook() { ++hookCalls; }

TEST_F(ObjectTree, NewProjectRunsTheRegisteredResetsAndFreesTheOldTree) {
  CreateObject(nullptr);
  project.fps = 12;
  project.currentFrame = 40;
  hookCalls = 0;
  AddNewProjectHook(CountHook);
  AddNewProjectHook(CountHook);  // registered once only
  NewProject();
  ClearNewProjectHooks();
  EXPECT_EQ(hookCalls, 1);
  EXPECT_EQ(CountObjects(project.root), 2);
  EXPECT_EQ(project.fps, 30);
  EXPECT_EQ(project.currentFrame, 0);
  EXPECT_EQ(project.objectCounter, 2);
}

}  // namespace

namespace {

TEST_F(ObjectTree, TheProjectRefusesObjectsBeyondWhatItsFileCanHold) {
  // Each object brings its image child; the root and the camera are there from the start.
  // The tree is filled breadth first, so neither the child lists nor the depth run out first.
  std::vector<SceneObject*> parents{project.root};
  size_t next = 0;
  int created = 0;
  while (true) {
    if (parents[next]->childCount >= kMaxChildren) ++next;
    SceneObject* object = CreateObject(parents[next]);
    if (object == nullptr) break;
    parents.push_back(object);
    ++created;
  }
  EXPECT_EQ(created, (kMaxObjects - 2) / 2);
  EXPECT_LE(CountObjects(project.root), kMaxObjects);
}

}  // namespace
