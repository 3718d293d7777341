// Cutting images into tiles, the shared atlas pages that hold their cells, and drawing.
//
// NOTE: a quad samples its cell between texels 1 and 31 (texture coordinates 1/32..31/32 of the
// cell), so linear filtering reads only the cell's own 32 x 32 texels, never a neighbour in the
// atlas. That is why a cell placed in an atlas draws the same picture as a tile texture of its
// own, and why the unused texels of a page may stay undefined.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "images/image_bank.h"
#include "platform/log.h"

namespace {

constexpr uint8_t kOutside[4] = {255, 255, 255, 0};  // transparent white

// The batch between BeginImageBatch and EndImageBatch: the texture bound and whether quads are
// open on it.
struct ImageBatch {
  uint32_t bound = 0;
  bool open = false;
};
ImageBatch batch;

int AtlasSide() {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return std::max(kTileCell, std::min(kMaxAtlasSide, static_cast<int>(largest)));
}

bool AddAtlasPage() {
  if (imageBank.atlasSide == 0) imageBank.atlasSide = AtlasSide();
  const int side = imageBank.atlasSide;
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return false;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  AtlasPage page;
  page.texture.textureId = name;
  page.texture.width = page.texture.height = side;
  imageBank.atlases.push_back(page);
  LogMessage("TileBuffer(): new atlas page %i of %ix%i", static_cast<int>(imageBank.atlases.size()),
             side, side);
  return true;
}

// Places a cell in the current atlas page, starting a new page when it is full.
bool StoreInAtlas(const uint8_t* cell, TileCell* tile) {
  if (imageBank.atlases.empty() ||
      imageBank.atlases.back().cellsUsed >= (imageBank.atlasSide / kTileCell) *
                                                (imageBank.atlasSide / kTileCell)) {
    if (!AddAtlasPage()) return false;
  }
  AtlasPage& page = imageBank.atlases.back();
  const int perSide = imageBank.atlasSide / kTileCell;
  tile->texture = page.texture;
  tile->cellX = (page.cellsUsed % perSide) * kTileCell;
  tile->cellY = (page.cellsUsed / perSide) * kTileCell;
  page.cellsUsed += 1;
  glBindTexture(GL_TEXTURE_2D, page.texture.textureId);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, tile->cellX, tile->cellY, kTileCell, kTileCell, GL_RGBA,
                  GL_UNSIGNED_BYTE, cell);
  return true;
}

}  // namespace

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
  auto* image = new TiledImage();
  image->width = static_cast<float>(width);
  image->height = static_cast<float>(height);
  image->cols = (width + kTileSide - 1) / kTileSide;
  image->rows = (height + kTileSide - 1) / kTileSide;
  image->tileIndex.assign(static_cast<size_t>(image->rows) * image->cols, -1);
  image->ownsTextures = imageBank.storage == TileStorage::kTexturePerTile;
  const size_t maskRow = (static_cast<size_t>(width) + 7) / 8;
  image->alphaMask.assign(maskRow * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * width * 4;
    uint8_t* bits = image->alphaMask.data() + maskRow * y;
    for (int x = 0; x < width; ++x) {
      if (row[x * 4 + 3] != 0) bits[x / 8] |= static_cast<uint8_t>(1u << (x % 8));
    }
  }

  uint8_t cell[kTileCell * kTileCell * 4];
  for (int i = 0; i < image->rows; ++i) {
    for (int j = 0; j < image->cols; ++j) {
      if (!FillTileCell(pixels, width, height, i, j, cell)) continue;
      TileCell tile;
      if (image->ownsTextures) {
        CreateTexture(tile.texture, cell, kTileCell, kTileCell, kTileTextureFlags);
      } else if (!StoreInAtlas(cell, &tile)) {
        continue;  // no texture could be made: the tile stays empty
      }
      image->tileIndex[static_cast<size_t>(i) * image->cols + j] =
          static_cast<int32_t>(image->tiles.size());
      image->tiles.push_back(tile);
    }
  }
  return image;
}

void FreeTiledImage(TiledImage* image) {
  if (image == nullptr) return;
  if (image->ownsTextures) {
    for (TileCell& tile : image->tiles) DeleteTexture(tile.texture);
  }
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
  auto vertex = [m](float x, float y) {
    glVertex2f(m[0] * x + m[4] * y + m[12], m[1] * x + m[5] * y + m[13]);
  };
  for (int i = 0; i < image->rows; ++i) {
    for (int j = 0; j < image->cols; ++j) {
      const int32_t index = image->tileIndex[static_cast<size_t>(i) * image->cols + j];
      if (index < 0) continue;
      const TileCell& tile = image->tiles[index];
      if (!batch.open || tile.texture.textureId != batch.bound) {
        if (batch.open) glEnd();
        batch.bound = tile.texture.textureId;
        glBindTexture(GL_TEXTURE_2D, batch.bound);
        glBegin(GL_QUADS);
        batch.open = true;
      }
      const float side = static_cast<float>(tile.texture.width);
      const float s0 = (tile.cellX + 1) / side, s1 = (tile.cellX + kTileCell - 1) / side;
      const float t0 = (tile.cellY + 1) / side, t1 = (tile.cellY + kTileCell - 1) / side;
      const float x0 = originX + static_cast<float>(kTileSide * j * sx);
      const float x1 = originX + static_cast<float>(kTileSide * (j + 1) * sx);
      const float y0 = originY + static_cast<float>(kTileSide * i * sy);
      const float y1 = originY + static_cast<float>(kTileSide * (i + 1) * sy);
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
  // Quads of consecutive tiles in one texture go in one batch; a new texture ends it.
  uint32_t bound = 0;
  bool open = false;
  for (int i = 0; i < image->rows; ++i) {
    for (int j = 0; j < image->cols; ++j) {
      const int32_t index = image->tileIndex[static_cast<size_t>(i) * image->cols + j];
      if (index < 0) continue;
      const TileCell& tile = image->tiles[index];
      if (!open || tile.texture.textureId != bound) {
        if (open) glEnd();
        bound = tile.texture.textureId;
        glBindTexture(GL_TEXTURE_2D, bound);
        glBegin(GL_QUADS);
        open = true;
      }
      const float side = static_cast<float>(tile.texture.width);
      const float s0 = (tile.cellX + 1) / side, s1 = (tile.cellX + kTileCell - 1) / side;
      const float t0 = (tile.cellY + 1) / side, t1 = (tile.cellY + kTileCell - 1) / side;
      const float x0 = static_cast<float>(kTileSide * j * sx);
      const float x1 = static_cast<float>(kTileSide * (j + 1) * sx);
      const float y0 = static_cast<float>(kTileSide * i * sy);
      const float y1 = static_cast<float>(kTileSide * (i + 1) * sy);
      glTexCoord2f(s0, t1);
      glVertex2f(x0, y1);
      glTexCoord2f(s1, t1);
      glVertex2f(x1, y1);
      glTexCoord2f(s1, t0);
      glVertex2f(x1, y0);
      glTexCoord2f(s0, t0);
      glVertex2f(x0, y0);
    }
  }
  if (open) glEnd();
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}
