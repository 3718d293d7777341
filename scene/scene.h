// The scene model's records: the object tree with key tracks and image tracks, and the one
// project state the editor shares. Builds on nothing but the log; interpolation is in
// scene/animation.h and drawing in scene/draw.h.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

constexpr int kMaxFrames = 2000;   // frames 0..1999
constexpr int kMaxKeys = 200;      // keys per track
constexpr int kMaxChildren = 64;   // children per object
constexpr int kMaxImages = 64;     // image entries per track
constexpr int kMaxObjects = 8192;  // objects of a project, image children included
constexpr int kMaxChain = 64;      // slots of the chain walks; a chain holds at most 63 objects
constexpr int kNameSize = 128;     // object and image names, NUL included
constexpr int kFileNameSize = 512; // image file names and the work path, NUL included

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

enum KeyMode : int32_t { kAuto = 0, kCorner = 1, kStationary = 2, kManual = 3 };

enum ObjectKind : int32_t { kOrdinaryObject = 0, kRootObject = 1, kCameraObject = 4 };

// One key frame, 64 bytes as stored in project files. In an object's evaluated state the same
// record holds the pose at the current frame and the pivot's edit-view position.
struct Key {
  int32_t frame = 0;
  Vec3 position;
  Vec3 scale{1, 1, 1};
  float rotation = 0;        // degrees, clockwise on screen
  int32_t mode = kAuto;
  uint8_t autoVelocity = 1;  // non-zero: the velocity follows the neighbouring keys
  uint8_t filler[3] = {};
  Vec3 velocity;             // position change per frame at this key
  Vec3 screenPos;            // evaluated state only: pivot position in the edit view
};
static_assert(sizeof(Key) == 64, "a key is 64 bytes on disk and in memory");

// Keys in ascending frame order, no two on one frame, at least one.
struct KeyTrack {
  Key current;  // the state last evaluated for this track
  int32_t count = 0;
  std::array<Key, kMaxKeys> keys;
};

struct ImageEntry {
  char name[kNameSize] = "";     // label shown in the image list
  char file[kFileNameSize] = ""; // bare file name, resolved against the work path; empty: free
  uint8_t flipH = 0, flipV = 0;
};

struct ImageTrack {
  int32_t count = 0;
  std::array<ImageEntry, kMaxImages> entries;
  std::array<int32_t, kMaxFrames> frameImage{};  // 1-based entry shown on each frame, 0 none
};

struct SceneObject {
  char name[kNameSize] = "";
  int32_t kind = kOrdinaryObject;
  Key state;                     // evaluated pose; the fixed pose of objects without keys
  Vec3 reservedVector{128, 128, 0};
  SceneObject* parent = nullptr;
  int32_t childCount = 0;
  std::array<SceneObject*, kMaxChildren> children{};  // owned; first childCount in use
  std::unique_ptr<KeyTrack> keys;      // none for an automatic child "a"
  std::unique_ptr<ImageTrack> images;  // automatic children "a" only
  uint8_t hidden = 0;                  // the object and its subtree are not drawn
};

struct ProjectState {
  int32_t fps = 30;
  int32_t currentFrame = 0;
  int32_t playStart = 0;
  int32_t playEnd = 89;
  SceneObject* root = nullptr;
  SceneObject* camera = nullptr;
  SceneObject* selected = nullptr;
  SceneObject* alignmentParent = nullptr;  // while an alignment is edited: the object
  int32_t objectCounter = 1;               // number of the next automatic object name
  int32_t selectedKey = -1;                // index into the selected object's track, -1 none
  float viewZoom = 1.0f;
  float viewPanX = 0, viewPanY = 0;
  int32_t viewWidth = 740, viewHeight = 520;  // the edit view's content area (the view sets it)
  char workPath[kFileNameSize] = "";          // project directory with a trailing separator
};

// The one project; main thread only.
extern ProjectState project;

// Set while an export renders: scene drawing leaves out the overlay and the audio callback
// leaves the mixer to the export.
extern std::atomic<bool> exporting;

// Subsystems above the scene (image bank, audio, editor) register what a new project must empty
// or reset. NewProject runs them first, in registration order.
using NewProjectHook = void (*)();
void AddNewProjectHook(NewProjectHook hook);
void ClearNewProjectHooks();

// Frees everything and starts an empty project: root "Scene" holding "Camera".
void NewProject();
// An ordinary object "Object-NNN" with its image child "a", appended to parent's children (the
// root when parent is null). Null, and nothing changed, when the parent already has 64 children
// or the image child would lie deeper than kMaxChain - 1 objects from the root.
SceneObject* CreateObject(SceneObject* parent);
// Removes child from parent's list without freeing it; a non-child leaves the list unchanged.
bool DetachChild(SceneObject* parent, SceneObject* child);
// Appends child to parent's list and sets its parent; false when the list is full.
bool AppendChild(SceneObject* parent, SceneObject* child);
// Frees object with its subtree and tracks. Callers detach it first unless it is the root.
void FreeObject(SceneObject* object);

// A key track holding one default key (frame 0, no offset, scale 1, Auto).
std::unique_ptr<KeyTrack> MakeDefaultKeyTrack();
// Inserts key keeping the frame order; -1 (track unchanged) when the track is full, the frame
// lies outside 0..1999 or already holds a key.
int AddKey(KeyTrack& track, const Key& key);
// Index of the key on frame, or -1.
int FindKeyAtFrame(const KeyTrack& track, int frame);
// Removes key index; refused (false) for the last key or an index out of range.
bool DeleteKey(KeyTrack& track, int index);
// Adds an image entry; its index, or -1 when the track holds 64 entries.
int AddImageEntry(ImageTrack& track, const char* name, const char* file);
// Sets the image shown on frame; false when frame or image is out of range.
bool SetFrameImage(ImageTrack& track, int frame, int image);
// The image track of object's image child (its first child), or null: the root's first child
// is the camera, and the camera and image children have no children.
ImageTrack* ImageTrackOf(const SceneObject* object);

// Number of objects in the subtree, object included.
int CountObjects(const SceneObject* object);
// Objects on the chain from the root down to object, both included (0 for none).
int ChainLength(const SceneObject* object);
// True when node is object or lies inside its subtree.
bool IsInSubtree(const SceneObject* object, const SceneObject* node);
// Copies text into a fixed buffer, cutting it to fit.
void CopyName(char* dest, int destSize, const char* text);
