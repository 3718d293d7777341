// The toolkit context's construction, the skin lookup and the TGA loader.
#include <GL/gl.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/platform.h"
#include "ui/ui.h"

UiContext* ui = nullptr;

const char* const kSkinFiles[kSkinCount] = {
    "font0.tga",       "titlebar.tga",    "titlebar_inactive.tga", "button1_up.tga",
    "button1_down.tga", "slidebar_h1.tga", "slidebar_h2.tga",       "slider1_h.tga",
    "slidebar_v1.tga", "slidebar_v2.tga", "slider1_v.tga",         "icon_resize.tga",
    "key.tga",         "key-c.tga",       "key-s.tga",             "key-w.tga",
};

namespace {

constexpr int kSkinFlags[kSkinCount] = {5, 7, 7, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5};

constexpr float kPalette[kPaletteSize][3] = {
    {0.7f, 0.6f, 0.55f},  {0.2f, 0.1f, 0.0f},   {1, 1, 1},           {1, 1, 0},
    {0.4f, 0.4f, 0.4f},   {0.45f, 0.45f, 0.45f}, {0, 0, 0},           {0.5f, 0.5f, 0.5f},
    {0.45f, 0.47f, 0.51f}, {1, 1, 1},           {0.82f, 0.83f, 0.8f}, {1, 0, 0},
    {0.1f, 0.3f, 0.7f},   {0.4f, 0.6f, 1.0f},   {0.3f, 0.3f, 0.3f},  {0.6f, 0.62f, 0.57f},
    {0.7f, 0.7f, 0.7f},   {0.55f, 0.55f, 0.55f},
};

constexpr size_t kTgaHeaderSize = 18;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, uint8_t** rgba, int* width, int* height) {
  *rgba = nullptr;
  if (data == nullptr || size < kTgaHeaderSize) return false;
  const uint8_t idLength = data[0];
  const uint8_t colourMapType = data[1];
  const uint8_t imageType = data[2];
  if (imageType != 2 || colourMapType > 1) return false;
  // A colour map on a true-colour image is unused, but its bytes sit before the pixels.
  size_t colourMapBytes = 0;
  if (colourMapType == 1) {
    colourMapBytes = static_cast<size_t>(ReadU16(data + 5)) * ((data[7] + 7u) / 8u);
  }
  const int w = ReadU16(data + 12);
  const int h = ReadU16(data + 14);
  const int bytesPerPixel = data[16] / 8;
  if (data[16] != 24 && data[16] != 32) return false;
  if (w <= 0 || h <= 0 || w > kMaxTgaSide || h > kMaxTgaSide) return false;
  const size_t start = kTgaHeaderSize + idLength + colourMapBytes;
  const size_t pixelCount = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (start > size || (size - start) / static_cast<size_t>(bytesPerPixel) < pixelCount) return false;

  uint8_t* out = static_cast<uint8_t*>(std::malloc(pixelCount * 4));
  if (out == nullptr) return false;
  const uint8_t* in = data + start;
  for (size_t i = 0; i < pixelCount; ++i, in += bytesPerPixel) {
    uint8_t b = in[0], g = in[1], r = in[2];
    uint8_t a = 255;
    if (bytesPerPixel == 4) {
      a = in[3];
    } else if (r == 128 && g == 0 && b == 128) {
      a = 0;  // the skin's transparent purple
    }
    out[i * 4 + 0] = r;
    out[i * 4 + 1] = g;
    out[i * 4 + 2] = b;
    out[i * 4 + 3] = a;
  }
  *rgba = out;
  *width = w;
  *height = h;
  return true;
}

// NOTE: rows go to the texture in file order, so the first row of the file is texture row 0;
// the skin files are stored bottom row first and every quad maps t = 1 to its top edge.
bool ReadTga(const char* path, uint8_t** rgba, int* width, int* height) {
  *rgba = nullptr;
  std::vector<uint8_t> bytes;
  // The largest acceptable image plus a full colour map and id field.
  const size_t limit =
      kTgaHeaderSize + 255 + size_t{65535} * 4 + size_t{kMaxTgaSide} * kMaxTgaSide * 4;
  return ReadWholeFile(path, limit, bytes) && DecodeTga(bytes.data(), bytes.size(), rgba, width, height);
}

bool LoadTga(Texture& t, const char* path, int flags) {
  uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  if (!ReadTga(path, &pixels, &width, &height)) return false;
  glEnable(GL_TEXTURE_2D);
  CreateTexture(t, pixels, width, height, flags);
  std::free(pixels);
  return true;
}

void CreateTexture(Texture& t, const uint8_t* rgbaPixels, int width, int height, int flags) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  GLint minFilter = GL_LINEAR_MIPMAP_LINEAR, magFilter = GL_LINEAR;
  if (flags & kTextureLinear) minFilter = magFilter = GL_LINEAR;
  if (flags & kTextureNearest) minFilter = magFilter = GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  GLint wrap = (flags & kTextureClamp) ? GL_CLAMP_TO_EDGE : GL_REPEAT;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 4, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgbaPixels);
  t.width = width;
  t.height = height;
  t.textureId = name;
}

void DeleteTexture(Texture& t) {
  if (t.textureId != 0) {
    GLuint name = t.textureId;
    glDeleteTextures(1, &name);
  }
  t = Texture{};
}

UiContext::UiContext(const char* skinDirectory) {
  ClearRememberedFileNames();  // every file dialog starts empty
  LogMessage("zor: loading textures");
  for (int i = 0; i < kSkinCount; ++i) {
    char path[1024];
    int length = std::snprintf(path, sizeof path, "%s/%s", skinDirectory, kSkinFiles[i]);
    if (length < 0 || length >= static_cast<int>(sizeof path)) continue;
    LoadTga(skin[i], path, kSkinFlags[i]);  // a failed load leaves texture 0
    if (i == kSkinFont) LoadFontMetrics(*this, path);
  }
  std::memcpy(palette, kPalette, sizeof palette);
}

UiContext::~UiContext() {
  for (int i = kSkinCount - 1; i >= 0; --i) DeleteTexture(skin[i]);
}

int SkinSearchDirectories(char (*out)[512], int capacity) {
  int count = 0;
  auto add = [&](const char* directory) {
    if (count < capacity && std::strlen(directory) < sizeof out[0]) {
      std::strcpy(out[count++], directory);
    }
  };
  add(".");
  char exe[512];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    exe[length] = '\0';
    char* slash = std::strrchr(exe, '/');
    if (slash != nullptr) {
      *slash = '\0';
      add(slash == exe ? "/" : exe);
      // An installed program lives in <prefix>/bin and its data in <prefix>/share/tavoka,
      // wherever the prefix was moved after the build.
      slash = std::strrchr(exe, '/');
      if (slash != nullptr) {
        char installed[512];
        *slash = '\0';
        const int n = std::snprintf(installed, sizeof installed, "%s/share/tavoka", exe);
        if (n > 0 && n < static_cast<int>(sizeof installed)) add(installed);
      }
    }
  }
  add(TAVOKA_DATA_DIR);
  return count;
}

bool FindSkinDirectory(const char* const* baseDirectories, int count, char* out, size_t size) {
  for (int i = 0; i < count; ++i) {
    char font[1024];
    int length = std::snprintf(font, sizeof font, "%s/skin/%s", baseDirectories[i], kSkinFiles[0]);
    if (length < 0 || length >= static_cast<int>(sizeof font)) continue;
    // Only a readable regular file counts: a pipe of that name must not stop the start-up.
    ReadableFile file;
    if (!OpenReadableFile(font, file)) continue;
    length = std::snprintf(out, size, "%s/skin", baseDirectories[i]);
    if (length >= 0 && static_cast<size_t>(length) < size) return true;
  }
  return false;
}

bool CreateUiContext() {
  char directories[kSkinSearchDirectories][512];
  int count = SkinSearchDirectories(directories, kSkinSearchDirectories);
  const char* bases[kSkinSearchDirectories];
  for (int i = 0; i < count; ++i) bases[i] = directories[i];
  return CreateUiContextFrom(bases, count);
}

bool CreateUiContextFrom(const char* const* baseDirectories, int count) {
  FreeUiContext();  // never two contexts: the old one's textures would leak
  char skinDirectory[1024];
  if (!FindSkinDirectory(baseDirectories, count, skinDirectory, sizeof skinDirectory)) {
    char message[2048];
    int used = std::snprintf(message, sizeof message,
                             "The interface font skin/font0.tga was not found. Looked in:");
    for (int i = 0; i < count && used > 0 && used < static_cast<int>(sizeof message); ++i) {
      used += std::snprintf(message + used, sizeof message - used, "\n%s", baseDirectories[i]);
    }
    ShowMessageBox("Error", message, true);
    return false;
  }
  LogMessage("zor: skin in %s", skinDirectory);
  ui = new UiContext(skinDirectory);
  if (ui->skin[kSkinFont].textureId == 0) {
    char message[1200];
    std::snprintf(message, sizeof message,
                  "The interface font %s/font0.tga is not an uncompressed TGA image.",
                  skinDirectory);
    ShowMessageBox("Error", message, true);
    FreeUiContext();
    return false;
  }
  ui->mouse = &mouseState;
  return true;
}

void FreeUiContext() {
  delete ui;
  ui = nullptr;
}
