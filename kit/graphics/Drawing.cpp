#include "kit/graphics/Drawing.h"

#include <cairo.h>

#include <cmath>

namespace kit {

void roundedRect(cairo_t* cr, Rect r, double radius) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, r.maxX() - radius, r.minY() + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, r.maxX() - radius, r.maxY() - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, r.minX() + radius, r.maxY() - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, r.minX() + radius, r.minY() + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void setColor(cairo_t* cr, Color c) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void setVerticalGradient(cairo_t* cr, Rect r, Color top, Color bottom) {
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, r.minY(), 0, r.maxY());
  cairo_pattern_add_color_stop_rgba(gradient, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(gradient, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_set_source(cr, gradient);
  cairo_pattern_destroy(gradient);
}

void SurfaceDeleter::operator()(cairo_surface_t* surface) const {
  cairo_surface_destroy(surface);
}

namespace {
double gRenderScale = 1;
}  // namespace

double currentRenderScale() {
  return gRenderScale;
}

void setCurrentRenderScale(double scale) {
  gRenderScale = scale;
}

}  // namespace kit
