// Writes the bundled example: the pictures of a small puppet and its stage, a short sung tune,
// and puppet.tvp, which the program's own project writer saves after the tree has been built the
// way the editor builds it (objects with their image children, keys inserted at frames and then
// posed). The same build writes the same bytes on every run.
//
// Usage: make_example OUTPUT_DIR

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "project/project_file.h"
#include "scene/animation.h"
#include "scene/scene.h"
#include "tools/example/parts.h"
#include "tools/example/tune.h"

namespace {

constexpr int kLastFrame = 89;  // the play range of a new project, 0..89 at 30 fps
constexpr int kClipStart = 15;  // the tune starts once the arm is up

using art::PartImage;

const PartImage& Picture(const std::vector<PartImage>& pictures, const char* file) {
  for (const PartImage& picture : pictures) {
    if (picture.file == file) return picture;
  }
  std::fprintf(stderr, "make_example: no picture %s\n", file);
  std::exit(1);
}

// An object as the user makes one ("new object", then renamed), posed by its first key.
SceneObject* AddPart(SceneObject* parent, const char* name, Vec3 position, float rotation = 0) {
  SceneObject* part = CreateObject(parent);
  if (part == nullptr) {
    std::fprintf(stderr, "make_example: cannot create %s\n", name);
    std::exit(1);
  }
  CopyName(part->name, kNameSize, name);
  Key& key = part->keys->keys[0];
  key.position = position;
  key.rotation = rotation;
  EvaluateObject(part, 0, 0);
  return part;
}

SceneObject* ImageChild(SceneObject* part) { return part->children[0]; }

// Adds the picture to the part's image list (labelled like an import: the file name without
// its extension) and returns its 1-based number for the frame images.
int AddPicture(SceneObject* part, const PartImage& picture, bool flip = false) {
  ImageTrack& track = *ImageChild(part)->images;
  const std::string label = picture.file.substr(0, picture.file.size() - 4);
  const int index = AddImageEntry(track, label.c_str(), picture.file.c_str());
  track.entries[static_cast<size_t>(index)].flipH = flip ? 1 : 0;
  return index + 1;
}

// The alignment: the image child's pose puts the picture's anchor on the part's pivot, moved by
// offset (whose z is the picture's level relative to the part). Images are drawn centred on
// their origin, the half sizes cut to whole pixels.
void Align(SceneObject* part, const PartImage& picture, Vec3 offset = {}) {
  Key& pose = ImageChild(part)->state;
  pose.position.x = offset.x + static_cast<float>(picture.canvas.width() / 2 - picture.anchor.x);
  pose.position.y = offset.y + static_cast<float>(picture.canvas.height() / 2 - picture.anchor.y);
  pose.position.z = offset.z;
}

// Shows image (1-based) on frames first..last.
void Show(SceneObject* part, int image, int first, int last) {
  for (int frame = first; frame <= last; ++frame) {
    SetFrameImage(*ImageChild(part)->images, frame, image);
  }
}

// A part that shows one picture all through the play range.
void Dress(SceneObject* part, const PartImage& picture, bool flip = false, Vec3 offset = {}) {
  Show(part, AddPicture(part, picture, flip), 0, kLastFrame);
  Align(part, picture, offset);
}

// The key on frame, inserted as the editor does when the user poses the part there.
Key& KeyAt(SceneObject* part, int frame) {
  int index = FindKeyAtFrame(*part->keys, frame);
  if (index < 0) index = InsertKey(part, frame);
  if (index < 0) {
    std::fprintf(stderr, "make_example: no key for %s at %d\n", part->name, frame);
    std::exit(1);
  }
  return part->keys->keys[static_cast<size_t>(index)];
}

struct Move {
  int frame;
  float x, y, z;
  float rotation;
  int mode;
  float scale = 1;
};

struct Turn {
  int frame;
  float rotation;
  int mode;
};

void Animate(SceneObject* part, std::initializer_list<Move> moves) {
  for (const Move& m : moves) {
    Key& key = KeyAt(part, m.frame);
    key.position = Vec3{m.x, m.y, m.z};
    key.rotation = m.rotation;
    key.scale = Vec3{m.scale, m.scale, m.scale};
    key.mode = m.mode;
  }
}

// Keys that only turn the part about its pivot, which stays where the first key put it.
void Animate(SceneObject* part, std::initializer_list<Turn> turns) {
  const Vec3 at = part->keys->keys[0].position;
  for (const Turn& t : turns) {
    Key& key = KeyAt(part, t.frame);
    key.position = at;
    key.rotation = t.rotation;
    key.scale = Vec3{1, 1, 1};
    key.mode = t.mode;
  }
}

// The mouth follows the sung notes: it opens into each syllable, rounds on the long one and
// closes in between.
void Sing(SceneObject* mouth, int smile, int small, int open, int round) {
  Show(mouth, smile, 0, kLastFrame);
  for (const tune::Note& note : tune::SungNotes()) {
    const int first = kClipStart + note.frame;
    const int last = first + note.length - 1;
    Show(mouth, small, first, first);
    Show(mouth, open, first + 1, last - 2);
    if (note.length > 8) Show(mouth, round, first + 6, last - 2);
    Show(mouth, small, last - 1, last - 1);
  }
}

void BuildScene(const std::vector<PartImage>& pictures) {
  auto picture = [&pictures](const char* file) -> const PartImage& {
    return Picture(pictures, file);
  };
  SceneObject* root = project.root;

  // The stage, behind everything by level.
  SceneObject* sun = AddPart(root, "Sun", {-232, -150, -20});
  Dress(sun, picture("sun.png"));
  Animate(sun, {Turn{0, 0, kAuto}, Turn{kLastFrame, 30, kAuto}});
  SceneObject* cloud = AddPart(root, "Cloud", {150, -172, -15});
  Dress(cloud, picture("cloud.png"));
  Animate(cloud, {Move{0, 150, -172, -15, 0, kCorner}, Move{kLastFrame, 186, -168, -15, 0, kCorner}});
  SceneObject* floor = AddPart(root, "Floor", {0, 170, -10});
  Dress(floor, picture("floor.png"));

  // The puppet: its pivot is the hips; its own image child carries the shadow on the ground.
  SceneObject* puppet = AddPart(root, "Puppet", {0, 80, 0});
  Dress(puppet, picture("shadow.png"), false, {0, 96, -5});
  SceneObject* legR = AddPart(puppet, "LegR", {-22, -4, -1}, 3);
  Dress(legR, picture("leg.png"), true);
  SceneObject* legL = AddPart(puppet, "LegL", {22, -4, -1}, -3);
  Dress(legL, picture("leg.png"));
  SceneObject* body = AddPart(puppet, "Body", {0, 0, 0});
  Dress(body, picture("torso.png"));

  // Arms hang from the shoulders behind the shirt: upper arm > forearm > hand.
  SceneObject* armR = AddPart(body, "ArmR", {-42, -116, -1}, 10);
  Dress(armR, picture("upper_arm.png"));
  SceneObject* forearmR = AddPart(armR, "ForearmR", {0, 46, 0}, 4);
  Dress(forearmR, picture("forearm.png"));
  SceneObject* handR = AddPart(forearmR, "HandR", {0, 40, 0});
  Dress(handR, picture("hand_rest.png"), true);
  SceneObject* armL = AddPart(body, "ArmL", {42, -116, -1}, -10);
  Dress(armL, picture("upper_arm.png"));
  SceneObject* forearmL = AddPart(armL, "ForearmL", {0, 46, 0}, -4);
  Dress(forearmL, picture("forearm.png"));
  SceneObject* handL = AddPart(forearmL, "HandL", {0, 40, 0});
  const int handRest = AddPicture(handL, picture("hand_rest.png"));
  const int handOpen = AddPicture(handL, picture("hand_open.png"));
  Align(handL, picture("hand_rest.png"));  // both hands share their wrist point
  Show(handL, handRest, 0, kLastFrame);
  Show(handL, handOpen, 12, 55);

  // The head sits on the neck in front of the body; eyes and mouth swap pictures.
  SceneObject* head = AddPart(body, "Head", {0, -140, 2});
  Dress(head, picture("head.png"));
  SceneObject* eyes = AddPart(head, "Eyes", {0, -62, 0.5f});
  const int eyesOpen = AddPicture(eyes, picture("eyes_open.png"));
  const int eyesHalf = AddPicture(eyes, picture("eyes_half.png"));
  const int eyesClosed = AddPicture(eyes, picture("eyes_closed.png"));
  const int eyesHappy = AddPicture(eyes, picture("eyes_happy.png"));
  Align(eyes, picture("eyes_open.png"));
  Show(eyes, eyesOpen, 0, kLastFrame);
  for (int blink : {8, 44}) {
    Show(eyes, eyesHalf, blink, blink);
    Show(eyes, eyesClosed, blink + 1, blink + 2);
    Show(eyes, eyesHalf, blink + 3, blink + 3);
  }
  Show(eyes, eyesHalf, 63, 63);
  Show(eyes, eyesClosed, 64, 64);
  Show(eyes, eyesHappy, 65, kLastFrame);
  SceneObject* mouth = AddPart(head, "Mouth", {0, -30, 0.5f});
  const int smile = AddPicture(mouth, picture("mouth_smile.png"));
  const int small = AddPicture(mouth, picture("mouth_small.png"));
  const int open = AddPicture(mouth, picture("mouth_open.png"));
  const int round = AddPicture(mouth, picture("mouth_round.png"));
  Align(mouth, picture("mouth_smile.png"));
  Sing(mouth, smile, small, open, round);

  // The performance: a wave hello while singing, a few nods, then a hand laid on the chest with
  // a happy bow. Levels: the left forearm comes from behind the shirt to in front of it.
  Animate(armL, {Turn{0, -10, kAuto}, Turn{6, -14, kStationary}, Turn{16, -102, kStationary},
                 Turn{34, -108, kAuto}, Turn{52, -103, kStationary}, Turn{64, 14, kStationary},
                 Turn{kLastFrame, 12, kAuto}});
  Animate(forearmL, {Move{0, 0, 46, 0, -4, kAuto}, Move{6, 0, 46, 0, -6, kStationary},
                     Move{16, 0, 46, 0, -62, kCorner}, Move{22, 0, 46, 0, -90, kCorner},
                     Move{28, 0, 46, 0, -60, kCorner}, Move{34, 0, 46, 0, -92, kCorner},
                     Move{40, 0, 46, 0, -60, kCorner}, Move{46, 0, 46, 0, -88, kCorner},
                     Move{52, 0, 46, 0, -72, kStationary}, Move{64, 0, 46, 2, 112, kStationary},
                     Move{kLastFrame, 0, 46, 2, 110, kAuto}});
  Animate(handL, {Turn{0, 0, kAuto}, Turn{16, -6, kCorner}, Turn{22, 14, kCorner},
                  Turn{28, -14, kCorner}, Turn{34, 14, kCorner}, Turn{40, -14, kCorner},
                  Turn{46, 12, kCorner}, Turn{52, 0, kStationary}, Turn{64, 4, kStationary},
                  Turn{kLastFrame, 3, kAuto}});
  Animate(armR, {Turn{0, 10, kAuto}, Turn{30, 13, kAuto}, Turn{60, 9, kAuto},
                 Turn{kLastFrame, 11, kAuto}});
  Animate(forearmR, {Turn{0, 4, kAuto}, Turn{40, 9, kAuto}, Turn{kLastFrame, 5, kAuto}});
  Animate(body, {Turn{0, 0, kAuto}, Turn{12, -2, kAuto}, Turn{40, -3, kAuto}, Turn{56, 0, kAuto},
                 Turn{66, 3, kStationary}, Turn{kLastFrame, 2, kAuto}});
  Animate(head, {Move{0, 0, -140, 2, 0, kAuto}, Move{10, 0, -140, 2, -3, kAuto},
                 Move{20, 0, -140, 2, 6, kAuto}, Move{34, 0, -140, 2, 3, kAuto},
                 Move{46, 0, -140, 2, 6, kAuto}, Move{50, 0, -135, 2, 3, kCorner},
                 Move{54, 0, -140, 2, 5, kCorner}, Move{58, 0, -135, 2, 2, kCorner},
                 Move{66, 0, -136, 2, -5, kStationary}, Move{kLastFrame, 0, -137, 2, -4, kAuto}});

  // The puppet drifts a little to its left and back; in the middle its speed is set by hand
  // (manual key, automatic velocity off) so it glides through instead of stopping.
  Animate(puppet, {Move{0, 0, 80, 0, 0, kStationary}, Move{36, 9, 80, 0, 0, kManual},
                   Move{kLastFrame, 3, 80, 0, 0, kStationary}});
  Key& glide = KeyAt(puppet, 36);
  glide.autoVelocity = 0;
  glide.velocity = Vec3{0.3f, 0, 0};

  // The camera pushes in slowly on the puppet and pans towards the waving arm.
  Animate(project.camera, {Move{0, 0, 0, 0, 0, kStationary, 1.0f},
                           Move{45, 6, -10, 0, 0, kAuto, 0.94f},
                           Move{kLastFrame, 18, -22, 0, 0, kStationary, 0.86f}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_example OUTPUT_DIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code error;
  std::filesystem::create_directories(out, error);
  if (error) {
    std::fprintf(stderr, "make_example: cannot create %s: %s\n", argv[1], error.message().c_str());
    return 1;
  }

  const std::vector<PartImage> pictures = art::DrawPuppetParts();
  for (const PartImage& picture : pictures) {
    if (!picture.canvas.WritePng((out / picture.file).string())) {
      std::fprintf(stderr, "make_example: cannot write %s\n", picture.file.c_str());
      return 1;
    }
  }
  const char* soundFile = "tune.wav";
  if (!tune::WriteWav((out / soundFile).string(), tune::Synthesize())) {
    std::fprintf(stderr, "make_example: cannot write %s\n", soundFile);
    return 1;
  }

  // The project, as a fresh editor session starts it; the clip loads the tune from the work
  // path, the folder of the project file.
  const std::string projectPath = (out / "puppet.tvp").string();
  BuildBezierWeights();
  InitAudio(false);
  AddNewProjectHook(NewProjectAudio);
  NewProject();
  SetWorkPath(projectPath.c_str());
  BuildScene(pictures);
  const int clip = InsertAudioClip(soundFile, kClipStart, 0);
  if (clip < 0) {
    std::fprintf(stderr, "make_example: the tune does not load\n");
    return 1;
  }
  CopyName(GetClip(clip)->label, kNameSize, "la la la");

  // Playing the range once works out every automatic velocity, as the editor would have.
  for (int frame = 0; frame <= kLastFrame; ++frame) EvaluateTree(project.root, frame, 0);
  project.currentFrame = 0;
  EvaluateTree(project.root, 0, 0);
  const bool saved = SaveProject(projectPath.c_str());
  FreeObject(project.root);
  project.root = nullptr;
  FreeAudio(false);
  if (!saved) {
    std::fprintf(stderr, "make_example: cannot save %s\n", projectPath.c_str());
    return 1;
  }
  std::printf("make_example: wrote %zu pictures, %s and puppet.tvp to %s\n", pictures.size(),
              soundFile, argv[1]);
  return 0;
}
