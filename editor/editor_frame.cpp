#include "editor/editor_frame.h"

#include <GL/gl.h>

bool EditorFrame() {
  glClearColor(1.0f, 0.97f, 0.95f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glLoadIdentity();
  return true;
}
