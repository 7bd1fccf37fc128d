#pragma once

#include <cmath>

namespace kit {

// Points of the logical screen; y grows downwards.
struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;
  bool operator==(const Rect&) const = default;

  double minX() const { return origin.x; }
  double minY() const { return origin.y; }
  double maxX() const { return origin.x + size.width; }
  double maxY() const { return origin.y + size.height; }
  Point center() const { return {origin.x + size.width / 2, origin.y + size.height / 2}; }
  // Half-open: the right and bottom edges belong to the next rectangle.
  bool contains(Point p) const {
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
  }
  bool isEmpty() const { return size.width <= 0 || size.height <= 0; }
  double area() const { return isEmpty() ? 0 : size.width * size.height; }
  bool contains(const Rect& r) const {
    return r.minX() >= minX() && r.minY() >= minY() && r.maxX() <= maxX() && r.maxY() <= maxY();
  }
  bool intersects(const Rect& r) const {
    return r.minX() < maxX() && r.maxX() > minX() && r.minY() < maxY() && r.maxY() > minY();
  }
  // The smallest rect holding both; an empty rect adds nothing.
  Rect united(const Rect& r) const {
    if (r.isEmpty()) return *this;
    if (isEmpty()) return r;
    double x0 = std::fmin(minX(), r.minX()), y0 = std::fmin(minY(), r.minY());
    return {{x0, y0}, {std::fmax(maxX(), r.maxX()) - x0, std::fmax(maxY(), r.maxY()) - y0}};
  }
  Rect insetBy(double dx, double dy) const {
    return {{origin.x + dx, origin.y + dy}, {size.width - 2 * dx, size.height - 2 * dy}};
  }
};

inline double distance(Point a, Point b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

// An affine transform [a b; c d] + (tx, ty), applied as x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct Transform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
  bool operator==(const Transform&) const = default;

  static Transform identity() { return {}; }
  static Transform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
  bool isIdentity() const { return *this == Transform{}; }
  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  // The inverse; a singular transform (a scale of zero) inverts to a transform that maps everything
  // far outside any view, so nothing is hit through it.
  Transform inverted() const {
    double det = a * d - b * c;
    if (std::abs(det) < 1e-12) return {0, 0, 0, 0, 1e12, 1e12};
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
  }
};

// Linear interpolation of two transforms, component by component (exact for scales).
inline Transform lerp(const Transform& from, const Transform& to, double t) {
  auto m = [t](double x, double y) { return x + (y - x) * t; };
  return {m(from.a, to.a), m(from.b, to.b),   m(from.c, to.c),
          m(from.d, to.d), m(from.tx, to.tx), m(from.ty, to.ty)};
}
inline Point lerp(Point from, Point to, double t) {
  return {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t};
}
inline double lerp(double from, double to, double t) {
  return from + (to - from) * t;
}

// The portrait screen in points; its top bar is the status bar the kit draws.
inline constexpr double kScreenWidth = 768;
inline constexpr double kScreenHeight = 1024;
inline constexpr double kStatusBarHeight = 20;

}  // namespace kit
