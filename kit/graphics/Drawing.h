#pragma once

// Internal to the kit: small Cairo helpers shared by the views that draw themselves.

#include <memory>

#include "kit/base/Color.h"
#include "kit/base/Geometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace kit {

// A Cairo surface that frees itself.
struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const;
};
using SurfaceHandle = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// Adds a closed rounded rectangle to the current path.
void roundedRect(cairo_t* cr, Rect r, double radius);
void setColor(cairo_t* cr, Color c);
// Makes a top-to-bottom gradient over `r` the source.
void setVerticalGradient(cairo_t* cr, Rect r, Color top, Color bottom);

// The scale at which transition snapshots, cached pictures and images are made; the backend
// sets it.
double currentRenderScale();
void setCurrentRenderScale(double scale);

}  // namespace kit
