// A file is checked completely before the open project is touched: every rule on counts,
// strings, kinds and ranges refuses the file, a file cut short at any byte is refused, and a
// refused file leaves the open project exactly as it was.

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <string>

#include "tests/project_fixtures.h"

namespace {

using namespace projecttest;

// Everything a failed load must not change.
struct OpenProjectSnapshot {
  std::vector<uint8_t> bytes;
  SceneObject* root;
  SceneObject* camera;
  SceneObject* selected;
  int currentFrame;
  int objectCounter;
  std::string workPath;
  int clips;

  static OpenProjectSnapshot Take() {
    return {WriteProject(),       project.root,          project.camera,   project.selected,
            project.currentFrame, project.objectCounter, project.workPath, ClipCount()};
  }
  bool operator==(const OpenProjectSnapshot& o) const {
    return bytes == o.bytes && root == o.root && camera == o.camera && selected == o.selected &&
           currentFrame == o.currentFrame && objectCounter == o.objectCounter &&
           workPath == o.workPath && clips == o.clips;
  }
};

class ProjectValidation : public ProjectTest {
 protected:
  // An open project with work in it: an object with images, a clip, a frame and a selection.
  void SetUp() override {
    ProjectTest::SetUp();
    SceneObject* object = CreateObject(nullptr);
    AddImageEntry(*object->children[0]->images, "arm", "arm.png");
    SetFrameImage(*object->children[0]->images, 12, 1);
    InsertAudioClip("voice.wav", 20, 3, MissingSound::kKeepClip);
    project.currentFrame = 17;
    project.selected = object;
    CopyName(project.workPath, kFileNameSize, "/where/the/work/is/");
    before_ = OpenProjectSnapshot::Take();
  }

  // Loads the file; true when it was refused and nothing changed.
  ::testing::AssertionResult Refused(const std::vector<uint8_t>& bytes) {
    if (LoadBytes(bytes)) return ::testing::AssertionFailure() << "the file was loaded";
    if (!(OpenProjectSnapshot::Take() == before_)) {
      return ::testing::AssertionFailure() << "the open project changed";
    }
    return ::testing::AssertionSuccess();
  }
  ::testing::AssertionResult Accepted(const std::vector<uint8_t>& bytes) {
    LoadedProject loaded;
    ProjectProblem problem;
    if (ReadProject(bytes.data(), bytes.size(), loaded, problem))
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem.message << " at byte " << problem.offset;
  }

  OpenProjectSnapshot before_;
};

// A scene with a camera and one object whose image child has two images; each rule below
// changes one thing of it. Parameters left at their defaults give a valid file.
struct Variant {
  int fps = 30;
  int rootKind = kRootObject;
  int cameraKind = kCameraObject;
  std::string objectName = "Arm";
  std::vector<int32_t> keyFrames = {0, 10};
  int keyMode = kManual;
  uint8_t hasKeys = 1;
  int32_t imageCount = 2;
  std::vector<int32_t> frameImages = {0, 2, 1};
  int32_t usedFrames = INT32_MIN;  // INT32_MIN: the number of frameImages
  std::string imageName = "arm";
  std::string imageFile = "arm.png";
  int32_t objectChildCount = 1;
  int siblings = 0;  // objects after the image child
  int playStart = 0, playEnd = 89;
  int32_t clipCount = 1;
  int clipRow = 6;
  float clipVolume = 1, clipPan = 0;
  std::string clipFile = "a.wav", clipLabel = "a";

  std::vector<uint8_t> Build() const {
    FileBuilder b;
    b.Int(fps).Head("Scene", rootKind).Keys({0}).NoImages().Int(2);
    b.Head("Camera", cameraKind).Keys({0}).NoImages().Int(0);
    b.Head(objectName, kOrdinaryObject).Byte(hasKeys);
    if (hasKeys == 1) {
      b.Int(static_cast<int32_t>(keyFrames.size()));
      for (int32_t frame : keyFrames) b.Key(frame, 0, keyMode);
    }
    b.NoImages().Int(objectChildCount);
    b.Head("a", kOrdinaryObject).NoKeys().Byte(1).Int(imageCount);
    for (int i = 0; i < std::max(imageCount, 0) && i < 70; ++i) {
      b.Str(imageName).Str(imageFile).Byte(1).Byte(0);
    }
    b.Int(usedFrames != INT32_MIN ? usedFrames : static_cast<int32_t>(frameImages.size()));
    for (int32_t image : frameImages) b.Int(image);
    b.Int(0);
    for (int i = 0; i < siblings; ++i) b.Object("sibling");
    b.End(playStart, playEnd, clipCount);
    if (clipCount != 0) b.Clip(clipFile, clipLabel, 5, clipRow, clipVolume, clipPan);
    return b.bytes;
  }
};

TEST_F(ProjectValidation, EveryBrokenRuleRefusesTheFile) {
  ASSERT_TRUE(Accepted(Variant().Build()));
  const struct {
    const char* rule;
    std::function<void(Variant&)> breakIt;
  } rules[] = {
      {"fps 0", [](Variant& v) { v.fps = 0; }},
      {"fps negative", [](Variant& v) { v.fps = -30; }},
      {"fps beyond one frame per sample", [](Variant& v) { v.fps = 44101; }},
      {"the first object is not the root", [](Variant& v) { v.rootKind = kOrdinaryObject; }},
      {"unknown kind", [](Variant& v) { v.rootKind = 2; }},
      {"no camera", [](Variant& v) { v.cameraKind = kOrdinaryObject; }},
      {"a second root", [](Variant& v) { v.cameraKind = kRootObject; }},
      {"object name of 128 characters", [](Variant& v) { v.objectName = std::string(128, 'n'); }},
      {"no key", [](Variant& v) { v.keyFrames = {}; }},
      {"201 keys",
       [](Variant& v) {
         v.keyFrames.assign(201, 0);
         for (int i = 0; i < 201; ++i) v.keyFrames[i] = i;
       }},
      {"two keys on one frame",
       [](Variant& v) {
         v.keyFrames = {3, 3};
       }},
      {"keys out of order",
       [](Variant& v) {
         v.keyFrames = {10, 5};
       }},
      {"key before frame 0",
       [](Variant& v) {
         v.keyFrames = {-1, 5};
       }},
      {"key after frame 1999",
       [](Variant& v) {
         v.keyFrames = {0, 2000};
       }},
      {"unknown key mode", [](Variant& v) { v.keyMode = 4; }},
      {"key track flag 2", [](Variant& v) { v.hasKeys = 2; }},
      {"65 images", [](Variant& v) { v.imageCount = 65; }},
      {"negative image count", [](Variant& v) { v.imageCount = -1; }},
      {"image name of 128 characters", [](Variant& v) { v.imageName = std::string(128, 'i'); }},
      {"image file of 512 characters", [](Variant& v) { v.imageFile = std::string(512, 'f'); }},
      {"2001 used frames", [](Variant& v) { v.frameImages.assign(2001, 0); }},
      {"negative used frames",
       [](Variant& v) {
         v.usedFrames = -2;
         v.frameImages = {};
       }},
      {"frame image past the images",
       [](Variant& v) {
         v.frameImages = {0, 3};
       }},
      {"negative frame image", [](Variant& v) { v.frameImages = {-1}; }},
      {"65 children",
       [](Variant& v) {
         v.objectChildCount = 65;
         v.siblings = 64;
       }},
      {"negative child count", [](Variant& v) { v.objectChildCount = -1; }},
      {"play start before frame 0", [](Variant& v) { v.playStart = -1; }},
      {"play end after frame 1999", [](Variant& v) { v.playEnd = 2000; }},
      {"negative clip count", [](Variant& v) { v.clipCount = -1; }},
      {"more clips than the file holds", [](Variant& v) { v.clipCount = 2000000; }},
      {"clip lane 7", [](Variant& v) { v.clipRow = 7; }},
      {"clip lane -1", [](Variant& v) { v.clipRow = -1; }},
      {"clip volume not a number", [](Variant& v) { v.clipVolume = std::nanf(""); }},
      {"clip pan infinite", [](Variant& v) { v.clipPan = INFINITY; }},
      {"clip file of 512 characters", [](Variant& v) { v.clipFile = std::string(512, 'c'); }},
      {"clip label of 128 characters", [](Variant& v) { v.clipLabel = std::string(128, 'l'); }},
  };
  for (const auto& rule : rules) {
    Variant variant;
    rule.breakIt(variant);
    EXPECT_TRUE(Refused(variant.Build())) << rule.rule;
  }
}

TEST_F(ProjectValidation, TheLimitsThemselvesAreAccepted) {
  const struct {
    const char* limit;
    std::function<void(Variant&)> set;
  } limits[] = {
      {"200 keys up to frame 1999",
       [](Variant& v) {
         v.keyFrames.clear();
         for (int i = 0; i < 200; ++i) v.keyFrames.push_back(1800 + i);
       }},
      {"64 images",
       [](Variant& v) {
         v.imageCount = 64;
         v.frameImages = {64};
       }},
      {"2000 used frames", [](Variant& v) { v.frameImages.assign(2000, 1); }},
      {"names filling their fields",
       [](Variant& v) {
         v.objectName = std::string(127, 'n');
         v.imageName = std::string(127, 'i');
         v.imageFile = std::string(511, 'f');
         v.clipFile = std::string(511, 'c');
         v.clipLabel = std::string(127, 'l');
       }},
      {"empty names",
       [](Variant& v) {
         v.objectName = v.imageName = v.imageFile = v.clipFile = v.clipLabel = "";
       }},
      {"64 children",
       [](Variant& v) {
         v.objectChildCount = 64;
         v.siblings = 63;
       }},
      {"play range ends",
       [](Variant& v) {
         v.playStart = 1999;
         v.playEnd = 0;
       }},
      {"no clips", [](Variant& v) { v.clipCount = 0; }},
      {"an object without keys", [](Variant& v) { v.hasKeys = 0; }},
  };
  for (const auto& limit : limits) {
    Variant variant;
    limit.set(variant);
    EXPECT_TRUE(Accepted(variant.Build())) << limit.limit;
  }
}

TEST_F(ProjectValidation, NestingStopsAt63Objects) {
  // The root, then a chain of ordinary objects; the camera sits beside the chain.
  auto chain = [](int length) {
    FileBuilder b;
    b.Start(2).Camera();
    for (int depth = 2; depth <= length; ++depth) b.Object("link", depth < length ? 1 : 0);
    b.End();
    return b.bytes;
  };
  EXPECT_TRUE(Accepted(chain(63)));
  EXPECT_TRUE(Refused(chain(64)));
}

TEST_F(ProjectValidation, TheCameraIsOneChildOfTheRoot) {
  FileBuilder twoCameras;
  twoCameras.Start(2).Camera().Camera().End();
  EXPECT_TRUE(Refused(twoCameras.bytes));
  FileBuilder deepCamera;
  deepCamera.Start(1).Object("holder", 1).Camera().End();
  EXPECT_TRUE(Refused(deepCamera.bytes));
  FileBuilder secondRoot;
  secondRoot.Start(2).Camera().Head("Other", kRootObject).Keys({0}).NoImages().Int(0).End();
  EXPECT_TRUE(Refused(secondRoot.bytes));
}

TEST_F(ProjectValidation, ObjectAndClipTotalsAreBounded) {
  // 1 + 64 + 63 * 64 + 64 * 64 = 8193 objects: the root with the camera and 63 objects of 64
  // children each, 64 of those grandchildren with 64 children again.
  auto tree = [](bool oneLess) {
    FileBuilder b;
    b.Start(64).Camera();
    int deeper = 64;
    for (int i = 0; i < 63; ++i) {
      b.Bare(64);
      for (int j = 0; j < 64; ++j) {
        const int grandchildren = deeper > 0 ? (oneLess && deeper == 1 ? 63 : 64) : 0;
        if (deeper > 0) --deeper;
        b.Bare(grandchildren);
        for (int k = 0; k < grandchildren; ++k) b.Bare(0);
      }
    }
    b.End();
    return b.bytes;
  };
  EXPECT_TRUE(Accepted(tree(true)));
  EXPECT_TRUE(Refused(tree(false)));

  auto clips = [](int count) {
    FileBuilder b;
    b.Start(1).Camera().End(0, 89, count);
    for (int i = 0; i < count; ++i) b.Clip("", "", 0, 0);
    return b.bytes;
  };
  EXPECT_TRUE(Accepted(clips(kMaxProjectClips)));
  EXPECT_TRUE(Refused(clips(kMaxProjectClips + 1)));
}

TEST_F(ProjectValidation, AFileCutShortAtAnyByteIsRefusedAndChangesNothing) {
  FileBuilder b;
  b.Start(3, 25).Camera().Object("Body", 2).ImageChild(2, {1, 2, 0, 1});
  b.Object("Head", 1).ImageChild(1, {1});
  b.Head("Prop", kOrdinaryObject).Keys({0, 5, 90}, kStationary).Images(1, {1}).Int(0);
  b.End(3, 70, 2).Clip("drum.wav", "Drum", 4, 1).Clip("flute.wav", "Flute", 4, 2, 0.3f, 0.1f);
  ASSERT_TRUE(Accepted(b.bytes));
  // The file is cut shorter and shorter in place.
  const std::string path = PathOf("cut.tvp");
  ASSERT_TRUE(WriteBytes(path, b.bytes));
  for (size_t size = b.bytes.size(); size-- > 0;) {
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    ASSERT_FALSE(LoadProject(path.c_str())) << "cut to " << size << " of " << b.bytes.size();
    ASSERT_TRUE(OpenProjectSnapshot::Take() == before_) << "cut to " << size;
  }
  // The whole file loads, and what follows the clips is ignored.
  ASSERT_TRUE(LoadBytes(b.bytes));
  const std::vector<uint8_t> loaded = WriteProject();
  std::vector<uint8_t> longer = b.bytes;
  longer.push_back(0x55);
  ASSERT_TRUE(LoadBytes(longer));
  EXPECT_EQ(WriteProject(), loaded);
}

TEST_F(ProjectValidation, WhatCannotBeReadChangesNothing) {
  EXPECT_FALSE(LoadProject(PathOf("missing.tvp").c_str()));
  EXPECT_FALSE(LoadProject(dir_.c_str())) << "a directory";
  EXPECT_FALSE(LoadProject("/dev/zero")) << "a device that never ends";
  EXPECT_FALSE(LoadProject(""));
  EXPECT_FALSE(LoadProject(nullptr));
  EXPECT_TRUE(OpenProjectSnapshot::Take() == before_);
}

}  // namespace
