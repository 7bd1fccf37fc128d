#pragma once

#include <string>

namespace kit {

// A font by family name and size in points; "Helvetica" resolves through fontconfig.
struct Font {
  std::string name = "Helvetica";
  double size = 17;
  bool operator==(const Font&) const = default;

  static Font fontWithName(std::string name, double size) { return {std::move(name), size}; }
  static Font boldSystemFontOfSize(double size) { return {"Helvetica Bold", size}; }
  static Font systemFontOfSize(double size) { return {"Helvetica", size}; }
};

enum class TextAlignment { Left = 0, Center = 1, Right = 2 };

}  // namespace kit
