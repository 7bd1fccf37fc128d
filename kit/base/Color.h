#pragma once

namespace kit {

// Straight (not premultiplied) RGBA, each component from 0 to 1.
struct Color {
  double r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Color&) const = default;

  static Color rgba(double r, double g, double b, double a = 1) { return {r, g, b, a}; }
  static Color black() { return {0, 0, 0, 1}; }
  static Color white() { return {1, 1, 1, 1}; }
  static Color clear() { return {0, 0, 0, 0}; }
  static Color red() { return {1, 0, 0, 1}; }
  static Color lightGray() { return {2.0 / 3, 2.0 / 3, 2.0 / 3, 1}; }
  static Color gray() { return {0.5, 0.5, 0.5, 1}; }
  static Color darkGray() { return {1.0 / 3, 1.0 / 3, 1.0 / 3, 1}; }
  bool isClear() const { return a <= 0; }
};

}  // namespace kit
