// Tiles kept in shared atlas pages draw the same pictures as one texture per tile: every
// quad samples its own cell only, whatever the position, turn or scale.
#include <GL/gl.h>

#include <set>

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

// Every picture at every placement, overlapping. With blend false each pixel holds exactly what
// the last quad over it sampled, alpha included.
RgbaImage DrawPictures(const std::vector<TiledImage*>& images, bool blend) {
  ClearScreen(Rgba{90, 140, 90, 255});
  if (!blend) glDisable(GL_BLEND);
  for (const Placement& p : kPlacements) {
    for (size_t i = 0; i < images.size(); ++i) {
      glLoadIdentity();
      glTranslatef(p.x + 13.3f * static_cast<float>(i), p.y + 7.7f * static_cast<float>(i), 0);
      glRotatef(p.degrees, 0, 0, 1);
      glScalef(p.sx, p.sy, 1);
      DrawTiledImage(images[i], p.flipH, p.flipV);
    }
  }
  glEnable(GL_BLEND);
  return ReadScreen(0, 0, logicalWidth, logicalHeight);
}

}  // namespace

TEST_F(Atlas, PicturesMatchOneTexturePerTile) {
  // NOTE: the two ways interpolate texture coordinates of different sizes, so a filter weight
  // can round to the neighbouring 1/256 step: a sample may differ by one level. Blended over
  // other layers, a colour and an alpha each one level off can make two.
  const std::vector<RgbaImage> pictures = TestPictures();

  imageBank.storage = TileStorage::kTexturePerTile;
  std::vector<TiledImage*> own;
  for (const RgbaImage& p : pictures) own.push_back(TileBuffer(p.pixels.data(), p.width, p.height));
  const RgbaImage expectedSamples = DrawPictures(own, false);
  const RgbaImage expected = DrawPictures(own, true);
  for (TiledImage* image : own) FreeTiledImage(image);

  // Fill the first atlas page up to ten cells, so that the first picture (25 tiles) spans two
  // pages.
  imageBank.storage = TileStorage::kAtlas;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  const int perSide = std::min(kMaxAtlasSide, static_cast<int>(largest)) / kTileCell;
  const int fillerTiles = perSide * perSide - 10;
  RgbaImage filler(kTileSide, kTileSide * fillerTiles, Rgba{1, 2, 3, 255});
  TiledImage* fill = TileBuffer(filler.pixels.data(), filler.width, filler.height);
  ASSERT_EQ(static_cast<int>(fill->tiles.size()), fillerTiles);

  std::vector<TiledImage*> shared;
  for (const RgbaImage& p : pictures) shared.push_back(TileBuffer(p.pixels.data(), p.width, p.height));
  std::set<uint32_t> pagesOfFirst;
  for (const TileCell& tile : shared[0]->tiles) pagesOfFirst.insert(tile.texture.textureId);
  EXPECT_EQ(pagesOfFirst.size(), 2u);
  EXPECT_EQ(imageBank.atlases.size(), 2u);

  const RgbaImage actualSamples = DrawPictures(shared, false);
  const RgbaImage actual = DrawPictures(shared, true);
  for (TiledImage* image : shared) FreeTiledImage(image);
  FreeTiledImage(fill);

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

TEST_F(Atlas, PuppetSizedImagesShareOnePage) {
  std::vector<TiledImage*> images;
  for (int i = 0; i < 20; ++i) {
    RgbaImage part(150, 150, Rgba{static_cast<uint8_t>(i * 12), 80, 160, 255});
    images.push_back(TileBuffer(part.pixels.data(), part.width, part.height));
  }
  std::set<uint32_t> textures;
  size_t tiles = 0;
  for (TiledImage* image : images) {
    for (const TileCell& tile : image->tiles) textures.insert(tile.texture.textureId);
    tiles += image->tiles.size();
    EXPECT_FALSE(image->ownsTextures);
  }
  EXPECT_EQ(tiles, 500u);
  EXPECT_EQ(textures.size(), 1u);
  for (TiledImage* image : images) FreeTiledImage(image);
}
