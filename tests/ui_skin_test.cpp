// The TGA loader, the skin lookup and what start-up does without a usable font.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/ui_fixture.h"

namespace {

namespace fs = std::filesystem;

// A type-2 TGA stored as given: pixels are blue, green, red(, alpha) in file order.
std::vector<uint8_t> MakeTga(int width, int height, int bits, const std::vector<uint8_t>& pixels,
                             int imageType = 2) {
  std::vector<uint8_t> data(18, 0);
  data[2] = static_cast<uint8_t>(imageType);
  data[12] = width & 0xFF;
  data[13] = (width >> 8) & 0xFF;
  data[14] = height & 0xFF;
  data[15] = (height >> 8) & 0xFF;
  data[16] = static_cast<uint8_t>(bits);
  for (uint8_t byte : pixels) data.push_back(byte);
  return data;
}

struct Decoded {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

Decoded Decode(const std::vector<uint8_t>& data) {
  Decoded result;
  uint8_t* pixels = nullptr;
  result.ok = DecodeTga(data.data(), data.size(), &pixels, &result.width, &result.height);
  if (result.ok) {
    result.rgba.assign(pixels, pixels + static_cast<size_t>(result.width) * result.height * 4);
    std::free(pixels);
  }
  return result;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

fs::path TempDirectory(const char* name) {
  fs::path dir = fs::temp_directory_path() / (std::string("tavoka_") + name + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(Tga, PurpleIsTransparentIn24BitImagesOnly) {
  // Two pixels: purple, then red. Bytes are blue, green, red.
  Decoded rgb = Decode(MakeTga(2, 1, 24, {128, 0, 128, 0, 0, 255}));
  ASSERT_TRUE(rgb.ok);
  EXPECT_EQ(rgb.rgba, (std::vector<uint8_t>{128, 0, 128, 0, 255, 0, 0, 255}));

  Decoded rgba = Decode(MakeTga(2, 1, 32, {128, 0, 128, 200, 0, 0, 255, 7}));
  ASSERT_TRUE(rgba.ok);
  EXPECT_EQ(rgba.rgba, (std::vector<uint8_t>{128, 0, 128, 200, 255, 0, 0, 7}));
}

TEST(Tga, RowsKeepTheirFileOrder) {
  Decoded image = Decode(MakeTga(1, 2, 24, {0, 0, 10, 0, 0, 20}));
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.rgba[0], 10);  // first file row is row 0 whatever the descriptor says
  EXPECT_EQ(image.rgba[4], 20);
}

TEST(Tga, SkipsTheIdFieldAndAnUnusedColourMap) {
  std::vector<uint8_t> data = MakeTga(1, 1, 24, {});
  data[0] = 3;  // id length
  data[1] = 1;  // colour map present: 2 entries of 24 bits
  data[5] = 2;
  data[7] = 24;
  for (int byte : {97, 98, 99, 1, 1, 1, 2, 2, 2, 30, 20, 10}) data.push_back(static_cast<uint8_t>(byte));
  Decoded image = Decode(data);
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(image.rgba, (std::vector<uint8_t>{10, 20, 30, 255}));
}

TEST(Tga, RefusesWhatItCannotReadWithoutReadingPastTheEnd) {
  const std::vector<uint8_t> pixels(2 * 2 * 3, 50);
  EXPECT_TRUE(Decode(MakeTga(2, 2, 24, pixels)).ok);
  // Run-length compressed, colour-mapped and grey images.
  EXPECT_FALSE(Decode(MakeTga(2, 2, 24, pixels, 10)).ok);
  EXPECT_FALSE(Decode(MakeTga(2, 2, 24, pixels, 1)).ok);
  EXPECT_FALSE(Decode(MakeTga(2, 2, 24, pixels, 3)).ok);
  // Depths other than 24 and 32 bits.
  EXPECT_FALSE(Decode(MakeTga(2, 2, 16, pixels)).ok);
  EXPECT_FALSE(Decode(MakeTga(2, 2, 8, pixels)).ok);
  EXPECT_FALSE(Decode(MakeTga(2, 2, 0, pixels)).ok);
  // Zero and absurd sizes.
  EXPECT_FALSE(Decode(MakeTga(0, 2, 24, pixels)).ok);
  EXPECT_FALSE(Decode(MakeTga(2, 0, 24, pixels)).ok);
  EXPECT_FALSE(Decode(MakeTga(65535, 65535, 32, pixels)).ok);
  // Truncated pixels, header, id field and colour map.
  std::vector<uint8_t> shortPixels(pixels.begin(), pixels.end() - 1);
  EXPECT_FALSE(Decode(MakeTga(2, 2, 24, shortPixels)).ok);
  std::vector<uint8_t> header = MakeTga(2, 2, 24, {});
  for (size_t length = 0; length < header.size(); ++length) {
    EXPECT_FALSE(Decode(std::vector<uint8_t>(header.begin(), header.begin() + length)).ok);
  }
  std::vector<uint8_t> longId = MakeTga(1, 1, 24, {1, 2, 3});
  longId[0] = 200;
  EXPECT_FALSE(Decode(longId).ok);
  std::vector<uint8_t> hugeMap = MakeTga(1, 1, 24, {1, 2, 3});
  hugeMap[1] = 1;
  hugeMap[5] = hugeMap[6] = 0xFF;
  hugeMap[7] = 32;
  EXPECT_FALSE(Decode(hugeMap).ok);
}

class Skin : public UiTest {};

TEST_F(Skin, LoadsAllSixteenImagesWithTheirSizes) {
  for (int i = 0; i < kSkinCount; ++i) EXPECT_NE(ui->skin[i].textureId, 0u) << kSkinFiles[i];
  EXPECT_EQ(ui->skin[kSkinFont].width, 1024);
  EXPECT_EQ(ui->skin[kSkinFont].height, 8);
  EXPECT_EQ(ui->skin[kSkinTitleBar].width, 512);
  EXPECT_EQ(ui->skin[kSkinTitleBarInactive].width, 512);
  for (int end : {kSkinScrollLeft, kSkinScrollRight, kSkinScrollTop, kSkinScrollBottom, kSkinCorner}) {
    EXPECT_EQ(ui->skin[end].width, 8);
    EXPECT_EQ(ui->skin[end].height, 8);
  }
  EXPECT_EQ(ui->skin[kSkinThumbH].width, 16);
  EXPECT_EQ(ui->skin[kSkinThumbH].height, 8);
  EXPECT_EQ(ui->skin[kSkinThumbV].width, 8);
  EXPECT_EQ(ui->skin[kSkinThumbV].height, 16);
  EXPECT_FLOAT_EQ(ui->palette[8][2], 0.51f);
  EXPECT_EQ(ui->mouse, &mouseState);
}

TEST_F(Skin, PurplePixelsDrawAsTransparent) {
  fs::path dir = TempDirectory("purple");
  // 2 x 1: purple at the left, green at the right (blue, green, red bytes).
  WriteFile(dir / "p.tga", MakeTga(2, 1, 24, {128, 0, 128, 0, 255, 0}));
  Texture texture;
  ASSERT_TRUE(LoadTga(texture, (dir / "p.tga").c_str(), kTextureNearest));
  ClearScreen(0, 0, 1);
  BeginFrame();
  BeginRoot(0, 0, logicalWidth, logicalHeight, "mainw");
  glPushMatrix();
  glScalef(8, 8, 1);
  DrawImage(texture, 1, 1);
  glPopMatrix();
  EndRegion();
  Rgb left = ReadPixel(8 + 3, 8 + 3), right = ReadPixel(16 + 3, 8 + 3);
  EXPECT_EQ(left.b, 255) << "purple must let the background through";
  EXPECT_EQ(left.r, 0);
  EXPECT_EQ(right.g, 255);
  EXPECT_EQ(right.b, 0);
  DeleteTexture(texture);
  EXPECT_EQ(texture.textureId, 0u);
  fs::remove_all(dir);
}

TEST_F(Skin, AMissingEntryKeepsTextureZeroAndTheRestLoads) {
  fs::path dir = TempDirectory("partial");
  fs::create_directories(dir / "skin");
  const fs::path source = fs::path(TAVOKA_SOURCE_DIR) / "skin";
  for (int i = 0; i < kSkinCount; ++i) {
    if (i != kSkinThumbH) fs::copy_file(source / kSkinFiles[i], dir / "skin" / kSkinFiles[i]);
  }
  WriteFile(dir / "skin" / kSkinFiles[kSkinCorner], {0, 0, 10, 0});  // compressed and short
  FreeUiContext();
  const std::string base = dir.string();
  const char* bases[] = {base.c_str()};
  ASSERT_TRUE(CreateUiContextFrom(bases, 1));
  for (int i = 0; i < kSkinCount; ++i) {
    if (i == kSkinThumbH || i == kSkinCorner) {
      EXPECT_EQ(ui->skin[i].textureId, 0u) << kSkinFiles[i];
    } else {
      EXPECT_NE(ui->skin[i].textureId, 0u) << kSkinFiles[i];
    }
  }
  fs::remove_all(dir);
}

TEST(SkinLookup, SearchesTheWorkingDirectoryThenTheProgramThenTheDataDirectories) {
  char directories[kSkinSearchDirectories][512];
  ASSERT_EQ(SkinSearchDirectories(directories, kSkinSearchDirectories), 4);
  EXPECT_STREQ(directories[0], ".");
  char exe[512] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(fs::path(directories[1]), fs::path(exe).parent_path());
  // Installed as <prefix>/bin/tavoka, the data lie in <prefix>/share/tavoka.
  EXPECT_EQ(fs::path(directories[2]), fs::path(exe).parent_path().parent_path() / "share/tavoka");
  EXPECT_STREQ(directories[3], TAVOKA_DATA_DIR);
  // A shorter list keeps the order and stops at the capacity.
  EXPECT_EQ(SkinSearchDirectories(directories, 2), 2);
  EXPECT_STREQ(directories[0], ".");
}

TEST(SkinLookup, TakesTheFirstDirectoryThatHoldsTheFont) {
  fs::path empty = TempDirectory("noskin");
  fs::path other = TempDirectory("otherskin");
  fs::create_directories(empty / "skin");  // a skin folder without the font does not count
  fs::create_directories(other / "skin");
  WriteFile(other / "skin" / "font0.tga", {1});
  const std::string a = empty.string(), b = other.string();
  const char* bases[] = {a.c_str(), b.c_str()};
  char found[1024];
  ASSERT_TRUE(FindSkinDirectory(bases, 2, found, sizeof found));
  EXPECT_EQ(fs::path(found), other / "skin");
  EXPECT_FALSE(FindSkinDirectory(bases, 1, found, sizeof found));
  fs::remove_all(empty);
  fs::remove_all(other);
}

TEST(SkinLookup, ARunFromAnotherDirectoryFindsTheSkinBesideTheProgram) {
  EnsureGLContext();
  fs::path dir = TempDirectory("elsewhere");
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  const bool created = CreateUiContext();
  fs::current_path(previous);
  ASSERT_TRUE(created);
  EXPECT_NE(ui->skin[kSkinFont].textureId, 0u);
  EXPECT_EQ(ui->glyphWidth['M' - 32], 5);
  FreeUiContext();
  fs::remove_all(dir);
}

TEST(SkinLookup, WithoutAFontStartUpSaysSoAndFails) {
  EnsureGLContext();
  fs::path dir = TempDirectory("nofont");
  const std::string base = dir.string();
  const char* bases[] = {base.c_str()};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CreateUiContextFrom(bases, 1));
  std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ui, nullptr);
  EXPECT_NE(message.find("Error: The interface font skin/font0.tga was not found"), std::string::npos)
      << message;
  EXPECT_NE(message.find(base), std::string::npos);

  // A font file that is there but unreadable is refused the same way.
  fs::create_directories(dir / "skin");
  WriteFile(dir / "skin" / "font0.tga", MakeTga(1024, 8, 24, {1, 2, 3}));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(CreateUiContextFrom(bases, 1));
  message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ui, nullptr);
  EXPECT_NE(message.find("is not an uncompressed TGA image"), std::string::npos) << message;
  fs::remove_all(dir);
}

}  // namespace
