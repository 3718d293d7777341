// PNG decoding: every colour type and bit depth to 8-bit RGBA, the reference suite, and refusal
// of damaged, truncated and oversized files without a crash.
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "images/image_bank.h"
#include "tests/image_fixture.h"

namespace {

using PngFiles = ImageTest;

const std::string kSuite = std::string(TAVOKA_TEST_DATA) + "/pngsuite/";

uint32_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
  return hash;
}

bool DecodeFile(const std::string& path, DecodedPng& out) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return DecodePng(bytes.data(), bytes.size(), out);
}

// Pictures each format can hold exactly (37 x 23 crosses byte and interlace-pass boundaries).
RgbaImage Pattern(const std::vector<Rgba>& colours) {
  RgbaImage image(37, 23, colours[0]);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) image.Set(x, y, colours[(x / 3 + y * 2) % colours.size()]);
  }
  return image;
}

RgbaImage ManyColours(bool withAlpha) {
  RgbaImage image(37, 23, Rgba{0, 0, 0, 255});
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t alpha = withAlpha ? static_cast<uint8_t>((x + y) * 5) : 255;
      image.Set(x, y, Rgba{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11),
                           static_cast<uint8_t>(x * y), alpha});
    }
  }
  return image;
}

struct Variant {
  PngFormat format;
  RgbaImage original;
};

std::vector<Variant> AllVariants() {
  const Rgba clear{10, 20, 30, 0};
  const std::vector<Rgba> four = {{255, 0, 0, 255}, {0, 128, 255, 255}, {20, 200, 40, 128}, clear};
  const std::vector<Rgba> two = {{250, 240, 10, 255}, clear};
  const std::vector<Rgba> greys = {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255},
                                   {255, 255, 255, 255}};
  const std::vector<Rgba> blackWhite = {{0, 0, 0, 255}, {255, 255, 255, 255}};
  const std::vector<Rgba> greyAlpha = {{0, 0, 0, 255}, {90, 90, 90, 0}, {200, 200, 200, 77}};
  const std::vector<Rgba> greyKey = {{0, 0, 0, 255}, {85, 85, 85, 0}, {255, 255, 255, 255}};
  const std::vector<Rgba> colourKey = {{255, 0, 0, 255}, {1, 2, 3, 0}, {4, 5, 6, 255}};
  std::vector<Rgba> palette256;
  for (int i = 0; i < 200; ++i) {
    palette256.push_back(Rgba{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                              static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i + 50)});
  }
  std::vector<Variant> variants = {
      {{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false, "RGBA 8"}, ManyColours(true)},
      {{PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, "RGBA 16"}, ManyColours(true)},
      {{PNG_COLOR_TYPE_RGB, 8, false, false, "RGB 8"}, ManyColours(false)},
      {{PNG_COLOR_TYPE_RGB, 16, false, false, "RGB 16"}, ManyColours(false)},
      {{PNG_COLOR_TYPE_RGB, 8, false, true, "RGB 8 colour key"}, Pattern(colourKey)},
      {{PNG_COLOR_TYPE_RGB, 16, false, true, "RGB 16 colour key"}, Pattern(colourKey)},
      {{PNG_COLOR_TYPE_PALETTE, 1, false, false, "palette 1"}, Pattern(two)},
      {{PNG_COLOR_TYPE_PALETTE, 2, false, false, "palette 2"}, Pattern(four)},
      {{PNG_COLOR_TYPE_PALETTE, 4, false, false, "palette 4"}, Pattern(four)},
      {{PNG_COLOR_TYPE_PALETTE, 8, false, false, "palette 8"}, Pattern(palette256)},
      {{PNG_COLOR_TYPE_GRAY, 1, false, false, "grey 1"}, Pattern(blackWhite)},
      {{PNG_COLOR_TYPE_GRAY, 2, false, false, "grey 2"}, Pattern(greys)},
      {{PNG_COLOR_TYPE_GRAY, 4, false, false, "grey 4"}, Pattern(greys)},
      {{PNG_COLOR_TYPE_GRAY, 8, false, false, "grey 8"}, Pattern(greys)},
      {{PNG_COLOR_TYPE_GRAY, 16, false, false, "grey 16"}, Pattern(greys)},
      {{PNG_COLOR_TYPE_GRAY, 2, false, true, "grey 2 colour key"}, Pattern(greyKey)},
      {{PNG_COLOR_TYPE_GRAY, 8, false, true, "grey 8 colour key"}, Pattern(greyKey)},
      {{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, "grey+alpha 8"}, Pattern(greyAlpha)},
      {{PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false, "grey+alpha 16"}, Pattern(greyAlpha)},
  };
  // Every format once more, interlaced.
  const size_t plain = variants.size();
  for (size_t i = 0; i < plain; ++i) {
    Variant twin = variants[i];
    twin.format.interlaced = true;
    variants.push_back(twin);
  }
  return variants;
}

// A PNG stream made by hand: signature, chunks with correct CRCs.
struct ChunkWriter {
  std::vector<uint8_t> bytes;
  ChunkWriter() {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bytes.assign(kSignature, kSignature + 8);
  }
  static void Put32(std::vector<uint8_t>& to, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) to.push_back(static_cast<uint8_t>(v >> shift));
  }
  void Chunk(const char* type, const std::vector<uint8_t>& body) {
    Put32(bytes, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    bytes.insert(bytes.end(), typed.begin(), typed.end());
    Put32(bytes, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
  }
  void Header(uint32_t width, uint32_t height, uint8_t depth, uint8_t type) {
    std::vector<uint8_t> body;
    Put32(body, width);
    Put32(body, height);
    body.insert(body.end(), {depth, type, 0, 0, 0});
    Chunk("IHDR", body);
  }
  void Data(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf length = static_cast<uLongf>(packed.size());
    compress(packed.data(), &length, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(length);
    Chunk("IDAT", packed);
  }
};

}  // namespace

TEST(PngDecode, SuiteFilesMatchAnIndependentDecoding) {
  // Hashes of the RGBA pixels a plain reading of each file gives (16-bit samples rounded,
  // palettes and tRNS applied, gamma ignored), worked out without libpng.
  const struct {
    const char* name;
    uint32_t hash;
  } expected[] = {
      {"basn0g01.png", 0x5FB33CFD},  {"basn0g02.png", 0x5BBE95C5},  {"basn0g04.png", 0x3468B9C5},
      {"basn0g08.png", 0x262EF46D},  {"basn0g16.png", 0x3897D73C},  {"basn2c08.png", 0x1FC92BC5},
      {"basn2c16.png", 0xAA698493},  {"basn3p01.png", 0x28A3E1C5},  {"basn3p02.png", 0x803BE5C5},
      {"basn3p04.png", 0xF3FC60E5},  {"basn3p08.png", 0x30EF4F45},  {"basn4a08.png", 0x23C8536D},
      {"basn4a16.png", 0x6CC2B2E5},  {"basn6a08.png", 0xB472197D},  {"basn6a16.png", 0x7AC7BFD1},
      {"ftbbn0g01.png", 0xAF3DF381}, {"ftbbn0g02.png", 0x68128E46}, {"ftbbn0g04.png", 0x8A0117A4},
      {"ftbbn2c16.png", 0xAA9BFE44}, {"ftbbn3p08.png", 0x82BF9A57}, {"ftbgn2c16.png", 0xAA9BFE44},
      {"ftbgn3p08.png", 0x82BF9A57}, {"ftbrn2c08.png", 0xAA9BFE44}, {"ftbwn0g16.png", 0xC70CA92D},
      {"ftbwn3p08.png", 0x82BF9A57}, {"ftbyn3p08.png", 0x82BF9A57}, {"ftp0n0g08.png", 0xD405AD2E},
      {"ftp0n2c08.png", 0x5A66CA09}, {"ftp0n3p08.png", 0x06E81ADF}, {"ftp1n3p08.png", 0x82BF9A57},
  };
  for (const auto& file : expected) {
    SCOPED_TRACE(file.name);
    DecodedPng png;
    ASSERT_TRUE(DecodeFile(kSuite + file.name, png)) << png.problem;
    EXPECT_EQ(png.width, 32);
    EXPECT_EQ(png.height, 32);
    EXPECT_EQ(png.rgba.size(), 32u * 32 * 4);
    EXPECT_EQ(Fnv1a(png.rgba), file.hash);
  }
  // The 16-bit file and the 8-bit file of one picture give the same pixels.
  DecodedPng deep, shallow;
  ASSERT_TRUE(DecodeFile(kSuite + "ftbbn2c16.png", deep));
  ASSERT_TRUE(DecodeFile(kSuite + "ftbrn2c08.png", shallow));
  EXPECT_EQ(deep.rgba, shallow.rgba);
  EXPECT_EQ(deep.channels, 3);
}

TEST(PngDecode, InterlacedSuiteFilesMatchTheirPlainTwins) {
  int pairs = 0;
  for (const std::string& folder : {kSuite, kSuite + "interlaced/"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name[0] != 'i' || entry.path().extension() != ".png") continue;
      SCOPED_TRACE(name);
      DecodedPng interlaced, plain;
      ASSERT_TRUE(DecodeFile(entry.path().string(), interlaced)) << interlaced.problem;
      ASSERT_TRUE(DecodeFile(kSuite + name.substr(1), plain)) << plain.problem;
      EXPECT_EQ(interlaced.rgba, plain.rgba);
      pairs += 1;
    }
  }
  EXPECT_EQ(pairs, 30);
}

TEST_F(PngFiles, EveryFormatDecodesToTheOriginalColours) {
  for (const Variant& variant : AllVariants()) {
    const std::string label = std::string(variant.format.label) +
                              (variant.format.interlaced ? " interlaced" : "");
    SCOPED_TRACE(label);
    const std::string path = PathOf("variant.png");
    ASSERT_TRUE(WritePngFile(path, variant.original, variant.format));
    DecodedPng png;
    ASSERT_TRUE(DecodeFile(path, png)) << png.problem;
    ASSERT_EQ(png.width, variant.original.width);
    ASSERT_EQ(png.height, variant.original.height);
    EXPECT_EQ(png.rgba, variant.original.pixels);
  }
}

TEST(PngDecode, TruncatedFilesFailAtEveryLength) {
  const std::vector<uint8_t> whole = ReadFileBytes(kSuite + "basn3p04.png");
  const std::vector<uint8_t> interlaced = ReadFileBytes(kSuite + "ibasn6a16.png");
  for (const auto* file : {&whole, &interlaced}) {
    ASSERT_GT(file->size(), 100u);
    for (size_t length = 0; length < file->size(); ++length) {
      DecodedPng png;
      EXPECT_FALSE(DecodePng(file->data(), length, png)) << "prefix of " << length << " bytes";
      EXPECT_TRUE(png.rgba.empty());
      EXPECT_NE(png.problem[0], '\0');
    }
    DecodedPng png;
    EXPECT_TRUE(DecodePng(file->data(), file->size(), png));
  }
}

TEST(PngDecode, DamagedFilesFail) {
  const std::vector<uint8_t> good = ReadFileBytes(kSuite + "basn2c08.png");
  DecodedPng png;
  ASSERT_TRUE(DecodePng(good.data(), good.size(), png));

  EXPECT_FALSE(DecodePng(nullptr, 0, png));
  const uint8_t text[] = "GIF89a, not a PNG at all";
  EXPECT_FALSE(DecodePng(text, sizeof text, png));
  EXPECT_STREQ(png.problem, "not a PNG file");

  // Any changed byte in the header or the image data breaks a checksum or the data itself.
  for (size_t at : {size_t{16}, size_t{20}, good.size() / 2, good.size() - 20}) {
    std::vector<uint8_t> damaged = good;
    damaged[at] ^= 0x5A;
    EXPECT_FALSE(DecodePng(damaged.data(), damaged.size(), png)) << "byte " << at;
  }

  // Correct checksums around data that is not a valid deflate stream.
  ChunkWriter bogus;
  bogus.Header(4, 4, 8, PNG_COLOR_TYPE_RGB);
  bogus.Chunk("IDAT", std::vector<uint8_t>(40, 0xEE));
  bogus.Chunk("IEND", {});
  EXPECT_FALSE(DecodePng(bogus.bytes.data(), bogus.bytes.size(), png));

  // A bit depth that the colour type does not allow.
  ChunkWriter badDepth;
  badDepth.Header(4, 4, 4, PNG_COLOR_TYPE_RGB);
  badDepth.Data(std::vector<uint8_t>(4 * 7, 0));
  badDepth.Chunk("IEND", {});
  EXPECT_FALSE(DecodePng(badDepth.bytes.data(), badDepth.bytes.size(), png));

  // Too little image data for the declared size.
  ChunkWriter shortData;
  shortData.Header(16, 16, 8, PNG_COLOR_TYPE_RGB);
  shortData.Data(std::vector<uint8_t>(5 * (1 + 16 * 3), 0));
  shortData.Chunk("IEND", {});
  EXPECT_FALSE(DecodePng(shortData.bytes.data(), shortData.bytes.size(), png));
}

TEST(PngDecode, AbsurdSizesAreRefusedBeforeAllocating) {
  DecodedPng png;
  const struct {
    uint32_t width, height;
  } sizes[] = {{100000, 1}, {1, 100000}, {kMaxPngSide + 1, 1}, {5000, 5000}, {0, 10},
               {0x7FFFFFFF, 0x7FFFFFFF}};
  for (const auto& size : sizes) {
    ChunkWriter file;
    file.Header(size.width, size.height, 8, PNG_COLOR_TYPE_RGB_ALPHA);
    file.Data(std::vector<uint8_t>(64, 0));
    file.Chunk("IEND", {});
    EXPECT_FALSE(DecodePng(file.bytes.data(), file.bytes.size(), png))
        << size.width << " x " << size.height;
    EXPECT_TRUE(png.rgba.empty());
  }
  // Within the limits, but a file of a few dozen bytes cannot hold 8000 x 2000 pixels: it is
  // refused as truncated instead of first taking 64 MB.
  ChunkWriter tiny;
  tiny.Header(8000, 2000, 8, PNG_COLOR_TYPE_RGB_ALPHA);
  tiny.Data(std::vector<uint8_t>(64, 0));
  tiny.Chunk("IEND", {});
  EXPECT_FALSE(DecodePng(tiny.bytes.data(), tiny.bytes.size(), png));
  EXPECT_STREQ(png.problem, "the file is truncated");

  // The largest accepted side still decodes.
  ChunkWriter wide;
  wide.Header(kMaxPngSide, 1, 8, PNG_COLOR_TYPE_GRAY);
  wide.Data(std::vector<uint8_t>(1 + kMaxPngSide, 0));
  wide.Chunk("IEND", {});
  ASSERT_TRUE(DecodePng(wide.bytes.data(), wide.bytes.size(), png)) << png.problem;
  EXPECT_EQ(png.width, kMaxPngSide);
}
