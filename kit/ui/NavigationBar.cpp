#include "kit/ui/NavigationBar.h"

#include "kit/graphics/TextDrawing.h"

namespace kit {

namespace {
constexpr double kTitleMargin = 130;  // kept clear at each end for the items
}

void NavigationBar::setTitle(const std::string& title) {
  title_ = title;
  setNeedsDisplay();
}

void NavigationBar::draw(cairo_t* cr) const {
  Toolbar::draw(cr);
  Rect area{{kTitleMargin, 0}, {size_.width - 2 * kTitleMargin, size_.height}};
  Color ink = barStyle == BarStyle::Black ? Color::white() : Color::rgba(0.2, 0.22, 0.26);
  drawTextLine(cr, title_, Font::boldSystemFontOfSize(19), ink, TextAlignment::Center, area);
}

}  // namespace kit
