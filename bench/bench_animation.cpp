// What evaluation costs: the whole tree once per pass (1000 objects with full key tracks), and
// the view's motion path, 201 chain evaluations of an object 10 levels deep.
#include <benchmark/benchmark.h>

#include <random>

#include "scene/animation.h"

namespace {

// Fills object's track with keys every 10 frames, mixed modes, some with hand-set velocities.
void FillKeys(SceneObject* object, int keyCount, std::mt19937& random) {
  std::uniform_real_distribution<float> place(-300, 300);
  std::uniform_real_distribution<float> turn(-180, 180);
  std::uniform_real_distribution<float> size(0.5f, 2);
  KeyTrack& track = *object->keys;
  track.count = 0;
  for (int i = 0; i < keyCount; ++i) {
    Key key;
    key.frame = i * (kMaxFrames / keyCount);
    key.position = Vec3{place(random), place(random), 0};
    key.rotation = turn(random);
    const float s = size(random);
    key.scale = Vec3{s, s, 1};
    key.mode = static_cast<int>(random() % 4);
    key.autoVelocity = random() % 4 != 0;
    key.velocity = Vec3{place(random) / 30, place(random) / 30, 0};
    track.keys[track.count++] = key;
  }
}

void BM_EvaluateTree(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  NewProject();
  std::mt19937 random(7);
  int objects = 0;
  // 20 groups under the root with 49 objects each: 1000 objects, each with its image child.
  for (int g = 0; g < 20; ++g) {
    SceneObject* group = CreateObject(nullptr);
    FillKeys(group, keys, random);
    ++objects;
    for (int i = 0; i < 49; ++i) {
      FillKeys(CreateObject(group), keys, random);
      ++objects;
    }
  }
  int frame = 0;
  for (auto _ : state) {
    EvaluateTree(project.root, frame, 0);
    frame = (frame + 7) % kMaxFrames;
    benchmark::DoNotOptimize(project.root->children[1]->state);
  }
  state.counters["objects"] = objects;
}
BENCHMARK(BM_EvaluateTree)->Arg(200)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_MotionPath(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  NewProject();
  std::mt19937 random(11);
  SceneObject* object = project.root;
  for (int depth = 0; depth < 10; ++depth) {
    object = CreateObject(object);
    FillKeys(object, keys, random);
  }
  const int current = 1000;
  for (auto _ : state) {
    for (int frame = current - 100; frame <= current + 100; ++frame) {
      EvaluateChain(object, frame, 0);
      benchmark::DoNotOptimize(object->state.screenPos);
    }
  }
}
BENCHMARK(BM_MotionPath)->Arg(200)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace
