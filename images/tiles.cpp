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
