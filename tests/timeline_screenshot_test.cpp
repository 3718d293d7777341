// The timeline window compared with a golden picture: keys of every mode (one selected, one
// manual and unselected), the play range, a selected frame range, frames with images and image
// changes, clips in three lanes (one whose sound is missing) and a selected clip in a volume drag.
// TAVOKA_UPDATE_GOLDEN=1 writes the golden picture instead of comparing.
#include <string>

#include "tests/png_compare.h"
#include "tests/timeline_fixture.h"

namespace {

const std::string kGolden = std::string(TAVOKA_TEST_DATA) + "/timeline_golden.png";

class TimelineScreenshot : public TimelineTest {};

TEST_F(TimelineScreenshot, KeysRangeAndClipsInAVolumeDragMatchTheGoldenPicture) {
  SceneObject* object = SelectObjectWithKeys({12, 24, 36, 48, 60, 72});
  CopyName(object->name, kNameSize, "walk 100%");
  KeyTrack& keys = *object->keys;
  keys.keys[2].mode = kCorner;
  keys.keys[3].mode = kStationary;
  keys.keys[4].mode = kManual;
  keys.keys[5].mode = kManual;  // selected below
  ImageTrack& images = *object->children[0]->images;
  AddImageEntry(images, "step", "step.png");
  AddImageEntry(images, "stride", "stride.png");
  for (int f = 0; f <= 20; ++f) SetFrameImage(images, f, 1);
  for (int f = 30; f <= 50; ++f) SetFrameImage(images, f, 2);
  project.playStart = 6;
  project.playEnd = 70;

  ASSERT_GE(AddSoundClip("drums.wav", 0.6, 4, 0, 90), 0);
  ASSERT_GE(AddSoundClip("voice.wav", 0.8, 30, 2, 300), 0);
  ASSERT_GE(AddSoundClip("birds.wav", 0.4, 62, 1, 900), 0);
  ASSERT_GE(InsertAudioClip("gone.wav", 50, 4, MissingSound::kKeepClip), 0);

  Drag(Cell(38), Cell(46));  // the range; the cursor stays on 46
  project.selectedKey = 5;

  // Grab voice's volume handle and pull it down to 0.6; the button stays held.
  const Clip& voice = *ClipNamed("voice.wav");
  Press(OnClip(voice, 3, 3));
  DragTo(Point{mouseState.x, mouseState.y + 20}, 4);
  ASSERT_EQ(editor.dragState, kDragClipVolume);
  ASSERT_NEAR(voice.volume, 0.6f, 1e-4);

  const int width = kWindowLayout[kTimelineWindow].width;
  const int height = kWindowLayout[kTimelineWindow].height + kTitleBarHeight;
  const RgbImage actual =
      ReadBackRgb(editor.timelineWindow.x, editor.timelineWindow.y, width, height);
  Release();
  ExpectMatchesGolden(kGolden, actual, "timeline_screenshot_actual.png");
}

}  // namespace
