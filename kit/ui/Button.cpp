#include "kit/ui/Button.h"

#include <cairo.h>

#include <typeinfo>

namespace kit {

namespace {
// How much of black lies over the picture while the button is pressed.
constexpr double kHighlightDarkening = 0.4;
}  // namespace

Button::Button(Size size) : Control(size) {}

void Button::setBackgroundImage(std::shared_ptr<const Image> image, ControlState /*forState*/) {
  background_ = std::move(image);
  setNeedsDisplay();
}

void Button::setHighlighted(bool highlighted) {
  if (highlighted_ == highlighted) return;
  highlighted_ = highlighted;
  setNeedsDisplay();
}

bool Button::containsTouch(const TouchSet& touches) const {
  const Touch* touch = touches.anyObject();
  return touch && bounds().contains(touch->locationInView(this));
}

void Button::touchesBegan(const TouchSet& touches, const Event*) {
  setHighlighted(containsTouch(touches));
}

void Button::touchesMoved(const TouchSet& touches, const Event*) {
  setHighlighted(containsTouch(touches));
}

void Button::touchesEnded(const TouchSet& touches, const Event*) {
  setHighlighted(false);
  // The last thing done here: an action may take the button off the screen.
  if (containsTouch(touches)) sendActionsForControlEvents(ControlEvent::TouchUpInside);
}

void Button::touchesCancelled(const TouchSet&, const Event*) {
  setHighlighted(false);
}

bool Button::paintsOpaque() const {
  return typeid(*this) == typeid(Button) && backgroundColor().a >= 1;
}

void Button::draw(cairo_t* cr) const {
  View::draw(cr);
  cairo_surface_t* picture = background_ ? background_->surface() : nullptr;
  if (!picture) return;
  int pixelWidth = cairo_image_surface_get_width(picture);
  int pixelHeight = cairo_image_surface_get_height(picture);
  if (pixelWidth <= 0 || pixelHeight <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, size_.width, size_.height);
  cairo_clip(cr);
  cairo_scale(cr, size_.width / pixelWidth, size_.height / pixelHeight);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  if (highlighted_) {
    // Darken only where the picture is, so its transparent corners stay transparent.
    cairo_set_source_rgba(cr, 0, 0, 0, kHighlightDarkening);
    cairo_mask_surface(cr, picture, 0, 0);
  }
  cairo_restore(cr);
}

}  // namespace kit
