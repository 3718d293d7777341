// Randomly generated projects (deep and wide trees, keys of every mode with both velocity
// switches, names of every length and byte, images with flips and frame images, clips with and
// without their sound) save, load and save again to the same bytes.

#include <random>
#include <string>

#include "scene/animation.h"
#include "tests/audio_fixtures.h"
#include "tests/project_fixtures.h"

namespace {

using namespace projecttest;

class ProjectRoundTrip : public ProjectTest {
 protected:
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(int percent) { return Uniform(1, 100) <= percent; }
  float AnyFloat() {
    switch (Uniform(0, 4)) {
      case 0:
        return 0.0f;
      case 1:
        return -0.0f;
      case 2:
        return std::uniform_real_distribution<float>(-1e6f, 1e6f)(rng_);
      default:
        return std::uniform_real_distribution<float>(-2.0f, 2.0f)(rng_);
    }
  }
  Vec3 AnyVector() { return Vec3{AnyFloat(), AnyFloat(), AnyFloat()}; }
  // Bytes 1..255 of any length up to the field, often the longest that fits.
  std::string AnyText(int fieldSize, bool fileName = false) {
    const int length = Chance(20) ? fieldSize - 1 : Uniform(0, 24);
    std::string text;
    for (int i = 0; i < length; ++i) {
      char c = static_cast<char>(Uniform(1, 255));
      // Clip names lose anything before a separator when they are placed.
      if (fileName && (c == '/' || c == '\\')) c = '_';
      text += c;
    }
    return text;
  }

  void RandomKeys(KeyTrack& track) {
    track.count = 0;
    const int count = Chance(10) ? kMaxKeys : Uniform(1, 12);
    while (track.count < count) {
      Key key;
      key.frame = count == kMaxKeys ? track.count * 10 : Uniform(0, kMaxFrames - 1);
      key.position = AnyVector();
      key.scale = AnyVector();
      key.rotation = AnyFloat();
      key.mode = Uniform(kAuto, kManual);
      key.autoVelocity = static_cast<uint8_t>(Chance(50) ? 1 : 0);
      key.velocity = AnyVector();
      AddKey(track, key);
    }
  }

  void RandomImages(ImageTrack& track) {
    const int count = Chance(10) ? kMaxImages : Uniform(0, 5);
    for (int i = 0; i < count; ++i) {
      const int index =
          AddImageEntry(track, AnyText(kNameSize).c_str(), AnyText(kFileNameSize).c_str());
      track.entries[index].flipH = static_cast<uint8_t>(Uniform(0, 1));
      track.entries[index].flipV = static_cast<uint8_t>(Uniform(0, 1));
    }
    const int shown = Chance(10) ? kMaxFrames : Uniform(0, 30);
    for (int i = 0; i < shown; ++i) {
      const int frame = shown == kMaxFrames ? i : Uniform(0, kMaxFrames - 1);
      SetFrameImage(track, frame, Uniform(0, count));
    }
  }

  void RandomObject(SceneObject* object) {
    CopyName(object->name, kNameSize, AnyText(kNameSize).c_str());
    object->reservedVector = AnyVector();
    object->hidden = static_cast<uint8_t>(Chance(20) ? Uniform(1, 255) : 0);
    if (object->keys) RandomKeys(*object->keys);
    if (object->images) {
      object->state.position = AnyVector();
      object->state.scale = AnyVector();
      object->state.rotation = AnyFloat();
      object->state.velocity = AnyVector();
      RandomImages(*object->images);
    }
  }

  void BuildRandomProject() {
    const int rates[] = {10, 12, 15, 24, 25, 30, 50, 60};
    project.fps = rates[Uniform(0, 7)];
    project.playStart = Uniform(0, kMaxFrames - 1);
    project.playEnd = Uniform(0, kMaxFrames - 1);

    std::vector<SceneObject*> objects = {project.root, project.camera};
    const int count = Uniform(0, 30);
    for (int i = 0; i < count; ++i) {
      // Now and then a long chain, to reach deep nesting.
      SceneObject* parent =
          Chance(30)
              ? objects.back()
              : objects[static_cast<size_t>(Uniform(0, static_cast<int>(objects.size()) - 1))];
      SceneObject* object = CreateObject(parent);
      if (object == nullptr) continue;
      objects.push_back(object);
      objects.push_back(object->children[0]);
    }
    for (SceneObject* object : objects) RandomObject(object);

    audiotest::WriteFile(PathOf("real.wav"), audiotest::Wav16(std::vector<int16_t>(2000, 700)));
    const int clips = Uniform(0, 12);
    for (int i = 0; i < clips; ++i) {
      const std::string name = Chance(30) ? "real.wav" : AnyText(kFileNameSize, true);
      const int index = InsertAudioClip(name.c_str(), Uniform(0, 3) * 500, Uniform(0, 6),
                                        MissingSound::kKeepClip);
      ASSERT_GE(index, 0);
      Clip& clip = *GetClip(index);
      CopyName(clip.label, kNameSize, AnyText(kNameSize).c_str());
      clip.volume = std::uniform_real_distribution<float>(0, 1)(rng_);
      clip.pan = std::uniform_real_distribution<float>(-1, 1)(rng_);
    }
    // A loaded project is evaluated at its play start; so is this one before it is saved, so
    // that the worked-out velocities written back into the keys are the same.
    EvaluateTree(project.root, project.playStart, 0);
  }

  // Saves the project, loads it and compares the bytes.
  void RoundTrip();

  std::mt19937 rng_;
};

TEST_F(ProjectRoundTrip, SavingALoadedProjectGivesTheSameBytes) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    rng_.seed(seed);
    NewProject();
    RoundTrip();
    if (HasFatalFailure()) return;
  }
}

void ProjectRoundTrip::RoundTrip() {
  BuildRandomProject();
  const int objects = CountObjects(project.root);
  const int clips = ClipCount();
  const std::vector<uint8_t> first = WriteProject();

  const std::string path = PathOf("random.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  ASSERT_EQ(ReadBytes(path), first);
  ASSERT_TRUE(LoadProject(path.c_str()));
  EXPECT_EQ(CountObjects(project.root), objects);
  EXPECT_EQ(ClipCount(), clips);
  EXPECT_EQ(WriteProject(), first);

  // And once more from the bytes alone, without the file.
  LoadedProject loaded;
  ProjectProblem problem;
  ASSERT_TRUE(ReadProject(first.data(), first.size(), loaded, problem)) << problem.message;
  InstallProject(loaded, project.workPath);
  EXPECT_EQ(WriteProject(), first);
}

}  // namespace
