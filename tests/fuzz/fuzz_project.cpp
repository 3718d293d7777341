// Feeds arbitrary bytes to the project reader. Whatever it accepts must be a tree the editor can
// use (checked by walking it), and writing it out must give bytes that read back and write out
// the same again: the writer's form is stable.

#include <cstdlib>
#include <vector>

#include "project/project_file.h"

namespace {

// Walks the tree as the editor would and checks the limits the reader promises.
void CheckObject(const SceneObject* object, int depth) {
  if (depth > kMaxChain - 1 || object->childCount < 0 || object->childCount > kMaxChildren)
    std::abort();
  if (object->keys) {
    const KeyTrack& track = *object->keys;
    if (track.count < 1 || track.count > kMaxKeys) std::abort();
    for (int i = 0; i < track.count; ++i) {
      if (track.keys[i].frame < 0 || track.keys[i].frame >= kMaxFrames) std::abort();
      if (i > 0 && track.keys[i].frame <= track.keys[i - 1].frame) std::abort();
    }
  }
  if (object->images) {
    const ImageTrack& track = *object->images;
    if (track.count < 0 || track.count > kMaxImages) std::abort();
    for (int32_t image : track.frameImage) {
      if (image < 0 || image > track.count) std::abort();
    }
  }
  for (int i = 0; i < object->childCount; ++i) {
    if (object->children[i]->parent != object) std::abort();
    CheckObject(object->children[i], depth + 1);
  }
}

std::vector<uint8_t> Write(const LoadedProject& loaded) {
  return WriteProjectData(loaded.root, loaded.fps, loaded.playStart, loaded.playEnd, loaded.clips);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadedProject loaded;
  ProjectProblem problem;
  if (!ReadProject(data, size, loaded, problem)) {
    if (loaded.root != nullptr || problem.message[0] == '\0' || problem.offset > size) std::abort();
    return 0;
  }
  if (loaded.root == nullptr || loaded.camera == nullptr || loaded.camera->parent != loaded.root) {
    std::abort();
  }
  CheckObject(loaded.root, 1);

  const std::vector<uint8_t> written = Write(loaded);
  LoadedProject again;
  if (!ReadProject(written.data(), written.size(), again, problem)) std::abort();
  if (Write(again) != written) std::abort();
  return 0;
}
