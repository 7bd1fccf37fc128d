#include "kit/ui/Label.h"

#include <typeinfo>

#include "kit/graphics/TextDrawing.h"

namespace kit {

Label::Label(Size size) : View(size) {
  userInteractionEnabled = false;
}

bool Label::paintsOpaque() const {
  return typeid(*this) == typeid(Label) && backgroundColor.a >= 1;
}

void Label::draw(cairo_t* cr) const {
  View::draw(cr);
  drawTextLine(cr, text, font, textColor, textAlignment, bounds());
}

}  // namespace kit
