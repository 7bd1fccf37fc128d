#include "kit/ui/ImageView.h"

#include <cairo.h>

#include <cmath>
#include <typeinfo>

namespace kit {

ImageView::ImageView(Size size) : View(size) {
  userInteractionEnabled = false;
}

bool ImageView::paintsOpaque() const {
  if (typeid(*this) != typeid(ImageView)) return false;
  if (backgroundColor().a >= 1) return true;
  return image_ && image_->isOpaque();
}

void ImageView::draw(cairo_t* cr) const {
  View::draw(cr);
  if (!image_ || !image_->hasPixels()) return;
  Size area = bounds().size;
  if (area.width <= 0 || area.height <= 0) return;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xy == 0 && m.yx == 0 && m.xx > 0 && m.yy > 0) {
    // Unrotated: the picture lands on whole device pixels, resampled once to the size it shows
    // at, so it is copied crisply instead of filtered every frame.
    double x0 = 0, y0 = 0, x1 = area.width, y1 = area.height;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    double left = std::round(x0), top = std::round(y0);
    int width = static_cast<int>(std::round(x1) - left);
    int height = static_cast<int>(std::round(y1) - top);
    cairo_surface_t* picture = image_->surfaceOfPixelSize(width, height);
    if (!picture) return;
    cairo_identity_matrix(cr);
    cairo_set_source_surface(cr, picture, left, top);
    cairo_rectangle(cr, left, top, width, height);
    cairo_fill(cr);
    return;
  }
  Size pixels = image_->size();
  pixels.width *= image_->scale();
  pixels.height *= image_->scale();
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(image_->surface());
  cairo_matrix_t toPixels;
  cairo_matrix_init_scale(&toPixels, pixels.width / area.width, pixels.height / area.height);
  cairo_pattern_set_matrix(pattern, &toPixels);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  // Edge pixels extend outwards so that a stretched picture keeps crisp, opaque borders.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern);
  cairo_rectangle(cr, 0, 0, area.width, area.height);
  cairo_fill(cr);
  cairo_pattern_destroy(pattern);
}

}  // namespace kit
