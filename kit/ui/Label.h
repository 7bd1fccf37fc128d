#pragma once

#include <string>

#include "kit/graphics/Font.h"
#include "kit/ui/View.h"

namespace kit {

// Text that takes no touches by default: one line, vertically centred, clipped with an ellipsis
// when too long; or, with `numberOfLines` 0, wrapped at the label's width from its top, as many
// lines as its height holds.
class Label : public View {
 public:
  explicit Label(Size size);
  void draw(cairo_t* cr) const override;
  bool paintsOpaque() const override;

  std::string text;
  Font font = Font::fontWithName("Helvetica", 17);
  Color textColor = Color::black();
  TextAlignment textAlignment = TextAlignment::Left;
  int numberOfLines = 1;
};

}  // namespace kit
