// The image bank: PNG files loaded on first request, cut into tiles of 30 x 30 pixels (each
// stored with a one-pixel border in a 32 x 32 cell) and found again by file name. Builds on the
// toolkit's textures (ui/ui.h) and the log. PNG decoding is a pure function over bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
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
constexpr size_t kPngHeaderBytes = 33;  // the signature and the image header chunk
constexpr int kImageProblemSize = 128;  // reasons a load failed, NUL included
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
  // One bit per pixel, set where alpha is above 0: rows of (width + 7) / 8 bytes, top row
  // first, lowest bit leftmost. Picking in the view reads it; it takes a 32nd of the pixels'
  // memory, and the pixels themselves are not kept.
  std::vector<uint8_t> alphaMask;
};

// What a file looked like when it was read: a load that failed is not tried again until this
// changes (the file appears, or is written again).
struct FileStamp {
  bool exists = false;
  uint64_t size = 0;
  int64_t modified = 0;  // nanoseconds since 1970
  uint64_t inode = 0;
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && size == o.size && modified == o.modified && inode == o.inode;
  }
};

// A name whose file could not be loaded, and why.
struct ImageFailure {
  FileStamp stamp;                       // the file when the load was tried
  char reason[kImageProblemSize] = "";   // "not a PNG file", "the file is truncated", ...
  bool missing = false;      // there was no file of that name
  bool outOfMemory = false;  // the file may be fine: tried again on every request
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
  // Names whose load failed, until their file changes or the bank or its folder does.
  std::unordered_map<std::string, ImageFailure> failures;
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
// exactly (case matters) and the first match wins. A failed load is remembered with the file's
// size and time and tried again only once the file appears or changes, so a broken image costs
// one look at its file per request, not a decoding.
TiledImage* GetImage(const char* name);
// Why the last load of name failed, with missing set when no file of that name was there;
// null when no failure is remembered (the image is loaded or was never asked for).
const char* ImageFailureReason(const char* name, bool* missing = nullptr);
// Reads the image folder + name and cuts it into tiles; null when the name is not a bare file
// name, the file is missing, not a regular file, damaged, too large or needs more memory than
// is left, with the reason, missing and outOfMemory filled in failure when given (its stamp
// is left alone). The record is not added to the bank.
TiledImage* LoadTiledImagePNG(const char* name, ImageFailure* failure = nullptr);
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
// Many images drawn as one stream of quads, their corners carried through each image's matrix
// on the CPU: for pictures where the cost of a draw call per image matters more than exactness
// to the last bit (the onion skin). Begin sets the colour the pictures are multiplied by (red,
// green, blue, alpha; null: opaque white, the pictures as they are) and opens the batch; Add
// draws image as DrawTiledImage would under matrix (column-major 4 x 4, applied before the
// current model-view); End closes it. Texturing is on between Begin and End.
void BeginImageBatch(const float* colour);
void AddImageToBatch(const TiledImage* image, bool flipH, bool flipV, const float* matrix);
void EndImageBatch();
// Whether pixel (x, y) of the image (0, 0 at the top left) has an alpha above 0; false outside.
bool ImagePixelVisible(const TiledImage* image, int x, int y);
// Whether the image drawn by DrawTiledImage with these flags shows a pixel of alpha above 0 at
// point (x, y) of the model-view space it is drawn in.
bool ImageCoversPoint(const TiledImage* image, bool flipH, bool flipV, float x, float y);

// Fills cell (32 x 32 RGBA) with tile (row, col) of the image and its border; pixels outside the
// image are transparent white. True when some pixel of the cell has a non-zero alpha.
bool FillTileCell(const uint8_t* pixels, int width, int height, int row, int col, uint8_t* cell);
// True for a name that may be opened inside the work path: not empty, shorter than 512 bytes,
// with no '/', '\\' or "..".
bool IsBareFileName(const char* name);

// What the first kPngHeaderBytes of a PNG file say about the image.
struct PngHeader {
  uint32_t width = 0, height = 0;
  int bitDepth = 0;
  int colourType = 0;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
};
// Checks the signature and the image header before anything else is read: false, with the
// reason in problem, for a file that is not a PNG file, is cut short there, or holds an image
// of no pixels or over kMaxPngSide or kMaxPngPixels.
bool ReadPngHeader(const uint8_t* data, size_t size, PngHeader& header, char* problem,
                   size_t problemSize);
// The most bytes worth reading for a PNG file of that header: its pixels stored without any
// compression twice over, plus 16 MiB of other chunks, and never over kMaxPngFileBytes.
size_t LargestPngFile(const PngHeader& header);

// A PNG file decoded to 8-bit RGBA.
struct DecodedPng {
  int32_t width = 0, height = 0;
  int32_t channels = 0;       // channels as stored: 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
  std::vector<uint8_t> rgba;  // width x height x 4 bytes, top row first
  char problem[kImageProblemSize] = "";  // why decoding failed
  bool outOfMemory = false;   // it failed for want of memory for the pixels
};
// Decodes every colour type and bit depth (palettes with transparency, grey, grey and alpha,
// 1 to 16 bits, interlaced) to 8-bit RGBA; 16-bit samples are rounded to 8 bits and gamma is
// not applied. False, with the reason in out.problem, for damaged or truncated data, for
// images over kMaxPngSide or kMaxPngPixels and when memory for the pixels runs out. Touches no
// file, no OpenGL and no global state.
bool DecodePng(const uint8_t* data, size_t size, DecodedPng& out);
