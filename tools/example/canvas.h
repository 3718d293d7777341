// A small painter for the generators in tools/: shapes are signed distance functions (negative
// inside), painted with anti-aliased or deliberately soft edges into an RGBA canvas and written
// as 8-bit RGBA PNG files. Everything is plain double arithmetic, so the same build writes the
// same bytes on every run. Builds on libpng only.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace art {

struct Point {
  double x = 0, y = 0;
};

// Straight (not premultiplied) colour, every channel 0..1.
struct Colour {
  double r = 0, g = 0, b = 0, a = 1;
};
// From 0..255 channels.
Colour Rgb(int r, int g, int b, double a = 1);
// a + (b - a) * t per channel, t clamped to 0..1.
Colour Mix(const Colour& a, const Colour& b, double t);

// Distance from (x, y) to the shape's edge in pixels: negative inside.
using Shape = std::function<double(double x, double y)>;
// Colour at (x, y), for gradients and shading.
using Paint = std::function<Colour(double x, double y)>;

Shape Circle(double cx, double cy, double r);
// Approximate distance (exact on the axes), good enough for edges of a pixel or two.
Shape Ellipse(double cx, double cy, double rx, double ry);
// Rectangle of half sizes hw, hh with corners rounded by radius.
Shape Box(double cx, double cy, double hw, double hh, double radius = 0);
// Segment a-b thickened to radius ra at a and rb at b (a tapered limb).
Shape Capsule(Point a, Point b, double ra, double rb);
// Closed polygon, either winding.
Shape Polygon(std::vector<Point> points);
// Open polyline thickened to halfWidth (strokes: brows, lids, smiles).
Shape Stroke(std::vector<Point> points, double halfWidth);
// Points along an elliptic arc, angles in degrees measured clockwise from +x (y points down).
std::vector<Point> Arc(double cx, double cy, double rx, double ry, double fromDegrees,
                       double toDegrees, int steps = 24);
// The half plane below y (larger y), or above it.
Shape Below(double y);
Shape Above(double y);

Shape Union(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);  // a without b
Shape Grow(Shape shape, double by);  // a negative amount shrinks

class Canvas {
 public:
  Canvas(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  // Paints the shape over what is there; the edge fades over `softness` pixels (1: a crisp,
  // anti-aliased edge).
  void Fill(const Shape& shape, const Colour& colour, double softness = 1);
  void Fill(const Shape& shape, const Paint& paint, double softness = 1);
  // A filled shape with an outline of `width` pixels inside its edge.
  void Outlined(const Shape& shape, const Paint& paint, const Colour& line, double width);
  void Outlined(const Shape& shape, const Colour& colour, const Colour& line, double width);

  // Straight 8-bit RGBA. Fully transparent pixels take the colour of the nearest painted pixel,
  // so linear texture filtering never blends a foreign colour into the edges.
  std::vector<unsigned char> Rgba8() const;
  // Writes an 8-bit RGBA PNG (no time stamp or other varying chunk). False when it cannot.
  bool WritePng(const std::string& path) const;

 private:
  int width_, height_;
  std::vector<double> pixels_;  // premultiplied r, g, b, a per pixel, row 0 at the top
};

}  // namespace art
