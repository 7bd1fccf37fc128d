#include "kit/ui/Label.h"

#include "kit/graphics/TextDrawing.h"

namespace kit {

Label::Label(Size size) : View(size) {
  userInteractionEnabled = false;
}

void Label::draw(cairo_t* cr) const {
  View::draw(cr);
  drawTextLine(cr, text, font, textColor, textAlignment, bounds());
}

}  // namespace kit
