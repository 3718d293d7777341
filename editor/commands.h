// The editor commands behind the context-menu entries: the last step of every editor frame
// carries out the command code that the menus yielded (menu number x 10 + entry index). The
// commands edit the selected object, its key at the current frame, its image child's track, the
// clip table and the view settings, open the file dialogs and start the export. Builds on the
// scene model, the image bank, audio, export, the dialogs and the editor state.
#pragma once

#include "scene/scene.h"

// Command codes: menu number x 10 + entry index.
enum CommandCode : int {
  kCommandNone = -1,
  kCommandNewObject = 0,          // menu of the root and the camera
  kCommandAttachTo = 10,
  kCommandEditAlignment = 11,
  kCommandHideShow = 12,
  kCommandRenameObject = 13,
  kCommandDeleteObject = 14,
  kCommandNewSibling = 15,        // "new object" in the menu of an ordinary object
  kCommandResetLevel = 20,        // the level handle's menu
  kCommandResetPosition = 30,
  kCommandResetPositionLevel = 31,
  kCommandToggleAutoVelocity = 32,
  kCommandResetRotation = 40,
  kCommandResetScale = 50,
  kCommandModeManual = 60,
  kCommandModeCorner = 61,
  kCommandModeAuto = 62,
  kCommandModeStationary = 63,
  kCommandImportNewImage = 70,
  kCommandImportImage = 80,       // replaces the entry of the selected row
  kCommandFlipHorizontally = 81,
  kCommandFlipVertically = 82,
  kCommandRenameImage = 83,
  kCommandDeleteImage = 84,
  kCommandRepeatImages = 90,
  kCommandEditView = 100,
  kCommandCameraView = 101,
  kCommandResetEditView = 102,
  kCommandExport = 103,
  kCommandExportMotionBlur = 104,
  kCommandNewProject = 105,       // the file commands follow the view's own entries
  kCommandOpen = 106,
  kCommandSave = 107,
  kCommandSaveAs = 108,
  kCommandExportSize = 109,       // opens the export size menu
  kCommandResetClipPan = 110,
  kCommandResetClipVolume = 111,
  kCommandRenameClip = 112,
  kCommandDeleteClip = 113,
  kCommandImportSound = 120,
  kCommandMute = 121,
  kCommandFps10 = 130,            // 130..137: 10, 12, 15, 24, 25, 30, 50, 60 fps
  kCommandExportScale1 = 140,     // 140..143: the export size menu, 1 to 4 times 640 x 480
  // Entries that the view's menu adds after its own carry codes no menu's entries reach.
  kCommandOnionSkin1 = 200,       // 200..202: onion skin on, 1, 2 or 3 frames each side
  kCommandOpenRecent = 210,       // 210..217: the recent projects the view's menu lists
};
constexpr int kFpsChoices[8] = {10, 12, 15, 24, 25, 30, 50, 60};

// Carries out code (-1: nothing was chosen; Insert in the focused image window still imports
// an image). False when the frame must not be presented because an export has drawn over the
// back buffer. The root region stays open for the frame to close.
bool RunCommand(int code);

// The user's setting that keeps the export size (1 to 4 times 640 x 480) from run to run.
constexpr const char* kExportScaleSetting = "export-scale";
// Takes the export size from the user's settings into the editor state: 1 when it is unset or
// not a whole number from 1 to 4.
void LoadExportScale();
// The index of object's key on the current frame, inserted holding the pose evaluated there when
// there is none (the selected key keeps naming its key); -1 when the object has no key track or
// its track is full.
int KeyAtCurrentFrame(SceneObject* object);

// Commands that keys share with the menus.
// Deletes an ordinary object that the user made, with its subtree, and selects its parent:
// never the root, the camera (or a subtree holding it) or an image child. A name being typed
// is finished first, and nothing is left pointing into the freed subtree.
void DeleteObject(SceneObject* object);
// Starts editing the alignment of the selected ordinary object through its image child.
void EditAlignment();
// Frees the entry of the selected image row for the next import; the frames showing it keep
// their number.
void DeleteSelectedImage();

// The file commands (keys and the view's menu). Each asks about unsaved changes before it drops
// them; each is false when the user cancelled or it failed (the user has been told).
// Ctrl+S: saves to the project's own file without a dialog, through "Save As" when it has none.
bool SaveCommand();
// Ctrl+Shift+S.
bool SaveAsCommand();
// Ctrl+O (Ctrl+L too): asks for a project file and opens it.
bool OpenCommand();
// Ctrl+N: a new, empty project.
bool NewProjectCommand();
// Opens recent project index (0 the newest) as the view's menu listed it when it opened; one no
// longer there is reported and taken off the list.
bool OpenRecentCommand(int index);
// After the view opened its menu: one "open recent" entry per recent project, by file name (the
// full paths go to the log).
void AddRecentProjectEntries();
// After the view opened its menu, before the recent projects: the onion skin's three choices
// of frames on each side, the one in use marked with a '*'.
void AddOnionSkinEntries();

// Flips, rename and delete of the selected image row's entry (codes 81..84); nothing for a row
// that names no entry.
void RunImageEntryCommand(int code);

// Image import. Where the chosen file goes: a new entry (the first free one, else appended) or
// the entry of the selected row.
enum class ImageSlot { kNew, kSelectedRow };
// Asks for a PNG file and stores its bare name in the selected object's image child. A file
// that cannot be loaded is stored all the same, and the user told why ("Couldn't load image
// NAME: REASON"). The object's first image is set on every frame that shows nothing yet;
// later imports change no frame. False when nothing changed: no image child, no room (the user
// is told), an invalid row, a cancelled dialog or a file name that does not fit.
bool ImportImage(ImageSlot slot);
// Copies the image choice of the selected frame range right behind it, selects the copy and
// moves the current frame on by the range's length. Frames past 1999 are not written. False
// (nothing changed) without a valid selection or an image child.
bool RepeatImages();

// The entry name an imported file gets: the bare file name without its ".png" ending (any
// case), cut to fit an entry name. Writes nameSize bytes at most.
void ImageEntryName(const char* bareFile, char* name, int nameSize);
// Makes a file chosen for import findable the way the project finds its files (work path + bare
// name): with no work path yet (a project never saved) the file's folder becomes the work path.
// True when work path + the bare name names something that exists (a file that cannot be
// read is reported when it is loaded).
bool AdoptImportFolder(const char* chosenPath);
