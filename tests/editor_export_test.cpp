// The editor's export beyond the pictures themselves: the export size chosen in the view menu
// and kept in the user's settings, the name the export dialog proposes, and the view's title
// when a picture holds more images than it can draw.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor/commands.h"
#include "platform/dialogs.h"
#include "platform/user_files.h"
#include "tests/editor_driver.h"
#include "tests/png_compare.h"

namespace {

namespace fs = std::filesystem;

class EditorExport : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetDialogBackend(&dialogs);
    folder = MakeWorkDirectory();
    project.playStart = project.playEnd = 0;
    char path[kUserPathSize];
    ASSERT_TRUE(UserConfigFile("settings", path, sizeof path));
    settingsPath = path;
  }
  void TearDown() override {
    SetDialogBackend(nullptr);
    fs::remove(settingsPath);
    editor.exportScale = 1;
    EditorTest::TearDown();
  }
  std::string Settings() const {
    std::ifstream file(settingsPath);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void WriteSettings(const std::string& text) const { std::ofstream(settingsPath) << text; }

  ScriptedDialogs dialogs;
  std::string folder, settingsPath;
};

TEST_F(EditorExport, TheExportSizeMenuChoosesTheSizeKeepsItInTheSettingsAndExportsAtIt) {
  // "export size..." (entry 9 of the view menu) opens the sizes where it was chosen, the
  // current one marked.
  const Point menuAt = InView(300, 300);
  Click(menuAt, Button::kRight);
  const Point sizeEntry{menuAt.x, menuAt.y - 4 + 10 * 9 + 5};
  Click(sizeEntry);
  ASSERT_TRUE(ui->menuOpen);
  EXPECT_EQ(ui->menuId, 14);
  EXPECT_EQ(ui->menuMarked, 0);
  Click(Point{sizeEntry.x, sizeEntry.y - 4 + 10 * 1 + 5});  // "1280 x 960"
  EXPECT_FALSE(ui->menuOpen);
  EXPECT_EQ(editor.exportScale, 2);
  EXPECT_EQ(Settings(), "export-scale=2\n");

  dialogs.fileAnswers = {folder + "/big.png"};
  RunCommand(kCommandExport);
  RgbImage picture;
  ASSERT_TRUE(ReadPngRgb((folder + "/big_frame0000.png").c_str(), &picture));
  EXPECT_EQ(picture.width, 1280);
  EXPECT_EQ(picture.height, 960);
  RunCommand(kCommandExportSize);
  EXPECT_EQ(ui->menuMarked, 1);
  ui->menuOpen = 0;

  // The next run starts with the saved size; the user's other settings are kept.
  WriteSettings("# mine\ntheme = dark\nexport-scale=3\n");
  LoadExportScale();
  EXPECT_EQ(editor.exportScale, 3);
  RunCommand(kCommandExportScale1 + 3);
  EXPECT_EQ(editor.exportScale, 4);
  EXPECT_EQ(Settings(), "theme=dark\nexport-scale=4\n");

  // A size the program does not offer, or a damaged file, gives 640 x 480.
  for (const char* text : {"export-scale=9\n", "export-scale=2x\n"}) {
    WriteSettings(text);
    editor.exportScale = 4;
    LoadExportScale();
    EXPECT_EQ(editor.exportScale, 1) << text;
  }
}

TEST_F(EditorExport, TheDialogProposesTheProjectsNameNeverTheLastImportedImage) {
  RunCommand(kCommandExport);  // cancelled
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].kind, kExportFiles);
  EXPECT_EQ(dialogs.requestStartNames[0], "untitled.png");

  // An image imported, the project saved: the export still proposes the project's name.
  char chosen[kDialogPathSize];
  dialogs.fileAnswers = {folder + "/leg.png"};
  ASSERT_TRUE(ChooseOpenFile(chosen, kPngFiles));
  ASSERT_TRUE(SaveProject((folder + "/walk.tvp").c_str()));
  RunCommand(kCommandExport);
  EXPECT_EQ(dialogs.requestStartNames.back(), folder + "/walk.png");

  // Once the user has chosen a name, the dialog starts from it.
  dialogs.fileAnswers = {folder + "/take.png"};
  RunCommand(kCommandExport);
  RunCommand(kCommandExport);
  EXPECT_EQ(dialogs.requestStartNames.back(), folder + "/take.png");

  // Another project brings its own name.
  ASSERT_TRUE(SaveProject((folder + "/Other.TVP").c_str()));
  ASSERT_TRUE(LoadProject((folder + "/Other.TVP").c_str()));
  RunCommand(kCommandExport);
  EXPECT_EQ(dialogs.requestStartNames.back(), folder + "/Other.png");
}

TEST_F(EditorExport, TheViewsTitleSaysHowManyImagesAPictureLeftOut) {
  project.currentFrame = 0;
  for (int i = 0; i < 1003; ++i) {
    if (i % 60 == 0) {
      ASSERT_NE(CreateObject(nullptr), nullptr);
    }
    SceneObject* object = CreateObject(project.root->children[project.root->childCount - 1]);
    ASSERT_NE(object, nullptr);
    ImageTrack& track = *object->children[0]->images;
    SetFrameImage(track, 0, AddImageEntry(track, "dot", "dot.png") + 1);
  }
  RunPasses(2);
  EXPECT_STREQ(ViewWindowTitle(), "View - Edit (3 images left out)");
  project.currentFrame = 1;  // no images there
  RunPasses(2);
  EXPECT_STREQ(ViewWindowTitle(), "View - Edit");
}

}  // namespace
