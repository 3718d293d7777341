// The whole editor drawn with a small scene and compared with a golden picture: two objects
// with images, one of them selected on a key with a hand-set velocity (handles, motion path,
// velocity arrow and handle, name plate, level scale), a hidden object in the list.
// TAVOKA_UPDATE_GOLDEN=1 writes the golden picture instead of comparing.

#include <png.h>

#include <string>

#include "tests/editor_driver.h"
#include "tests/image_fixture.h"
#include "tests/png_compare.h"

namespace {

const std::string kGolden = std::string(TAVOKA_TEST_DATA) + "/editor_golden.png";

// A body: a warm gradient with a dark rim and transparent corners.
RgbaImage BodyPicture() {
  RgbaImage image(80, 100, Rgba{0, 0, 0, 0});
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 80; ++x) {
      const int dx = x < 12 ? 12 - x : (x > 67 ? x - 67 : 0);
      const int dy = y < 12 ? 12 - y : (y > 87 ? y - 87 : 0);
      const int d2 = dx * dx + dy * dy;
      if (d2 > 144) continue;
      const bool rim = d2 > 100 || x < 2 || x > 77 || y < 2 || y > 97;
      image.Set(x, y, rim ? Rgba{90, 40, 20, 255}
                          : Rgba{static_cast<uint8_t>(230 - y), static_cast<uint8_t>(120 + x),
                                 60, 255});
    }
  }
  return image;
}

// An arm: a blue bar, half transparent at its lower end.
RgbaImage ArmPicture() {
  RgbaImage image(24, 90, Rgba{0, 0, 0, 0});
  for (int y = 0; y < 90; ++y) {
    for (int x = 2; x < 22; ++x) {
      image.Set(x, y, Rgba{40, 90, static_cast<uint8_t>(160 + y), static_cast<uint8_t>(y < 60 ? 255 : 140)});
    }
  }
  return image;
}

class EditorScreenshot : public EditorTest {};

TEST_F(EditorScreenshot, TheEditorWithASmallSceneMatchesTheGoldenPicture) {
  const std::string directory = MakeWorkDirectory();
  const PngFormat rgba{PNG_COLOR_TYPE_RGB_ALPHA, 8};
  ASSERT_TRUE(WritePngFile(directory + "/body.png", BodyPicture(), rgba));
  ASSERT_TRUE(WritePngFile(directory + "/arm.png", ArmPicture(), rgba));

  SceneObject* body = CreateObject(nullptr);
  CopyName(body->name, kNameSize, "body");
  body->keys->keys[0].position = Vec3{-90, 30, 0};
  Key walked = body->keys->keys[0];
  walked.frame = 40;
  walked.position = Vec3{60, -10, 0};
  AddKey(*body->keys, walked);
  ImageTrack& bodyImages = *body->children[0]->images;
  const int bodyImage = AddImageEntry(bodyImages, "body", "body.png") + 1;
  for (int f = 0; f < 60; ++f) SetFrameImage(bodyImages, f, bodyImage);

  SceneObject* arm = CreateObject(body);
  CopyName(arm->name, kNameSize, "arm");
  KeyTrack& armKeys = *arm->keys;
  armKeys.keys[0].position = Vec3{30, -35, 1};
  armKeys.keys[0].rotation = -20;
  Key raised = armKeys.keys[0];
  raised.frame = 10;
  raised.rotation = 15;
  raised.autoVelocity = 0;
  raised.velocity = Vec3{8, -5, 0};
  AddKey(armKeys, raised);
  raised.frame = 24;
  raised.position = Vec3{50, -20, 1};
  raised.rotation = 70;
  raised.autoVelocity = 1;
  AddKey(armKeys, raised);
  arm->children[0]->state.position = Vec3{0, 35, 0};  // the arm turns about its shoulder
  ImageTrack& armImages = *arm->children[0]->images;
  const int armImage = AddImageEntry(armImages, "arm", "arm.png") + 1;
  for (int f = 0; f < 60; ++f) SetFrameImage(armImages, f, armImage);

  SceneObject* prop = CreateObject(nullptr);
  CopyName(prop->name, kNameSize, "prop 50%");
  prop->hidden = 1;

  project.selected = arm;
  project.currentFrame = 10;
  RunPasses(2);

  const RgbImage actual = ReadBackRgb(0, 0, logicalWidth, logicalHeight);
  ExpectMatchesGolden(kGolden, actual, "editor_screenshot_actual.png");
}

}  // namespace
