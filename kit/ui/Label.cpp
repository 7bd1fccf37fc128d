#include "kit/ui/Label.h"

#include <cairo.h>

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
  if (numberOfLines == 1) {
    drawTextLine(cr, text, font, textColor, textAlignment, bounds());
    return;
  }
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, bounds().size.width, bounds().size.height);
  cairo_clip(cr);
  drawWrappedText(cr, text, font, textColor, {0, 0}, bounds().size.width);
  cairo_restore(cr);
}

}  // namespace kit
