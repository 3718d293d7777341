// The bundled example (examples/puppet) loads with the program's own reader and still shows
// what it is there to show: a rigged puppet whose parts are soft-edged PNG files beside the
// project, faces that swap pictures, keys of every mode with one hand-set velocity, a change of
// level that reorders the drawing, a camera that moves without losing anything, and its tune.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "scene/animation.h"
#include "tests/project_fixtures.h"

namespace {

using namespace projecttest;

const std::string kExample = std::string(TAVOKA_SOURCE_DIR) + "/examples/puppet/puppet.tvp";

SceneObject* FindObject(SceneObject* object, const char* name) {
  if (std::strcmp(object->name, name) == 0) return object;
  for (int i = 0; i < object->childCount; ++i) {
    if (SceneObject* found = FindObject(object->children[i], name)) return found;
  }
  return nullptr;
}

template <typename Visit>
void ForEachObject(SceneObject* object, Visit&& visit) {
  visit(object);
  for (int i = 0; i < object->childCount; ++i) ForEachObject(object->children[i], visit);
}

// Where a point of an object's own frame lands in the camera's 640 x 480 picture (origin at its
// centre), the way the scene is drawn: each node moves, scales and turns its children.
Vec3 InCameraPicture(const SceneObject* object, Vec3 p = {}) {
  for (const SceneObject* node = object; node != nullptr; node = node->parent) {
    const Vec3 turned = Rotate(p, node->state.rotation);
    p = Vec3{node->state.position.x + node->state.scale.x * turned.x,
             node->state.position.y + node->state.scale.y * turned.y, 0};
  }
  for (const SceneObject* view : {project.root, project.camera}) {
    const Vec3 moved{p.x - view->state.position.x, p.y - view->state.position.y, 0};
    const Vec3 turned = Rotate(moved, -view->state.rotation);
    p = Vec3{turned.x / view->state.scale.x, turned.y / view->state.scale.y, 0};
  }
  return p;
}

// The sum of z down the tree: the level by which images are ordered.
float Level(const SceneObject* object) {
  float level = 0;
  for (const SceneObject* node = object; node != nullptr; node = node->parent) {
    level += node->state.position.z;
  }
  return level;
}

class ExampleProject : public ProjectTest {
 protected:
  void SetUp() override {
    ProjectTest::SetUp();
    BuildBezierWeights();
    ASSERT_TRUE(LoadProject(kExample.c_str())) << kExample;
  }

  std::vector<SceneObject*> ImageChildren() {
    std::vector<SceneObject*> found;
    ForEachObject(project.root, [&found](SceneObject* o) {
      if (o->images && o->images->count > 0) found.push_back(o);
    });
    return found;
  }
};

TEST_F(ExampleProject, IsARiggedPuppetOnAStage) {
  EXPECT_EQ(project.fps, 30);
  EXPECT_EQ(project.playStart, 0);
  EXPECT_EQ(project.playEnd, 89);
  // Each part and the part it hangs from.
  const char* rig[][2] = {
      {"Sun", "Scene"},       {"Cloud", "Scene"},     {"Floor", "Scene"},  {"Puppet", "Scene"},
      {"LegR", "Puppet"},     {"LegL", "Puppet"},     {"Body", "Puppet"},  {"ArmR", "Body"},
      {"ForearmR", "ArmR"},   {"HandR", "ForearmR"},  {"ArmL", "Body"},    {"ForearmL", "ArmL"},
      {"HandL", "ForearmL"},  {"Head", "Body"},       {"Eyes", "Head"},    {"Mouth", "Head"},
  };
  for (const auto& part : rig) {
    SCOPED_TRACE(part[0]);
    SceneObject* object = FindObject(project.root, part[0]);
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->parent, nullptr);
    EXPECT_STREQ(object->parent->name, part[1]);
    EXPECT_EQ(object->kind, kOrdinaryObject);
    ASSERT_NE(object->keys, nullptr);
    // Every part is an editor-made pair: its images hang on its first child "a".
    ASSERT_GE(object->childCount, 1);
    EXPECT_STREQ(object->children[0]->name, "a");
    EXPECT_EQ(object->children[0]->keys, nullptr);
    ASSERT_NE(object->children[0]->images, nullptr);
    EXPECT_GT(object->children[0]->images->count, 0);
  }
  EXPECT_EQ(CountObjects(project.root), 2 + 2 * 16);
}

TEST_F(ExampleProject, EveryPictureIsASoftEdgedPngBesideTheProject) {
  const std::vector<SceneObject*> withImages = ImageChildren();
  ASSERT_FALSE(withImages.empty());
  std::set<std::string> checked;
  for (SceneObject* child : withImages) {
    const ImageTrack& track = *child->images;
    SCOPED_TRACE(child->parent->name);
    for (int frame = project.playStart; frame <= project.playEnd; ++frame) {
      EXPECT_GT(track.frameImage[frame], 0) << "no picture on frame " << frame;
    }
    for (int i = 0; i < track.count; ++i) {
      const ImageEntry& entry = track.entries[i];
      SCOPED_TRACE(entry.file);
      EXPECT_EQ(std::strpbrk(entry.file, "/\\"), nullptr) << "images are found by bare name";
      bool shown = false;
      for (int frame = project.playStart; frame <= project.playEnd; ++frame) {
        shown = shown || track.frameImage[frame] == i + 1;
      }
      EXPECT_TRUE(shown) << "an image that no frame shows";
      if (!checked.insert(entry.file).second) continue;

      png_image png;
      std::memset(&png, 0, sizeof png);
      png.version = PNG_IMAGE_VERSION;
      const std::string path = std::string(project.workPath) + entry.file;
      ASSERT_TRUE(png_image_begin_read_from_file(&png, path.c_str())) << path;
      EXPECT_EQ(png.format, static_cast<png_uint_32>(PNG_FORMAT_RGBA)) << "8-bit RGBA expected";
      png.format = PNG_FORMAT_RGBA;
      std::vector<png_byte> pixels(PNG_IMAGE_SIZE(png));
      ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr));
      int clear = 0, soft = 0, solid = 0;
      for (size_t p = 3; p < pixels.size(); p += 4) {
        (pixels[p] == 0 ? clear : pixels[p] == 255 ? solid : soft) += 1;
      }
      EXPECT_GT(clear, 0);
      EXPECT_GT(soft, 0) << "edges are anti-aliased";
      if (std::strcmp(entry.file, "shadow.png") != 0) {
        EXPECT_GT(solid, 0);
      }
    }
  }
  EXPECT_GE(checked.size(), 19u);
}

TEST_F(ExampleProject, EyesAndMouthSwapPicturesFrameByFrame) {
  for (const char* name : {"Eyes", "Mouth"}) {
    SCOPED_TRACE(name);
    const ImageTrack& track = *FindObject(project.root, name)->children[0]->images;
    EXPECT_GE(track.count, 3);
    std::set<int> shown;
    int changes = 0;
    for (int frame = project.playStart; frame <= project.playEnd; ++frame) {
      shown.insert(track.frameImage[frame]);
      if (frame > project.playStart && track.frameImage[frame] != track.frameImage[frame - 1]) {
        changes += 1;
      }
    }
    EXPECT_GE(shown.size(), 3u);
    EXPECT_GE(changes, 6);
  }
}

TEST_F(ExampleProject, KeysUseEveryModeAndOneHandSetVelocity) {
  std::set<int> modes;
  std::vector<const Key*> handSet;
  ForEachObject(project.root, [&](SceneObject* o) {
    if (!o->keys) return;
    for (int i = 0; i < o->keys->count; ++i) {
      const Key& key = o->keys->keys[i];
      modes.insert(key.mode);
      if (!key.autoVelocity && (key.velocity.x != 0 || key.velocity.y != 0)) handSet.push_back(&key);
    }
  });
  EXPECT_EQ(modes, (std::set<int>{kAuto, kCorner, kStationary, kManual}));
  ASSERT_FALSE(handSet.empty());
  // Playing the range keeps the hand-set velocity.
  const Vec3 velocity = handSet[0]->velocity;
  for (int frame = project.playStart; frame <= project.playEnd; ++frame) {
    EvaluateTree(project.root, frame, 0);
  }
  EXPECT_EQ(handSet[0]->velocity.x, velocity.x);
  EXPECT_EQ(handSet[0]->velocity.y, velocity.y);
}

TEST_F(ExampleProject, ALevelChangeReordersTheDrawing) {
  const std::vector<SceneObject*> images = ImageChildren();
  const size_t n = images.size();
  std::vector<float> first(n);
  EvaluateTree(project.root, project.playStart, 0);
  for (size_t i = 0; i < n; ++i) first[i] = Level(images[i]);
  bool swapped = false;
  for (int frame = project.playStart + 1; frame <= project.playEnd && !swapped; ++frame) {
    EvaluateTree(project.root, frame, 0);
    for (size_t i = 0; i < n && !swapped; ++i) {
      for (size_t j = 0; j < n && !swapped; ++j) {
        swapped = first[i] < first[j] && Level(images[i]) > Level(images[j]);
      }
    }
  }
  EXPECT_TRUE(swapped) << "no two pictures change places in the drawing order";
}

TEST_F(ExampleProject, TheCameraMovesAndEveryPartStaysInThePicture) {
  EvaluateTree(project.root, project.playStart, 0);
  const Key start = project.camera->state;
  EvaluateTree(project.root, project.playEnd, 0);
  const Key end = project.camera->state;
  EXPECT_TRUE(start.position.x != end.position.x || start.position.y != end.position.y);
  EXPECT_NE(start.scale.x, end.scale.x);

  // The puppet's pictures stay centred inside the picture; the stage's at least reach into it.
  SceneObject* puppet = FindObject(project.root, "Puppet");
  ASSERT_NE(puppet, nullptr);
  for (int frame = project.playStart; frame <= project.playEnd; ++frame) {
    EvaluateTree(project.root, frame, 0);
    for (SceneObject* child : ImageChildren()) {
      SCOPED_TRACE(std::string(child->parent->name) + " on frame " + std::to_string(frame));
      if (IsInSubtree(puppet, child)) {
        const Vec3 at = InCameraPicture(child);
        EXPECT_LE(std::fabs(at.x), 320);
        EXPECT_LE(std::fabs(at.y), 240);
        continue;
      }
      const ImageEntry& entry = child->images->entries[child->images->frameImage[frame] - 1];
      png_image png;
      std::memset(&png, 0, sizeof png);
      png.version = PNG_IMAGE_VERSION;
      ASSERT_TRUE(png_image_begin_read_from_file(
          &png, (std::string(project.workPath) + entry.file).c_str()));
      png_image_free(&png);
      const float w = png.width / 2.0f, h = png.height / 2.0f;
      float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
      for (const Vec3& corner : {Vec3{-w, -h, 0}, Vec3{w, -h, 0}, Vec3{-w, h, 0}, Vec3{w, h, 0}}) {
        const Vec3 at = InCameraPicture(child, corner);
        left = std::min(left, at.x);
        right = std::max(right, at.x);
        top = std::min(top, at.y);
        bottom = std::max(bottom, at.y);
      }
      EXPECT_TRUE(left < 320 && right > -320 && top < 240 && bottom > -240);
    }
  }
}

TEST_F(ExampleProject, TheTuneIsAClipThatSoundsWithinThePlayRange) {
  ASSERT_EQ(ClipCount(), 1);
  const Clip* clip = GetClip(0);
  ASSERT_NE(clip->wave, nullptr) << "the sound file did not load";
  const double seconds = clip->wave->length / 44100.0;
  EXPECT_GT(seconds, 1.0);
  EXPECT_LE(clip->startFrame + seconds * project.fps, project.playEnd + 1.0);
  EXPECT_STRNE(clip->label, clip->fileName);

  // A plain 44100 Hz 16-bit PCM file, as the reader takes it without resampling.
  const std::vector<uint8_t> wav = ReadBytes(std::string(project.workPath) + clip->fileName);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(wav[20] | wav[21] << 8, 1);
  EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16 | wav[27] << 24, 44100);
  EXPECT_EQ(wav[34] | wav[35] << 8, 16);
}

}  // namespace
