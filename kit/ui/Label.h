#pragma once

#include <string>

#include "kit/graphics/Font.h"
#include "kit/ui/View.h"

namespace kit {

// Text that takes no touches by default: one line, vertically centred, clipped with an ellipsis
// when too long; or, with `numberOfLines` 0, wrapped at the label's width from its top, as many
// lines as its height holds. Each setter marks the label for redraw when its look changes.
class Label : public View {
 public:
  explicit Label(Size size);
  void draw(cairo_t* cr) const override;
  bool paintsOpaque() const override;

  const std::string& text() const { return text_; }
  void setText(std::string text);
  const Font& font() const { return font_; }
  void setFont(Font font);
  Color textColor() const { return textColor_; }
  void setTextColor(Color color);
  TextAlignment textAlignment() const { return textAlignment_; }
  void setTextAlignment(TextAlignment alignment);
  int numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(int lines);

 private:
  std::string text_;
  Font font_ = Font::fontWithName("Helvetica", 17);
  Color textColor_ = Color::black();
  TextAlignment textAlignment_ = TextAlignment::Left;
  int numberOfLines_ = 1;
};

}  // namespace kit
