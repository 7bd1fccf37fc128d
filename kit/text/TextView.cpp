#include "kit/text/TextView.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "kit/graphics/TextDrawing.h"

namespace kit {

namespace {
constexpr double kInset = 12;  // between the edges and the text
}  // namespace

TextView::TextView(Size size) : TextField(size, LineBreaks::Kept) {
  // A text view is read from its top, so the caret goes where the text starts.
  setTextAlignment(TextAlignment::Left);
}

void TextView::returnKey() {
  if (isFirstResponder()) replace({caretPosition(), 0}, "\n");
}

double TextView::textWidth() const {
  return std::max(size_.width - 2 * kInset, 1.0);
}

Rect TextView::caretRect() const {
  return wrappedCaretRect(text(), font(), textWidth(), caretPosition());
}

void TextView::scrollToCaret() {
  double room = size_.height - 2 * kInset;
  double contentHeight = wrappedTextSize(text(), font(), textWidth()).height;
  Rect caret = caretRect();
  if (caret.maxY() - scrollY_ > room) scrollY_ = caret.maxY() - room;
  if (caret.minY() < scrollY_) scrollY_ = caret.minY();
  scrollY_ = std::clamp(scrollY_, 0.0, std::max(contentHeight - room, 0.0));
}

void TextView::touchesEnded(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  if (!touch) return;
  Point p = touch->locationInView(this);
  if (!bounds().contains(p)) return;
  if (!becomeFirstResponder()) return;
  Point inText{p.x - kInset, p.y - kInset + scrollY_};
  setCaretPosition(wrappedCodePointAt(text(), font(), textWidth(), inText));
}

void TextView::draw(cairo_t* cr) const {
  View::draw(cr);
  Rect box = bounds();
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, box.size.width, box.size.height);
  cairo_clip(cr);
  Point origin{kInset, kInset - scrollY_};
  if (text().empty()) {
    drawWrappedText(cr, placeholder(), font(), Color::rgba(0.7, 0.7, 0.72), origin, textWidth());
  } else {
    drawWrappedText(cr, text(), font(), textColor(), origin, textWidth());
  }
  if (isFirstResponder()) {
    if (isCaretVisible()) {
      Rect caret = caretRect();
      cairo_rectangle(cr, std::round(origin.x + caret.minX()), origin.y + caret.minY(), kCaretWidth,
                      caret.size.height);
      cairo_set_source_rgba(cr, kCaretColor.r, kCaretColor.g, kCaretColor.b, kCaretColor.a);
      cairo_fill(cr);
    }
    scheduleCaretBlink();
  }
  cairo_restore(cr);
}

}  // namespace kit
