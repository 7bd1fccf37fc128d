#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/base/Geometry.h"

typedef struct _cairo_surface cairo_surface_t;

namespace kit {

// A picture from the resources folder. Found once per name and kept, but decoded only when first
// drawn (a picture on a screen never shown costs nothing); on a screen scale above 1 the
// "name@2x.ext" file is used when it exists, so pictures stay sharp.
class Image {
 public:
  // The picture named `name` ("bg_form.png"), or nullptr (logged once) when there is none.
  static std::shared_ptr<const Image> imageNamed(const std::string& name);
  // Where pictures are looked up; by default the build's resources folder.
  static void setResourceDirectory(const std::string& directory);
  static const std::string& resourceDirectory();
  // Drops every cached picture (tests that switch scale or folder).
  static void clearCache();
  // The decoding of every picture found but not decoded yet, as work for another thread; the
  // function it returns takes the pixels in, on the calling thread. Empty when there is nothing
  // to decode or that work is already under way.
  static std::function<std::function<void()>()> decodePending();

  explicit Image(cairo_surface_t* surface, double scale);
  // The picture in the file at `path`, of `pixelSize`, decoded when first asked for.
  Image(std::string path, Size pixelSize, double scale);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  Size size() const;  // in points
  double scale() const { return scale_; }
  // The decoded pixels; nullptr if the file could not be decoded (logged).
  cairo_surface_t* surface() const;
  // The picture resampled to `width` x `height` pixels with good filtering, made once and kept
  // (a few sizes per picture), so that drawing it at that size is a plain copy. A picture from a
  // file shown at one size again lets go of its own pixels, which the file gives again if needed.
  cairo_surface_t* surfaceOfPixelSize(int width, int height) const;
  // Whether the picture has pixels (it could be decoded), and whether they are all opaque:
  // decoded once to find out.
  bool hasPixels() const;
  bool isOpaque() const;

 private:
  struct Rendition {
    int width;
    int height;
    cairo_surface_t* surface;
  };
  enum class Decoded { NotYet, Failed, Translucent, Opaque };
  // Takes in the pixels decoded from the file on another thread, unless decoded already.
  void install(cairo_surface_t* decoded) const;
  // Takes in the pixels decoded from the file (nullptr: it could not be decoded).
  void take(cairo_surface_t* decoded) const;
  mutable cairo_surface_t* surface_ = nullptr;
  std::string path_;  // the file, for an image read from one
  mutable Decoded decoded_ = Decoded::NotYet;
  mutable bool decoding_ = false;  // on another thread
  Size pixelSize_;
  double scale_;
  mutable std::vector<Rendition> renditions_;  // most recently used first
};

}  // namespace kit
