// Saving and loading whole projects: the layout of a new project, image tracks, the play range,
// clips (also without their sound file), files with junk where nothing is meant, the work path.

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scene/animation.h"
#include "tests/audio_fixtures.h"
#include "tests/project_fixtures.h"

namespace {

using namespace projecttest;

class ProjectFile : public ProjectTest {};

TEST_F(ProjectFile, ANewProjectIs339BytesLaidOutFieldByField) {
  const std::string path = PathOf("new.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  const std::vector<uint8_t> bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), 339u);
  EXPECT_EQ(bytes, FileBuilder::NewProjectFile());
}

TEST_F(ProjectFile, ANewProjectLoadsAsSceneWithCamera) {
  SceneObject* before = CreateObject(nullptr);
  ASSERT_NE(before, nullptr);
  project.fps = 12;
  project.currentFrame = 300;
  project.selected = before;
  ASSERT_TRUE(LoadBytes(FileBuilder::NewProjectFile()));

  EXPECT_EQ(project.fps, 30);
  EXPECT_EQ(project.playStart, 0);
  EXPECT_EQ(project.playEnd, 89);
  EXPECT_EQ(project.currentFrame, 0);
  SceneObject* root = project.root;
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(root->name, "Scene");
  EXPECT_EQ(root->kind, kRootObject);
  EXPECT_EQ(root->reservedVector.x, 256.0f);
  ASSERT_TRUE(root->keys);
  EXPECT_EQ(root->keys->count, 1);
  ASSERT_EQ(root->childCount, 1);
  SceneObject* camera = root->children[0];
  EXPECT_EQ(camera, project.camera);
  EXPECT_EQ(camera->parent, root);
  EXPECT_STREQ(camera->name, "Camera");
  EXPECT_EQ(camera->kind, kCameraObject);
  ASSERT_TRUE(camera->keys);
  EXPECT_EQ(camera->keys->count, 1);
  EXPECT_EQ(camera->childCount, 0);
  EXPECT_FALSE(camera->images);
  EXPECT_EQ(ClipCount(), 0);
  EXPECT_EQ(project.selected, root);
  EXPECT_EQ(project.selectedKey, -1);
  EXPECT_STREQ(project.workPath, (dir_ + "/").c_str());

  // The object counter is not stored: numbering starts again after the camera.
  SceneObject* created = CreateObject(nullptr);
  ASSERT_NE(created, nullptr);
  EXPECT_STREQ(created->name, "Object-002");
}

TEST_F(ProjectFile, UsedFramesEndAtTheLastFrameShowingAnImage) {
  SceneObject* object = CreateObject(nullptr);
  ImageTrack& track = *object->children[0]->images;
  ASSERT_EQ(AddImageEntry(track, "image1", "image1.png"), 0);
  const std::vector<uint8_t> empty = WriteProject();
  ASSERT_TRUE(SetFrameImage(track, 10, 1));
  const std::vector<uint8_t> tenth = WriteProject();

  // Everything but the used frames is the same; they are 0 and then 11 with frames 0..10.
  FileBuilder expected;
  expected.Start(2).Camera().Object("Object-002", 1).ImageChild(1, {}).End();
  EXPECT_EQ(empty, expected.bytes);
  FileBuilder expectedTenth;
  expectedTenth.Start(2).Camera().Object("Object-002", 1);
  expectedTenth.ImageChild(1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}).End();
  EXPECT_EQ(tenth, expectedTenth.bytes);
}

TEST_F(ProjectFile, FramesPastTheStoredOnesShowNoImage) {
  // The open project shows an image on every frame; the file stores frames 0..10 only.
  SceneObject* open = CreateObject(nullptr);
  ImageTrack& openTrack = *open->children[0]->images;
  AddImageEntry(openTrack, "arm", "arm.png");
  for (int frame = 0; frame < kMaxFrames; ++frame) SetFrameImage(openTrack, frame, 1);

  FileBuilder b;
  b.Start(2).Camera().Object("Object-002", 1).ImageChild(2, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  ASSERT_TRUE(LoadBytes(b.End().bytes));
  ASSERT_EQ(project.root->childCount, 2);
  const ImageTrack& track = *project.root->children[1]->children[0]->images;
  EXPECT_EQ(track.count, 2);
  EXPECT_STREQ(track.entries[1].name, "image2");
  EXPECT_STREQ(track.entries[1].file, "image2.png");
  EXPECT_EQ(track.frameImage[0], 2);
  EXPECT_EQ(track.frameImage[10], 1);
  for (int frame = 11; frame < kMaxFrames; ++frame) ASSERT_EQ(track.frameImage[frame], 0) << frame;
}

TEST_F(ProjectFile, LoadingStartsAtThePlayStartWithTheTreeEvaluatedThere) {
  SceneObject* object = CreateObject(nullptr);
  Key key;
  key.frame = 80;
  key.position = Vec3{80, 40, 0};
  key.rotation = 90;
  ASSERT_GE(AddKey(*object->keys, key), 0);
  project.playStart = 40;
  project.playEnd = 120;
  project.currentFrame = 7;
  EvaluateTree(project.root, 7, 0);
  const std::string path = PathOf("range.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));

  // What the loaded tree must hold: the same object evaluated at frame 40.
  EvaluateTree(project.root, 40, 0);
  const Key expected = object->state;
  project.currentFrame = 7;
  EvaluateTree(project.root, 7, 0);

  ASSERT_TRUE(LoadProject(path.c_str()));
  EXPECT_EQ(project.currentFrame, 40);
  EXPECT_EQ(project.playStart, 40);
  EXPECT_EQ(project.playEnd, 120);
  const Key& state = project.root->children[1]->state;
  EXPECT_EQ(state.position.x, expected.position.x);
  EXPECT_EQ(state.position.y, expected.position.y);
  EXPECT_EQ(state.rotation, expected.rotation);
  EXPECT_GT(state.position.x, 0.0f);
  EXPECT_EQ(state.screenPos.x, expected.screenPos.x);
}

TEST_F(ProjectFile, AFileWithJunkInEveryMeaninglessFieldLoadsAndSavesClean) {
  FileBuilder junk, clean;
  junk.junk = true;
  for (FileBuilder* b : {&junk, &clean}) {
    b->Start(2, 24).Camera().Object("Leg", 1).ImageChild(1, {1, 0, 1});
    b->End(5, 60, 2);
    b->Clip("step.wav", "Step", 10, 2, 0.5f, -0.25f, 24).Clip("bell.wav", "Bell", 30, 6, 1, 1, 24);
  }
  ASSERT_NE(junk.bytes, clean.bytes);
  ASSERT_TRUE(LoadBytes(junk.bytes));
  EXPECT_EQ(project.fps, 24);
  EXPECT_EQ(project.currentFrame, 5);
  ASSERT_EQ(ClipCount(), 2);
  // The clip's references were junk; its start sample is worked out again.
  EXPECT_EQ(GetClip(0)->startSample, 10 * 44100 / 24);
  EXPECT_EQ(GetClip(0)->wave, nullptr);
  EXPECT_EQ(WriteProject(), clean.bytes);
}

TEST_F(ProjectFile, ClipsKeepLabelVolumePanAndTheirOrder) {
  audiotest::WriteFile(PathOf("kick.wav"), audiotest::Wav16(std::vector<int16_t>(4410, 900)));
  FileBuilder b;
  b.Start(1).Camera().End(0, 89, 4);
  b.Clip("kick.wav", "Kick A", 10, 0, 0.75f, -0.5f);
  b.Clip("kick.wav", "Kick B", 10, 1, 0.25f, 0.5f);
  b.Clip("gone.wav", "Lost voice", 10, 2, 0.5f, 1.0f);
  b.Clip("kick.wav", "Kick C", 30, 3);
  ASSERT_TRUE(LoadBytes(b.bytes));

  ASSERT_EQ(ClipCount(), 4);
  const char* labels[] = {"Kick A", "Kick B", "Lost voice", "Kick C"};
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(GetClip(i)->label, labels[i]) << i;
  EXPECT_EQ(GetClip(0)->volume, 0.75f);
  EXPECT_EQ(GetClip(0)->pan, -0.5f);
  EXPECT_EQ(GetClip(1)->row, 1);
  EXPECT_NE(GetClip(0)->wave, nullptr);
  EXPECT_EQ(GetClip(0)->wave, GetClip(3)->wave);
  EXPECT_EQ(WaveCount(), 1);

  // The clip whose sound file is missing stays, silent, and is written back as it was read.
  const Clip& lost = *GetClip(2);
  EXPECT_EQ(lost.wave, nullptr);
  EXPECT_STREQ(lost.fileName, "gone.wav");
  EXPECT_EQ(lost.startFrame, 10);
  EXPECT_EQ(lost.row, 2);
  EXPECT_EQ(lost.volume, 0.5f);
  EXPECT_EQ(lost.pan, 1.0f);
  EXPECT_EQ(WriteProject(), b.bytes);

  // Once the sound is beside the project again it plays.
  audiotest::WriteFile(PathOf("gone.wav"), audiotest::Wav16(std::vector<int16_t>(100, 5)));
  const std::string path = PathOf("clips.tvp");
  ASSERT_TRUE(SaveProject(path.c_str()));
  ASSERT_TRUE(LoadProject(path.c_str()));
  EXPECT_NE(GetClip(2)->wave, nullptr);
  EXPECT_EQ(WaveCount(), 2);
}

TEST_F(ProjectFile, VolumeAndPanBeyondTheirRangesAreClamped) {
  FileBuilder b;
  b.Start(1)
      .Camera()
      .End(0, 89, 2)
      .Clip("a.wav", "a", 0, 0, 3.0f, -7.0f)
      .Clip("b.wav", "b", 5, 0, -1.0f, 2.0f);
  ASSERT_TRUE(LoadBytes(b.bytes));
  EXPECT_EQ(GetClip(0)->volume, 1.0f);
  EXPECT_EQ(GetClip(0)->pan, -1.0f);
  EXPECT_EQ(GetClip(1)->volume, 0.0f);
  EXPECT_EQ(GetClip(1)->pan, 1.0f);
}

TEST_F(ProjectFile, TheWorkPathIsTheDirectoryWithASlash) {
  char workPath[kFileNameSize];
  const struct {
    const char* path;
    const char* workPath;
  } cases[] = {
      {"/home/ana/walk.tvp", "/home/ana/"},
      {"/walk.tvp", "/"},
      {"C:\\work\\walk.tvp", "C:\\work/"},
      {"films/a\\b/c\\walk.tvp", "films/a\\b/c/"},
      {"walk.tvp", ""},
      {"", ""},
      {"dir/", "dir/"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WorkPathOf(c.path, workPath)) << c.path;
    EXPECT_STREQ(workPath, c.workPath) << c.path;
  }

  ASSERT_TRUE(SetWorkPath("/films/walk.tvp"));
  EXPECT_STREQ(project.workPath, "/films/");
  // A directory of 511 characters leaves no room for the separator.
  const std::string longest = "/" + std::string(509, 'd') + "/x.tvp";
  ASSERT_TRUE(WorkPathOf(longest.c_str(), workPath));
  EXPECT_EQ(std::string(workPath).size(), 511u);
  const std::string tooLong = "/" + std::string(510, 'd') + "/x.tvp";
  EXPECT_FALSE(WorkPathOf(tooLong.c_str(), workPath));
  EXPECT_FALSE(SetWorkPath(tooLong.c_str()));
  EXPECT_STREQ(project.workPath, "/films/");
  EXPECT_FALSE(LoadProject(tooLong.c_str()));
  EXPECT_FALSE(SaveProject(tooLong.c_str()));
}

TEST_F(ProjectFile, SavingAndLoadingSetTheWorkPath) {
  ASSERT_EQ(mkdir(PathOf("other").c_str(), 0755), 0);
  ASSERT_TRUE(SaveProject(PathOf("a.tvp").c_str()));
  EXPECT_STREQ(project.workPath, (dir_ + "/").c_str());
  ASSERT_TRUE(SaveProject(PathOf("other/b.tvp").c_str()));
  EXPECT_STREQ(project.workPath, (dir_ + "/other/").c_str());
  ASSERT_TRUE(LoadProject(PathOf("a.tvp").c_str()));
  EXPECT_STREQ(project.workPath, (dir_ + "/").c_str());
  EXPECT_FALSE(LoadProject(PathOf("missing.tvp").c_str()));
  EXPECT_STREQ(project.workPath, (dir_ + "/").c_str()) << "a failed load keeps the work path";
}

TEST_F(ProjectFile, AProjectSavedAwayFromItsFilesFindsThemOnlyOnceTheyAreBesideIt) {
  ASSERT_EQ(mkdir(PathOf("elsewhere").c_str(), 0755), 0);
  audiotest::WriteFile(PathOf("tick.wav"), audiotest::Wav16(std::vector<int16_t>(441, 300)));
  WriteBytes(PathOf("arm.png"), {0x89, 'P', 'N', 'G'});
  SceneObject* object = CreateObject(nullptr);
  ImageTrack& track = *object->children[0]->images;
  AddImageEntry(track, "arm", "arm.png");
  SetFrameImage(track, 0, 1);
  ASSERT_TRUE(SaveProject(PathOf("home.tvp").c_str()));
  ASSERT_GE(InsertAudioClip("tick.wav", 3, 1), 0);
  ASSERT_NE(GetClip(0)->wave, nullptr);

  // Saved elsewhere: the images and sounds are copied beside it, and the file names stay bare.
  const std::string away = PathOf("elsewhere/away.tvp");
  ASSERT_TRUE(SaveProject(away.c_str()));
  ASSERT_TRUE(LoadProject(away.c_str()));
  EXPECT_STREQ(project.workPath, (dir_ + "/elsewhere/").c_str());
  const ImageEntry& entry = project.root->children[1]->children[0]->images->entries[0];
  EXPECT_STREQ(entry.file, "arm.png");
  EXPECT_EQ(access((std::string(project.workPath) + entry.file).c_str(), F_OK), 0);
  ASSERT_EQ(ClipCount(), 1);
  EXPECT_NE(GetClip(0)->wave, nullptr) << "the sound was copied beside the project";

  // Without them beside it, the project finds none of them.
  ASSERT_EQ(unlink(PathOf("elsewhere/tick.wav").c_str()), 0);
  FreeAudio(false);
  InitAudio(false);
  ASSERT_TRUE(LoadProject(away.c_str()));
  EXPECT_EQ(GetClip(0)->wave, nullptr) << "the sound is not beside the project";
  EXPECT_STREQ(GetClip(0)->fileName, "tick.wav");

  ASSERT_EQ(rename(PathOf("tick.wav").c_str(), PathOf("elsewhere/tick.wav").c_str()), 0);
  ASSERT_TRUE(LoadProject(away.c_str()));
  EXPECT_NE(GetClip(0)->wave, nullptr);
}

}  // namespace
