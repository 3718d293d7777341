// The timeline's tools for timing: many keys selected at once (Shift+click, a sweep) moved,
// deleted and given a mode together, and the values a clip's volume and pan drags show.
#include <cstring>
#include <string>

#include "editor/commands.h"
#include "tests/timeline_fixture.h"

namespace {

class TimelineTools : public TimelineTest {
 protected:
  // White pixels in a rectangle of the screen.
  static int WhitePixels(Point at, int w, int h) {
    int count = 0;
    for (int y = at.y; y < at.y + h; ++y) {
      for (int x = at.x; x < at.x + w; ++x) {
        const Rgb p = ReadPixel(x, y);
        count += p.r > 240 && p.g > 240 && p.b > 240;
      }
    }
    return count;
  }
  // Picks entry of the menu that a right press at p opened.
  static void ChooseMenuEntry(Point p, int entry) {
    Click(p, Button::kRight);
    ASSERT_TRUE(ui->menuOpen);
    Click(Point{ui->menuX + 30, ui->menuY + 10 * entry + 5});
  }
};

TEST_F(TimelineTools, VolumeAndPanDragsShowTheirValuesAndTheMenuResetsEither) {
  Clip probe;
  char text[32];
  probe.volume = 0.5f;
  ASSERT_TRUE(FormatClipGaugeValue(probe, kDragClipVolume, text, sizeof text));
  EXPECT_STREQ(text, "volume 0.50");
  probe.pan = -0.4f;
  ASSERT_TRUE(FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text));
  EXPECT_STREQ(text, "pan -0.40");
  probe.pan = -0.001f;
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan 0.00");
  probe.pan = 1.0f;
  FormatClipGaugeValue(probe, kDragClipPan, text, sizeof text);
  EXPECT_STREQ(text, "pan +1.00");
  EXPECT_FALSE(FormatClipGaugeValue(probe, kDragClipMove, text, sizeof text));

  // The value stands beside the gauge while the drag lasts.
  ASSERT_EQ(AddSoundClip("a.wav", 0.5, 40, 3), 0);
  Clip* clip = GetClip(0);
  const int before = WhitePixels(OnClip(*clip, 10, -24), 60, 8);
  Press(OnClip(*clip, 3, 3));
  DragTo(Point{mouseState.x, mouseState.y + 25}, 5);
  EXPECT_NEAR(clip->volume, 0.5f, 1e-4);
  EXPECT_GT(WhitePixels(OnClip(*clip, 10, -24), 60, 8), before + 20);
  Release();
  EXPECT_EQ(WhitePixels(OnClip(*clip, 10, -24), 60, 8), before);
  Press(OnClip(*clip, 13, 3));
  DragTo(Point{mouseState.x - 10, mouseState.y}, 2);
  EXPECT_GT(WhitePixels(OnClip(*clip, -25, -11), 50, 8), 20);
  Release();

  // "reset volume" beside "reset pan" in the clip's menu.
  EXPECT_STREQ(kMenus[11].labels[0], "reset pan");
  EXPECT_STREQ(kMenus[11].labels[1], "reset volume");
  ChooseMenuEntry(OnClip(*clip, 40, 7), 1);
  EXPECT_FLOAT_EQ(clip->volume, 1.0f);
  EXPECT_NEAR(clip->pan, -0.4f, 1e-4) << "the pan stays";
  ChooseMenuEntry(OnClip(*clip, 40, 7), 0);
  EXPECT_FLOAT_EQ(clip->pan, 0.0f);
}

}  // namespace
