// The editor's immediate-mode interface toolkit: the skin (TGA images as OpenGL textures), the
// palette, bitmap text, regions with input routing, windows, scroll areas, in-place text editing
// and context menus. Reads the pointer, the logical size and the typed character of the window
// layer (platform/platform.h) and Left Alt / Escape of the keyboard snapshot (platform/input.h).
#pragma once

#include <cstddef>
#include <cstdint>

struct MouseState;

// One OpenGL texture and the size of the image it was made from (also the image bank's tiles).
struct Texture {
  uint32_t textureId = 0;  // 0 = none: drawing then binds no image
  int32_t width = 0;
  int32_t height = 0;
};

constexpr int kMaxRegions = 32;   // region stack levels; level 0 is the bare screen
constexpr int kIdSize = 64;       // ids: a name (first 54 characters) and the 8-character suffix
constexpr int kIdNameLength = 54;
constexpr int kPaletteSize = 18;
constexpr int kSkinCount = 16;
constexpr int kGlyphCells = 110;  // cell g holds character g + 32; 96..101 hold Å Ä Ö å ä ö
constexpr int kEditSavedSize = 128;
constexpr int kMaxEditLength = 47;   // characters a text field takes, the cursor not counted
constexpr int kDoubleClickFrames = 20;
constexpr int kMenuCount = 15;
constexpr int kMenuEntryHeight = 10;
constexpr int kMaxMenuEntries = 10;   // entry i of menu m yields 10 m + i
constexpr int kMaxExtraEntries = 12;  // entries an opener adds after a menu's own
constexpr int kExtraLabelSize = 64;
constexpr int kTitleBarHeight = 12;

// Texture flags of CreateTexture and LoadTga.
constexpr int kTextureNearest = 1;  // GL_NEAREST both ways (wins over kTextureLinear)
constexpr int kTextureClamp = 2;    // GL_CLAMP_TO_EDGE in s and t instead of GL_REPEAT
constexpr int kTextureLinear = 4;   // GL_LINEAR both ways, no mipmap selection

// Skin entries, loaded in this order from the files of kSkinFiles.
enum SkinEntry : int {
  kSkinFont = 0,
  kSkinTitleBar = 1,
  kSkinTitleBarInactive = 2,
  kSkinButtonUp = 3,
  kSkinButtonDown = 4,
  kSkinScrollLeft = 5,
  kSkinScrollRight = 6,
  kSkinThumbH = 7,
  kSkinScrollTop = 8,
  kSkinScrollBottom = 9,
  kSkinThumbV = 10,
  kSkinCorner = 11,
  kSkinKey = 12,
  kSkinKeyCorner = 13,
  kSkinKeyStationary = 14,
  kSkinKeySelected = 15,
};
extern const char* const kSkinFiles[kSkinCount];  // bare file names inside the skin folder

// The ten input flags in their stored order; the two snapshots of UiContext hold these.
struct InputFlags {
  uint8_t leftDown, leftPressed, leftReleased, leftDouble;
  uint8_t rightDown, rightPressed, rightReleased;
  uint8_t middleDown, middlePressed, middleReleased;
};

// The toolkit's whole state. Widgets remember nothing else; what must last between frames
// beyond this (window positions, scroll fractions) belongs to the caller.
struct UiContext {
  // Loads the skin from skinDirectory/<kSkinFiles[i]> and measures the font. A missing or bad
  // file leaves its entry at texture 0. Needs a current OpenGL context.
  explicit UiContext(const char* skinDirectory);
  ~UiContext();  // deletes the skin textures, last entry first
  UiContext(const UiContext&) = delete;
  UiContext& operator=(const UiContext&) = delete;

  // Ids
  char activeId[kIdSize] = "";       // item held by the mouse (Interact); empty = none
  char focusWindow[kIdSize] = "";    // last window pressed in or dragged; drawn active
  char currentWindow[kIdSize] = "";  // id of the innermost open region
  char idSuffix[16] = "";            // added after every name; cleared by BeginFrame
  char idBuffer[kIdSize] = "";       // where MakeId forms an id

  // Input as the widgets of the current region see it
  uint8_t leftDown = 0, leftPressed = 0, leftReleased = 0, leftDouble = 0;
  uint8_t rightDown = 0, rightPressed = 0, rightReleased = 0;
  uint8_t middleDown = 0, middlePressed = 0, middleReleased = 0;
  int32_t mouseX = 0, mouseY = 0;            // screen pixels
  int32_t localMouseX = 0, localMouseY = 0;  // minus the innermost region's content origin
  int32_t prevMouseX = 0, prevMouseY = 0;
  int32_t mouseDX = 0, mouseDY = 0;
  int32_t doubleClickTimer = 0;  // frames left in which a second left press is a double click
  int32_t dragStartX = 0, dragStartY = 0;  // pointer when a scroll-bar drag began
  float dragStartValueX = 0, dragStartValueY = 0;
  // Captured by BeginFrame for the open context menu; cleared when the menu closes.
  int32_t savedMouseX = -1, savedMouseY = -1;
  uint8_t savedLeftPressed = 0, savedRightPressed = 0, savedMiddlePressed = 0;
  // Set when the left button goes down with Left Alt held; that press acts as the middle
  // button until the left button is released, whether or not Alt is still held.
  uint8_t leftAsMiddle = 0;

  // Regions
  int32_t depth = 0;  // innermost open level; 0 = none open
  int32_t regionX[kMaxRegions] = {}, regionY[kMaxRegions] = {};
  int32_t regionScrollX[kMaxRegions] = {}, regionScrollY[kMaxRegions] = {};
  int32_t regionW[kMaxRegions] = {}, regionH[kMaxRegions] = {};
  char regionId[kMaxRegions][kIdSize] = {};
  int32_t clipX[kMaxRegions] = {}, clipY[kMaxRegions] = {};  // scissor of each level
  int32_t clipW[kMaxRegions] = {}, clipH[kMaxRegions] = {};
  int32_t regionOverflow = 0;  // pushes refused beyond kMaxRegions, matched by their EndRegion
  char mouseOwner[kIdSize] = "";  // region that received the most recent press
  int32_t framesSincePress = 2;   // 0 only in the frame in which a press landed
  InputFlags inputSnapshot[2] = {};  // [0] this frame's input, [1] the previous frame's
  int32_t ownerDepth = 0;            // open regions that currently receive input
  int32_t originX = 0, originY = 0;  // content origin of the innermost region, screen pixels

  // Text editing: StartTextEdit sets these, FinishTextEdit / CancelTextEdit clear editing.
  char* editText = nullptr;  // the caller's buffer, the cursor "_" standing in it while editing
  size_t editCapacity = 0;   // its size in bytes
  char editSaved[kEditSavedSize] = "";
  uint8_t editing = 0;
  // Where the cursor stands (it is editText[editCursor]), and the other end of the selection:
  // the text's characters from the smaller to the larger of the two, counted without the
  // cursor, are selected; none when they are equal. Typing replaces the selection.
  int32_t editCursor = 0;
  int32_t editAnchor = 0;

  // Menus: OpenMenu opens, RunMenus closes on any press.
  uint8_t menuOpen = 0;
  int32_t menuId = 0;
  int32_t menuX = 0, menuY = 0;
  // Entries that whoever opened the menu added after its own (AddMenuEntry), with the codes
  // they yield; OpenMenu empties them.
  int32_t extraCount = 0;
  char extraLabels[kMaxExtraEntries][kExtraLabelSize] = {};
  int32_t extraCodes[kMaxExtraEntries] = {};
  // The entry of a choice menu that holds the current choice, marked while the menu is open;
  // -1 none. OpenMenu clears it; whoever opens a choice menu sets it right after.
  int32_t menuMarked = -1;

  // Skin
  float palette[kPaletteSize][3] = {};
  Texture skin[kSkinCount];
  int32_t glyphWidth[kGlyphCells] = {};
  int32_t glyphOffset[kGlyphCells] = {};
  MouseState* mouse = nullptr;  // the window layer's record, read once per frame
};

// The one toolkit context. Created by InitApplication (after the input devices) through
// CreateUiContext, never null from then until FreeUiContext in wekFree; main thread only.
extern UiContext* ui;

// Finds the skin (the first of: the working directory, the executable's directory, the data
// directory beside an installed executable (<prefix>/share/tavoka for <prefix>/bin), the data
// directory of the configured install prefix, that holds skin/font0.tga), creates `ui` from it
// and points it at mouseState. When no usable font exists it says so in a message box and
// returns false.
bool CreateUiContext();
// The same over an explicit list of base directories, searched in order (tests use it).
bool CreateUiContextFrom(const char* const* baseDirectories, int count);
void FreeUiContext();
// The default search list; writes up to `capacity` directories, returns how many.
constexpr int kSkinSearchDirectories = 4;
int SkinSearchDirectories(char (*out)[512], int capacity);
// The first directory whose skin/font0.tga can be opened, as "<base>/skin"; false if none.
bool FindSkinDirectory(const char* const* baseDirectories, int count, char* out, size_t size);

// Skin and textures (skin.cpp)
// Uncompressed true-colour TGA (type 2, 24 or 32 bits) to RGBA rows in file order; 24-bit
// purple 128,0,128 gets alpha 0. False for anything else, a truncated file or absurd sizes.
constexpr int kMaxTgaSide = 8192;
bool DecodeTga(const uint8_t* data, size_t size, uint8_t** rgba, int* width, int* height);
// DecodeTga of a whole file; the caller frees *rgba with std::free.
bool ReadTga(const char* path, uint8_t** rgba, int* width, int* height);
bool LoadTga(Texture& t, const char* path, int flags);
void CreateTexture(Texture& t, const uint8_t* rgbaPixels, int width, int height, int flags);
void DeleteTexture(Texture& t);

// Text (text.cpp). Plain entries draw their text as it is; the Format entries are for texts
// the program makes (a '%' in a name must never reach them as the format).
// Measures every glyph cell of the font file into context (called by the constructor).
bool LoadFontMetrics(UiContext& context, const char* path);
int GlyphCell(uint8_t character);  // the cell a byte is drawn with ('?' for bytes without one)
void DrawGlyph(int code, int x, int y, int colour);
void DrawText(int x, int y, int colour, const char* text);
void DrawTextFormat(int x, int y, int colour, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void DrawTextOutlined(int x, int y, int colour, int outlineColour, const char* text);
void DrawTextOutlinedFormat(int x, int y, int colour, int outlineColour, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
int TextWidth(const char* text);
int TextWidthFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Frame, regions and input routing (regions.cpp)
void BeginFrame();  // first toolkit call of every frame
void BeginRoot(int x, int y, int w, int h, const char* name);
void BeginRegion(const char* id, int x, int y, int offsetX, int offsetY, int w, int h);
void EndRegion();
const char* MakeId(const char* name);  // name + idSuffix, in idBuffer
bool Interact(int x, int y, int w, int h, const char* id);  // press-hold-release of a rectangle
bool MouseIn(int x, int y, int w, int h);       // screen coordinates
bool MouseInLocal(int x, int y, int w, int h);  // region-local coordinates
// The pointer lies in the visible rectangle of the innermost open region (a list's rows in
// sight, not its scroll bar or the rows scrolled away).
bool MouseInRegion();

// Text fields (regions.cpp). The buffer must outlive the edit: finish or cancel before freeing.
// While editing, the typed characters of BeginFrame edit the text at the cursor: Backspace and
// Delete remove the character before and after it (or the selection), Home, End, Left and Right
// move it, Enter finishes and Escape restores the text as it was. With selectAll the whole text
// starts selected (a rename: the first character typed replaces it); otherwise the cursor
// starts at its end.
void StartTextEdit(char* text, size_t capacity, bool selectAll = false);
void FinishTextEdit();
void CancelTextEdit();
// Before text is drawn at (x, y) with DrawText: when it is the text being edited, marks its
// selected characters with a dark band behind them.
void DrawTextSelection(int x, int y, const char* text);

// Windows and scroll areas (widgets.cpp). Both leave a region open for the caller to end.
bool Window(int* x, int* y, const int* w, const int* h, const char* title, const char* name);
void ScrollArea(int x, int y, int w, int h, float* scrollX, float* scrollY, int contentW,
                int contentH, int background, const char* name);

// Drawing, region-local positions, palette colours (widgets.cpp)
void FillRect(int x, int y, int w, int h, int colour);
void FillRectAlpha(int x, int y, int w, int h, int colour, float alpha);
void DrawOutline(int x, int y, int w, int h, int colour);
void DrawImage(const Texture& texture, int x, int y);
void DrawTitleBar(int x, int y, int w, int h, int colour, const Texture& texture);

// Context menus (menus.cpp). Entry i of menu m yields the command code 10 m + i.
struct MenuEntryList {
  int width;
  int count;
  const char* labels[kMaxMenuEntries];
};
extern const MenuEntryList kMenus[kMenuCount];
void OpenMenu(int menuId);
// Adds an entry after the open menu's own that yields code; the label is cut to fit and the
// menu widens for it. False, nothing added, without an open menu or when it has
// kMaxExtraEntries already.
bool AddMenuEntry(const char* label, int code);
int RunMenus();     // once per frame after the last window; the chosen code or -1
// Escape closes an open menu without choosing and is used up: it acts on nothing else in this
// pass. Run before anything else reads Escape; true when it closed a menu.
bool CloseMenuOnEscape();
int ContextMenu();  // draws the open menu and picks an entry (RunMenus only)
