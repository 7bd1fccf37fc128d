#include "ImageView.h"

#include <cairo.h>

namespace kit {

ImageView::ImageView(Size size) : View(size) {
  userInteractionEnabled = false;
}

void ImageView::draw(cairo_t* cr) const {
  View::draw(cr);
  if (!image_ || !image_->surface()) return;
  Size area = bounds().size;
  Size pixels = image_->size();
  pixels.width *= image_->scale();
  pixels.height *= image_->scale();
  if (area.width <= 0 || area.height <= 0 || pixels.width <= 0 || pixels.height <= 0) return;
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
