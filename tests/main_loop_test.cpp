#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <SDL.h>

#include "app/app.h"
#include "editor/editor_state.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "tests/harness.h"
#include "ui/ui.h"

namespace {

TEST(MainLoop, PassesDrawTheEditorBackground) {
  StartEditor();
  ASSERT_TRUE(RunPasses(3));
  Rgb pixel = ReadPixel(5, 760);
  EXPECT_EQ(pixel.r, 255);
  EXPECT_NEAR(pixel.g, 247, 1);  // 0.97
  EXPECT_NEAR(pixel.b, 242, 1);  // 0.95
  EXPECT_EQ(CountObjects(project.root), 2);
}

TEST(MainLoop, AQuitRequestEndsTheLoopAfterThePerFrameStep) {
  StartEditor();
  quitFlag = 0;
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
  EXPECT_FALSE(RunMainLoopPass());
  EXPECT_EQ(quitFlag, 1);
  quitFlag = 0;
}

TEST(MainLoop, ShutDownFreesTheProjectAndStartUpCanFollow) {
  StartEditor();
  CreateObject(nullptr);
  wekFree();
  EXPECT_EQ(project.root, nullptr);
  ASSERT_TRUE(InitApplication());
  EXPECT_EQ(CountObjects(project.root), 2);
  EXPECT_TRUE(RunPasses(1));
}

// The program's loop rests between events; what arrives while it rests is handled whole.
TEST(MainLoop, AtRestItWaitsForEventsYetEveryPressAndKeyTapArrives) {
  StartEditor();
  auto settle = [] {
    for (int i = 0; i < 20 && !MainLoopMayRest(); ++i) RunMainLoopPass();
    return MainLoopMayRest();
  };
  ASSERT_TRUE(settle());

  // A click on the camera's row, its press and release each arriving while the loop rests.
  const int x = editor.objectWindow.x + 60, y = editor.objectWindow.y + kTitleBarHeight + 15;
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.x = x;
  event.motion.y = y;
  SDL_PushEvent(&event);
  event = SDL_Event{};
  event.type = SDL_MOUSEBUTTONDOWN;
  event.button.button = SDL_BUTTON_LEFT;
  event.button.x = x;
  event.button.y = y;
  SDL_PushEvent(&event);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(RunMainLoopStep());
    EXPECT_FALSE(MainLoopMayRest()) << "a held button keeps the passes coming";
  }
  event.type = SDL_MOUSEBUTTONUP;
  SDL_PushEvent(&event);
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(RunMainLoopStep());
  EXPECT_EQ(project.selected, project.camera);
  ASSERT_TRUE(settle());

  // A key tapped faster than a pass still steps a frame; playback never rests.
  event = SDL_Event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.scancode = SDL_SCANCODE_RIGHT;
  SDL_PushEvent(&event);
  event.type = SDL_KEYUP;
  SDL_PushEvent(&event);
  ASSERT_TRUE(RunMainLoopStep());
  EXPECT_EQ(project.currentFrame, 1);
  EXPECT_FALSE(MainLoopMayRest());
  ASSERT_TRUE(settle());
  editor.animationPlaying = 0;
  EXPECT_FALSE(MainLoopMayRest());
  editor.animationPlaying = -1;
}

TEST(Log, WritesNothingWhileOffAndAppendsLinesWhenOn) {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tavoka_log_test_" + std::to_string(getpid()));
  std::filesystem::remove(path);
  SetLogFile(nullptr);
  LogMessage("nothing %d", 1);
  EXPECT_FALSE(std::filesystem::exists(path));

  SetLogFile(path.c_str());
  LogMessage("Removing %s (parent=%s)", "Object-002", "Scene");
  LogMessage("100%% done");
  SetLogFile(nullptr);
  FILE* file = std::fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  char text[256] = {};
  size_t length = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  std::filesystem::remove(path);
  EXPECT_EQ(std::string(text, length), "Removing Object-002 (parent=Scene)\n100% done\n");
}

}  // namespace
