// Saving and loading a large project: 64 objects with 200 keys each, each image child with 64
// images and 2000 frame images, and 50 clips of 5 short sounds. The file is about 1.5 MB. Save
// and load go through the file system (save includes its fsync, load the sounds and the tree's
// evaluation); the in-memory writer and reader are what undo snapshots will cost.
//   build/bench/bench_project --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "project/project_file.h"
#include "scene/animation.h"

namespace {

const char* const kDir = "/tmp/tavoka_bench_project";

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A mono 16-bit 44100 Hz file of one second.
void WriteSound(const std::string& path) {
  std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F'};
  const uint32_t frames = 44100;
  PutU32(bytes, 36 + 2 * frames);
  for (char c : std::string("WAVEfmt ")) bytes.push_back(static_cast<uint8_t>(c));
  PutU32(bytes, 16);
  PutU32(bytes, 1 | (1 << 16));
  PutU32(bytes, 44100);
  PutU32(bytes, 88200);
  PutU32(bytes, 2 | (16 << 16));
  for (char c : std::string("data")) bytes.push_back(static_cast<uint8_t>(c));
  PutU32(bytes, 2 * frames);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint16_t sample = static_cast<uint16_t>((i * 97) % 20000);
    bytes.push_back(static_cast<uint8_t>(sample));
    bytes.push_back(static_cast<uint8_t>(sample >> 8));
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void FillObject(SceneObject* object, int number) {
  KeyTrack& keys = *object->keys;
  keys.count = 0;
  for (int i = 0; i < kMaxKeys; ++i) {
    Key key;
    key.frame = i * 10;
    key.position = Vec3{static_cast<float>(i % 17) * 3, static_cast<float>(number), 0};
    key.rotation = static_cast<float>(i);
    key.mode = i % 4;
    key.autoVelocity = static_cast<uint8_t>(i % 2);
    AddKey(keys, key);
  }
  ImageTrack& images = *object->children[0]->images;
  for (int i = 0; i < kMaxImages; ++i) {
    const std::string name = "part_" + std::to_string(number) + "_" + std::to_string(i);
    AddImageEntry(images, name.c_str(), (name + ".png").c_str());
  }
  for (int frame = 0; frame < kMaxFrames; ++frame)
    SetFrameImage(images, frame, 1 + (frame + number) % kMaxImages);
}

// The large project, open and saved to the benchmark's file.
const std::string& LargeProjectFile() {
  static std::string path;
  if (!path.empty()) return path;
  std::system((std::string("mkdir -p ") + kDir).c_str());
  std::atexit([] { std::system((std::string("rm -rf ") + kDir).c_str()); });
  InitAudio(false);
  AddNewProjectHook(NewProjectAudio);
  NewProject();
  path = std::string(kDir) + "/large.tvp";
  SetWorkPath(path.c_str());
  for (int i = 0; i < 5; ++i) WriteSound(std::string(kDir) + "/sound" + std::to_string(i) + ".wav");

  // 32 objects under the root, each holding one more: 64 objects.
  for (int i = 0; i < 32; ++i) {
    SceneObject* outer = CreateObject(nullptr);
    SceneObject* inner = CreateObject(outer);
    FillObject(outer, 2 * i);
    FillObject(inner, 2 * i + 1);
  }
  for (int i = 0; i < 50; ++i) {
    const std::string name = "sound" + std::to_string(i % 5) + ".wav";
    InsertAudioClip(name.c_str(), i * 37 % kMaxFrames, i % 7);
  }
  EvaluateTree(project.root, project.playStart, 0);
  if (!SaveProject(path.c_str())) path = "";
  return path;
}

void BM_SaveLargeProject(benchmark::State& state) {
  const std::string& path = LargeProjectFile();
  if (path.empty() || !LoadProject(path.c_str())) {
    state.SkipWithError("cannot make the project");
    return;
  }
  for (auto _ : state) {
    if (!SaveProject(path.c_str())) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveLargeProject)->Unit(benchmark::kMillisecond);

void BM_LoadLargeProject(benchmark::State& state) {
  const std::string& path = LargeProjectFile();
  if (path.empty()) {
    state.SkipWithError("cannot make the project");
    return;
  }
  for (auto _ : state) {
    if (!LoadProject(path.c_str())) state.SkipWithError("load failed");
  }
  state.counters["objects"] = CountObjects(project.root);
  state.counters["clips"] = ClipCount();
}
BENCHMARK(BM_LoadLargeProject)->Unit(benchmark::kMillisecond);

void BM_WriteLargeProjectToMemory(benchmark::State& state) {
  const std::string& path = LargeProjectFile();
  if (path.empty() || !LoadProject(path.c_str())) {
    state.SkipWithError("cannot make the project");
    return;
  }
  size_t size = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> bytes = WriteProject();
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_WriteLargeProjectToMemory)->Unit(benchmark::kMillisecond);

void BM_ReadLargeProjectFromMemory(benchmark::State& state) {
  const std::string& path = LargeProjectFile();
  if (path.empty() || !LoadProject(path.c_str())) {
    state.SkipWithError("cannot make the project");
    return;
  }
  const std::vector<uint8_t> bytes = WriteProject();
  for (auto _ : state) {
    LoadedProject loaded;
    ProjectProblem problem;
    if (!ReadProject(bytes.data(), bytes.size(), loaded, problem))
      state.SkipWithError(problem.message);
  }
}
BENCHMARK(BM_ReadLargeProjectFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace
