#pragma once

#include <string>

#include "kit/graphics/Font.h"
#include "kit/ui/View.h"

namespace kit {

// One line of text, vertically centred, clipped with an ellipsis when too long. Takes no touches
// by default.
class Label : public View {
 public:
  explicit Label(Size size);
  void draw(cairo_t* cr) const override;
  bool paintsOpaque() const override;

  std::string text;
  Font font = Font::fontWithName("Helvetica", 17);
  Color textColor = Color::black();
  TextAlignment textAlignment = TextAlignment::Left;
};

}  // namespace kit
