// Prints what a project file holds, one line per fact, so that shell tests can check a project
// the editor saved: the frame rate and play range, then every object (image children included)
// with its depth, kind, name and keys, then the sound clips.
//   project PROJECT fps 30 play 0 89
//   object 2 ordinary "Body" keys 3
//   key 2 "Body" frame 0 mode 0 position 12.000 -40.000 0.000 rotation 0.000 scale 1.000 1.000
//   clip "la la la" file "tune.wav" frame 15 lane 0
// Usage: project_dump FILE.tvp   (exit 1 with the reader's message when the file is refused)
#include <cstdio>
#include <vector>

#include "project/project_file.h"

namespace {

const char* KindName(int32_t kind) {
  switch (kind) {
    case kRootObject: return "root";
    case kCameraObject: return "camera";
    default: return "ordinary";
  }
}

void PrintObject(const SceneObject* object, int depth) {
  const int keyCount = object->keys ? object->keys->count : 0;
  std::printf("object %d %s \"%s\" keys %d\n", depth, KindName(object->kind), object->name,
              keyCount);
  for (int i = 0; i < keyCount; ++i) {
    const Key& key = object->keys->keys[i];
    std::printf("key %d \"%s\" frame %d mode %d position %.3f %.3f %.3f rotation %.3f scale %.3f "
                "%.3f\n",
                depth, object->name, key.frame, key.mode, key.position.x, key.position.y,
                key.position.z, key.rotation, key.scale.x, key.scale.y);
  }
  for (int i = 0; i < object->childCount; ++i) PrintObject(object->children[i], depth + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: project_dump FILE.tvp\n");
    return 2;
  }
  std::vector<uint8_t> data;
  char why[160] = "";
  if (!ReadWholeFile(argv[1], kMaxProjectFileBytes, data, why, sizeof why)) {
    std::fprintf(stderr, "project_dump: cannot read %s: %s\n", argv[1], why);
    return 1;
  }
  LoadedProject loaded;
  ProjectProblem problem;
  if (!ReadProject(data.data(), data.size(), loaded, problem)) {
    std::fprintf(stderr, "project_dump: %s: %s (at byte %zu)\n", argv[1], problem.message,
                 problem.offset);
    return 1;
  }
  std::printf("project %s fps %d play %d %d\n", argv[1], loaded.fps, loaded.playStart,
              loaded.playEnd);
  PrintObject(loaded.root, 0);
  for (const ClipRecord& clip : loaded.clips) {
    std::printf("clip \"%s\" file \"%s\" frame %d lane %d\n", clip.label, clip.fileName,
                clip.startFrame, clip.row);
  }
  return 0;
}
