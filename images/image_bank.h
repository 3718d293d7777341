// The image bank: PNG files loaded on first request, cut into tiles of 30 x 30 pixels (each
// stored with a one-pixel border in a 32 x 32 cell) and found again by file name. Builds on the
// toolkit's textures (ui/ui.h) and the log. PNG decoding is a pure function over bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/ui.h"

constexpr int kTileSide = 30;          // image pixels a tile covers along each side
constexpr int kTileCell = 32;          // texels of a tile's cell: the tile and its border
constexpr int kTileTextureFlags = kTextureClamp | kTextureLinear;  // 6
constexpr int kBankGrowth = 1024;      // the bank starts with and grows by this many slots
constexpr int kImageNameSize = 512;    // stored image file names, NUL included
constexpr int kMaxPngSide = 8192;      // wider or taller images are refused
constexpr int64_t kMaxPngPixels = int64_t{1} << 24;  // and so are images of more pixels
constexpr size_t kMaxPngFileBytes = size_t{256} << 20;
constexpr int kMaxAtlasSide = 1024;    // largest side of an image's page of cells, in texels

// Where one non-empty tile's 32 x 32 cell lies.
struct TileCell {
  Texture texture;               // the image's page holding the cell
  int32_t cellX = 0, cellY = 0;  // texel position of the cell's top-left corner in it
};

// One image cut into tiles. Tile (row i, column j) covers image columns 30j..30j+29 and rows
// 30i..30i+29; its cell holds those pixels and the ring of neighbouring pixels around them. The
// cells of the non-empty tiles lie in pages (textures) of the image's own, in row order, so
// where a cell lies depends on nothing but the image: an image draws the same pixels whatever
// was loaded before it, and an image of up to 1024 cells binds one texture.
struct TiledImage {
  char name[kImageNameSize] = "";  // the name it was requested by; the bank's key
  std::vector<TileCell> tiles;     // non-empty tiles in row order
  int32_t cols = 0;                // (width + 29) / 30
  int32_t rows = 0;                // (height + 29) / 30
  std::vector<int32_t> tileIndex;  // rows x cols, row by row: index into tiles, -1 empty
  float width = 0, height = 0;     // image size in pixels
  std::vector<Texture> pages;      // owned: power-of-two sides, at most kMaxAtlasSide
};

// Every image of the project in load order. Entries are never removed singly; a new project
// and shut-down empty the whole bank.
struct ImageBank {
  std::vector<TiledImage*> slots;  // owned; the first count in use
  int32_t count = 0;
  int32_t capacity = 0;            // slots.size(): 1024, then in steps of 1024
  // The first image of each name; the views point into the records' own names.
  std::unordered_map<std::string_view, int32_t> byName;
  char folder[kImageNameSize] = "";  // see SetImageFolder
};

// The one bank; main thread only (textures are made while the OpenGL context is current).
extern ImageBank imageBank;

// The folder that stored names are resolved against, with a trailing separator; empty: the
// working directory. The project tells the bank its work path through this whenever it changes.
void SetImageFolder(const char* folder);
const char* ImageFolder();

// Empties the bank to 1024 free slots.
void InitImageBank();
// Deletes every image with its pages, and the slots.
void FreeImageBank();
// What a new project does to the bank: frees it if it holds images, then initialises it.
void NewProjectImages();
// The image stored under name, loading it on first use; null when it cannot be had. Names match
// exactly (case matters), the first match wins, and a failed load is tried again next time.
TiledImage* GetImage(const char* name);
// Reads the image folder + name and cuts it into tiles; null when the name is not a bare file
// name, the file is missing, damaged or too large. The record is not added to the bank.
TiledImage* LoadTiledImagePNG(const char* name);
// Cuts width x height RGBA pixels (row 0 at the top) into tiles and puts their cells in pages of
// the record's own. Null for a negative size. Free a record the bank does not hold with
// FreeTiledImage.
TiledImage* TileBuffer(const uint8_t* pixels, int width, int height);
// Deletes the record and its pages.
void FreeTiledImage(TiledImage* image);
// The cells along each side (powers of two, at most perSide) of the smallest page that holds
// count cells: square, or twice as wide as tall.
void PageShape(int count, int perSide, int* across, int* down);
// Draws the image centred on the model-view origin, mirrored about its centre by the flags.
void DrawTiledImage(const TiledImage* image, bool flipH, bool flipV);

// Fills cell (32 x 32 RGBA) with tile (row, col) of the image and its border; pixels outside the
// image are transparent white. True when some pixel of the cell has a non-zero alpha.
bool FillTileCell(const uint8_t* pixels, int width, int height, int row, int col, uint8_t* cell);
// True for a name that may be opened inside the work path: not empty, shorter than 512 bytes,
// with no '/', '\\' or "..".
bool IsBareFileName(const char* name);

// A PNG file decoded to 8-bit RGBA.
struct DecodedPng {
  int32_t width = 0, height = 0;
  int32_t channels = 0;       // channels as stored: 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
  std::vector<uint8_t> rgba;  // width x height x 4 bytes, top row first
  char problem[128] = "";     // why decoding failed
};
// Decodes every colour type and bit depth (palettes with transparency, grey, grey and alpha,
// 1 to 16 bits, interlaced) to 8-bit RGBA; 16-bit samples are rounded to 8 bits and gamma is
// not applied. False, with the reason in out.problem, for damaged or truncated data and for
// images over kMaxPngSide or kMaxPngPixels. Touches no file, no OpenGL and no global state.
bool DecodePng(const uint8_t* data, size_t size, DecodedPng& out);
