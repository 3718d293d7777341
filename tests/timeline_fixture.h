// Scripted input for the timeline window: where its bands, frames, keys, lanes and clips lie on
// the screen, and sound files for clips made in the test's work directory.
#pragma once

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "editor/timeline_window.h"
#include "tests/audio_fixtures.h"
#include "tests/editor_driver.h"

class TimelineTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    editor.timelineScroll = 0;
    editor.timelineFramePixels = kFramePixels;
    editor.loopPlayback = false;
    muted = false;
    RunPasses(1);
  }
  void TearDown() override {
    muted = false;
    EditorTest::TearDown();
  }

  static int ScrollPixels() { return TimelineScrollPixels(); }
  static int Z() { return TimelineFramePixels(); }
  static int Mid(int f) { return Z() * f + 1 + (Z() - 1) / 2; }  // content x inside frame f
  // Client pixels of a point in window coordinates and in content coordinates.
  static Point InWindow(int x, int y) {
    return Point{editor.timelineWindow.x + x, editor.timelineWindow.y + y};
  }
  static Point InContent(int x, int y) { return InWindow(x + 1 - ScrollPixels(), y + kTitleBarHeight); }
  // The middle of frame f on the ruler (above the cells), on its cell, and on its key marker.
  static Point Ruler(int f) { return InContent(Mid(f), 8); }
  static Point Cell(int f) { return InContent(Mid(f), 22); }
  static Point KeyMarker(int f) { return InContent(Mid(f), 34); }
  // Frame f in the middle of a lane, and a point of a clip (dx, dy from its top-left corner).
  static Point Lane(int f, int lane) {
    return InContent(Mid(f), kLaneTop + kLaneSpacing * lane + 7);
  }
  static Point OnClip(const Clip& clip, int dx, int dy) {
    return InContent(Z() * clip.startFrame + dx, kLaneTop + kLaneSpacing * clip.row + dy);
  }
  static Rgb PixelOfClip(const Clip& clip, int dx, int dy) {
    const Point p = OnClip(clip, dx, dy);
    return ReadPixel(p.x, p.y);
  }

  // An ordinary object, selected, with keys on the given frames besides its key on frame 0.
  static SceneObject* SelectObjectWithKeys(std::initializer_list<int> frames) {
    SceneObject* object = CreateObject(nullptr);
    for (int frame : frames) {
      Key key = object->keys->keys[0];
      key.frame = frame;
      key.position = Vec3{static_cast<float>(frame), 0, 0};  // tells the keys apart
      AddKey(*object->keys, key);
    }
    project.selected = object;
    project.selectedKey = -1;
    return object;
  }
  static std::vector<int> KeyFrames(const SceneObject* object) {
    std::vector<int> frames;
    for (int i = 0; i < object->keys->count; ++i) frames.push_back(object->keys->keys[i].frame);
    return frames;
  }

  // A clip of a mono sound of seconds length whose loudness swells and fades (its waveform is
  // 240 x seconds pixels wide at 30 fps); its index.
  int AddSoundClip(const char* name, double seconds, int frame, int lane, double pitch = 220) {
    if (workDirectory_.empty()) MakeWorkDirectory();
    const int count = static_cast<int>(seconds * 44100);
    std::vector<int16_t> samples(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / 44100;
      const double swell = std::sin(3.14159 * 2.5 * t / seconds);
      const double envelope = (0.02 + 0.5 * swell * swell) * (0.75 + 0.25 * std::sin(40 * t));
      samples[static_cast<size_t>(i)] =
          static_cast<int16_t>(32767 * envelope * std::sin(2 * 3.14159 * pitch * t));
    }
    const std::string path = workDirectory_ + "/" + name;
    if (!audiotest::WriteFile(path, audiotest::Wav16(samples))) return -1;
    return InsertAudioClip(name, frame, lane);
  }
  // The clip of a sound file name, wherever the table has moved it.
  static Clip* ClipNamed(const char* name) {
    for (int i = 0; i < ClipCount(); ++i) {
      if (std::string(GetClip(i)->fileName) == name) return GetClip(i);
    }
    return nullptr;
  }
  static std::string SelectedClipName() {
    const Clip* clip = GetClip(editor.selectedClip);
    return clip != nullptr ? clip->fileName : "";
  }
};
