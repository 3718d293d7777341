// The toolkit's cost per frame: text measuring, and a frame shaped like the editor's (four
// windows with scroll areas, list text, outlined labels, an open menu) drawn on the offscreen
// OpenGL context (Mesa llvmpipe, so the numbers include software rasterising).
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>

#include "platform/platform.h"
#include "ui/ui.h"

namespace {

bool ToolkitReady() {
  static bool ready = CreateGLWindow("bench", 1024, 768, 32, true) && CreateUiContext();
  return ready;
}

void BM_TextWidth(benchmark::State& state) {
  if (!ToolkitReady()) {
    state.SkipWithError("no OpenGL context or skin");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(TextWidth("export with motion blur [INSERT] 1234"));
}
BENCHMARK(BM_TextWidth);

void EditorShapedFrame(int lines) {
  static int positions[4][2] = {{10, 10}, {800, 10}, {800, 420}, {10, 560}};
  static const int sizes[4][2] = {{740, 520}, {200, 370}, {200, 300}, {740, 180}};
  static float scroll[4][2] = {};
  glDisable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  BeginFrame();
  std::snprintf(ui->idSuffix, sizeof ui->idSuffix, "%.8X", 1);
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  for (int i = 0; i < 4; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "win%d", i);
    int w = sizes[i][0], h = sizes[i][1];
    Window(&positions[i][0], &positions[i][1], &w, &h, name, name);
    ScrollArea(1, 12, w - 2, h - 1, &scroll[i][0], &scroll[i][1], i == 3 ? 3840 : w - 2,
               i == 1 || i == 2 ? 900 : h - 1, 10, "scroll");
    for (int line = 0; line < lines / 4; ++line) {
      if (line % 3 == 0) {
        DrawTextOutlined(4, 2 + line * 10, 9, 6, "Object-012 upper arm");
      } else {
        DrawTextFormat(4, 2 + line * 10, 6, "%d  image_%03d.png", line, line);
      }
    }
    EndRegion();
    EndRegion();
  }
  if (!ui->menuOpen) OpenMenu(13);
  RunMenus();
  EndRegion();
  glFinish();
}

void BM_EditorShapedFrame(benchmark::State& state) {
  if (!ToolkitReady()) {
    state.SkipWithError("no OpenGL context or skin");
    return;
  }
  for (auto _ : state) EditorShapedFrame(static_cast<int>(state.range(0)));
}
BENCHMARK(BM_EditorShapedFrame)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
