// The image commands: import into a new entry, a freed entry or the selected row (by menu code
// and by Insert in the focused image window), the names an import stores, a full track, files
// outside the project's folder, flips, rename, delete and "repeat images".
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "editor/commands.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/input.h"
#include "tests/editor_driver.h"
#include "tests/image_fixture.h"

namespace {

namespace fs = std::filesystem;

class ImageCommands : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
    folder = MakeWorkDirectory();
    object = CreateObject(nullptr);
    project.selected = object;
    track = object->children[0]->images.get();
  }
  void TearDown() override {
    if (ui->editing) FinishTextEdit();
    SetDialogBackend(nullptr);
    EditorTest::TearDown();
  }
  // A picture in the project's folder.
  std::string File(const std::string& name) {
    EXPECT_TRUE(WriteSolidPng(folder + "/" + name));
    return folder + "/" + name;
  }
  bool Import(int code, const std::string& answer) {
    dialogs.fileAnswers = {answer};
    const size_t before = track->count;
    RunCommand(code);
    return static_cast<size_t>(track->count) != before;
  }

  ScriptedDialogs dialogs;
  std::string folder;
  SceneObject* object = nullptr;
  ImageTrack* track = nullptr;
};

TEST_F(ImageCommands, ANewImageStoresTheBareFileNameAndItsNameWithoutPng) {
  EXPECT_TRUE(Import(kCommandImportNewImage, File("arm.png")));
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].kind, kPngFiles);
  EXPECT_FALSE(dialogs.requests[0].save);
  ASSERT_EQ(track->count, 1);
  EXPECT_STREQ(track->entries[0].file, "arm.png");
  EXPECT_STREQ(track->entries[0].name, "arm");
  EXPECT_TRUE(dialogs.messages.empty());
  // The object's first image shows on every frame at once.
  for (int frame = 0; frame < kMaxFrames; ++frame) ASSERT_EQ(track->frameImage[frame], 1);

  EXPECT_TRUE(Import(kCommandImportNewImage, File("Leg.PNG")));
  EXPECT_STREQ(track->entries[1].name, "Leg");
  EXPECT_TRUE(Import(kCommandImportNewImage, File("head.jpeg")));
  EXPECT_STREQ(track->entries[2].name, "head.jpeg");  // only a .png ending is cut
  EXPECT_EQ(track->count, 3);

  EXPECT_FALSE(Import(kCommandImportNewImage, ""));  // cancelled
}

TEST_F(ImageCommands, NamesAreCutAtEitherSeparatorAndToTheEntrysField) {
  EXPECT_STREQ(PathFileName("/home/u/pics/arm.png"), "arm.png");
  EXPECT_STREQ(PathFileName("C:\\pics\\old/leg.png"), "leg.png");
  EXPECT_STREQ(PathFileName("D:\\pics\\hand.png"), "hand.png");
  EXPECT_STREQ(PathFileName("plain.png"), "plain.png");

  char name[kNameSize];
  ImageEntryName(".png", name, kNameSize);
  EXPECT_STREQ(name, ".png");  // nothing would be left
  ImageEntryName("x.png", name, kNameSize);
  EXPECT_STREQ(name, "x");
  const std::string longFile = std::string(200, 'w') + ".png";
  ImageEntryName(longFile.c_str(), name, kNameSize);
  EXPECT_EQ(std::strlen(name), static_cast<size_t>(kNameSize - 1));

  EXPECT_TRUE(Import(kCommandImportNewImage, File(longFile)));
  EXPECT_EQ(std::string(track->entries[0].file), longFile);
  EXPECT_EQ(std::strlen(track->entries[0].name), static_cast<size_t>(kNameSize - 1));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ImageCommands, ImportingIntoADeletedEntryFillsItBeforeAppending) {
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) {
    ASSERT_TRUE(Import(kCommandImportNewImage, File(name)));
  }
  track->frameImage[7] = 3;
  editor.selectedImageRow = 3;  // entry 2, "c"
  RunCommand(kCommandDeleteImage);
  EXPECT_STREQ(track->entries[2].file, "");
  EXPECT_STREQ(track->entries[2].name, "");
  EXPECT_EQ(track->count, 4);
  EXPECT_EQ(track->frameImage[7], 3);

  dialogs.fileAnswers = {File("e.png")};
  RunCommand(kCommandImportNewImage);
  EXPECT_EQ(track->count, 4);
  EXPECT_STREQ(track->entries[2].file, "e.png");
  ASSERT_TRUE(Import(kCommandImportNewImage, File("f.png")));
  EXPECT_STREQ(track->entries[4].file, "f.png");
}

// The object's first image shows at once on every frame, in the view too; later imports change
// no frame; once every entry is deleted the next import is a first one again.
TEST_F(ImageCommands, TheFirstImageShowsOnEveryFrameAndLaterOnesOnNone) {
  EXPECT_FALSE(Import(kCommandImportNewImage, ""));
  EXPECT_EQ(track->frameImage[0], 0) << "a cancelled import shows nothing";
  ASSERT_TRUE(WriteSolidPng(folder + "/big.png", 40));
  project.currentFrame = 300;
  ASSERT_TRUE(Import(kCommandImportNewImage, folder + "/big.png"));
  RunPasses(1);
  // Up and left of the pivot's handle, inside the 40-pixel picture centred on it.
  const Point inside = PivotOf(object);
  const Rgb shown = ReadPixel(inside.x - 12, inside.y - 12);
  EXPECT_EQ(shown.r, 200);
  EXPECT_EQ(shown.g, 40);

  for (int f = 10; f < 20; ++f) track->frameImage[f] = 0;
  ASSERT_TRUE(Import(kCommandImportNewImage, File("b.png")));
  EXPECT_EQ(track->frameImage[9], 1);
  EXPECT_EQ(track->frameImage[10], 0) << "a second import keeps the frames as they were";
  EXPECT_EQ(track->frameImage[1999], 1);

  for (int row : {1, 2}) {
    editor.selectedImageRow = row;
    RunCommand(kCommandDeleteImage);
  }
  dialogs.fileAnswers = {File("c.png")};
  RunCommand(kCommandImportNewImage);
  EXPECT_STREQ(track->entries[0].file, "c.png");
  for (int frame = 0; frame < kMaxFrames; ++frame) ASSERT_EQ(track->frameImage[frame], 1);
  editor.selectedImageRow = 2;
  dialogs.fileAnswers = {File("d.png")};
  RunCommand(kCommandImportImage);
  EXPECT_EQ(track->frameImage[15], 1) << "importing into a row is a later import too";
}

TEST_F(ImageCommands, ImportImageReplacesTheSelectedRowOnly) {
  ASSERT_TRUE(Import(kCommandImportNewImage, File("a.png")));
  ASSERT_TRUE(Import(kCommandImportNewImage, File("b.png")));
  track->entries[1].flipH = track->entries[1].flipV = 1;
  editor.selectedImageRow = 2;
  dialogs.fileAnswers = {File("z.png")};
  RunCommand(kCommandImportImage);
  EXPECT_EQ(track->count, 2);
  EXPECT_STREQ(track->entries[0].file, "a.png");
  EXPECT_STREQ(track->entries[1].file, "z.png");
  EXPECT_STREQ(track->entries[1].name, "z");
  EXPECT_EQ(track->entries[1].flipH, 0);
  EXPECT_EQ(track->entries[1].flipV, 0);

  // Row 0 (no image) and rows past the entries ask for no file.
  const size_t requests = dialogs.requests.size();
  for (int row : {0, 3, 70, -2}) {
    editor.selectedImageRow = row;
    RunCommand(kCommandImportImage);
  }
  EXPECT_EQ(dialogs.requests.size(), requests);
  EXPECT_EQ(track->count, 2);
}

TEST_F(ImageCommands, AFullTrackChangesNothingAndSaysSo) {
  for (int i = 0; i < kMaxImages; ++i) {
    ASSERT_GE(AddImageEntry(*track, "n", ("f" + std::to_string(i) + ".png").c_str()), 0);
  }
  RunCommand(kCommandImportNewImage);
  EXPECT_TRUE(dialogs.requests.empty());
  EXPECT_EQ(track->count, kMaxImages);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_TRUE(dialogs.messages[0].warning);
  EXPECT_NE(dialogs.messages[0].text.find("already holds 64 images"), std::string::npos);

  // A freed entry makes room again.
  editor.selectedImageRow = 64;
  RunCommand(kCommandDeleteImage);
  dialogs.fileAnswers = {File("late.png")};
  RunCommand(kCommandImportNewImage);
  EXPECT_EQ(track->count, kMaxImages);
  EXPECT_STREQ(track->entries[63].file, "late.png");
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(ImageCommands, ObjectsWithoutAnImageChildImportNothing) {
  for (SceneObject* other : {project.root, project.camera}) {
    project.selected = other;
    dialogs.fileAnswers = {File("a.png")};
    RunCommand(kCommandImportNewImage);
    RunCommand(kCommandRepeatImages);
  }
  project.selected = object;
  RunCommand(kCommandEditAlignment);  // the image child itself has no children
  RunCommand(kCommandImportNewImage);
  EXPECT_TRUE(dialogs.requests.empty());
  EXPECT_EQ(track->count, 0);
  EXPECT_EQ(project.camera->childCount, 0);
}

TEST_F(ImageCommands, InsertInTheFocusedImageWindowImportsOncePerPress) {
  editor.imageWindowActive = true;
  HoldKey(kKeyInsert);
  PollInputDevices();
  dialogs.fileAnswers = {File("a.png"), File("b.png")};
  RunCommand(kCommandNone);
  EXPECT_EQ(track->count, 1);
  HoldKey(kKeyInsert);  // still held (the dialog forgot it; hold it again)
  PollInputDevices();
  RunCommand(kCommandNone);
  EXPECT_EQ(track->count, 1);  // the latch holds until Insert is let go
  EXPECT_EQ(dialogs.requests.size(), 1u);

  // With the menu's own import in the same frame, one import only.
  editor.insertLatch = false;
  RunCommand(kCommandImportNewImage);
  EXPECT_EQ(track->count, 2);
  EXPECT_EQ(dialogs.requests.size(), 2u);

  // Not while a name is typed, and not when another window has the focus.
  editor.insertLatch = false;
  StartTextEdit(object->name, kNameSize);
  RunCommand(kCommandNone);
  FinishTextEdit();
  editor.imageWindowActive = false;
  RunCommand(kCommandNone);
  EXPECT_EQ(dialogs.requests.size(), 2u);
  ReleaseKey(kKeyInsert);
}

TEST_F(ImageCommands, AnUnsavedProjectTakesTheImagesFolder) {
  project.workPath[0] = '\0';
  EXPECT_TRUE(Import(kCommandImportNewImage, File("arm.png")));
  EXPECT_EQ(std::string(project.workPath), folder + "/");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ImageCommands, AFileFromAnotherFolderIsStoredAndTheUserToldWhereImagesAreRead) {
  fs::create_directories(folder + "/other");
  EXPECT_TRUE(Import(kCommandImportNewImage, File("other/far.png")));
  EXPECT_STREQ(track->entries[0].file, "far.png");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].text.find("far.png is not in the project's folder"),
            std::string::npos);
  EXPECT_EQ(std::string(project.workPath), folder + "/");
}

// A file that shows nothing is imported all the same (it may be mended later), and the user
// learns at once why it shows nothing.
TEST_F(ImageCommands, AnImageThatCannotBeLoadedIsKeptAndTheUserToldWhy) {
  ASSERT_TRUE(WriteFileBytes(folder + "/photo.png", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F'}));
  const std::vector<uint8_t> whole = ReadFileBytes(File("whole.png"));
  ASSERT_TRUE(WriteFileBytes(folder + "/torn.png", {whole.begin(), whole.end() - 20}));
  ASSERT_TRUE(Import(kCommandImportNewImage, folder + "/photo.png"));
  ASSERT_TRUE(Import(kCommandImportNewImage, folder + "/torn.png"));
  ASSERT_TRUE(Import(kCommandImportNewImage, folder + "/whole.png"));
  EXPECT_EQ(track->count, 3);
  EXPECT_STREQ(track->entries[0].file, "photo.png");
  EXPECT_STREQ(track->entries[1].file, "torn.png");
  ASSERT_EQ(dialogs.messages.size(), 2u) << "the good picture says nothing";
  EXPECT_EQ(dialogs.messages[0].caption, "Error");
  EXPECT_TRUE(dialogs.messages[0].warning);
  EXPECT_EQ(dialogs.messages[0].text, "Couldn't load image photo.png: not a PNG file");
  EXPECT_EQ(dialogs.messages[1].text, "Couldn't load image torn.png: the file is truncated");

  // Mended on disk and imported again into its row: loaded, and nothing to say.
  ASSERT_TRUE(WriteFileBytes(folder + "/torn.png", whole));
  editor.selectedImageRow = 2;
  dialogs.fileAnswers = {folder + "/torn.png"};
  RunCommand(kCommandImportImage);
  EXPECT_EQ(dialogs.requests.size(), 4u);
  EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(ImageCommands, FlipsRenameAndDeleteActOnTheSelectedRowWhileItExists) {
  ASSERT_TRUE(Import(kCommandImportNewImage, File("a.png")));
  ASSERT_TRUE(Import(kCommandImportNewImage, File("b.png")));
  editor.selectedImageRow = 2;
  RunCommand(kCommandFlipHorizontally);
  RunCommand(kCommandFlipVertically);
  EXPECT_EQ(track->entries[1].flipH, 1);
  EXPECT_EQ(track->entries[1].flipV, 1);
  EXPECT_EQ(track->entries[0].flipH, 0);
  RunCommand(kCommandFlipHorizontally);
  EXPECT_EQ(track->entries[1].flipH, 0);

  RunCommand(kCommandRenameImage);
  EXPECT_TRUE(ui->editing);
  EXPECT_EQ(ui->editText, track->entries[1].name);
  RunCommand(kCommandDeleteImage);  // ends the rename of the entry it frees
  EXPECT_FALSE(ui->editing);
  EXPECT_STREQ(track->entries[1].name, "");
  RunCommand(kCommandRenameImage);  // a freed entry has nothing to rename
  EXPECT_FALSE(ui->editing);

  for (int row : {0, 3, 99}) {
    editor.selectedImageRow = row;
    RunCommand(kCommandFlipHorizontally);
    RunCommand(kCommandRenameImage);
    RunCommand(kCommandDeleteImage);
    EXPECT_FALSE(ui->editing);
  }
  EXPECT_STREQ(track->entries[0].file, "a.png");
  EXPECT_EQ(track->entries[0].flipH, 0);
}

TEST_F(ImageCommands, RepeatImagesCopiesTheRangeBehindItselfAndMovesOn) {
  for (int frame = 10; frame <= 13; ++frame) track->frameImage[frame] = frame - 9;  // 1..4
  track->frameImage[18] = 9;
  editor.selectionStart = 10;
  editor.selectionEnd = 13;
  project.currentFrame = 11;
  RunCommand(kCommandRepeatImages);
  for (int frame = 14; frame <= 17; ++frame) EXPECT_EQ(track->frameImage[frame], frame - 13);
  EXPECT_EQ(track->frameImage[18], 9);
  EXPECT_EQ(editor.selectionStart, 14);
  EXPECT_EQ(editor.selectionEnd, 17);
  EXPECT_EQ(project.currentFrame, 15);

  // Again: behind the new selection. The frame step after it keeps the selection.
  RunPasses(1);
  EXPECT_EQ(editor.selectionStart, 14);
  RunCommand(kCommandRepeatImages);
  EXPECT_EQ(track->frameImage[18], 1);
  EXPECT_EQ(track->frameImage[21], 4);
  EXPECT_EQ(editor.selectionEnd, 21);
}

TEST_F(ImageCommands, RepeatImagesNeverWritesPastTheLastFrame) {
  for (int frame = 1994; frame <= 1998; ++frame) track->frameImage[frame] = 2;
  editor.selectionStart = 1994;
  editor.selectionEnd = 1998;
  project.currentFrame = 1996;
  RunCommand(kCommandRepeatImages);
  EXPECT_EQ(track->frameImage[1999], 2);
  EXPECT_EQ(editor.selectionStart, 1999);
  EXPECT_EQ(editor.selectionEnd, 1999);
  EXPECT_EQ(project.currentFrame, 1999);

  // A selection ending on the last frame, or none, or a broken one, copies nothing.
  const std::array<int32_t, kMaxFrames> before = track->frameImage;
  const std::pair<int, int> ranges[] = {{1999, 1999}, {-1, -1}, {20, 10}, {5, 2500}};
  for (const auto& [start, end] : ranges) {
    editor.selectionStart = start;
    editor.selectionEnd = end;
    project.currentFrame = 100;
    RunCommand(kCommandRepeatImages);
    EXPECT_EQ(project.currentFrame, 100) << start << ".." << end;
    EXPECT_EQ(editor.selectionStart, start);
  }
  EXPECT_TRUE(track->frameImage == before);
}

}  // namespace
