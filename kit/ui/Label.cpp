#include "kit/ui/Label.h"

#include <cairo.h>

#include <typeinfo>

#include "kit/graphics/TextDrawing.h"

namespace kit {

Label::Label(Size size) : View(size) {
  userInteractionEnabled = false;
}

void Label::setText(std::string text) {
  setLook(text_, std::move(text));
}

void Label::setFont(Font font) {
  setLook(font_, std::move(font));
}

void Label::setTextColor(Color color) {
  setLook(textColor_, color);
}

void Label::setTextAlignment(TextAlignment alignment) {
  setLook(textAlignment_, alignment);
}

void Label::setNumberOfLines(int lines) {
  setLook(numberOfLines_, lines);
}

bool Label::paintsOpaque() const {
  return typeid(*this) == typeid(Label) && backgroundColor().a >= 1;
}

void Label::draw(cairo_t* cr) const {
  View::draw(cr);
  if (numberOfLines_ == 1) {
    drawTextLine(cr, text_, font_, textColor_, textAlignment_, bounds());
    return;
  }
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, bounds().size.width, bounds().size.height);
  cairo_clip(cr);
  drawWrappedText(cr, text_, font_, textColor_, {0, 0}, bounds().size.width);
  cairo_restore(cr);
}

}  // namespace kit
