#include "kit/graphics/TextDrawing.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "kit/base/Utf8.h"

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
  // One line, or lines wrapped at `wrapWidth` points when it is given.
  Layout(PangoContext* context, const std::string& text, const Font& font, double wrapWidth = -1)
      : layout_(pango_layout_new(context)) {
    pango_layout_set_font_description(layout_, fontDescription(font));
    if (wrapWidth < 0) {
      pango_layout_set_single_paragraph_mode(layout_, TRUE);
    } else {
      pango_layout_set_width(layout_, static_cast<int>(wrapWidth * PANGO_SCALE));
      pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
    }
    if (utf8::isValid(text)) {
      pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
    } else {
      std::string valid = utf8::makeValid(text);
      pango_layout_set_text(layout_, valid.data(), static_cast<int>(valid.size()));
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

// Lines drawn frame after frame keep their shaped layouts. Pango lays a line out again by itself
// when the drawing context's scale changes; translations alone do not.
class DrawnLayouts {
 public:
  struct Entry {
    PangoLayout* layout = nullptr;
    int naturalWidth = 0;  // Pango units, before any ellipsis
    int width = -1;        // the width the layout is cut to, or -1
    uint64_t lastUse = 0;
    // The glyphs' coverage as last drawn, in device pixels, and what it was drawn for.
    cairo_surface_t* mask = nullptr;
    int maskX = 0, maskY = 0;  // the mask's corner from the whole-pixel part of the origin
    double maskScaleX = 0, maskScaleY = 0, maskPhaseX = -1, maskPhaseY = -1;
    int maskWidth = -1;
  };

  Entry& get(const std::string& text, const Font& font) {
    std::string key(reinterpret_cast<const char*>(&font.size), sizeof font.size);
    key += font.name;
    key += '\0';
    key += text;
    auto found = entries_.find(key);
    if (found == entries_.end()) {
      if (entries_.size() >= kCapacity) evictOldHalf();
      Layout fresh(drawContext(), text, font);
      Entry entry;
      entry.layout = static_cast<PangoLayout*>(g_object_ref(fresh.get()));
      entry.naturalWidth = fresh.logical().width;
      found = entries_.emplace(std::move(key), entry).first;
    }
    found->second.lastUse = ++uses_;
    return found->second;
  }

 private:
  static constexpr size_t kCapacity = 256;

  void evictOldHalf() {
    std::vector<uint64_t> uses;
    for (const auto& [key, entry] : entries_) uses.push_back(entry.lastUse);
    std::nth_element(uses.begin(), uses.begin() + uses.size() / 2, uses.end());
    uint64_t cut = uses[uses.size() / 2];
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->second.lastUse < cut) {
        g_object_unref(it->second.layout);
        if (it->second.mask) cairo_surface_destroy(it->second.mask);
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::unordered_map<std::string, Entry> entries_;
  uint64_t uses_ = 0;
};

// Glyphs are chosen for the drawing's scale and rotation; its translation is left out, so that
// lines at different places do not each lay all cached lines out again.
void followScale(cairo_t* cr) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  PangoMatrix linear = {m.xx, m.xy, m.yx, m.yy, 0, 0};
  const PangoMatrix* current = pango_context_get_matrix(drawContext());
  PangoMatrix identity = PANGO_MATRIX_INIT;
  const PangoMatrix& now = current ? *current : identity;
  if (now.xx != linear.xx || now.xy != linear.xy || now.yx != linear.yx || now.yy != linear.yy) {
    pango_context_set_matrix(drawContext(), &linear);
  }
}

// Unrotated text is drawn through the coverage of its glyphs kept from the last frame: the same
// pixels as drawing the glyphs, for a fraction of the cost. The coverage is kept for the origin's
// position within a device pixel, in quarters.
void paintThroughMask(cairo_t* cr, DrawnLayouts::Entry& entry, const cairo_matrix_t& m,
                      Point origin) {
  double dx = origin.x, dy = origin.y;
  cairo_user_to_device(cr, &dx, &dy);
  double wholeX = std::floor(dx), wholeY = std::floor(dy);
  double phaseX = std::round((dx - wholeX) * 4) / 4, phaseY = std::round((dy - wholeY) * 4) / 4;
  if (entry.maskScaleX != m.xx || entry.maskScaleY != m.yy || entry.maskPhaseX != phaseX ||
      entry.maskPhaseY != phaseY || entry.maskWidth != entry.width) {
    if (entry.mask) cairo_surface_destroy(entry.mask);
    entry.mask = nullptr;
    entry.maskScaleX = m.xx;
    entry.maskScaleY = m.yy;
    entry.maskPhaseX = phaseX;
    entry.maskPhaseY = phaseY;
    entry.maskWidth = entry.width;
    PangoRectangle ink;
    pango_layout_get_extents(entry.layout, &ink, nullptr);
    if (ink.width <= 0 || ink.height <= 0) return;
    // One spare pixel around the ink for anti-aliasing.
    int left = static_cast<int>(std::floor(phaseX + toPoints(ink.x) * m.xx)) - 1;
    int top = static_cast<int>(std::floor(phaseY + toPoints(ink.y) * m.yy)) - 1;
    int right = static_cast<int>(std::ceil(phaseX + toPoints(ink.x + ink.width) * m.xx)) + 1;
    int bottom = static_cast<int>(std::ceil(phaseY + toPoints(ink.y + ink.height) * m.yy)) + 1;
    entry.mask = cairo_image_surface_create(CAIRO_FORMAT_A8, right - left, bottom - top);
    entry.maskX = left;
    entry.maskY = top;
    cairo_t* mc = cairo_create(entry.mask);
    cairo_translate(mc, phaseX - left, phaseY - top);
    cairo_scale(mc, m.xx, m.yy);
    cairo_move_to(mc, 0, 0);
    pango_cairo_show_layout(mc, entry.layout);
    cairo_destroy(mc);
    cairo_surface_flush(entry.mask);
  }
  if (!entry.mask) return;
  cairo_identity_matrix(cr);
  cairo_mask_surface(cr, entry.mask, wholeX + entry.maskX, wholeY + entry.maskY);
}

}  // namespace

double drawTextLine(cairo_t* cr, const std::string& text, const Font& font, Color color,
                    TextAlignment alignment, Rect rect) {
  if (text.empty() || color.isClear()) return textLineStart(text, font, alignment, rect);
  static DrawnLayouts layouts;
  followScale(cr);
  DrawnLayouts::Entry& entry = layouts.get(text, font);
  int available = static_cast<int>(rect.size.width * PANGO_SCALE);
  int width = entry.naturalWidth > available ? available : -1;
  if (width != entry.width) {
    pango_layout_set_width(entry.layout, width);
    pango_layout_set_ellipsize(entry.layout,
                               width < 0 ? PANGO_ELLIPSIZE_NONE : PANGO_ELLIPSIZE_END);
    entry.width = width;
  }
  PangoRectangle logical;
  pango_layout_get_extents(entry.layout, nullptr, &logical);
  double x = alignedStart(toPoints(logical.width), alignment, rect);
  double y = rect.minY() + (rect.size.height - toPoints(logical.height)) / 2;
  Point origin{x - toPoints(logical.x), y - toPoints(logical.y)};
  cairo_save(cr);
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0) {
    paintThroughMask(cr, entry, m, origin);
  } else {
    cairo_move_to(cr, origin.x, origin.y);
    pango_cairo_show_layout(cr, entry.layout);
  }
  cairo_restore(cr);
  return x;
}

double textLineStart(const std::string& text, const Font& font, TextAlignment alignment,
                     Rect rect) {
  return alignedStart(textSize(text, font).width, alignment, rect);
}

TextLine::TextLine(const std::string& text, const Font& font)
    : layout_(static_cast<PangoLayout*>(g_object_ref(Layout(measureContext(), text, font).get()))) {
}

TextLine::~TextLine() {
  g_object_unref(layout_);
}

Size TextLine::size() const {
  PangoRectangle logical;
  pango_layout_get_extents(layout_, nullptr, &logical);
  return {toPoints(logical.width), toPoints(logical.height)};
}

double TextLine::caretOffset(size_t codePoint) const {
  const char* laidOut = pango_layout_get_text(layout_);
  auto length = static_cast<size_t>(g_utf8_strlen(laidOut, -1));
  const char* at =
      g_utf8_offset_to_pointer(laidOut, static_cast<glong>(std::min(codePoint, length)));
  PangoRectangle strong;
  pango_layout_get_cursor_pos(layout_, static_cast<int>(at - laidOut), &strong, nullptr);
  return toPoints(strong.x);
}

size_t TextLine::codePointAtOffset(double x) const {
  int index = 0;
  int trailing = 0;
  pango_layout_xy_to_index(layout_, static_cast<int>(x * PANGO_SCALE), 0, &index, &trailing);
  const char* laidOut = pango_layout_get_text(layout_);
  return static_cast<size_t>(g_utf8_pointer_to_offset(laidOut, laidOut + index) + trailing);
}

Size textSize(const std::string& text, const Font& font) {
  return TextLine(text, font).size();
}

double caretOffset(const std::string& text, const Font& font, size_t codePoint) {
  return TextLine(text, font).caretOffset(codePoint);
}

size_t codePointAtOffset(const std::string& text, const Font& font, double x) {
  return TextLine(text, font).codePointAtOffset(x);
}

Size wrappedTextSize(const std::string& text, const Font& font, double width) {
  Layout layout(measureContext(), text, font, width);
  PangoRectangle logical = layout.logical();
  return {toPoints(logical.width), toPoints(logical.height)};
}

void drawWrappedText(cairo_t* cr, const std::string& text, const Font& font, Color color,
                     Point origin, double width) {
  if (text.empty() || color.isClear()) return;
  followScale(cr);
  Layout layout(drawContext(), text, font, width);
  cairo_save(cr);
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
  cairo_move_to(cr, origin.x, origin.y);
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);
}

Rect wrappedCaretRect(const std::string& text, const Font& font, double width, size_t codePoint) {
  Layout layout(measureContext(), text, font, width);
  const char* laidOut = pango_layout_get_text(layout.get());
  auto length = static_cast<size_t>(g_utf8_strlen(laidOut, -1));
  const char* at =
      g_utf8_offset_to_pointer(laidOut, static_cast<glong>(std::min(codePoint, length)));
  PangoRectangle strong;
  pango_layout_get_cursor_pos(layout.get(), static_cast<int>(at - laidOut), &strong, nullptr);
  return {{toPoints(strong.x), toPoints(strong.y)}, {0, toPoints(strong.height)}};
}

size_t wrappedCodePointAt(const std::string& text, const Font& font, double width, Point p) {
  Layout layout(measureContext(), text, font, width);
  int index = 0;
  int trailing = 0;
  pango_layout_xy_to_index(layout.get(), static_cast<int>(p.x * PANGO_SCALE),
                           static_cast<int>(p.y * PANGO_SCALE), &index, &trailing);
  const char* laidOut = pango_layout_get_text(layout.get());
  return static_cast<size_t>(g_utf8_pointer_to_offset(laidOut, laidOut + index) + trailing);
}

}  // namespace kit
