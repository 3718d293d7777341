// Exported pictures read back from their PNG files: names counted from zero, the instant each
// picture shows, the camera, which way y runs, and motion blur as a truncated average.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/animation.h"
#include "tests/export_fixture.h"

namespace {

constexpr int kCentreX = kExportWidth / 2, kCentreY = kExportHeight / 2;

// The first column of row y, from the left, whose green falls below half: the left edge of a
// red image on white. -1 when there is none.
int LeftRedEdge(const RgbImage& image, int y) {
  for (int x = 0; x < image.width; ++x) {
    if (PixelAt(image, x, y).g < 128) return x;
  }
  return -1;
}

bool SameRegion(const RgbImage& a, const RgbImage& b, int x0, int y0, int x1, int y1) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const Rgb8 p = PixelAt(a, x, y), q = PixelAt(b, x, y);
      if (p.r != q.r || p.g != q.g || p.b != q.b) return false;
    }
  }
  return true;
}

TEST_F(ExportTest, WritesOnePictureAFrameNamedFromZeroAndLeavesTheFrameAfterTheRange) {
  AddImageObject("red.png", 0, 0);
  ExportResult result;
  ASSERT_TRUE(Export("walk.png", 5, 7, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kCompleted);
  EXPECT_STREQ(result.message, "Export completed");
  EXPECT_EQ(result.framesWritten, 3);
  EXPECT_EQ(Files(), (std::vector<std::string>{"walk_audio.wav", "walk_frame0000.png",
                                              "walk_frame0001.png", "walk_frame0002.png"}));
  EXPECT_EQ(project.currentFrame, 8);
  EXPECT_FALSE(exporting);

  const RgbImage picture = Frame("walk", 0);
  ASSERT_EQ(picture.width, kExportWidth);
  ASSERT_EQ(picture.height, kExportHeight);
  const Rgb8 centre = PixelAt(picture, kCentreX, kCentreY);
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.g, 0);
  const Rgb8 corner = PixelAt(picture, 2, 2);
  EXPECT_EQ(corner.g, 255) << "the background is white";
}

TEST_F(ExportTest, ExtensionIsCutOnlyWhenADotLiesInTheLastFourCharacters) {
  const struct {
    const char* path;
    const char* base;
  } cases[] = {
      {"out/walk.png", "out/walk"}, {"walk.jpeg", "walk.jpeg"}, {"walk.bc", "walk"},
      {"walk.x", "walk"},           {"walk", "walk"},           {"a.b/cd", "a.b/cd"},
      {"my.dir/walk.png", "my.dir/walk"}, {"C:\\x.y\\ab", "C:\\x.y\\ab"}, {"", ""},
  };
  for (const auto& c : cases) {
    char path[64];
    std::snprintf(path, sizeof path, "%s", c.path);
    CutExtension(path);
    EXPECT_STREQ(path, c.base) << c.path;
  }
  AddImageObject("red.png", 0, 0);
  ASSERT_TRUE(Export("take.jpeg", 0, 0, false, nullptr));
  EXPECT_EQ(Files(), (std::vector<std::string>{"take.jpeg_audio.wav", "take.jpeg_frame0000.png"}));
}

TEST_F(ExportTest, APictureShowsThePoseAnEighthOfAFrameEarlyAndFrameZeroExactly) {
  // 32 pixels a frame to the right: an eighth of a frame is 4 pixels.
  SceneObject* mover = AddImageObject("red.png", -128, 0);
  AddCornerKey(mover, 8, 128, 0);
  ASSERT_TRUE(Export("move", 0, 4, false, nullptr));

  for (int frame : {0, 2, 4}) {
    const float early = PoseX(mover, frame, -0.125f);
    const float onFrame = PoseX(mover, frame, 0);
    const int edge = LeftRedEdge(Frame("move", frame), kCentreY);
    const float expected = kCentreX + (frame == 0 ? onFrame : early) - 30;
    EXPECT_NEAR(edge, expected, 1.0) << "frame " << frame;
    if (frame > 0) {
      EXPECT_GT(std::fabs(edge - (kCentreX + onFrame - 30)), 2.0) << frame;
    }
  }
  EXPECT_FLOAT_EQ(PoseX(mover, 0, -0.125f), PoseX(mover, 0, 0));
}

TEST_F(ExportTest, TheCameraFramesThePictureAndSceneYRunsDownwards) {
  AddImageObject("red.png", 0, 0);
  AddImageObject("blue.png", 0, 150);  // 150 below the origin, as the editor shows it
  project.camera->keys->keys[0].position = Vec3{100, 0, 0};
  ASSERT_TRUE(Export("cam", 0, 0, false, nullptr));
  const RgbImage picture = Frame("cam", 0);
  ASSERT_EQ(picture.width, kExportWidth);

  // The camera looks 100 to the right: the scene's origin lies 100 left of the centre.
  EXPECT_NEAR(LeftRedEdge(picture, kCentreY), kCentreX - 100 - 30, 1);
  const Rgb8 below = PixelAt(picture, kCentreX - 100, kCentreY + 150);
  EXPECT_EQ(below.b, 255);
  EXPECT_EQ(below.r, 0);
  const Rgb8 above = PixelAt(picture, kCentreX - 100, kCentreY - 150);
  EXPECT_EQ(above.r, 255);
  EXPECT_EQ(above.b, 255) << "nothing above the origin: white";

  // Turned and zoomed: a camera at scale 2 shows the scene at half size.
  project.camera->keys->keys[0].position = Vec3{0, 0, 0};
  project.camera->keys->keys[0].scale = Vec3{2, 2, 1};
  ASSERT_TRUE(Export("zoom", 0, 0, false, nullptr));
  EXPECT_NEAR(LeftRedEdge(Frame("zoom", 0), kCentreY), kCentreX - 15, 1);
}

TEST_F(ExportTest, MotionBlurAveragesSixteenInstantsAndLeavesStillImagesAlone) {
  // 256 pixels a frame: the sixteen instants, 1/64 frame apart, lie 4 pixels apart.
  SceneObject* mover = AddImageObject("red.png", -256, 0);
  AddCornerKey(mover, 2, 256, 0);
  AddImageObject("blue.png", 0, 150);
  ASSERT_TRUE(Export("blur", 1, 1, true, nullptr));
  ASSERT_TRUE(Export("sharp", 1, 1, false, nullptr));
  const RgbImage blurred = Frame("blur", 0), sharp = Frame("sharp", 0);
  ASSERT_EQ(blurred.width, kExportWidth);
  ASSERT_EQ(sharp.width, kExportWidth);

  std::vector<float> lefts, rights;
  for (int s = 0; s < kBlurSamples; ++s) {
    const float x = PoseX(mover, 1, s / 64.0f - 0.125f);
    lefts.push_back(kCentreX + x - 30);
    rights.push_back(kCentreX + x + 30);
  }
  int checked = 0, halves = 0;
  for (int column = 0; column < kExportWidth; ++column) {
    const float centre = column + 0.5f;
    bool clear = true;
    int covered = 0;
    for (int s = 0; s < kBlurSamples; ++s) {
      if (std::fabs(centre - lefts[s]) < 1.5f || std::fabs(centre - rights[s]) < 1.5f) clear = false;
      if (centre > lefts[s] && centre < rights[s]) ++covered;
    }
    if (!clear) continue;
    // White where uncovered, red where covered; the sum of sixteen divided, cut down.
    const int expectedGreen = (kBlurSamples - covered) * 255 / kBlurSamples;
    const Rgb8 p = PixelAt(blurred, column, kCentreY);
    EXPECT_EQ(p.g, expectedGreen) << "column " << column << " covered " << covered;
    EXPECT_EQ(p.r, 255) << column;
    ++checked;
    if (covered == 8) ++halves;  // 127.5: truncated to 127, not rounded to 128
  }
  EXPECT_GT(checked, 100);
  EXPECT_GT(halves, 0);
  EXPECT_TRUE(SameRegion(blurred, sharp, 0, kCentreY + 110, kExportWidth, kCentreY + 190))
      << "the still image is the same with and without blur";
}

// Pictures of 2 x 640 by 2 x 480: the camera frames the same scene at two pixels per unit, so
// the larger picture taken down to half size is the smaller one, motion blur included.
TEST_F(ExportTest, ALargerPictureFramesTheSameSceneAtMorePixelsPerUnit) {
  SceneObject* mover = AddImageObject("red.png", -256, 0);
  AddCornerKey(mover, 2, 256, 0);
  AddImageObject("blue.png", 0, 150);
  project.camera->keys->keys[0].position = Vec3{100, 10, 0};
  project.camera->keys->keys[0].rotation = 7;
  for (bool blur : {false, true}) {
    ASSERT_TRUE(Export("one", 1, 1, blur, nullptr));
    ExportResult result;
    ASSERT_TRUE(Export("two", 1, 1, blur, &result, -1, nullptr, nullptr, 2));
    const RgbImage one = Frame("one", 0), two = Frame("two", 0);
    ASSERT_EQ(two.width, 2 * kExportWidth);
    ASSERT_EQ(two.height, 2 * kExportHeight);
    ASSERT_EQ(one.width, kExportWidth);

    RgbImage half;
    half.width = kExportWidth;
    half.height = kExportHeight;
    half.rgb.resize(one.rgb.size());
    for (int y = 0; y < kExportHeight; ++y) {
      for (int x = 0; x < kExportWidth; ++x) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int k = 0; k < 4; ++k) {
            sum += two.rgb[((2 * y + k / 2) * static_cast<size_t>(two.width) + 2 * x + k % 2) * 3 + c];
          }
          half.rgb[(static_cast<size_t>(y) * kExportWidth + x) * 3 + c] = static_cast<uint8_t>((sum + 2) / 4);
        }
      }
    }
    // Only the images' edges may differ: each size rounds its own edge pixels.
    const ImageDifference close = CompareImages(one, half, 8);
    EXPECT_LT(close.differingPixels, 800) << "blur " << blur << ": " << close.firstDifference;
    int coloured = 0;
    for (size_t i = 0; i < one.rgb.size(); i += 3) coloured += one.rgb[i + 1] < 128;
    EXPECT_GT(coloured, 5000) << "both images are in the picture";
  }
}

TEST_F(ExportTest, HiddenObjectsAndTheEditingMarksStayOutOfThePicture) {
  SceneObject* hidden = AddImageObject("red.png", 0, 0);
  hidden->hidden = 1;
  project.selected = project.camera;
  ASSERT_TRUE(Export("plain", 0, 0, false, nullptr));
  const RgbImage picture = Frame("plain", 0);
  ASSERT_EQ(picture.width, kExportWidth);
  for (size_t i = 0; i < picture.rgb.size(); ++i) {
    ASSERT_EQ(picture.rgb[i], 255) << "pixel " << i / 3 << " is not white";
  }
}

}  // namespace
