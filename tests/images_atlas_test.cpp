// Each image keeps its tiles' cells in pages of its own, placed by the image alone: they draw
// the same pictures as one texture per tile (every quad samples its own cell only, whatever the
// position, turn or scale), an image binds one texture up to 1024 cells, and where a cell lies
// never depends on what was loaded before.
#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "images/image_bank.h"
#include "platform/platform.h"
#include "tests/image_fixture.h"

namespace {

using Atlas = ImageTest;

// Pictures with hard and soft edges, partial transparency and sizes that leave partial tiles.
std::vector<RgbaImage> TestPictures() {
  std::vector<RgbaImage> pictures;
  RgbaImage disc(150, 150, Rgba{255, 255, 255, 0});
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 150; ++x) {
      const int dx = x - 75, dy = y - 75, d2 = dx * dx + dy * dy;
      if (d2 > 74 * 74) continue;
      disc.Set(x, y, Rgba{static_cast<uint8_t>(x * 37 % 256), static_cast<uint8_t>(y * 53 % 256),
                          static_cast<uint8_t>((x ^ y) * 3), static_cast<uint8_t>(255 - d2 / 25)});
    }
  }
  pictures.push_back(disc);
  RgbaImage bars(61, 95, Rgba{0, 0, 0, 0});
  for (int y = 0; y < 95; ++y) {
    for (int x = 0; x < 61; ++x) {
      if ((x / 7 + y / 11) % 2 == 0) bars.Set(x, y, Rgba{20, static_cast<uint8_t>(y * 2), 200, 255});
    }
  }
  pictures.push_back(bars);
  RgbaImage small(31, 30, Rgba{240, 120, 0, 255});
  small.Set(30, 29, Rgba{0, 0, 0, 255});
  pictures.push_back(small);
  RgbaImage wide(200, 110, Rgba{0, 0, 0, 255});
  for (int y = 0; y < 110; ++y) {
    for (int x = 0; x < 200; ++x) {
      wide.Set(x, y, Rgba{static_cast<uint8_t>(x), static_cast<uint8_t>(255 - x),
                          static_cast<uint8_t>(y * 2), static_cast<uint8_t>(128 + (x + y) % 128)});
    }
  }
  pictures.push_back(wide);
  return pictures;
}

struct Placement {
  float x, y, degrees, sx, sy;
  bool flipH, flipV;
};

const Placement kPlacements[] = {
    {120.25f, 110.5f, 0, 1, 1, false, false},   {330.7f, 140.3f, 33, 1, 1, false, false},
    {560.1f, 120.9f, -71.5f, 1.6f, 1.6f, true, false}, {820.45f, 150.2f, 5, 2.3f, 0.8f, false, true},
    {130.6f, 400.35f, 190, 0.37f, 0.37f, true, true},  {360.33f, 420.66f, 12, 0.71f, 1.9f, false, false},
    {640.5f, 430.5f, 90, 1.0f, -1.0f, false, false},   {880.9f, 600.1f, 251, 1.25f, 1.25f, true, false},
};

// Every picture at every placement, overlapping, each drawn by draw. With blend false each pixel
// holds exactly what the last quad over it sampled, alpha included.
template <typename Draw>
RgbaImage DrawPictures(size_t count, bool blend, Draw draw) {
  ClearScreen(Rgba{90, 140, 90, 255});
  if (!blend) glDisable(GL_BLEND);
  for (const Placement& p : kPlacements) {
    for (size_t i = 0; i < count; ++i) {
      glLoadIdentity();
      glTranslatef(p.x + 13.3f * static_cast<float>(i), p.y + 7.7f * static_cast<float>(i), 0);
      glRotatef(p.degrees, 0, 0, 1);
      glScalef(p.sx, p.sy, 1);
      draw(i, p.flipH, p.flipV);
    }
  }
  glEnable(GL_BLEND);
  return ReadScreen(0, 0, logicalWidth, logicalHeight);
}

// The reference: every non-empty tile in a 32 x 32 texture of its own, drawn as the image's
// quads are.
struct OwnTextures {
  explicit OwnTextures(const RgbaImage& picture) : image(picture) {
    cols = (picture.width + kTileSide - 1) / kTileSide;
    rows = (picture.height + kTileSide - 1) / kTileSide;
    uint8_t cell[kTileCell * kTileCell * 4];
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) {
        Texture texture;
        if (FillTileCell(picture.pixels.data(), picture.width, picture.height, i, j, cell)) {
          CreateTexture(texture, cell, kTileCell, kTileCell, kTileTextureFlags);
        }
        textures.push_back(texture);
      }
    }
  }
  ~OwnTextures() {
    for (Texture& texture : textures) DeleteTexture(texture);
  }
  void Draw(bool flipH, bool flipV) const {
    const int sx = flipH ? -1 : 1, sy = flipV ? -1 : 1;
    glPushMatrix();
    glTranslatef(static_cast<float>(-(image.width / 2) * sx), static_cast<float>(-(image.height / 2) * sy), 0);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j < cols; ++j) {
        const Texture& texture = textures[static_cast<size_t>(i) * cols + j];
        if (texture.textureId == 0) continue;
        glBindTexture(GL_TEXTURE_2D, texture.textureId);
        const float x0 = kTileSide * j * sx, x1 = kTileSide * (j + 1) * sx;
        const float y0 = kTileSide * i * sy, y1 = kTileSide * (i + 1) * sy;
        glBegin(GL_QUADS);
        glTexCoord2f(1 / 32.0f, 31 / 32.0f);
        glVertex2f(x0, y1);
        glTexCoord2f(31 / 32.0f, 31 / 32.0f);
        glVertex2f(x1, y1);
        glTexCoord2f(31 / 32.0f, 1 / 32.0f);
        glVertex2f(x1, y0);
        glTexCoord2f(1 / 32.0f, 1 / 32.0f);
        glVertex2f(x0, y0);
        glEnd();
      }
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
  }
  const RgbaImage& image;
  int cols = 0, rows = 0;
  std::vector<Texture> textures;
};

}  // namespace

TEST_F(Atlas, PicturesMatchOneTexturePerTile) {
  // NOTE: the two ways interpolate texture coordinates of different sizes, so a filter weight
  // can round to the neighbouring 1/256 step: a sample may differ by one level. Blended over
  // other layers, a colour and an alpha each one level off can make two.
  const std::vector<RgbaImage> pictures = TestPictures();
  std::vector<std::unique_ptr<OwnTextures>> own;
  for (const RgbaImage& p : pictures) own.push_back(std::make_unique<OwnTextures>(p));
  auto drawOwn = [&own](size_t i, bool flipH, bool flipV) { own[i]->Draw(flipH, flipV); };
  const RgbaImage expectedSamples = DrawPictures(own.size(), false, drawOwn);
  const RgbaImage expected = DrawPictures(own.size(), true, drawOwn);

  std::vector<TiledImage*> paged;
  for (const RgbaImage& p : pictures) paged.push_back(TileBuffer(p.pixels.data(), p.width, p.height));
  // 25 cells: a page of 8 x 4 (PageShape gives the others).
  EXPECT_EQ(paged[0]->pages[0].width, 8 * kTileCell);
  EXPECT_EQ(paged[0]->pages[0].height, 4 * kTileCell);
  auto drawPaged = [&paged](size_t i, bool flipH, bool flipV) {
    DrawTiledImage(paged[i], flipH, flipV);
  };
  const RgbaImage actualSamples = DrawPictures(paged.size(), false, drawPaged);
  const RgbaImage actual = DrawPictures(paged.size(), true, drawPaged);
  // The onion skin's batch carries the corners through the matrix itself: the same pictures but
  // for a pixel along an edge here and there.
  auto drawBatched = [&paged](size_t i, bool flipH, bool flipV) {
    float matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    glLoadIdentity();
    BeginImageBatch(nullptr);
    AddImageToBatch(paged[i], flipH, flipV, matrix);
    EndImageBatch();
  };
  const RgbaImage batched = DrawPictures(paged.size(), true, drawBatched);
  for (TiledImage* image : paged) FreeTiledImage(image);
  EXPECT_LT(ComparePictures(actual, batched).pixels, actual.width * actual.height / 200);

  const PictureDifference samples = ComparePictures(expectedSamples, actualSamples, true);
  EXPECT_LE(samples.largest, 1) << samples.pixels << " pixels differ";
  const PictureDifference blended = ComparePictures(expected, actual);
  EXPECT_LE(blended.largest, 2);
  EXPECT_LT(blended.pixels, expected.width * expected.height / 1000);
  // The pictures really cover the screen: most of it is not the background.
  int drawn = 0;
  for (int y = 0; y < expected.height; y += 4) {
    for (int x = 0; x < expected.width; x += 4) drawn += !(expected.At(x, y) == Rgba{90, 140, 90, 255});
  }
  EXPECT_GT(drawn, 5000);
}

TEST_F(Atlas, AnImagesCellsLieInPagesOfItsOwnWhateverWasLoadedBefore) {
  const std::vector<RgbaImage> pictures = TestPictures();
  std::vector<TiledImage*> images;  // the disc alone, the others, the disc again
  for (size_t i : {0, 1, 2, 3, 0}) {
    images.push_back(TileBuffer(pictures[i].pixels.data(), pictures[i].width, pictures[i].height));
  }
  const TiledImage* alone = images[0];
  const TiledImage* later = images[4];
  ASSERT_EQ(alone->tiles.size(), later->tiles.size());
  ASSERT_EQ(later->pages.size(), 1u) << "one texture to bind";
  for (size_t k = 0; k < alone->tiles.size(); ++k) {
    EXPECT_EQ(alone->tiles[k].cellX, later->tiles[k].cellX) << k;
    EXPECT_EQ(alone->tiles[k].cellY, later->tiles[k].cellY) << k;
    EXPECT_EQ(later->tiles[k].texture.textureId, later->pages[0].textureId);
  }
  // Cells in row order from the page's top-left corner, 8 to a row.
  EXPECT_EQ(alone->tiles[9].cellX, kTileCell);
  EXPECT_EQ(alone->tiles[9].cellY, kTileCell);
  std::set<uint32_t> textures;
  for (const TiledImage* image : images) textures.insert(image->pages[0].textureId);
  EXPECT_EQ(textures.size(), images.size()) << "no image shares a page";
  const uint32_t page = alone->pages[0].textureId;
  for (TiledImage* image : images) FreeTiledImage(image);
  EXPECT_FALSE(glIsTexture(page));
}

TEST_F(Atlas, AnImageOfMoreCellsThanAPageHoldsFillsPagesInRowOrder) {
  int across = 0, down = 0;
  const int shapes[][3] = {{1, 1, 1}, {2, 2, 1}, {4, 2, 2}, {5, 4, 2}, {8, 4, 2}, {25, 8, 4},
                           {28, 8, 4}, {1024, 32, 32}, {5000, 32, 32}};
  for (const auto& shape : shapes) {
    PageShape(shape[0], 32, &across, &down);
    EXPECT_EQ(across, shape[1]) << shape[0];
    EXPECT_EQ(down, shape[2]) << shape[0];
  }

  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  const int perPage = (std::min(kMaxAtlasSide, static_cast<int>(largest)) / kTileCell) *
                      (std::min(kMaxAtlasSide, static_cast<int>(largest)) / kTileCell);
  // One column of tiles, each a colour of its own, the last one past the first page.
  RgbaImage column(kTileSide, kTileSide * (perPage + 1), Rgba{0, 0, 0, 255});
  for (int y = 0; y < column.height; ++y) {
    for (int x = 0; x < kTileSide; ++x) {
      column.Set(x, y, Rgba{static_cast<uint8_t>(y / kTileSide % 251), 60, 200, 255});
    }
  }
  TiledImage* image = TileBuffer(column.pixels.data(), column.width, column.height);
  ASSERT_EQ(static_cast<int>(image->tiles.size()), perPage + 1);
  ASSERT_EQ(image->pages.size(), 2u);
  EXPECT_EQ(image->pages[1].width, kTileCell) << "a page for the one cell left";
  EXPECT_EQ(image->tiles[perPage].texture.textureId, image->pages[1].textureId);
  EXPECT_EQ(image->tiles[perPage - 1].texture.textureId, image->pages[0].textureId);

  // The last tile, drawn from the second page, shows its own colour.
  glLoadIdentity();
  glTranslatef(100, 300 - kTileSide * (perPage + 0.5f) + column.height / 2.0f, 0);
  DrawTiledImage(image, false, false);
  const Rgba last = ScreenAt(100, 300);
  EXPECT_EQ(last.r, perPage % 251);
  EXPECT_EQ(last.b, 200);
  FreeTiledImage(image);
}
