// Helpers for the project file tests: a fixture with a fresh project, empty audio tables and a
// temporary directory, and FileBuilder, which lays out project files byte by byte on its own
// (independently of the writer) so tests can make valid, damaged and foreign files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "project/project_file.h"
#include "scene/scene.h"

namespace projecttest {

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(file);
  return bytes;
}

// Lays out a project file. Objects are written in tree order: Object(...) writes an object's
// fields up to and including its child count; the children follow with their own Object calls.
// With junk set, every field without meaning on disk gets random bytes, as an older writer that
// dumped its records would have left there.
struct FileBuilder {
  std::vector<uint8_t> bytes;
  bool junk = false;
  std::mt19937 random{7};

  FileBuilder& Int(int32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
  }
  FileBuilder& Float(float f) {
    int32_t bits;
    std::memcpy(&bits, &f, 4);
    return Int(bits);
  }
  FileBuilder& Byte(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  FileBuilder& Str(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
    return *this;
  }
  // count bytes without meaning: zeros, or junk.
  FileBuilder& Blank(int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(junk ? static_cast<uint8_t>(random()) : 0);
    return *this;
  }

  // A 64-byte key: frame, position (x, 0, 0), scale 1, rotation, mode, automatic velocity.
  FileBuilder& Key(int32_t frame, float x = 0, int32_t mode = 0, float rotation = 0) {
    Int(frame).Float(x).Float(0).Float(0).Float(1).Float(1).Float(1).Float(rotation);
    Int(mode).Byte(1).Blank(3);
    Float(0).Float(0).Float(0);
    return Blank(12);
  }
  // The state: only pose and velocity mean anything; frame, mode and the velocity switch too
  // are blank.
  FileBuilder& State(float x = 0) {
    Blank(4).Float(x).Float(0).Float(0).Float(1).Float(1).Float(1).Float(0);
    Blank(4).Blank(1).Blank(3);
    Float(0).Float(0).Float(0);
    return Blank(12);
  }
  FileBuilder& Head(const std::string& name, int32_t kind, float stateX = 0) {
    Str(name).Int(kind);
    if (kind == kRootObject) {
      Float(256).Float(256).Float(0);
    } else {
      Float(128).Float(128).Float(0);
    }
    return State(stateX).Byte(0);
  }
  FileBuilder& Keys(const std::vector<int32_t>& frames, int32_t mode = 0) {
    Byte(1).Int(static_cast<int32_t>(frames.size()));
    for (int32_t frame : frames) Key(frame, static_cast<float>(frame), mode);
    return *this;
  }
  FileBuilder& NoKeys() { return Byte(0); }
  // An image track of count entries "imageN" / "imageN.png" and the given frame images.
  FileBuilder& Images(int32_t count, const std::vector<int32_t>& frames) {
    Byte(1).Int(count);
    for (int i = 1; i <= count; ++i) {
      Str("image" + std::to_string(i)).Str("image" + std::to_string(i) + ".png").Byte(0).Byte(0);
    }
    Int(static_cast<int32_t>(frames.size()));
    for (int32_t image : frames) Int(image);
    return *this;
  }
  FileBuilder& NoImages() { return Byte(0); }

  // Complete objects: the fields, no children.
  FileBuilder& Object(const std::string& name, int32_t children = 0) {
    return Head(name, kOrdinaryObject).Keys({0}).NoImages().Int(children);
  }
  // An object without tracks, the smallest there is.
  FileBuilder& Bare(int32_t children) {
    return Head("o", kOrdinaryObject).NoKeys().NoImages().Int(children);
  }
  FileBuilder& ImageChild(int32_t images = 0, const std::vector<int32_t>& frames = {}) {
    return Head("a", kOrdinaryObject).NoKeys().Images(images, frames).Int(0);
  }
  FileBuilder& Camera(int32_t children = 0) {
    return Head("Camera", kCameraObject).Keys({0}).NoImages().Int(children);
  }
  // fps and the root with childCount children (the camera among them, written by the caller).
  FileBuilder& Start(int32_t childCount, int32_t fps = 30) {
    return Int(fps).Head("Scene", kRootObject).Keys({0}).NoImages().Int(childCount);
  }
  FileBuilder& End(int32_t playStart = 0, int32_t playEnd = 89, int32_t clips = 0) {
    return Int(playStart).Int(playEnd).Int(clips);
  }
  FileBuilder& Clip(const std::string& file, const std::string& label, int32_t frame, int32_t row,
                    float volume = 1, float pan = 0, int fps = 30) {
    Blank(8).Int(frame * 44100 / fps).Int(frame).Int(row).Float(volume).Float(pan).Blank(4);
    return Str(file).Str(label);
  }

  // The file of a new project: fps 30, Scene holding Camera, play range 0..89, no clips.
  static std::vector<uint8_t> NewProjectFile() {
    FileBuilder b;
    b.Start(1).Camera().End();
    return b.bytes;
  }
};

// Each test starts from a new project with empty audio tables (no sound device), no dialogs and
// a temporary directory that it removes.
class ProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavoka_project_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    SetSaveFaultHook(nullptr);
    FreeAudio(false);
    InitAudio(false);
    AddNewProjectHook(NewProjectAudio);
    NewProject();
  }
  void TearDown() override {
    SetSaveFaultHook(nullptr);
    FreeAudio(false);
    std::string command = "rm -rf '" + dir_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }

  std::string PathOf(const std::string& name) const { return dir_ + "/" + name; }
  // Writes bytes to name in the directory and loads it.
  bool LoadBytes(const std::vector<uint8_t>& bytes, const std::string& name = "test.tvp") {
    EXPECT_TRUE(WriteBytes(PathOf(name), bytes));
    return LoadProject(PathOf(name).c_str());
  }

  std::string dir_;
};

}  // namespace projecttest
