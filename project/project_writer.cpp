// The file layout, written field by field in little-endian order so the bytes do not depend on
// the compiler's record layout. The reader in project_reader.cpp mirrors it.

#include <cstring>

#include "project/project_file.h"

namespace {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Byte(uint8_t value) { out_.push_back(value); }
  void Int(int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    out_.insert(out_.end(), bytes, bytes + 4);
  }
  void Float(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Int(static_cast<int32_t>(bits));
  }
  void Vector(const Vec3& v) {
    Float(v.x);
    Float(v.y);
    Float(v.z);
  }
  void Zeros(size_t count) { out_.insert(out_.end(), count, 0); }
  // The text up to its NUL, cut to the field, then one NUL.
  void String(const char* text, size_t fieldSize) {
    const size_t length = strnlen(text, fieldSize - 1);
    out_.insert(out_.end(), text, text + length);
    out_.push_back(0);
  }

 private:
  std::vector<uint8_t>& out_;
};

// A stored key keeps frame, pose, mode, the velocity switch and the velocity; an object's state
// keeps only the pose and velocity. The filler and the screen position never mean anything on
// disk.
void WriteKey(ByteWriter& w, const Key& key, bool isState) {
  w.Int(isState ? 0 : key.frame);
  w.Vector(key.position);
  w.Vector(key.scale);
  w.Float(key.rotation);
  w.Int(isState ? 0 : key.mode);
  w.Byte(isState ? 0 : key.autoVelocity);
  w.Zeros(3);
  w.Vector(key.velocity);
  w.Zeros(12);
}

// 1 + the last frame that shows an image, 0 when none does.
int UsedFrames(const ImageTrack& track) {
  for (int frame = kMaxFrames - 1; frame >= 0; --frame) {
    if (track.frameImage[frame] != 0) return frame + 1;
  }
  return 0;
}

void WriteObject(ByteWriter& w, const SceneObject& object, PoseBytes poses) {
  w.String(object.name, kNameSize);
  w.Int(object.kind);
  w.Vector(object.reservedVector);
  if (poses == PoseBytes::kZeroForKeyedObjects && object.keys) {
    w.Zeros(kKeyRecordBytes);
  } else {
    WriteKey(w, object.state, true);
  }
  w.Byte(object.hidden);

  w.Byte(object.keys ? 1 : 0);
  if (object.keys) {
    const KeyTrack& track = *object.keys;
    w.Int(track.count);
    for (int i = 0; i < track.count; ++i) WriteKey(w, track.keys[i], false);
  }

  w.Byte(object.images ? 1 : 0);
  if (object.images) {
    const ImageTrack& track = *object.images;
    w.Int(track.count);
    for (int i = 0; i < track.count; ++i) {
      const ImageEntry& entry = track.entries[i];
      w.String(entry.name, kNameSize);
      w.String(entry.file, kFileNameSize);
      w.Byte(entry.flipH);
      w.Byte(entry.flipV);
    }
    const int used = UsedFrames(track);
    w.Int(used);
    for (int frame = 0; frame < used; ++frame) w.Int(track.frameImage[frame]);
  }

  w.Int(object.childCount);
  for (int i = 0; i < object.childCount; ++i) WriteObject(w, *object.children[i], poses);
}

// Bytes a tree will take, so the buffer grows once.
size_t EstimateSize(const SceneObject& object) {
  size_t size = 256;
  if (object.keys) size += static_cast<size_t>(object.keys->count) * kKeyRecordBytes;
  if (object.images) {
    size += static_cast<size_t>(object.images->count) * 64 + sizeof(int32_t) * kMaxFrames;
  }
  for (int i = 0; i < object.childCount; ++i) size += EstimateSize(*object.children[i]);
  return size;
}

}  // namespace

std::vector<uint8_t> WriteProjectData(const SceneObject* root, int32_t fps, int32_t playStart,
                                      int32_t playEnd, const std::vector<ClipRecord>& clips,
                                      PoseBytes poses) {
  std::vector<uint8_t> out;
  out.reserve((root != nullptr ? EstimateSize(*root) : 0) + clips.size() * 96 + 64);
  ByteWriter w(out);
  w.Int(fps);
  if (root != nullptr) WriteObject(w, *root, poses);
  w.Int(playStart);
  w.Int(playEnd);
  w.Int(static_cast<int32_t>(clips.size()));
  for (const ClipRecord& clip : clips) {
    w.Zeros(8);  // the file-name and label references of the clip record
    w.Int(clip.startSample);
    w.Int(clip.startFrame);
    w.Int(clip.row);
    w.Float(clip.volume);
    w.Float(clip.pan);
    w.Zeros(4);  // the wave reference
    w.String(clip.fileName, kFileNameSize);
    w.String(clip.label, kNameSize);
  }
  return out;
}
