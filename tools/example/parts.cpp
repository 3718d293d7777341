#include "tools/example/parts.h"

#include <cmath>
#include <cstdlib>

namespace art {

namespace {

const Colour kInk = Rgb(52, 38, 44);
const Colour kSkin = Rgb(255, 214, 178);
const Colour kSkinShade = Rgb(232, 170, 136);
const Colour kShirtLight = Rgb(70, 180, 188);
const Colour kShirtDark = Rgb(30, 118, 136);
const Colour kCollar = Rgb(250, 250, 244);
const Colour kButton = Rgb(22, 86, 100);
const Colour kBelt = Rgb(104, 66, 44);
const Colour kBuckle = Rgb(242, 198, 84);
const Colour kTrouserLight = Rgb(66, 80, 142);
const Colour kTrouserDark = Rgb(40, 48, 98);
const Colour kShoe = Rgb(124, 64, 40);
const Colour kSole = Rgb(70, 40, 30);
const Colour kHair = Rgb(98, 60, 40);
const Colour kHairLight = Rgb(150, 98, 62);
const Colour kWhite = Rgb(255, 255, 255);
const Colour kIris = Rgb(76, 122, 190);
const Colour kMouth = Rgb(122, 34, 48);
const Colour kTongue = Rgb(238, 112, 124);
const Colour kCheek = Rgb(255, 118, 118, 0.42);

constexpr double kLine = 2.5;  // outline width of the big parts, pixels

// A vertical gradient from top to bottom of the given rows.
Paint Vertical(Colour top, Colour bottom, double fromY, double toY) {
  return [=](double, double y) { return Mix(top, bottom, (y - fromY) / (toY - fromY)); };
}

// Skin shaded a little towards the edges of a part centred on column cx.
Paint SkinAcross(double cx, double halfWidth) {
  return [=](double x, double) {
    const double t = std::fabs(x - cx) / halfWidth;
    return Mix(kSkin, kSkinShade, t * t * 0.8);
  };
}

PartImage Torso() {
  Canvas c(124, 160);
  c.Outlined(Capsule({62, 2}, {62, 26}, 11, 11), kSkin, kInk, kLine);
  const Shape body = Grow(Polygon({{28, 24}, {96, 24}, {86, 138}, {38, 138}}), 13);
  const Shape vNeck = Polygon({{47, 6}, {77, 6}, {62, 40}});
  c.Fill(Intersect(body, vNeck), kSkinShade);
  const Paint shirt = [](double x, double y) {
    const double side = std::fabs(x - 62) / 50;
    return Mix(kShirtLight, kShirtDark, y / 200 + side * side * side * 0.5);
  };
  c.Outlined(Subtract(body, vNeck), shirt, kInk, kLine);
  c.Outlined(Polygon({{44, 11}, {61, 38}, {38, 30}}), kCollar, kInk, 2);
  c.Outlined(Polygon({{80, 11}, {63, 38}, {86, 30}}), kCollar, kInk, 2);
  for (double y : {60.0, 82.0, 104.0}) {
    c.Fill(Circle(62, y, 3.6), kButton);
    c.Fill(Circle(61, y - 1, 1.2), Rgb(255, 255, 255, 0.6));
  }
  c.Outlined(Intersect(body, Box(62, 131, 70, 8)), kBelt, kInk, 2);
  c.Outlined(Box(62, 131, 9, 8, 2), kBuckle, kInk, 2);
  c.Fill(Box(62, 131, 4, 3.5, 1), kBelt);
  return PartImage{"torso.png", c, Point{62, 148}};
}

PartImage Head() {
  Canvas c(128, 136);
  for (double side : {-1.0, 1.0}) {
    const double x = 64 + side * 51;
    c.Outlined(Circle(x, 78, 12), kSkin, kInk, kLine);
    c.Fill(Stroke(Arc(x - side * 1, 78, 5, 6, side < 0 ? 100 : 280, side < 0 ? 260 : 440), 1.3),
           kSkinShade);
  }
  const Shape face = Ellipse(64, 72, 52, 56);
  c.Outlined(face, [](double x, double y) {
    const double t = (y - 40) / 100 + std::fabs(x - 64) / 260;
    return Mix(kSkin, kSkinShade, t * t);
  }, kInk, kLine);
  c.Fill(Ellipse(30, 95, 11, 7), kCheek, 5);
  c.Fill(Ellipse(98, 95, 11, 7), kCheek, 5);
  c.Fill(Ellipse(64, 85, 6, 4.5), kSkinShade);
  c.Fill(Circle(62, 83, 1.7), Rgb(255, 255, 255, 0.6), 1.5);
  // Hair: a cap whose fringe waves across the forehead and drops at the temples, and a curl.
  const Shape fringe = [](double x, double y) {
    const double temple = std::fabs(x - 64) > 38 ? (std::fabs(x - 64) - 38) * 1.1 : 0;
    return (y - (38 + 6 * std::sin(x * 0.21) + temple)) * 0.7;
  };
  const Shape hair = Union(Intersect(Ellipse(64, 70, 55, 58), fringe),
                           Capsule({58, 16}, {76, 2}, 8, 3));
  c.Outlined(hair, [](double x, double y) {
    const double band = std::exp(-std::pow((x - 0.5 * y - 40) / 9, 2));
    return Mix(kHair, kHairLight, band * 0.8);
  }, kInk, kLine);
  return PartImage{"head.png", c, Point{64, 128}};
}

enum class EyeLook { kOpen, kHalf, kClosed, kHappy };

PartImage Eyes(EyeLook look, const char* file) {
  Canvas c(84, 40);
  for (double cx : {22.0, 62.0}) {
    const double cy = 24;
    const double browLift = look == EyeLook::kHappy ? 4 : 0;
    c.Fill(Stroke(Arc(cx, 13 - browLift, 10, 6, 210, 330, 12), 1.7), kHair);
    const Shape white = Ellipse(cx, cy, 10, 12);
    if (look == EyeLook::kOpen || look == EyeLook::kHalf) {
      c.Outlined(white, kWhite, kInk, 2);
      const Shape inside = Grow(white, -2);
      c.Fill(Intersect(Circle(cx + 1, cy + 1, 6.5), inside), kIris);
      c.Fill(Circle(cx + 1, cy + 1, 3.5), kInk);
      c.Fill(Circle(cx + 3, cy - 2, 1.8), kWhite);
      if (look == EyeLook::kHalf) c.Outlined(Intersect(white, Above(cy)), kSkin, kInk, 2);
    } else if (look == EyeLook::kClosed) {
      c.Fill(Stroke(Arc(cx, cy - 4, 10, 7, 20, 160, 16), 1.6), kInk);
    } else {
      c.Fill(Stroke(Arc(cx, cy + 5, 10, 9, 200, 340, 16), 1.8), kInk);
    }
  }
  return PartImage{file, c, Point{42, 24}};
}

enum class MouthShape { kSmile, kSmall, kOpen, kRound };

PartImage Mouth(MouthShape shape, const char* file) {
  Canvas c(48, 32);
  Shape mouth;
  switch (shape) {
    case MouthShape::kSmile:
      c.Fill(Stroke(Arc(24, 3, 14, 11, 30, 150, 16), 1.6), kInk);
      c.Fill(Stroke({{9, 6}, {11, 10}}, 1.1), kInk);
      c.Fill(Stroke({{39, 6}, {37, 10}}, 1.1), kInk);
      return PartImage{file, c, Point{24, 14}};
    case MouthShape::kSmall:
      mouth = Ellipse(24, 15, 7, 5);
      break;
    case MouthShape::kOpen:
      mouth = Intersect(Ellipse(24, 12, 14, 15), Below(5));
      break;
    case MouthShape::kRound:
      mouth = Ellipse(24, 15, 8, 10);
      break;
  }
  c.Outlined(mouth, kMouth, kInk, 2);
  const Shape inside = Grow(mouth, -2);
  if (shape == MouthShape::kOpen) c.Fill(Intersect(inside, Above(10)), kWhite);
  const double tongueY = shape == MouthShape::kOpen ? 25 : shape == MouthShape::kRound ? 23 : 19;
  c.Fill(Intersect(inside, Ellipse(24, tongueY, 8, 5)), kTongue);
  return PartImage{file, c, Point{24, 14}};
}

PartImage UpperArm() {
  Canvas c(30, 76);
  const Shape arm = Capsule({15, 14}, {15, 60}, 12, 10);
  c.Outlined(arm, SkinAcross(15, 12), kInk, kLine);
  c.Outlined(Intersect(Grow(arm, 1.5), Above(40)), [](double x, double) {
    const double t = std::fabs(x - 15) / 13;
    return Mix(kShirtLight, kShirtDark, 0.2 + t * t * 0.6);
  }, kInk, kLine);
  return PartImage{"upper_arm.png", c, Point{15, 14}};
}

PartImage Forearm() {
  Canvas c(26, 62);
  c.Outlined(Capsule({13, 10}, {13, 50}, 10, 8), SkinAcross(13, 10), kInk, kLine);
  return PartImage{"forearm.png", c, Point{13, 10}};
}

PartImage HandRest() {
  Canvas c(40, 48);
  const Shape hand = Union(Ellipse(20, 24, 12, 14), Capsule({11, 18}, {5, 30}, 5, 4));
  c.Outlined(hand, SkinAcross(20, 14), kInk, kLine);
  const Colour crease = Rgb(150, 96, 84, 0.8);
  c.Fill(Stroke({{16, 30}, {16, 36}}, 0.8), crease);
  c.Fill(Stroke({{21, 31}, {21, 37}}, 0.8), crease);
  c.Fill(Stroke({{26, 30}, {26, 35}}, 0.8), crease);
  return PartImage{"hand_rest.png", c, Point{20, 6}};
}

PartImage HandOpen() {
  Canvas c(44, 52);
  Shape hand = Circle(22, 20, 11);
  const double angles[] = {-26, -9, 8, 25};
  const double lengths[] = {21, 25, 25, 21};
  for (int i = 0; i < 4; ++i) {
    const double a = angles[i] * M_PI / 180;
    const Point tip{22 + std::sin(a) * lengths[i], 20 + std::cos(a) * lengths[i]};
    hand = Union(hand, Capsule({22, 20}, tip, 4.4, 3.6));
  }
  hand = Union(hand, Capsule({20, 20}, {6, 27}, 4.8, 4));
  c.Outlined(hand, SkinAcross(22, 16), kInk, kLine);
  return PartImage{"hand_open.png", c, Point{22, 6}};
}

PartImage Leg() {
  Canvas c(50, 122);
  const Shape shoe = Intersect(Ellipse(31, 101, 19, 12), Above(110));
  c.Outlined(shoe, Vertical(Rgb(150, 84, 54), kShoe, 90, 110), kInk, kLine);
  c.Fill(Intersect(Grow(shoe, -2.5), Below(106)), kSole);
  c.Fill(Ellipse(37, 96, 5, 2.5), Rgb(255, 255, 255, 0.35), 2);
  const Shape trouser = Capsule({25, 10}, {25, 88}, 15, 13);
  c.Outlined(trouser, [](double x, double) {
    const double t = std::fabs(x - 25) / 15;
    return Mix(kTrouserLight, kTrouserDark, 0.15 + t * t * 0.7);
  }, kInk, kLine);
  c.Fill(Stroke({{30, 40}, {29, 92}}, 0.8), Rgb(30, 36, 76, 0.8));
  return PartImage{"leg.png", c, Point{25, 10}};
}

PartImage Shadow() {
  Canvas c(200, 40);
  c.Fill(Ellipse(100, 20, 84, 9), Rgb(30, 30, 46, 0.3), 10);
  return PartImage{"shadow.png", c, Point{100, 20}};
}

// The top of the grass at column x.
double GrassTop(double x) { return 14 + 3 * std::sin(x * 0.05) + 2 * std::sin(x * 0.13 + 1); }

PartImage Floor() {
  Canvas c(800, 110);
  const Shape ground = [](double x, double y) { return (GrassTop(x) - y) * 0.9; };
  const Colour dark = Rgb(62, 124, 56);
  c.Outlined(ground, Vertical(Rgb(124, 200, 96), Rgb(84, 150, 70), 10, 110), dark, 2.5);
  for (int i = 0; i < 58; ++i) {
    const double x = 6 + i * 13.7 + (i * 29 % 5);
    const double lean = ((i * 7) % 5) - 2.0;
    const double height = 4 + (i * 37) % 7;
    c.Fill(Stroke({{x, GrassTop(x) + 3}, {x + lean, GrassTop(x) - height}}, 1.1), dark);
  }
  const Colour petals[] = {kWhite, Rgb(255, 222, 92), Rgb(250, 150, 192)};
  for (int i = 0; i < 9; ++i) {
    const double x = 40 + i * 88 + (i * 53) % 31;
    const double y = GrassTop(x) + 18 + (i * 17) % 40;
    for (int k = 0; k < 5; ++k) {
      const double a = (k * 72 + i * 11) * M_PI / 180;
      c.Outlined(Circle(x + 4 * std::cos(a), y + 4 * std::sin(a), 3), petals[i % 3], dark, 1);
    }
    c.Fill(Circle(x, y, 2.4), Rgb(240, 150, 40));
  }
  return PartImage{"floor.png", c, Point{400, 14}};
}

PartImage Sun() {
  Canvas c(130, 130);
  const Colour line = Rgb(226, 140, 40);
  c.Fill(Circle(65, 65, 48), Rgb(255, 220, 90, 0.35), 16);
  for (int k = 0; k < 12; ++k) {
    const double a = k * 30 * M_PI / 180;
    const double outer = k % 2 == 0 ? 62 : 55;
    c.Outlined(Capsule({65 + 41 * std::cos(a), 65 + 41 * std::sin(a)},
                       {65 + outer * std::cos(a), 65 + outer * std::sin(a)}, 4.5, 2.5),
               Rgb(255, 206, 72), line, 2);
  }
  c.Outlined(Circle(65, 65, 34), Vertical(Rgb(255, 230, 104), Rgb(255, 174, 60), 31, 99), line,
             kLine);
  c.Fill(Circle(54, 60, 3), line);
  c.Fill(Circle(76, 60, 3), line);
  c.Fill(Stroke(Arc(65, 66, 11, 9, 30, 150, 12), 1.6), line);
  return PartImage{"sun.png", c, Point{65, 65}};
}

PartImage Cloud() {
  Canvas c(170, 86);
  const Shape cloud = Union(Union(Circle(50, 50, 24), Circle(84, 38, 30)),
                            Union(Circle(120, 48, 24), Box(85, 58, 58, 14, 14)));
  c.Outlined(cloud, Vertical(kWhite, Rgb(218, 230, 244), 20, 72), Rgb(150, 170, 198), kLine);
  return PartImage{"cloud.png", c, Point{85, 43}};
}

// The shape in a 256-unit square drawn into a size-pixel one.
Shape Scaled(Shape shape, double scale) {
  return [=](double x, double y) { return shape(x / scale, y / scale) * scale; };
}

}  // namespace

std::vector<PartImage> DrawPuppetParts() {
  std::vector<PartImage> parts;
  parts.push_back(Torso());
  parts.push_back(Head());
  parts.push_back(Eyes(EyeLook::kOpen, "eyes_open.png"));
  parts.push_back(Eyes(EyeLook::kHalf, "eyes_half.png"));
  parts.push_back(Eyes(EyeLook::kClosed, "eyes_closed.png"));
  parts.push_back(Eyes(EyeLook::kHappy, "eyes_happy.png"));
  parts.push_back(Mouth(MouthShape::kSmile, "mouth_smile.png"));
  parts.push_back(Mouth(MouthShape::kSmall, "mouth_small.png"));
  parts.push_back(Mouth(MouthShape::kOpen, "mouth_open.png"));
  parts.push_back(Mouth(MouthShape::kRound, "mouth_round.png"));
  parts.push_back(UpperArm());
  parts.push_back(Forearm());
  parts.push_back(HandRest());
  parts.push_back(HandOpen());
  parts.push_back(Leg());
  parts.push_back(Shadow());
  parts.push_back(Floor());
  parts.push_back(Sun());
  parts.push_back(Cloud());
  return parts;
}

Canvas DrawIcon(int size) {
  Canvas c(size, size);
  const double s = size / 256.0;
  const Paint background = [s](double x, double y) {
    return Mix(Rgb(255, 170, 76), Rgb(232, 78, 118), (x + y) / (512 * s));
  };
  c.Fill(Scaled(Box(128, 128, 120, 120, 48), s), background);
  // A puppet waving: pinned joints on a cut-out figure.
  const Shape figure = Union(
      Union(Union(Circle(128, 78, 30), Box(128, 148, 28, 38, 12)),
            Union(Capsule({154, 124}, {190, 100}, 10, 9), Capsule({190, 100}, {198, 56}, 9, 8))),
      Union(Capsule({102, 124}, {82, 170}, 10, 9),
            Union(Capsule({114, 184}, {108, 226}, 11, 10), Capsule({142, 184}, {148, 226}, 11, 10))));
  c.Fill(Scaled(Grow(figure, 2), s), Rgb(90, 20, 40, 0.35), 6 * s + 1);
  c.Outlined(Scaled(figure, s), Rgb(255, 248, 236), Rgb(80, 36, 52), std::max(1.0, 5 * s));
  for (Point pin : {Point{154, 124}, Point{190, 100}, Point{102, 124}, Point{128, 108}}) {
    c.Fill(Scaled(Circle(pin.x, pin.y, 5), s), Rgb(80, 36, 52));
  }
  return c;
}

}  // namespace art
