#pragma once

#include <memory>
#include <string>

#include "Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace kit {

// A picture from the resources folder. Loaded once per name and kept; on a screen scale of 1.5
// or more the "name@2x.ext" file is used when it exists, so pictures stay sharp.
class Image {
 public:
  // The picture named `name` ("bg_form.png"), or nullptr (logged once) when there is none.
  static std::shared_ptr<const Image> imageNamed(const std::string& name);
  // Where pictures are looked up; by default the build's resources folder.
  static void setResourceDirectory(const std::string& directory);
  static const std::string& resourceDirectory();
  // Drops every cached picture (tests that switch scale or folder).
  static void clearCache();

  explicit Image(cairo_surface_t* surface, double scale);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  Size size() const;  // in points
  double scale() const { return scale_; }
  cairo_surface_t* surface() const { return surface_; }

 private:
  cairo_surface_t* surface_;
  double scale_;
};

}  // namespace kit
