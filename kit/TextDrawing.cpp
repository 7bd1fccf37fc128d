#include "TextDrawing.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

namespace kit {
namespace {

// Layout in points that does not change with the drawing scale: metrics are not hinted and glyph
// positions are not rounded, so a line is as wide at scale 2 as at scale 1.
PangoContext* makeContext() {
  PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context, FALSE);
  return context;
}

// Measuring keeps an identity matrix; drawing follows the cairo context it draws into.
PangoContext* measureContext() {
  static PangoContext* context = makeContext();
  return context;
}
PangoContext* drawContext() {
  static PangoContext* context = makeContext();
  return context;
}

// PostScript-style names ("Helvetica-BoldOblique") become Pango descriptions
// ("Helvetica Bold Oblique"); Pango would otherwise look for a family of that whole name.
std::string pangoDescriptionString(const std::string& name) {
  auto dash = name.find('-');
  if (dash == std::string::npos) return name;
  std::string result = name.substr(0, dash);
  for (size_t i = dash + 1; i < name.size(); ++i) {
    char c = name[i];
    if (c == '-') c = ' ';
    if (std::isupper(static_cast<unsigned char>(c)) && result.back() != ' ') result += ' ';
    result += c;
  }
  return result;
}

const PangoFontDescription* fontDescription(const Font& font) {
  static std::map<std::pair<std::string, double>, PangoFontDescription*> cache;
  auto key = std::make_pair(font.name, font.size);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  PangoFontDescription* description =
      pango_font_description_from_string(pangoDescriptionString(font.name).c_str());
  pango_font_description_set_absolute_size(description, std::max(font.size, 0.1) * PANGO_SCALE);
  cache.emplace(key, description);
  return description;
}

class Layout {
 public:
  Layout(PangoContext* context, const std::string& text, const Font& font)
      : layout_(pango_layout_new(context)) {
    pango_layout_set_font_description(layout_, fontDescription(font));
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
      pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
    } else {
      gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
      pango_layout_set_text(layout_, valid, -1);
      g_free(valid);
    }
  }
  ~Layout() { g_object_unref(layout_); }
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;

  PangoLayout* get() const { return layout_; }
  PangoRectangle logical() const {
    PangoRectangle rect;
    pango_layout_get_extents(layout_, nullptr, &rect);
    return rect;
  }
  const char* text() const { return pango_layout_get_text(layout_); }

 private:
  PangoLayout* layout_;
};

double toPoints(int pangoUnits) {
  return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

double alignedStart(double width, TextAlignment alignment, Rect rect) {
  if (width >= rect.size.width) return rect.minX();
  switch (alignment) {
    case TextAlignment::Center:
      return rect.minX() + (rect.size.width - width) / 2;
    case TextAlignment::Right:
      return rect.maxX() - width;
    case TextAlignment::Left:
      break;
  }
  return rect.minX();
}

}  // namespace

double drawTextLine(cairo_t* cr, const std::string& text, const Font& font, Color color,
                    TextAlignment alignment, Rect rect) {
  if (text.empty() || color.isClear()) return textLineStart(text, font, alignment, rect);
  PangoContext* context = drawContext();
  pango_cairo_update_context(cr, context);
  Layout layout(context, text, font);
  PangoRectangle logical = layout.logical();
  if (toPoints(logical.width) > rect.size.width) {
    pango_layout_set_width(layout.get(), static_cast<int>(rect.size.width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    logical = layout.logical();
  }
  double x = alignedStart(toPoints(logical.width), alignment, rect);
  double y = rect.minY() + (rect.size.height - toPoints(logical.height)) / 2;
  cairo_save(cr);
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
  cairo_move_to(cr, x - toPoints(logical.x), y - toPoints(logical.y));
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);
  return x;
}

double textLineStart(const std::string& text, const Font& font, TextAlignment alignment,
                     Rect rect) {
  return alignedStart(textSize(text, font).width, alignment, rect);
}

Size textSize(const std::string& text, const Font& font) {
  Layout layout(measureContext(), text, font);
  PangoRectangle logical = layout.logical();
  return {toPoints(logical.width), toPoints(logical.height)};
}

double caretOffset(const std::string& text, const Font& font, size_t codePoint) {
  Layout layout(measureContext(), text, font);
  const char* laidOut = layout.text();
  auto length = static_cast<size_t>(g_utf8_strlen(laidOut, -1));
  const char* at =
      g_utf8_offset_to_pointer(laidOut, static_cast<glong>(std::min(codePoint, length)));
  PangoRectangle strong;
  pango_layout_get_cursor_pos(layout.get(), static_cast<int>(at - laidOut), &strong, nullptr);
  return toPoints(strong.x);
}

size_t codePointAtOffset(const std::string& text, const Font& font, double x) {
  Layout layout(measureContext(), text, font);
  int index = 0;
  int trailing = 0;
  pango_layout_xy_to_index(layout.get(), static_cast<int>(x * PANGO_SCALE), 0, &index, &trailing);
  const char* laidOut = layout.text();
  return static_cast<size_t>(g_utf8_pointer_to_offset(laidOut, laidOut + index) + trailing);
}

}  // namespace kit
