// The image bank: tile geometry, drawing position and mirroring (rendered and read back), and
// the lookup by name with loading on first use.
#include <GL/gl.h>
#include <png.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "images/image_bank.h"
#include "platform/log.h"
#include "project/project_file.h"
#include "scene/scene.h"
#include "tests/allocation_fault.h"
#include "tests/image_fixture.h"

namespace {

using Tiles = ImageTest;
using Bank = ImageTest;

const PngFormat kRgba8{PNG_COLOR_TYPE_RGB_ALPHA, 8};

// Each pixel tells where it came from: red = x, green = y.
RgbaImage Coordinates(int w, int h) {
  RgbaImage image(w, h, Rgba{0, 0, 0, 255});
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.Set(x, y, Rgba{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7, 255});
  }
  return image;
}

Rgba CellAt(const uint8_t* cell, int r, int c) {
  const uint8_t* p = cell + (r * kTileCell + c) * 4;
  return Rgba{p[0], p[1], p[2], p[3]};
}

TiledImage* Tile(const RgbaImage& image) {
  return TileBuffer(image.pixels.data(), image.width, image.height);
}

// A 100 x 50 picture in four opaque quarters: red, green / blue, yellow (left to right, top row
// first).
RgbaImage Quarters() {
  RgbaImage image(100, 50, Rgba{0, 0, 0, 255});
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool right = x >= 50, bottom = y >= 25;
      image.Set(x, y, bottom ? (right ? Rgba{255, 255, 0, 255} : Rgba{0, 0, 255, 255})
                             : (right ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255}));
    }
  }
  return image;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kYellow{255, 255, 0, 255};

}  // namespace

TEST(TileCells, CellHoldsTheTileAndTheRingOfNeighbouringPixels) {
  const RgbaImage image = Coordinates(61, 35);  // 3 columns, 2 rows of tiles
  uint8_t cell[kTileCell * kTileCell * 4];

  ASSERT_TRUE(FillTileCell(image.pixels.data(), 61, 35, 1, 1, cell));
  EXPECT_EQ(CellAt(cell, 0, 0), (Rgba{29, 29, 7, 255}));    // border from the tile up-left
  EXPECT_EQ(CellAt(cell, 1, 1), (Rgba{30, 30, 7, 255}));    // the tile's first pixel
  EXPECT_EQ(CellAt(cell, 1, 31), (Rgba{60, 30, 7, 255}));   // border from the tile to the right
  EXPECT_EQ(CellAt(cell, 5, 30), (Rgba{59, 34, 7, 255}));   // the image's last row
  EXPECT_EQ(CellAt(cell, 6, 30), (Rgba{255, 255, 255, 0})); // below the image: transparent white

  ASSERT_TRUE(FillTileCell(image.pixels.data(), 61, 35, 0, 0, cell));
  for (int k = 0; k < kTileCell; ++k) {
    EXPECT_EQ(CellAt(cell, 0, k), (Rgba{255, 255, 255, 0}));  // above and left of the image
    EXPECT_EQ(CellAt(cell, k, 0), (Rgba{255, 255, 255, 0}));
  }
  EXPECT_EQ(CellAt(cell, 1, 1), (Rgba{0, 0, 7, 255}));
  EXPECT_EQ(CellAt(cell, 31, 31), (Rgba{30, 30, 7, 255}));

  // The last column holds one image column and its left border.
  ASSERT_TRUE(FillTileCell(image.pixels.data(), 61, 35, 0, 2, cell));
  EXPECT_EQ(CellAt(cell, 1, 0), (Rgba{59, 0, 7, 255}));
  EXPECT_EQ(CellAt(cell, 1, 1), (Rgba{60, 0, 7, 255}));
  EXPECT_EQ(CellAt(cell, 1, 2), (Rgba{255, 255, 255, 0}));

  // A cell whose only visible pixel is in its border is not empty; one with none is.
  RgbaImage dot(90, 30, Rgba{0, 0, 0, 0});
  dot.Set(30, 0, kRed);
  EXPECT_TRUE(FillTileCell(dot.pixels.data(), 90, 30, 0, 0, cell));
  EXPECT_TRUE(FillTileCell(dot.pixels.data(), 90, 30, 0, 1, cell));
  EXPECT_FALSE(FillTileCell(dot.pixels.data(), 90, 30, 0, 2, cell));
}

TEST_F(Tiles, SizesGiveColumnsRowsAndNonEmptyTiles) {
  TiledImage* one = Tile(RgbaImage(30, 30, kRed));
  EXPECT_EQ(one->cols, 1);
  EXPECT_EQ(one->rows, 1);
  EXPECT_EQ(one->tiles.size(), 1u);
  EXPECT_EQ(one->width, 30.0f);

  TiledImage* two = Tile(RgbaImage(31, 30, kRed));
  EXPECT_EQ(two->cols, 2);
  EXPECT_EQ(two->rows, 1);
  EXPECT_EQ(two->tiles.size(), 2u);
  EXPECT_EQ(two->tileIndex, (std::vector<int32_t>{0, 1}));

  // One opaque pixel at (30, 30) lies in the border of four tiles; the rest stay empty.
  RgbaImage dot(100, 100, Rgba{0, 0, 0, 0});
  dot.Set(30, 30, kRed);
  TiledImage* dotted = Tile(dot);
  EXPECT_EQ(dotted->cols, 4);
  EXPECT_EQ(dotted->tiles.size(), 4u);
  EXPECT_EQ(dotted->tileIndex, (std::vector<int32_t>{0, 1, -1, -1, 2, 3, -1, -1, -1, -1, -1,
                                                     -1, -1, -1, -1, -1}));
  std::set<uint32_t> textures;
  for (const TileCell& tile : dotted->tiles) textures.insert(tile.texture.textureId);
  EXPECT_EQ(textures.size(), 1u);
  for (TiledImage* image : {one, two, dotted}) FreeTiledImage(image);
}

TEST_F(Tiles, FullyTransparentImageHasNoTexturesAndDrawsNothing) {
  RgbaImage clear(100, 70, Rgba{200, 10, 10, 0});
  ASSERT_TRUE(WritePngFile(PathOf("clear.png"), clear, kRgba8));
  TiledImage* image = GetImage("clear.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->cols, 4);
  EXPECT_EQ(image->rows, 3);
  EXPECT_TRUE(image->tiles.empty());
  EXPECT_EQ(image->tileIndex, std::vector<int32_t>(12, -1));
  EXPECT_TRUE(image->pages.empty());

  glTranslatef(300, 200, 0);
  DrawTiledImage(image, false, false);
  const RgbaImage screen = ReadScreen(230, 150, 140, 100);
  EXPECT_EQ(ComparePictures(screen, RgbaImage(140, 100, kWhite)).pixels, 0);
}

TEST_F(Tiles, ImageIsCentredAndFlipsMirrorItAboutItsCentre) {
  ASSERT_TRUE(WritePngFile(PathOf("quarters.png"), Quarters(), kRgba8));
  TiledImage* image = GetImage("quarters.png");
  ASSERT_NE(image, nullptr);
  const int ox = 400, oy = 300;
  struct Case {
    bool flipH, flipV;
    Rgba topLeft, topRight, bottomLeft, bottomRight;
  } cases[] = {{false, false, kRed, kGreen, kBlue, kYellow},
               {true, false, kGreen, kRed, kYellow, kBlue},
               {false, true, kBlue, kYellow, kRed, kGreen},
               {true, true, kYellow, kBlue, kGreen, kRed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flipH " << c.flipH << " flipV " << c.flipV);
    ClearScreen(kWhite);
    glTranslatef(ox, oy, 0);
    DrawTiledImage(image, c.flipH, c.flipV);
    // The picture's pixels fill x -50..50 and y -25..25 exactly.
    EXPECT_EQ(ScreenAt(ox - 50, oy - 25), c.topLeft);
    EXPECT_EQ(ScreenAt(ox + 49, oy - 25), c.topRight);
    EXPECT_EQ(ScreenAt(ox - 50, oy + 24), c.bottomLeft);
    EXPECT_EQ(ScreenAt(ox + 49, oy + 24), c.bottomRight);
    EXPECT_EQ(ScreenAt(ox - 1, oy - 1), c.topLeft);
    EXPECT_EQ(ScreenAt(ox, oy), c.bottomRight);
    for (const auto& outside : {std::pair{ox - 52, oy}, std::pair{ox + 51, oy},
                                std::pair{ox, oy - 27}, std::pair{ox, oy + 26},
                                std::pair{ox + 65, oy + 30}, std::pair{ox - 65, oy - 30}}) {
      EXPECT_EQ(ScreenAt(outside.first, outside.second), kWhite)
          << outside.first - ox << ", " << outside.second - oy;
    }
  }
}

TEST_F(Tiles, SeamsBetweenTilesDrawLikeOneTexture) {
  // A smooth picture drawn turned, enlarged and off the pixel grid, once through tiles and once
  // as a single texture: inside the picture the two agree, so the borders hide the seams.
  RgbaImage smooth(90, 90, kWhite);
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 90; ++x) {
      smooth.Set(x, y, Rgba{static_cast<uint8_t>(x * 2.8), static_cast<uint8_t>(y * 2.8),
                            static_cast<uint8_t>((x * 7 + y * 13) % 256), 255});
    }
  }
  TiledImage* tiled = Tile(smooth);
  RgbaImage padded(128, 128, Rgba{255, 255, 255, 0});
  for (int y = 0; y < 90; ++y) {
    for (int x = 0; x < 90; ++x) padded.Set(x, y, smooth.At(x, y));
  }
  Texture whole;
  CreateTexture(whole, padded.pixels.data(), 128, 128, kTileTextureFlags);

  auto place = [] {
    glLoadIdentity();
    glTranslatef(300.37f, 250.61f, 0);
    glRotatef(17, 0, 0, 1);
    glScalef(1.7f, 1.3f, 1);
  };
  ClearScreen(kWhite);
  place();
  DrawTiledImage(tiled, false, false);
  const RgbaImage fromTiles = ReadScreen(200, 150, 200, 200);

  ClearScreen(kWhite);
  place();
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, whole.textureId);
  glColor4f(1, 1, 1, 1);
  glBegin(GL_QUADS);
  const float edge = 90.0f / 128;
  glTexCoord2f(0, 0);
  glVertex2f(-45, -45);
  glTexCoord2f(edge, 0);
  glVertex2f(45, -45);
  glTexCoord2f(edge, edge);
  glVertex2f(45, 45);
  glTexCoord2f(0, edge);
  glVertex2f(-45, 45);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  const RgbaImage fromTexture = ReadScreen(200, 150, 200, 200);
  DeleteTexture(whole);
  FreeTiledImage(tiled);

  // Compare the pixels that lie at least two image pixels inside the picture.
  int compared = 0, largest = 0;
  const float radians = 17 * 3.14159265f / 180;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      const float dx = x + 200 + 0.5f - 300.37f, dy = y + 150 + 0.5f - 250.61f;
      const float u = (std::cos(radians) * dx + std::sin(radians) * dy) / 1.7f;
      const float v = (-std::sin(radians) * dx + std::cos(radians) * dy) / 1.3f;
      if (std::fabs(u) > 43 || std::fabs(v) > 43) continue;
      compared += 1;
      const Rgba a = fromTiles.At(x, y), b = fromTexture.At(x, y);
      largest = std::max({largest, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  }
  EXPECT_GT(compared, 15000);
  EXPECT_LE(largest, 1);
}

TEST_F(Bank, SameNameLoadsOnceAndStaysAfterTheFileIsGone) {
  ASSERT_TRUE(WritePngFile(PathOf("arm.png"), RgbaImage(40, 40, kRed), kRgba8));
  TiledImage* first = GetImage("arm.png");
  ASSERT_NE(first, nullptr);
  std::filesystem::remove(PathOf("arm.png"));
  EXPECT_EQ(GetImage("arm.png"), first);
  EXPECT_EQ(imageBank.count, 1);
  EXPECT_STREQ(first->name, "arm.png");
  EXPECT_EQ(GetImage(""), nullptr);
  EXPECT_EQ(GetImage(nullptr), nullptr);
}

TEST_F(Bank, NamesDifferingInCaseAreDifferentImages) {
  ASSERT_TRUE(WritePngFile(PathOf("Face.png"), RgbaImage(20, 20, kRed), kRgba8));
  ASSERT_TRUE(WritePngFile(PathOf("face.png"), RgbaImage(20, 20, kBlue), kRgba8));
  TiledImage* upper = GetImage("Face.png");
  TiledImage* lower = GetImage("face.png");
  ASSERT_NE(upper, nullptr);
  ASSERT_NE(lower, nullptr);
  EXPECT_NE(upper, lower);
  EXPECT_EQ(imageBank.count, 2);
  EXPECT_EQ(GetImage("FACE.png"), nullptr);

  glTranslatef(100, 100, 0);
  DrawTiledImage(upper, false, false);
  glTranslatef(100, 0, 0);
  DrawTiledImage(lower, false, false);
  EXPECT_EQ(ScreenAt(100, 100), kRed);
  EXPECT_EQ(ScreenAt(200, 100), kBlue);
}

TEST_F(Bank, MissingFileIsLookedForAgainOnTheNextRequest) {
  EXPECT_EQ(GetImage("late.png"), nullptr);
  EXPECT_EQ(imageBank.count, 0);
  ASSERT_TRUE(WritePngFile(PathOf("late.png"), RgbaImage(10, 10, kGreen), kRgba8));
  TiledImage* image = GetImage("late.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(imageBank.count, 1);

  // A damaged file fails the same way and loads once it is mended.
  std::vector<uint8_t> bytes = ReadFileBytes(PathOf("late.png"));
  std::vector<uint8_t> damaged(bytes.begin(), bytes.begin() + bytes.size() / 2);
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), damaged));
  EXPECT_EQ(GetImage("torn.png"), nullptr);
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), bytes));
  EXPECT_NE(GetImage("torn.png"), nullptr);
  EXPECT_EQ(imageBank.count, 2);
}

// A broken image on screen is asked for on every redraw; it is read again only once its file
// changes or appears, not decoded each time.
TEST_F(Bank, AFailedLoadIsTriedAgainOnlyWhenItsFileChanges) {
  const std::string logPath = PathOf("tavoka.log");
  SetLogFile(logPath.c_str());
  auto readsOf = [&](const std::string& name) {
    const std::string log = ReadText(logPath), line = "LoadTiledImagePNG(\"" + name + "\")";
    int n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
  };
  ASSERT_TRUE(WritePngFile(PathOf("whole.png"), RgbaImage(64, 64, kBlue), kRgba8));
  const std::vector<uint8_t> whole = ReadFileBytes(PathOf("whole.png"));
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), {whole.begin(), whole.begin() + 60}));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(GetImage("torn.png"), nullptr);
  EXPECT_EQ(readsOf("torn.png"), 1);
  bool missing = true;
  ASSERT_NE(ImageFailureReason("torn.png", &missing), nullptr);
  EXPECT_FALSE(missing);

  // Written again, still broken: one more read. Mended: loaded.
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), {whole.begin(), whole.begin() + 70}));
  EXPECT_EQ(GetImage("torn.png"), nullptr);
  EXPECT_EQ(GetImage("torn.png"), nullptr);
  EXPECT_EQ(readsOf("torn.png"), 2);
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), whole));
  EXPECT_NE(GetImage("torn.png"), nullptr);
  EXPECT_EQ(ImageFailureReason("torn.png"), nullptr);

  // A missing file costs no read at all until it appears.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(GetImage("late.png"), nullptr);
  ASSERT_NE(ImageFailureReason("late.png", &missing), nullptr);
  EXPECT_TRUE(missing);
  EXPECT_EQ(readsOf("late.png"), 1);
  ASSERT_TRUE(WriteFileBytes(PathOf("late.png"), whole));
  EXPECT_NE(GetImage("late.png"), nullptr);

  // Another folder, another file of that name: what failed in the old one is forgotten.
  for (int i = 0; i < 2; ++i) EXPECT_EQ(GetImage("gone.png"), nullptr);
  const std::string other = PathOf("other/");
  std::filesystem::create_directory(other);
  ASSERT_TRUE(WriteFileBytes(other + "gone.png", whole));
  SetImageFolder(other.c_str());
  EXPECT_NE(GetImage("gone.png"), nullptr);
  SetLogFile(nullptr);
}

TEST_F(Bank, BrokenAndOversizedImagesSayWhy) {
  const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
  ASSERT_TRUE(WriteFileBytes(PathOf("photo.png"), jpeg));
  ASSERT_TRUE(WriteFileBytes(PathOf("notes.png"), {'h', 'e', 'l', 'l', 'o', '\n'}));
  ASSERT_TRUE(WritePngFile(PathOf("whole.png"), RgbaImage(40, 40, kRed), kRgba8));
  const std::vector<uint8_t> whole = ReadFileBytes(PathOf("whole.png"));
  ASSERT_TRUE(WriteFileBytes(PathOf("torn.png"), {whole.begin(), whole.end() - 30}));
  // Only the header of a huge picture (a real one's, its size changed): it is judged before
  // anything else is read.
  auto header = [&whole](uint32_t width, uint32_t height) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + 33);
    for (int i = 0; i < 8; ++i) {
      bytes[16 + i] = static_cast<uint8_t>((i < 4 ? width : height) >> (24 - i % 4 * 8));
    }
    return bytes;
  };
  ASSERT_TRUE(WriteFileBytes(PathOf("wide.png"), header(9000, 9000)));
  ASSERT_TRUE(WriteFileBytes(PathOf("many.png"), header(5000, 5000)));
  std::filesystem::create_directory(PathOf("folder.png"));

  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"photo.png", "not a PNG file"},
      {"notes.png", "not a PNG file"},
      {"torn.png", "the file is truncated"},
      {"wide.png", "the image is 9000 x 9000 pixels, more than 8192 a side"},
      {"many.png", "the image is 5000 x 5000 pixels, more than 16777216 in all"},
      {"folder.png", "a folder, not a file"},
      {"absent.png", "there is no file of that name in the project's folder"},
      {"../whole.png", "not a bare file name (a folder or \"..\" in it)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetImage(c.name), nullptr) << c.name;
    bool missing = false;
    EXPECT_STREQ(ImageFailureReason(c.name, &missing), c.reason) << c.name;
    EXPECT_EQ(missing, std::string(c.name) == "absent.png") << c.name;
  }
  EXPECT_EQ(imageBank.count, 0);
}

// Memory that runs out is no fault of the file: the image is refused for now and loaded on a
// later request.
TEST_F(Bank, AnImageWithoutMemoryForItIsRefusedAndLoadedLater) {
  ASSERT_TRUE(WritePngFile(PathOf("big.png"), RgbaImage(512, 512, kGreen), kRgba8));
  {
    testalloc::RefuseLargeAllocations scarce(256 << 10);
    EXPECT_EQ(GetImage("big.png"), nullptr);
  }
  EXPECT_STREQ(ImageFailureReason("big.png"), "not enough memory for the image");
  EXPECT_EQ(imageBank.count, 0);
  TiledImage* image = GetImage("big.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 512);
}

TEST_F(Bank, NamesThatAreNotBareFileNamesAreNotOpened) {
  std::filesystem::create_directory(PathOf("sub"));
  ASSERT_TRUE(WritePngFile(PathOf("sub/inner.png"), RgbaImage(8, 8, kRed), kRgba8));
  const std::string outside = directory_.parent_path().string() + "/" +
                              directory_.filename().string() + "_outside.png";
  ASSERT_TRUE(WritePngFile(outside, RgbaImage(8, 8, kRed), kRgba8));
  const std::string escape = "../" + std::filesystem::path(outside).filename().string();
  for (const std::string& name : {std::string("sub/inner.png"), std::string("sub\\inner.png"),
                                  escape, outside, std::string(".."), std::string("a..png")}) {
    EXPECT_FALSE(IsBareFileName(name.c_str())) << name;
    EXPECT_EQ(GetImage(name.c_str()), nullptr) << name;
  }
  std::filesystem::remove(outside);
  EXPECT_EQ(imageBank.count, 0);
  EXPECT_TRUE(IsBareFileName("arm_left.v2.png"));
  EXPECT_FALSE(IsBareFileName(std::string(kImageNameSize, 'a').c_str()));
}

TEST_F(Bank, LoadingIsLoggedAndFailuresSayWhy) {
  const std::string logPath = PathOf("tavoka.log");
  SetLogFile(logPath.c_str());
  ASSERT_TRUE(WritePngFile(PathOf("good.png"), RgbaImage(8, 8, kRed), kRgba8));
  ASSERT_TRUE(WriteFileBytes(PathOf("bad.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}));
  EXPECT_NE(GetImage("good.png"), nullptr);
  EXPECT_EQ(GetImage("bad.png"), nullptr);
  EXPECT_EQ(GetImage("gone.png"), nullptr);
  EXPECT_EQ(GetImage("../good.png"), nullptr);
  SetLogFile(nullptr);
  const std::string log = ReadText(logPath);
  const std::string expected =
      "Not loaded -> loading\n"
      "LoadTiledImagePNG(\"good.png\")\n"
      "AttachWorkPath -> \"" + PathOf("good.png") + "\"\n"
      "channels=4\n"
      "TileBuffer()\n";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_NE(log.find("Success -> adding to bank\n"), std::string::npos);
  EXPECT_NE(log.find("PNG file \"bad.png\": the file is truncated\nLoad failed\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("PNG file \"gone.png\" not found\nLoad failed\n"), std::string::npos);
  EXPECT_NE(log.find("PNG file \"../good.png\" refused: not a bare file name\nLoad failed\n"),
            std::string::npos);
}

TEST_F(Bank, GrowsBySlotsAndFindsEveryImageAgain) {
  const std::vector<uint8_t> pixel = [&] {
    EXPECT_TRUE(WritePngFile(PathOf("pixel.png"), RgbaImage(1, 1, kRed), kRgba8));
    return ReadFileBytes(PathOf("pixel.png"));
  }();
  const int total = kBankGrowth + 30;
  std::vector<TiledImage*> loaded;
  for (int i = 0; i < total; ++i) {
    const std::string name = "img" + std::to_string(i) + ".png";
    ASSERT_TRUE(WriteFileBytes(PathOf(name), pixel));
    loaded.push_back(GetImage(name.c_str()));
    ASSERT_NE(loaded.back(), nullptr);
  }
  EXPECT_EQ(imageBank.count, total);
  EXPECT_EQ(imageBank.capacity, 2 * kBankGrowth);
  for (int i = total - 1; i >= 0; --i) {
    const std::string name = "img" + std::to_string(i) + ".png";
    EXPECT_EQ(GetImage(name.c_str()), loaded[i]);
    EXPECT_EQ(imageBank.slots[i], loaded[i]);
  }
  EXPECT_EQ(imageBank.count, total);
}

TEST_F(Bank, NewProjectEmptiesTheBankAndItsTextures) {
  ASSERT_TRUE(WritePngFile(PathOf("a.png"), RgbaImage(50, 50, kRed), kRgba8));
  ASSERT_TRUE(WritePngFile(PathOf("b.png"), RgbaImage(40, 90, kRed), kRgba8));
  TiledImage* first = GetImage("a.png");
  ASSERT_NE(first, nullptr);
  const uint32_t freedPage = first->pages[0].textureId;
  FreeImageBank();
  InitImageBank();
  const TiledImage* a = GetImage("a.png");
  const TiledImage* b = GetImage("b.png");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  const uint32_t page = a->pages[0].textureId, otherPage = b->pages[0].textureId;
  EXPECT_TRUE(glIsTexture(page));
  EXPECT_NE(page, otherPage);

  NewProjectImages();
  EXPECT_EQ(imageBank.count, 0);
  EXPECT_EQ(imageBank.capacity, kBankGrowth);
  EXPECT_FALSE(glIsTexture(page));
  EXPECT_FALSE(glIsTexture(otherPage));
  EXPECT_FALSE(glIsTexture(freedPage));
  EXPECT_NE(GetImage("a.png"), nullptr);  // loads again from the file
}

TEST(ImageBankInEditor, StartUpResolvesNamesInTheProjectFolderAndNewProjectEmptiesTheBank) {
  StartEditor();
  EXPECT_STREQ(ImageFolder(), project.workPath);
  EXPECT_EQ(imageBank.capacity, kBankGrowth);
  char pattern[] = "/tmp/tavoka_project_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = std::string(pattern) + "/";
  ASSERT_TRUE(WritePngFile(folder + "leg.png", RgbaImage(30, 60, kGreen), kRgba8));
  ASSERT_TRUE(SetWorkPath(folder.c_str()));
  EXPECT_STREQ(ImageFolder(), folder.c_str());
  EXPECT_NE(GetImage("leg.png"), nullptr);
  EXPECT_EQ(imageBank.count, 1);

  NewProject();
  EXPECT_EQ(imageBank.count, 0);
  EXPECT_EQ(imageBank.capacity, kBankGrowth);
  EXPECT_STREQ(project.workPath, "");
  EXPECT_EQ(GetImage("leg.png"), nullptr);  // now looked for in the working directory
  std::filesystem::remove_all(pattern);
}
