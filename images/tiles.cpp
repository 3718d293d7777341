// Cutting images into tiles, the pages of each image that hold their cells, and drawing.
//
// NOTE: a quad samples its cell between texels 1 and 31 (texture coordinates 1/32..31/32 of the
// cell), so linear filtering reads only the cell's own 32 x 32 texels, never a neighbour in the
// page, and the unused texels of a page may hold anything. But the rasteriser's filter weights
// come from texture coordinates that round differently at different places in a page (by one
// 1/256 step now and then), so a cell's place must depend on its image alone: pages are never
// shared, and an image's cells fill its pages in row order.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "images/image_bank.h"
#include "platform/log.h"

namespace {

constexpr uint8_t kOutside[4] = {255, 255, 255, 0};  // transparent white
constexpr size_t kCellBytes = kTileCell * kTileCell * 4;

// The batch between BeginImageBatch and EndImageBatch: the texture bound and whether quads are
// open on it.
struct ImageBatch {
  uint32_t bound = 0;
  bool open = false;
};
ImageBatch batch;

// The image's tile quads with their cells' texture coordinates, the tile grid's corner at
// (0, 0) and tile (i, j) at (30 j sx, 30 i sy), each corner given to vertex(x, y). Consecutive
// tiles of one texture share the open quads of state; a new texture ends them.
template <typename Vertex>
void EmitTiles(const TiledImage& image, int sx, int sy, ImageBatch& state, Vertex&& vertex) {
  for (int i = 0; i < image.rows; ++i) {
    for (int j = 0; j < image.cols; ++j) {
      const int32_t index = image.tileIndex[static_cast<size_t>(i) * image.cols + j];
      if (index < 0) continue;
      const TileCell& tile = image.tiles[index];
      if (!state.open || tile.texture.textureId != state.bound) {
        if (state.open) glEnd();
        state.bound = tile.texture.textureId;
        glBindTexture(GL_TEXTURE_2D, state.bound);
        glBegin(GL_QUADS);
        state.open = true;
      }
      const float across = static_cast<float>(tile.texture.width);
      const float down = static_cast<float>(tile.texture.height);
      const float s0 = (tile.cellX + 1) / across, s1 = (tile.cellX + kTileCell - 1) / across;
      const float t0 = (tile.cellY + 1) / down, t1 = (tile.cellY + kTileCell - 1) / down;
      const float x0 = static_cast<float>(kTileSide * j * sx);
      const float x1 = static_cast<float>(kTileSide * (j + 1) * sx);
      const float y0 = static_cast<float>(kTileSide * i * sy);
      const float y1 = static_cast<float>(kTileSide * (i + 1) * sy);
      glTexCoord2f(s0, t1);
      vertex(x0, y1);
      glTexCoord2f(s1, t1);
      vertex(x1, y1);
      glTexCoord2f(s1, t0);
      vertex(x1, y0);
      glTexCoord2f(s0, t0);
      vertex(x0, y0);
    }
  }
}

// Cells along a page's side: the atlas side or what the renderer allows, if less.
int CellsPerPageSide() {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return std::max(1, std::min(kMaxAtlasSide, static_cast<int>(largest)) / kTileCell);
}

// True when some pixel of tile (row, col)'s cell, its border included, is not fully transparent.
bool TileVisible(const uint8_t* pixels, int width, int height, int row, int col) {
  const int x0 = std::max(0, kTileSide * col - 1), x1 = std::min(width, kTileSide * col + 31);
  const int y0 = std::max(0, kTileSide * row - 1), y1 = std::min(height, kTileSide * row + 31);
  for (int y = y0; y < y1; ++y) {
    const uint8_t* p = pixels + (static_cast<size_t>(y) * width + x0) * 4 + 3;
    for (int x = x0; x < x1; ++x, p += 4) {
      if (*p != 0) return true;
    }
  }
  return false;
}

// A page of across x down cells from cells (count of them, row order); false when OpenGL gives
// no texture.
bool MakePage(const std::vector<uint8_t>& cells, int count, int across, int down, Texture* page) {
  const int width = across * kTileCell, height = down * kTileCell;
  std::vector<uint8_t> texels(static_cast<size_t>(width) * height * 4, 0);
  for (int k = 0; k < count; ++k) {
    const int left = (k % across) * kTileCell, top = (k / across) * kTileCell;
    for (int r = 0; r < kTileCell; ++r) {
      std::memcpy(&texels[(static_cast<size_t>(top + r) * width + left) * 4],
                  &cells[k * kCellBytes + static_cast<size_t>(r) * kTileCell * 4], kTileCell * 4);
    }
  }
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  page->textureId = name;
  page->width = width;
  page->height = height;
  return true;
}

}  // namespace

void PageShape(int count, int perSide, int* across, int* down) {
  int a = 1;
  while (a < perSide && a * a < count) a *= 2;
  int d = 1;
  while (d < perSide && a * d < count) d *= 2;
  *across = a;
  *down = d;
}

bool FillTileCell(const uint8_t* pixels, int width, int height, int row, int col, uint8_t* cell) {
  bool visible = false;
  for (int r = 0; r < kTileCell; ++r) {
    const int y = kTileSide * row - 1 + r;
    for (int c = 0; c < kTileCell; ++c) {
      const int x = kTileSide * col - 1 + c;
      uint8_t* to = cell + (r * kTileCell + c) * 4;
      const bool inside = x >= 0 && x < width && y >= 0 && y < height;
      const uint8_t* from = inside ? pixels + (static_cast<size_t>(y) * width + x) * 4 : kOutside;
      std::memcpy(to, from, 4);
      visible = visible || to[3] != 0;
    }
  }
  return visible;
}

TiledImage* TileBuffer(const uint8_t* pixels, int width, int height) {
  LogMessage("TileBuffer()");
  if (width < 0 || height < 0 || (pixels == nullptr && width > 0 && height > 0)) return nullptr;
  // Freed with its pages when memory runs out part-way (the caller refuses the load).
  std::unique_ptr<TiledImage, void (*)(TiledImage*)> image(new TiledImage(), FreeTiledImage);
  image->width = static_cast<float>(width);
  image->height = static_cast<float>(height);
  image->cols = (width + kTileSide - 1) / kTileSide;
  image->rows = (height + kTileSide - 1) / kTileSide;
  image->tileIndex.assign(static_cast<size_t>(image->rows) * image->cols, -1);
  const size_t maskRow = (static_cast<size_t>(width) + 7) / 8;
  image->alphaMask.assign(maskRow * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * width * 4;
    uint8_t* bits = image->alphaMask.data() + maskRow * y;
    for (int x = 0; x < width; ++x) {
      if (row[x * 4 + 3] != 0) bits[x / 8] |= static_cast<uint8_t>(1u << (x % 8));
    }
  }

  // The non-empty tiles first, so every page's size is known before it is filled.
  std::vector<int32_t> visible;
  for (int i = 0; i < image->rows; ++i) {
    for (int j = 0; j < image->cols; ++j) {
      if (TileVisible(pixels, width, height, i, j)) visible.push_back(i * image->cols + j);
    }
  }
  const int perSide = CellsPerPageSide();
  const int perPage = perSide * perSide;
  std::vector<uint8_t> cells;
  for (size_t first = 0; first < visible.size(); first += perPage) {
    const int count = static_cast<int>(std::min<size_t>(perPage, visible.size() - first));
    int across = 0, down = 0;
    PageShape(count, perSide, &across, &down);
    cells.resize(static_cast<size_t>(count) * kCellBytes);
    for (int k = 0; k < count; ++k) {
      const int tile = visible[first + k];
      FillTileCell(pixels, width, height, tile / image->cols, tile % image->cols,
                   &cells[k * kCellBytes]);
    }
    Texture page;
    if (!MakePage(cells, count, across, down, &page)) {
      LogMessage("TileBuffer(): no texture for %d tiles; they stay empty", count);
      continue;
    }
    image->pages.push_back(page);
    for (int k = 0; k < count; ++k) {
      TileCell tile;
      tile.texture = page;
      tile.cellX = (k % across) * kTileCell;
      tile.cellY = (k / across) * kTileCell;
      image->tileIndex[visible[first + k]] = static_cast<int32_t>(image->tiles.size());
      image->tiles.push_back(tile);
    }
  }
  return image.release();
}

void FreeTiledImage(TiledImage* image) {
  if (image == nullptr) return;
  for (Texture& page : image->pages) DeleteTexture(page);
  delete image;
}

void BeginImageBatch(const float* colour) {
  glEnable(GL_TEXTURE_2D);
  if (colour != nullptr) {
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
  } else {
    glColor4f(1, 1, 1, 1);
  }
  batch = ImageBatch{};
}

void AddImageToBatch(const TiledImage* image, bool flipH, bool flipV, const float* matrix) {
  if (image == nullptr || matrix == nullptr) return;
  const int sx = flipH ? -1 : 1, sy = flipV ? -1 : 1;
  const int w = static_cast<int>(std::lround(image->width));
  const int h = static_cast<int>(std::lround(image->height));
  // Where DrawTiledImage's translation puts the tile grid's corner.
  const float originX = static_cast<float>(-(w / 2) * sx);
  const float originY = static_cast<float>(-(h / 2) * sy);
  const float* m = matrix;
  EmitTiles(*image, sx, sy, batch, [m, originX, originY](float x, float y) {
    x += originX;
    y += originY;
    glVertex2f(m[0] * x + m[4] * y + m[12], m[1] * x + m[5] * y + m[13]);
  });
}

void EndImageBatch() {
  if (batch.open) glEnd();
  batch = ImageBatch{};
  glDisable(GL_TEXTURE_2D);
}

bool ImagePixelVisible(const TiledImage* image, int x, int y) {
  if (image == nullptr) return false;
  const int width = static_cast<int>(std::lround(image->width));
  const int height = static_cast<int>(std::lround(image->height));
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  const size_t maskRow = (static_cast<size_t>(width) + 7) / 8;
  const size_t at = maskRow * y + x / 8;
  if (at >= image->alphaMask.size()) return false;
  return (image->alphaMask[at] >> (x % 8) & 1) != 0;
}

bool ImageCoversPoint(const TiledImage* image, bool flipH, bool flipV, float x, float y) {
  if (image == nullptr || !std::isfinite(x) || !std::isfinite(y)) return false;
  // DrawTiledImage puts image column u at -(W / 2) * sx + u * sx, the halves truncated.
  const int w = static_cast<int>(std::lround(image->width));
  const int h = static_cast<int>(std::lround(image->height));
  const float u = (flipH ? -x : x) + static_cast<float>(w / 2);
  const float v = (flipV ? -y : y) + static_cast<float>(h / 2);
  if (u < 0 || v < 0 || u >= static_cast<float>(w) || v >= static_cast<float>(h)) return false;
  return ImagePixelVisible(image, static_cast<int>(u), static_cast<int>(v));
}

void DrawTiledImage(const TiledImage* image, bool flipH, bool flipV) {
  if (image == nullptr) return;
  const int sx = flipH ? -1 : 1;
  const int sy = flipV ? -1 : 1;
  const int w = static_cast<int>(std::lround(image->width));
  const int h = static_cast<int>(std::lround(image->height));

  glPushMatrix();
  glTranslatef(static_cast<float>(-(w / 2) * sx), static_cast<float>(-(h / 2) * sy), 0);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  ImageBatch quads;
  EmitTiles(*image, sx, sy, quads, [](float x, float y) { glVertex2f(x, y); });
  if (quads.open) glEnd();
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}
