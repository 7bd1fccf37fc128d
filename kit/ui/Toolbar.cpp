#include "kit/ui/Toolbar.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "kit/graphics/Drawing.h"
#include "kit/graphics/TextDrawing.h"

namespace kit {

namespace {

constexpr double kEdgeMargin = 8;
constexpr double kItemSpacing = 8;
constexpr double kTitlePadding = 14;
constexpr double kMinItemWidth = 48;
constexpr double kItemHeight = 32;
constexpr double kItemRadius = 5;

Font itemFont(const BarButtonItem& item) {
  return item.style == BarButtonItemStyle::Done ? Font::boldSystemFontOfSize(15)
                                                : Font::systemFontOfSize(15);
}

Color shade(Color c, double amount) {
  // amount > 0 lightens towards white, < 0 darkens towards black.
  auto mix = [amount](double v) { return amount > 0 ? v + (1 - v) * amount : v * (1 + amount); };
  return {mix(c.r), mix(c.g), mix(c.b), c.a};
}

double luminance(Color c) {
  return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
}

}  // namespace

Toolbar::Toolbar(Size size) : View(size) {}

Toolbar::~Toolbar() = default;

void Toolbar::setItems(std::vector<std::unique_ptr<BarButtonItem>> items) {
  items_ = std::move(items);
  pressed_ = tracked_ = -1;
  setNeedsDisplay();
}

std::vector<Rect> Toolbar::layOut() const {
  double height = std::min(kItemHeight, size_.height - 8);
  double top = (size_.height - height) / 2;
  std::vector<double> widths;
  double used = 2 * kEdgeMargin;
  size_t flexible = 0;
  for (const auto& item : items_) {
    double width = 0;
    if (item->isSystemItem) {
      ++flexible;
    } else {
      width =
          std::max(textSize(item->title, itemFont(*item)).width + 2 * kTitlePadding, kMinItemWidth);
    }
    widths.push_back(width);
    used += width;
  }
  if (!items_.empty()) used += kItemSpacing * static_cast<double>(items_.size() - 1);
  double share = flexible ? std::max(size_.width - used, 0.0) / static_cast<double>(flexible) : 0;

  std::vector<Rect> frames;
  double x = kEdgeMargin;
  for (size_t i = 0; i < items_.size(); ++i) {
    double width = items_[i]->isSystemItem ? share : widths[i];
    frames.push_back({{x, top}, {width, height}});
    x += width + kItemSpacing;
  }
  return frames;
}

Rect Toolbar::frameOfItem(size_t index) const {
  if (index >= items_.size() || items_[index]->isSystemItem) return {};
  return layOut()[index];
}

int Toolbar::itemAt(Point p) const {
  std::vector<Rect> frames = layOut();
  for (size_t i = 0; i < frames.size(); ++i) {
    if (items_[i]->isSystemItem || !items_[i]->enabled) continue;
    // The whole height of the bar and half the spacing on each side count as the item.
    Rect area{{frames[i].minX() - kItemSpacing / 2, 0},
              {frames[i].size.width + kItemSpacing, size_.height}};
    if (area.contains(p)) return static_cast<int>(i);
  }
  return -1;
}

void Toolbar::touchesBegan(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  if (!touch) return;
  tracked_ = pressed_ = itemAt(touch->locationInView(this));
  setNeedsDisplay();
}

void Toolbar::touchesMoved(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  if (!touch || tracked_ < 0) return;
  int over = itemAt(touch->locationInView(this));
  pressed_ = over == tracked_ ? tracked_ : -1;
  setNeedsDisplay();
}

void Toolbar::touchesEnded(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  int tracked = tracked_;
  pressed_ = tracked_ = -1;
  setNeedsDisplay();
  if (!touch || tracked < 0 || itemAt(touch->locationInView(this)) != tracked) return;
  // A copy, run last: the action may replace the items or take the bar off the screen.
  std::function<void()> action = items_[static_cast<size_t>(tracked)]->action();
  if (action) action();
}

void Toolbar::draw(cairo_t* cr) const {
  drawBackground(cr);
  bool black = barStyle == BarStyle::Black;
  std::vector<Rect> frames = layOut();
  for (size_t i = 0; i < items_.size(); ++i) {
    const BarButtonItem& item = *items_[i];
    if (item.isSystemItem) continue;
    if (!item.enabled) cairo_push_group(cr);
    drawItem(cr, item, frames[i], static_cast<int>(i) == pressed_, black);
    if (!item.enabled) {
      cairo_pop_group_to_source(cr);
      cairo_paint_with_alpha(cr, 0.4);
    }
  }
}

void Toolbar::drawBackground(cairo_t* cr) const {
  Rect all = bounds();
  bool black = barStyle == BarStyle::Black;
  cairo_rectangle(cr, 0, 0, all.size.width, all.size.height);
  if (black) {
    setVerticalGradient(cr, all, Color::rgba(0.24, 0.24, 0.26), Color::rgba(0.04, 0.04, 0.05));
    cairo_fill_preserve(cr);
  } else {
    setVerticalGradient(cr, all, Color::rgba(0.94, 0.95, 0.96), Color::rgba(0.78, 0.80, 0.83));
    cairo_fill_preserve(cr);
  }
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, 0, all.size.width, 1);
  setColor(cr, black ? Color::black() : Color::rgba(0.55, 0.57, 0.6));
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 1, all.size.width, 1);
  setColor(cr, black ? Color::rgba(1, 1, 1, 0.12) : Color::rgba(1, 1, 1, 0.8));
  cairo_fill(cr);
}

void Toolbar::drawItem(cairo_t* cr, const BarButtonItem& item, Rect r, bool pressed,
                       bool black) const {
  Color ink;
  if (item.style == BarButtonItemStyle::Plain) {
    ink = black ? Color::white() : Color::rgba(0.2, 0.22, 0.26);
    if (pressed) ink = shade(ink, black ? -0.4 : 0.4);
  } else {
    Color top, bottom, edge;
    if (item.style == BarButtonItemStyle::Done) {
      top = shade(tintColor, 0.18);
      bottom = shade(tintColor, -0.08);
      edge = shade(tintColor, -0.4);
      ink = luminance(tintColor) > 0.6 ? Color::rgba(0.1, 0.1, 0.12) : Color::white();
    } else if (black) {
      top = Color::rgba(0.36, 0.36, 0.38);
      bottom = Color::rgba(0.16, 0.16, 0.18);
      edge = Color::rgba(0, 0, 0);
      ink = Color::white();
    } else {
      top = Color::rgba(1, 1, 1);
      bottom = Color::rgba(0.90, 0.91, 0.93);
      edge = Color::rgba(0.52, 0.54, 0.58);
      ink = Color::rgba(0.15, 0.16, 0.2);
    }
    if (pressed) {
      top = shade(top, -0.25);
      bottom = shade(bottom, -0.25);
    }
    roundedRect(cr, {{r.minX() + 0.5, r.minY() + 1.5}, {r.size.width - 1, r.size.height - 1}},
                kItemRadius);
    setColor(cr, Color::rgba(1, 1, 1, black ? 0.1 : 0.6));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, {{r.minX() + 0.5, r.minY() + 0.5}, {r.size.width - 1, r.size.height - 1}},
                kItemRadius);
    setVerticalGradient(cr, r, top, bottom);
    cairo_fill_preserve(cr);
    setColor(cr, edge);
    cairo_stroke(cr);
  }
  drawTextLine(cr, item.title, itemFont(item), ink, TextAlignment::Center, r);
}

}  // namespace kit
