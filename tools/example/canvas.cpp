#include "tools/example/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace art {

namespace {

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// Distance from p to segment a-b and where along it the nearest point lies (0..1).
double SegmentDistance(Point p, Point a, Point b, double* along) {
  const double ex = b.x - a.x, ey = b.y - a.y;
  const double wx = p.x - a.x, wy = p.y - a.y;
  const double lengthSquared = ex * ex + ey * ey;
  const double t = lengthSquared > 0 ? Clamp01((wx * ex + wy * ey) / lengthSquared) : 0;
  if (along != nullptr) *along = t;
  return Length(wx - ex * t, wy - ey * t);
}

}  // namespace

Colour Rgb(int r, int g, int b, double a) { return Colour{r / 255.0, g / 255.0, b / 255.0, a}; }

Colour Mix(const Colour& a, const Colour& b, double t) {
  t = Clamp01(t);
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}

Shape Circle(double cx, double cy, double r) {
  return [=](double x, double y) { return Length(x - cx, y - cy) - r; };
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
  return [=](double x, double y) {
    const double px = x - cx, py = y - cy;
    const double k0 = Length(px / rx, py / ry);
    const double k1 = Length(px / (rx * rx), py / (ry * ry));
    if (k1 <= 0) return -std::min(rx, ry);
    return k0 * (k0 - 1) / k1;
  };
}

Shape Box(double cx, double cy, double hw, double hh, double radius) {
  return [=](double x, double y) {
    const double qx = std::fabs(x - cx) - (hw - radius);
    const double qy = std::fabs(y - cy) - (hh - radius);
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
           radius;
  };
}

Shape Capsule(Point a, Point b, double ra, double rb) {
  return [=](double x, double y) {
    double t = 0;
    const double d = SegmentDistance(Point{x, y}, a, b, &t);
    return d - (ra + (rb - ra) * t);
  };
}

Shape Polygon(std::vector<Point> v) {
  return [v = std::move(v)](double x, double y) {
    const size_t n = v.size();
    double best = 1e30;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
      best = std::min(best, SegmentDistance(Point{x, y}, v[i], v[j], nullptr));
      // Crossing test: a ray towards +x crosses edge i-j.
      if ((v[i].y > y) != (v[j].y > y) &&
          x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
        inside = !inside;
      }
    }
    return inside ? -best : best;
  };
}

Shape Stroke(std::vector<Point> points, double halfWidth) {
  return [points = std::move(points), halfWidth](double x, double y) {
    double best = 1e30;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
      best = std::min(best, SegmentDistance(Point{x, y}, points[i], points[i + 1], nullptr));
    }
    return best - halfWidth;
  };
}

std::vector<Point> Arc(double cx, double cy, double rx, double ry, double fromDegrees,
                       double toDegrees, int steps) {
  std::vector<Point> points;
  for (int i = 0; i <= steps; ++i) {
    const double a = (fromDegrees + (toDegrees - fromDegrees) * i / steps) * M_PI / 180.0;
    points.push_back(Point{cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  return points;
}

Shape Below(double level) {
  return [=](double, double y) { return level - y; };
}

Shape Above(double level) {
  return [=](double, double y) { return y - level; };
}

Shape Union(Shape a, Shape b) {
  return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Shape Intersect(Shape a, Shape b) {
  return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b) {
  return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Grow(Shape shape, double by) {
  return [=](double x, double y) { return shape(x, y) - by; };
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width * height) * 4, 0.0) {}

void Canvas::Fill(const Shape& shape, const Colour& colour, double softness) {
  Fill(shape, [colour](double, double) { return colour; }, softness);
}

void Canvas::Fill(const Shape& shape, const Paint& paint, double softness) {
  for (int row = 0; row < height_; ++row) {
    for (int column = 0; column < width_; ++column) {
      const double x = column + 0.5, y = row + 0.5;
      const double coverage = Clamp01(0.5 - shape(x, y) / softness);
      if (coverage <= 0) continue;
      const Colour c = paint(x, y);
      const double a = Clamp01(c.a) * coverage;
      double* p = &pixels_[(static_cast<size_t>(row) * width_ + column) * 4];
      p[0] = c.r * a + p[0] * (1 - a);
      p[1] = c.g * a + p[1] * (1 - a);
      p[2] = c.b * a + p[2] * (1 - a);
      p[3] = a + p[3] * (1 - a);
    }
  }
}

void Canvas::Outlined(const Shape& shape, const Paint& paint, const Colour& line, double width) {
  Fill(shape, line);
  Fill(Grow(shape, -width), paint);
}

void Canvas::Outlined(const Shape& shape, const Colour& colour, const Colour& line,
                      double width) {
  Outlined(shape, [colour](double, double) { return colour; }, line, width);
}

std::vector<unsigned char> Canvas::Rgba8() const {
  const size_t count = static_cast<size_t>(width_) * height_;
  std::vector<unsigned char> out(count * 4, 0);
  std::vector<char> coloured(count, 0);
  long sum[3] = {0, 0, 0};
  long painted = 0;
  for (size_t i = 0; i < count; ++i) {
    const double* p = &pixels_[i * 4];
    const long alpha = std::lround(Clamp01(p[3]) * 255);
    if (alpha == 0) continue;
    for (int c = 0; c < 3; ++c) {
      out[i * 4 + c] = static_cast<unsigned char>(std::lround(Clamp01(p[c] / p[3]) * 255));
      sum[c] += out[i * 4 + c];
    }
    out[i * 4 + 3] = static_cast<unsigned char>(alpha);
    coloured[i] = 1;
    painted += 1;
  }
  // A few rings of transparent pixels around the painting take their painted neighbours'
  // average colour; pixels further out take the painting's average.
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<char> next = coloured;
    for (int row = 0; row < height_; ++row) {
      for (int column = 0; column < width_; ++column) {
        const size_t i = static_cast<size_t>(row) * width_ + column;
        if (coloured[i]) continue;
        long near[3] = {0, 0, 0};
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int r = row + dy, c = column + dx;
            if (r < 0 || r >= height_ || c < 0 || c >= width_) continue;
            const size_t j = static_cast<size_t>(r) * width_ + c;
            if (!coloured[j]) continue;
            for (int k = 0; k < 3; ++k) near[k] += out[j * 4 + k];
            n += 1;
          }
        }
        if (n == 0) continue;
        for (int k = 0; k < 3; ++k) out[i * 4 + k] = static_cast<unsigned char>(near[k] / n);
        next[i] = 1;
      }
    }
    coloured.swap(next);
  }
  for (size_t i = 0; i < count; ++i) {
    if (coloured[i] || painted == 0) continue;
    for (int k = 0; k < 3; ++k) out[i * 4 + k] = static_cast<unsigned char>(sum[k] / painted);
  }
  return out;
}

bool Canvas::WritePng(const std::string& path) const {
  const std::vector<unsigned char> rgba = Rgba8();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  volatile bool ok = info != nullptr;  // libpng reports errors by a long jump back here
  if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width_), static_cast<png_uint_32>(height_),
                 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int row = 0; row < height_; ++row) {
      png_write_row(png, &rgba[static_cast<size_t>(row) * width_ * 4]);
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace art
