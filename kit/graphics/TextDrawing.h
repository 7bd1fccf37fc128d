#pragma once

// Internal to the kit: one line of text laid out with Pango, for the views that draw text.

#include <cstddef>
#include <string>

#include "kit/base/Color.h"
#include "kit/base/Geometry.h"
#include "kit/graphics/Font.h"

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

namespace kit {

// Draws `text` as one line inside `rect` (in the current user space): in `font` and `color`,
// placed by `alignment`, vertically centred, cut with an ellipsis at the end when it is wider
// than the rect. Returns the x at which the drawn text starts.
double drawTextLine(cairo_t* cr, const std::string& text, const Font& font, Color color,
                    TextAlignment alignment, Rect rect);

// One line of text laid out once, for several measurements of it.
class TextLine {
 public:
  TextLine(const std::string& text, const Font& font);
  ~TextLine();
  TextLine(const TextLine&) = delete;
  TextLine& operator=(const TextLine&) = delete;

  // The height is the font's line height even for "".
  Size size() const;
  // The distance from the start to the caret before code point `codePoint` (clamped to the end).
  double caretOffset(size_t codePoint) const;
  // The code point index whose caret position lies nearest to `x` points from the start.
  size_t codePointAtOffset(double x) const;

 private:
  PangoLayout* layout_;
};

// Where drawTextLine would start the text, without drawing it. Text wider than the rect starts at
// the rect's left edge.
double textLineStart(const std::string& text, const Font& font, TextAlignment alignment, Rect rect);

// The size of one line of text in points; the height is the font's line height even for "".
Size textSize(const std::string& text, const Font& font);

// The distance from the start of `text` to the caret before code point `codePoint` (clamped to
// the end of the text), in points.
double caretOffset(const std::string& text, const Font& font, size_t codePoint);

// The code point index whose caret position lies nearest to `x` points from the text's start.
size_t codePointAtOffset(const std::string& text, const Font& font, double x);

// Text wrapped at word boundaries to `width` points, line breaks kept; positions are measured from
// the top left of the first line.
Size wrappedTextSize(const std::string& text, const Font& font, double width);
void drawWrappedText(cairo_t* cr, const std::string& text, const Font& font, Color color,
                     Point origin, double width);
// The caret before code point `codePoint`: its x, the top of its line and the line's height.
Rect wrappedCaretRect(const std::string& text, const Font& font, double width, size_t codePoint);
// The code point index whose caret lies nearest to `p`.
size_t wrappedCodePointAt(const std::string& text, const Font& font, double width, Point p);

}  // namespace kit
