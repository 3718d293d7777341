// How an export ends and what it leaves: failures that say which file and why, an empty range,
// cancelling between pictures, threaded encoding that writes the same bytes as picture by
// picture, and the OpenGL state and window picture the editor gets back.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/export_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& path) { return ReadFileBytes(path); }

bool Contains(const char* text, const std::string& part) {
  return std::string(text).find(part) != std::string::npos;
}

TEST_F(ExportTest, APictureThatCannotBeCreatedStopsTheExportAndSaysWhereAndWhy) {
  AddImageObject("red.png", 0, 0);
  ExportResult result;
  EXPECT_FALSE(Export("missing/dir/walk.png", 0, 3, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kFailed);
  EXPECT_EQ(result.framesWritten, 0);
  EXPECT_TRUE(Contains(result.message, PathOf("missing/dir/walk_frame0000.png"))) << result.message;
  EXPECT_TRUE(Contains(result.message, "No such file or directory")) << result.message;
  EXPECT_TRUE(Files().empty());
  EXPECT_FALSE(exporting);

  ReportExport(result);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].caption, "Error");
  EXPECT_EQ(dialogs_.messages[0].text, result.message);
  EXPECT_TRUE(dialogs_.messages[0].warning);
}

TEST_F(ExportTest, AFullDiskStopsAtThatPictureWithNoPictureAfterItAndNoSound) {
  AddImageObject("red.png", 0, 0);
  // The third picture lands on a device that is always full; the link is left alone.
  ASSERT_EQ(symlink("/dev/full", PathOf("walk_frame0002.png").c_str()), 0);
  for (int threads : {0, 3}) {
    ExportResult result;
    EXPECT_FALSE(Export("walk.png", 0, 7, false, &result, threads));
    EXPECT_EQ(result.outcome, ExportOutcome::kFailed);
    EXPECT_EQ(result.framesWritten, 2) << threads;
    EXPECT_TRUE(Contains(result.message, "walk_frame0002.png")) << result.message;
    EXPECT_TRUE(Contains(result.message, "No space left on device")) << result.message;
    EXPECT_EQ(Files(), (std::vector<std::string>{"walk_frame0000.png", "walk_frame0001.png",
                                                "walk_frame0002.png"}))
        << "threads " << threads;
  }
  EXPECT_TRUE(fs::is_symlink(PathOf("walk_frame0002.png")));
}

TEST_F(ExportTest, ASoundFileThatCannotBeWrittenIsAFailureAfterEveryPicture) {
  AddImageObject("red.png", 0, 0);
  fs::create_directory(PathOf("walk_audio.wav"));
  ExportResult result;
  EXPECT_FALSE(Export("walk.png", 0, 1, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kFailed);
  EXPECT_EQ(result.framesWritten, 2);
  EXPECT_TRUE(Contains(result.message, "sound file")) << result.message;
  EXPECT_TRUE(Contains(result.message, PathOf("walk_audio.wav"))) << result.message;
  EXPECT_TRUE(Exists("walk_frame0001.png"));

  fs::remove(PathOf("walk_audio.wav"));
  ASSERT_EQ(symlink("/dev/full", PathOf("walk_audio.wav").c_str()), 0);
  EXPECT_FALSE(Export("walk.png", 0, 1, false, &result));
  EXPECT_TRUE(Contains(result.message, "No space left on device")) << result.message;
}

TEST_F(ExportTest, ARangeEndingBeforeItsStartWritesNothingAndSaysSo) {
  AddImageObject("red.png", 0, 0);
  project.currentFrame = 12;
  ExportResult result;
  EXPECT_FALSE(Export("walk.png", 10, 5, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kNothingToExport);
  EXPECT_TRUE(Contains(result.message, "Nothing to export")) << result.message;
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(project.currentFrame, 12);

  EXPECT_FALSE(Export("walk.png", 1990, 2000, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kFailed);
  EXPECT_TRUE(Files().empty());

  ReportExport(result);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].caption, "Error");
}

// Images that cannot be loaded and images beyond the 1000 a picture holds leave the export
// complete, but the result names them and the frames that lost images.
TEST_F(ExportTest, PicturesLackingImagesCompleteAndSayWhichAndWhere) {
  AddImageObject("red.png", 0, 0);
  AddImageObject("nowhere.png", 50, 0);
  AddImageObject("broken.png", 90, 0);
  AddImageObject("nowhere.png", 120, 0);
  ASSERT_TRUE(WriteFileBytes(PathOf("broken.png"), {0x89, 'P', 'N', 'G', 0, 0}));
  // With those 4, 1002 images on frames 1 and 2 and 1001 on frame 4; at most 1000 elsewhere.
  for (int i = 0; i < 998; ++i) {
    if (i % 50 == 0) {
      ASSERT_NE(CreateObject(nullptr), nullptr);
    }
    SceneObject* object = CreateObject(project.root->children[project.root->childCount - 1]);
    ASSERT_NE(object, nullptr);
    ImageTrack& track = *object->children[0]->images;
    const int entry = AddImageEntry(track, "red", "red.png") + 1;
    for (int frame : {1, 2}) SetFrameImage(track, frame, entry);
    if (i < 997) SetFrameImage(track, 4, entry);
    if (i < 990) SetFrameImage(track, 0, entry);
  }
  ExportResult result;
  EXPECT_TRUE(Export("walk", 0, 4, false, &result));
  EXPECT_EQ(result.outcome, ExportOutcome::kCompleted);
  EXPECT_TRUE(result.warnings);
  EXPECT_EQ(result.unloadedImages, (std::vector<std::string>{"broken.png", "nowhere.png"}));
  EXPECT_EQ(result.droppedImages, 5);
  EXPECT_EQ(result.framesWithDroppedImages, (std::vector<int32_t>{1, 2, 4}));
  EXPECT_STREQ(result.message,
               "Export completed, but these images could not be loaded: broken.png, nowhere.png; "
               "and 5 images were left out on frames 1-2, 4, as a picture holds at most 1000 "
               "images");
  EXPECT_EQ(Files().size(), 7u) << "every picture, the broken image and the sound";

  ReportExport(result);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].caption, "Warning");
  EXPECT_TRUE(dialogs_.messages[0].warning);
  EXPECT_EQ(dialogs_.messages[0].text, result.message);
}

struct Progress {
  std::vector<std::pair<int, int>> calls;
  int stopAt = -1;
  GLint framebuffer = -1;
};

bool RecordProgress(int frame, int total, void* data) {
  auto* progress = static_cast<Progress*>(data);
  progress->calls.emplace_back(frame, total);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &progress->framebuffer);
  return frame != progress->stopAt;
}

TEST_F(ExportTest, ProgressComesBeforeEveryPictureAndCanStopTheExport) {
  AddImageObject("red.png", 0, 0);
  Progress all;
  ExportResult result;
  ASSERT_TRUE(Export("all.png", 3, 5, false, &result, -1, RecordProgress, &all));
  EXPECT_EQ(all.calls, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
  EXPECT_EQ(all.framebuffer, 0) << "the callback draws into the window";

  Progress stop;
  stop.stopAt = 3;
  EXPECT_FALSE(Export("stop.png", 0, 9, false, &result, -1, RecordProgress, &stop));
  EXPECT_EQ(result.outcome, ExportOutcome::kCancelled);
  EXPECT_EQ(result.framesWritten, 2);
  EXPECT_TRUE(Contains(result.message, "cancelled")) << result.message;
  EXPECT_TRUE(Exists("stop_frame0001.png"));
  EXPECT_FALSE(Exists("stop_frame0002.png"));
  EXPECT_FALSE(Exists("stop_audio.wav"));
  EXPECT_FALSE(exporting);
  EXPECT_EQ(Bytes(PathOf("stop_frame0001.png")), Bytes(PathOf("all_frame0001.png")))
      << "the pictures written before the stop are whole";

  ReportExport(result);
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].caption, "Info");
  EXPECT_FALSE(dialogs_.messages[0].warning);
  ExportResult completed;
  completed.outcome = ExportOutcome::kCompleted;
  std::snprintf(completed.message, sizeof completed.message, "Export completed");
  ReportExport(completed);
  EXPECT_EQ(dialogs_.messages[1].text, "Export completed");
  EXPECT_EQ(dialogs_.messages[1].caption, "Info");
}

TEST_F(ExportTest, ThreadedEncodingWritesTheSameFilesAsPictureByPicture) {
  SceneObject* a = AddImageObject("red.png", -200, -100);
  AddCornerKey(a, 6, 200, 100);
  SceneObject* b = AddImageObject("blue.png", 150, 0);
  b->keys->keys[0].rotation = 0;
  Key turned = b->keys->keys[0];
  turned.frame = 6;
  turned.rotation = 90;
  turned.scale = Vec3{2, 0.5f, 1};
  ASSERT_GE(AddKey(*b->keys, turned), 0);

  for (bool blur : {false, true}) {
    const int end = blur ? 1 : 7;
    ASSERT_TRUE(Export("serial", 0, end, blur, nullptr, 0));
    ASSERT_TRUE(Export("threads", 0, end, blur, nullptr, 3));
    for (int i = 0; i <= end; ++i) {
      const std::vector<uint8_t> serial = Bytes(PathOf(FrameName("serial", i)));
      ASSERT_FALSE(serial.empty());
      EXPECT_EQ(serial, Bytes(PathOf(FrameName("threads", i)))) << "picture " << i;
    }
    EXPECT_EQ(Bytes(PathOf("serial_audio.wav")), Bytes(PathOf("threads_audio.wav")));
  }
}

TEST_F(ExportTest, TheEditorsOpenGLStateAndWindowPictureAreLeftAsTheyWere) {
  AddImageObject("red.png", 0, 0);
  // The editor's state in the middle of a frame: a clipped region, its own clear colour.
  glClearColor(0, 1, 0, 1);
  glDisable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glViewport(0, 0, logicalWidth, logicalHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, logicalWidth, logicalHeight, 0, 1, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(7, 9, 0);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 10, 10);
  glClearColor(0.25f, 0.5f, 0.75f, 1);
  glDisable(GL_BLEND);
  GLfloat projectionBefore[16], modelviewBefore[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);

  ASSERT_TRUE(Export("state", 0, 0, false, nullptr));

  GLint viewport[4], scissor[4], framebuffer = -1, mode = 0;
  glGetIntegerv(GL_VIEWPORT, viewport);
  glGetIntegerv(GL_SCISSOR_BOX, scissor);
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  GLfloat clear[4], projectionAfter[16], modelviewAfter[16];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
  EXPECT_EQ(viewport[2], logicalWidth);
  EXPECT_EQ(viewport[3], logicalHeight);
  EXPECT_EQ(scissor[2], 10);
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(framebuffer, 0);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_FLOAT_EQ(clear[2], 0.75f);
  EXPECT_EQ(std::memcmp(projectionBefore, projectionAfter, sizeof projectionBefore), 0);
  EXPECT_EQ(std::memcmp(modelviewBefore, modelviewAfter, sizeof modelviewBefore), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  glDisable(GL_SCISSOR_TEST);
  const Rgba window = ScreenAt(500, 400);
  EXPECT_EQ(window.g, 255) << "the window's picture is not drawn over";
  EXPECT_EQ(window.r, 0);
  // The editor's scissor did not clip the picture.
  const Rgb8 centre = PixelAt(Frame("state", 0), kExportWidth / 2, kExportHeight / 2);
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.g, 0);
}

TEST_F(ExportTest, WritePngKeepsBufferRowOrderAndReportsAFullDisk) {
  const uint8_t rgb[2 * 3 * 3] = {255, 0, 0, 0, 255, 0, 0, 0, 255,  // first row
                                  9, 9, 9, 200, 100, 50, 1, 2, 3};
  ASSERT_TRUE(WritePng(PathOf("rows.png").c_str(), rgb, 3, 2));
  RgbImage image;
  ASSERT_TRUE(ReadPngRgb(PathOf("rows.png").c_str(), &image));
  ASSERT_EQ(image.width, 3);
  ASSERT_EQ(image.height, 2);
  EXPECT_EQ(std::memcmp(image.rgb.data(), rgb, sizeof rgb), 0);

  char why[128] = "";
  EXPECT_FALSE(WritePng("/dev/full", rgb, 3, 2, why, sizeof why));
  EXPECT_STREQ(why, "No space left on device");
  EXPECT_FALSE(WritePng(PathOf("no/such/dir.png").c_str(), rgb, 3, 2, why, sizeof why));
  EXPECT_STREQ(why, "No such file or directory");
}

}  // namespace
