// The export draws into a framebuffer object of its own, the picture's size, so the pictures
// never depend on the window's size or on what the editor left in the back buffer. The caller's OpenGL state
// (bound framebuffer, viewport, projection, clear colour, blending, scissor, matrix mode) is
// saved on entry and put back on leaving, also around each progress callback.
#include <GL/gl.h>
#include <GL/glext.h>

#include "export/export_internal.h"
#include "platform/platform.h"

namespace {

struct FramebufferCalls {
  PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSEXTPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSEXTPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSEXTPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFEREXTPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEEXTPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus = nullptr;

  bool Complete() const {
    return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers &&
           deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
           framebufferRenderbuffer && checkFramebufferStatus;
  }
};

template <typename Call>
void Find(Call& call, const char* name) {
  call = reinterpret_cast<Call>(GetGLProcAddress(name));
}

// The entry points of the current context, looked up on every Begin: a new context may give
// other addresses.
FramebufferCalls FindFramebufferCalls() {
  FramebufferCalls gl;
  Find(gl.genFramebuffers, "glGenFramebuffersEXT");
  Find(gl.deleteFramebuffers, "glDeleteFramebuffersEXT");
  Find(gl.bindFramebuffer, "glBindFramebufferEXT");
  Find(gl.genRenderbuffers, "glGenRenderbuffersEXT");
  Find(gl.deleteRenderbuffers, "glDeleteRenderbuffersEXT");
  Find(gl.bindRenderbuffer, "glBindRenderbufferEXT");
  Find(gl.renderbufferStorage, "glRenderbufferStorageEXT");
  Find(gl.framebufferRenderbuffer, "glFramebufferRenderbufferEXT");
  Find(gl.checkFramebufferStatus, "glCheckFramebufferStatusEXT");
  return gl;
}

FramebufferCalls calls;

constexpr GLbitfield kSavedAttributes = GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_VIEWPORT_BIT |
                                        GL_TRANSFORM_BIT | GL_CURRENT_BIT | GL_SCISSOR_BIT |
                                        GL_TEXTURE_BIT | GL_PIXEL_MODE_BIT;

}  // namespace

ExportTarget::~ExportTarget() { End(); }

bool ExportTarget::Begin(int width, int height) {
  if (framebuffer_ != 0) return width == width_ && height == height_;
  calls = FindFramebufferCalls();
  if (!calls.Complete() || width <= 0 || height <= 0) return false;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
  if (width > largest || height > largest) return false;
  GLint previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
  GLint previousRenderbuffer = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &previousRenderbuffer);

  GLuint framebuffer = 0, colour = 0;
  calls.genFramebuffers(1, &framebuffer);
  calls.genRenderbuffers(1, &colour);
  calls.bindRenderbuffer(GL_RENDERBUFFER_EXT, colour);
  calls.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
  calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
  calls.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                colour);
  const GLenum status = calls.checkFramebufferStatus(GL_FRAMEBUFFER_EXT);
  calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
  calls.bindRenderbuffer(GL_RENDERBUFFER_EXT, static_cast<GLuint>(previousRenderbuffer));
  if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
    calls.deleteFramebuffers(1, &framebuffer);
    calls.deleteRenderbuffers(1, &colour);
    return false;
  }
  framebuffer_ = framebuffer;
  colourBuffer_ = colour;
  width_ = width;
  height_ = height;
  Enter();
  return true;
}

void ExportTarget::Enter() {
  if (entered_) return;
  entered_ = true;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &callerFramebuffer_);
  glPushAttrib(kSavedAttributes);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer_);
  glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);

  // The editor's blending, and nothing of its clipping or depth testing.
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(1, 1, 1, 0);
  glColor4f(1, 1, 1, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);

  // Origin in the middle of the picture, y growing upwards; the camera's 640 x 480 units fill
  // the picture whatever its size.
  glViewport(0, 0, width_, height_);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(-kExportWidth / 2, kExportWidth / 2, -kExportHeight / 2, kExportHeight / 2, 1, -1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void ExportTarget::Leave() {
  if (!entered_) return;
  entered_ = false;
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(callerFramebuffer_));
  glPopClientAttrib();
  glPopAttrib();  // matrix mode, viewport, clear colour, blending, buffers, enables
}

void ExportTarget::Suspend() { Leave(); }

void ExportTarget::Resume() {
  if (framebuffer_ != 0) Enter();
}

void ExportTarget::End() {
  if (framebuffer_ == 0) return;
  Leave();
  GLuint framebuffer = framebuffer_, colour = colourBuffer_;
  calls.deleteFramebuffers(1, &framebuffer);
  calls.deleteRenderbuffers(1, &colour);
  framebuffer_ = colourBuffer_ = 0;
}

void ExportTarget::Read(uint8_t* rgb) {
  glFlush();
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}
