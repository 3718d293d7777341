// The reader of the file layout that project_writer.cpp writes. It never trusts the file: every
// count, string, kind and range is checked before it is used, nothing is written past a record,
// and the first problem ends the read with its reason and offset. Fields without meaning on disk
// (references, filler, screen positions, the frame, mode and velocity switch of a state) are
// skipped, so files whose writer left anything there load all the same.

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "platform/log.h"
#include "project/project_file.h"

LoadedProject::~LoadedProject() {
  if (root != nullptr) FreeObject(root);
}

namespace {

// The smallest clip record: 32 bytes and two empty strings.
constexpr size_t kMinClipBytes = kClipRecordBytes + 2;

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size, ProjectProblem& problem)
      : data_(data), size_(size), problem_(problem) {}

  bool failed() const { return failed_; }
  size_t offset() const { return offset_; }
  size_t remaining() const { return size_ - offset_; }

  // Records the first problem; later ones are consequences of it.
  bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (!failed_) {
      va_list args;
      va_start(args, format);
      std::vsnprintf(problem_.message, sizeof problem_.message, format, args);
      va_end(args);
      problem_.offset = offset_;
      failed_ = true;
    }
    return false;
  }

  bool Bytes(size_t count, const char* what) {
    if (failed_) return false;
    if (remaining() < count) return Fail("the file ends inside %s", what);
    return true;
  }
  bool Skip(size_t count, const char* what) {
    if (!Bytes(count, what)) return false;
    offset_ += count;
    return true;
  }
  bool Byte(uint8_t& value, const char* what) {
    if (!Bytes(1, what)) return false;
    value = data_[offset_++];
    return true;
  }
  bool Int(int32_t& value, const char* what) {
    if (!Bytes(4, what)) return false;
    const uint8_t* p = data_ + offset_;
    value = static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                 uint32_t{p[3]} << 24);
    offset_ += 4;
    return true;
  }
  bool Float(float& value, const char* what) {
    int32_t bits;
    if (!Int(bits, what)) return false;
    std::memcpy(&value, &bits, sizeof value);
    return true;
  }
  bool Vector(Vec3& v, const char* what) {
    return Float(v.x, what) && Float(v.y, what) && Float(v.z, what);
  }
  // A NUL-terminated string that must fit in a field of fieldSize bytes, NUL included.
  bool String(char* dest, size_t fieldSize, const char* what) {
    if (failed_) return false;
    const size_t limit = remaining() < fieldSize ? remaining() : fieldSize;
    const void* end = std::memchr(data_ + offset_, 0, limit);
    if (end == nullptr) {
      if (limit < fieldSize) return Fail("the file ends inside %s", what);
      return Fail("%s is longer than %zu characters", what, fieldSize - 1);
    }
    const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(end) - (data_ + offset_));
    std::memcpy(dest, data_ + offset_, length + 1);
    offset_ += length + 1;
    return true;
  }
  // A byte that must be 0 or 1.
  bool Flag(bool& value, const char* what) {
    uint8_t byte;
    if (!Byte(byte, what)) return false;
    if (byte > 1) return Fail("%s is %u, not 0 or 1", what, byte);
    value = byte == 1;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool failed_ = false;
  ProjectProblem& problem_;
};

struct TreeCounts {
  int objects = 0;
  int cameras = 0;
  SceneObject* camera = nullptr;
};

// Reads a 64-byte key record. A state keeps only its pose and velocity.
bool ReadKey(ByteReader& r, Key& key, bool isState) {
  int32_t frame = 0, mode = kAuto;
  uint8_t autoVelocity = 1;
  if (!r.Int(frame, "a key") || !r.Vector(key.position, "a key") || !r.Vector(key.scale, "a key") ||
      !r.Float(key.rotation, "a key") || !r.Int(mode, "a key") || !r.Byte(autoVelocity, "a key") ||
      !r.Skip(3, "a key") || !r.Vector(key.velocity, "a key") || !r.Skip(12, "a key")) {
    return false;
  }
  if (isState) return true;
  if (mode < kAuto || mode > kManual) return r.Fail("key mode %d is not 0 to 3", mode);
  key.frame = frame;
  key.mode = mode;
  key.autoVelocity = autoVelocity;
  return true;
}

bool ReadKeyTrack(ByteReader& r, KeyTrack& track) {
  int32_t count;
  if (!r.Int(count, "a key count")) return false;
  if (count < 1 || count > kMaxKeys) return r.Fail("key count %d is not 1 to %d", count, kMaxKeys);
  for (int i = 0; i < count; ++i) {
    Key& key = track.keys[i];
    if (!ReadKey(r, key, false)) return false;
    if (key.frame < 0 || key.frame >= kMaxFrames) {
      return r.Fail("key frame %d is not 0 to %d", key.frame, kMaxFrames - 1);
    }
    if (i > 0 && key.frame <= track.keys[i - 1].frame) {
      return r.Fail("key frame %d does not follow frame %d", key.frame, track.keys[i - 1].frame);
    }
  }
  track.count = count;
  return true;
}

bool ReadImageTrack(ByteReader& r, ImageTrack& track) {
  int32_t count;
  if (!r.Int(count, "an image count")) return false;
  if (count < 0 || count > kMaxImages) {
    return r.Fail("image count %d is not 0 to %d", count, kMaxImages);
  }
  for (int i = 0; i < count; ++i) {
    ImageEntry& entry = track.entries[i];
    if (!r.String(entry.name, kNameSize, "an image name") ||
        !r.String(entry.file, kFileNameSize, "an image file name") ||
        !r.Byte(entry.flipH, "an image entry") || !r.Byte(entry.flipV, "an image entry")) {
      return false;
    }
  }
  track.count = count;
  int32_t used;
  if (!r.Int(used, "the used frame count")) return false;
  if (used < 0 || used > kMaxFrames) {
    return r.Fail("used frame count %d is not 0 to %d", used, kMaxFrames);
  }
  for (int frame = 0; frame < used; ++frame) {
    int32_t image;
    if (!r.Int(image, "the frame images")) return false;
    if (image < 0 || image > count) {
      return r.Fail("frame %d shows image %d of %d", frame, image, count);
    }
    track.frameImage[frame] = image;
  }
  return true;
}

// Reads one object with its subtree at depth (the root is 1) into object, which the caller
// owns; children are owned by object as soon as they are appended.
bool ReadObject(ByteReader& r, SceneObject& object, int depth, TreeCounts& counts) {
  if (depth > kMaxChain - 1) return r.Fail("objects are nested deeper than %d", kMaxChain - 1);
  if (++counts.objects > kMaxProjectObjects) {
    return r.Fail("the file holds more than %d objects", kMaxProjectObjects);
  }
  if (!r.String(object.name, kNameSize, "an object name")) return false;
  LogMessage("Loading object %s", object.name);
  if (!r.Int(object.kind, "an object kind")) return false;
  const bool isRoot = depth == 1;
  if (object.kind != kOrdinaryObject && object.kind != kRootObject &&
      object.kind != kCameraObject) {
    return r.Fail("object kind %d is not 0, 1 or 4", object.kind);
  }
  if ((object.kind == kRootObject) != isRoot) {
    return r.Fail(isRoot ? "the first object is not the root" : "a second root");
  }
  if (object.kind == kCameraObject) {
    if (depth != 2) return r.Fail("the camera is not a child of the root");
    if (++counts.cameras > 1) return r.Fail("a second camera");
    counts.camera = &object;
  }
  if (!r.Vector(object.reservedVector, "an object") || !ReadKey(r, object.state, true) ||
      !r.Byte(object.hidden, "an object")) {
    return false;
  }

  bool hasKeys = false, hasImages = false;
  if (!r.Flag(hasKeys, "the key track flag")) return false;
  if (hasKeys) {
    object.keys = std::make_unique<KeyTrack>();
    if (!ReadKeyTrack(r, *object.keys)) return false;
  }
  if (!r.Flag(hasImages, "the image track flag")) return false;
  if (hasImages) {
    object.images = std::make_unique<ImageTrack>();
    if (!ReadImageTrack(r, *object.images)) return false;
  }

  int32_t childCount;
  if (!r.Int(childCount, "a child count")) return false;
  if (childCount < 0 || childCount > kMaxChildren) {
    return r.Fail("child count %d is not 0 to %d", childCount, kMaxChildren);
  }
  for (int i = 0; i < childCount; ++i) {
    SceneObject* child = new SceneObject();
    AppendChild(&object, child);
    if (!ReadObject(r, *child, depth + 1, counts)) return false;
  }
  return true;
}

bool ReadClip(ByteReader& r, ClipRecord& clip) {
  if (!r.Skip(8, "a clip") || !r.Int(clip.startSample, "a clip") ||
      !r.Int(clip.startFrame, "a clip") || !r.Int(clip.row, "a clip") ||
      !r.Float(clip.volume, "a clip") || !r.Float(clip.pan, "a clip") || !r.Skip(4, "a clip") ||
      !r.String(clip.fileName, kFileNameSize, "a clip's file name") ||
      !r.String(clip.label, kNameSize, "a clip's label")) {
    return false;
  }
  if (clip.row < 0 || clip.row >= kLaneCount) return r.Fail("clip lane %d is not 0 to 6", clip.row);
  if (!std::isfinite(clip.volume) || !std::isfinite(clip.pan)) {
    return r.Fail("a clip's volume or pan is not a number");
  }
  clip.volume = std::fmin(std::fmax(clip.volume, 0.0f), 1.0f);
  clip.pan = std::fmin(std::fmax(clip.pan, -1.0f), 1.0f);
  return true;
}

bool ReadFps(ByteReader& r, int32_t& fps) {
  if (!r.Int(fps, "the frame rate")) return false;
  if (fps <= 0 || fps > kMaxProjectFps) {
    return r.Fail("frame rate %d is not 1 to %d", fps, kMaxProjectFps);
  }
  return true;
}

bool ReadAll(ByteReader& r, LoadedProject& loaded) {
  if (!ReadFps(r, loaded.fps)) return false;

  TreeCounts counts;
  loaded.root = new SceneObject();
  if (!ReadObject(r, *loaded.root, 1, counts)) return false;
  if (counts.camera == nullptr) return r.Fail("the scene has no camera");
  loaded.camera = counts.camera;

  if (!r.Int(loaded.playStart, "the play range") || !r.Int(loaded.playEnd, "the play range")) {
    return false;
  }
  for (int32_t frame : {loaded.playStart, loaded.playEnd}) {
    if (frame < 0 || frame >= kMaxFrames) {
      return r.Fail("play range frame %d is not 0 to %d", frame, kMaxFrames - 1);
    }
  }

  int32_t clipCount;
  if (!r.Int(clipCount, "the clip count")) return false;
  if (clipCount < 0 || clipCount > kMaxProjectClips) {
    return r.Fail("clip count %d is not 0 to %d", clipCount, kMaxProjectClips);
  }
  if (static_cast<size_t>(clipCount) > r.remaining() / kMinClipBytes) {
    return r.Fail("the file ends before its %d clips", clipCount);
  }
  loaded.clips.resize(static_cast<size_t>(clipCount));
  for (ClipRecord& clip : loaded.clips) {
    if (!ReadClip(r, clip)) return false;
  }
  // Whatever follows the clips is not part of the project; a later format may put more there.
  if (r.remaining() != 0)
    LogMessage("LoadProject: %zu bytes after the clips ignored", r.remaining());
  return true;
}

}  // namespace

bool CheckProjectStart(const uint8_t* data, size_t size, ProjectProblem& problem) {
  problem = ProjectProblem();
  ByteReader r(data, size, problem);
  int32_t fps = 0, kind = 0;
  char name[kNameSize];
  if (!ReadFps(r, fps) || !r.String(name, kNameSize, "an object name") ||
      !r.Int(kind, "an object kind")) {
    return false;
  }
  if (kind != kOrdinaryObject && kind != kRootObject && kind != kCameraObject) {
    return r.Fail("object kind %d is not 0, 1 or 4", kind);
  }
  if (kind != kRootObject) return r.Fail("the first object is not the root");
  return true;
}

bool ReadProject(const uint8_t* data, size_t size, LoadedProject& loaded, ProjectProblem& problem) {
  problem = ProjectProblem();
  if (loaded.root != nullptr) FreeObject(loaded.root);
  loaded.root = loaded.camera = nullptr;
  loaded.clips.clear();
  ByteReader reader(data, size, problem);
  if (ReadAll(reader, loaded)) return true;
  if (loaded.root != nullptr) FreeObject(loaded.root);
  loaded.root = nullptr;
  loaded.camera = nullptr;
  loaded.clips.clear();
  return false;
}
