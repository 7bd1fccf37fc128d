#include "kit/graphics/Image.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "kit/base/Files.h"
#include "kit/base/Log.h"
#include "kit/graphics/Drawing.h"

#ifndef KIT_RESOURCE_DIR
#define KIT_RESOURCE_DIR "resources"
#endif

namespace kit {
namespace {

struct ImageCache {
  std::string directory = KIT_RESOURCE_DIR;
  // Keyed by name and by whether double-density files were preferred; misses are kept as null.
  std::map<std::pair<std::string, bool>, std::shared_ptr<const Image>> images;
  std::set<std::string> reportedMissing;
};

ImageCache& cache() {
  static ImageCache instance;
  return instance;
}

// Converts decoded pixels to Cairo's premultiplied native-endian ARGB.
cairo_surface_t* surfaceFromPixbuf(const GdkPixbuf* pixbuf) {
  int width = gdk_pixbuf_get_width(pixbuf);
  int height = gdk_pixbuf_get_height(pixbuf);
  int channels = gdk_pixbuf_get_n_channels(pixbuf);
  bool hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf);
  int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
  const guchar* source = gdk_pixbuf_read_pixels(pixbuf);
  cairo_surface_t* surface = cairo_image_surface_create(
      hasAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* target = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  auto premultiply = [](uint32_t c, uint32_t a) { return (c * a + 127) / 255; };
  for (int y = 0; y < height; ++y) {
    const guchar* in = source + static_cast<size_t>(y) * rowstride;
    auto* out = reinterpret_cast<uint32_t*>(target + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x, in += channels) {
      uint32_t a = hasAlpha ? in[3] : 255;
      out[x] = a << 24 | premultiply(in[0], a) << 16 | premultiply(in[1], a) << 8 |
               premultiply(in[2], a);
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

cairo_surface_t* loadSurface(const std::string& path) {
  if (!fileExists(path)) return nullptr;
  // PNG files decode straight into premultiplied pixels through Cairo.
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) return surface;
    cairo_surface_destroy(surface);
  }
  GError* error = nullptr;
  GdkPixbuf* decoded = gdk_pixbuf_new_from_file(path.c_str(), &error);
  if (!decoded) {
    log("Could not read picture %s: %s", path.c_str(), error ? error->message : "unknown error");
    if (error) g_error_free(error);
    return nullptr;
  }
  // Photographs may carry their upright orientation as a tag.
  GdkPixbuf* upright = gdk_pixbuf_apply_embedded_orientation(decoded);
  g_object_unref(decoded);
  if (!upright) return nullptr;
  cairo_surface_t* surface = surfaceFromPixbuf(upright);
  g_object_unref(upright);
  return surface;
}

// "stem.ext" becomes "stem@2x.ext"; a name without extension gets "@2x" at the end.
std::string doubleDensityName(const std::string& name) {
  auto slash = name.find_last_of('/');
  auto dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return name + "@2x";
  }
  return name.substr(0, dot) + "@2x" + name.substr(dot);
}

// The picture at `path` if its header names a size; decoded later.
std::shared_ptr<const Image> find(const std::string& path, double scale) {
  if (!fileExists(path)) return nullptr;
  int width = 0, height = 0;
  if (!gdk_pixbuf_get_file_info(path.c_str(), &width, &height) || width <= 0 || height <= 0) {
    return nullptr;
  }
  return std::make_shared<const Image>(path, Size{double(width), double(height)}, scale);
}

std::shared_ptr<const Image> load(const std::string& name, bool preferDoubleDensity) {
  const std::string& directory = cache().directory;
  std::string prefix = directory.empty() ? std::string() : directory + "/";
  if (preferDoubleDensity) {
    if (auto image = find(prefix + doubleDensityName(name), 2.0)) return image;
  }
  return find(prefix + name, 1.0);
}

}  // namespace

std::shared_ptr<const Image> Image::imageNamed(const std::string& name) {
  ImageCache& images = cache();
  auto key = std::make_pair(name, currentRenderScale() > 1);
  auto found = images.images.find(key);
  if (found != images.images.end()) return found->second;
  std::shared_ptr<const Image> image = load(name, key.second);
  if (!image && images.reportedMissing.insert(name).second) {
    log("No picture named %s in %s", name.c_str(), images.directory.c_str());
  }
  images.images.emplace(key, image);
  return image;
}

void Image::setResourceDirectory(const std::string& directory) {
  cache().directory = directory;
  clearCache();
}

const std::string& Image::resourceDirectory() {
  return cache().directory;
}

void Image::clearCache() {
  cache().images.clear();
  cache().reportedMissing.clear();
}

Image::Image(cairo_surface_t* surface, double scale) : surface_(surface), scale_(scale) {
  if (surface_) {
    pixelSize_ = {double(cairo_image_surface_get_width(surface_)),
                  double(cairo_image_surface_get_height(surface_))};
    decoded_ = cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24
                   ? Decoded::Opaque
                   : Decoded::Translucent;
  } else {
    decoded_ = Decoded::Failed;
  }
}

Image::Image(std::string path, Size pixelSize, double scale)
    : path_(std::move(path)), pixelSize_(pixelSize), scale_(scale) {}

cairo_surface_t* Image::surface() const {
  // Read again when its pixels were let go of.
  if (!surface_ && decoded_ != Decoded::Failed && !path_.empty()) take(loadSurface(path_));
  return surface_;
}

void Image::install(cairo_surface_t* decoded) const {
  // Decoded meanwhile (and perhaps let go of again, once resampled): these pixels are not wanted.
  if (decoded_ != Decoded::NotYet || surface_ || path_.empty()) {
    if (decoded) cairo_surface_destroy(decoded);
    return;
  }
  take(decoded);
}

void Image::take(cairo_surface_t* decoded) const {
  surface_ = decoded;
  // A file whose pixels turn out other than its header said is not drawn stretched.
  if (surface_ && (cairo_image_surface_get_width(surface_) != pixelSize_.width ||
                   cairo_image_surface_get_height(surface_) != pixelSize_.height)) {
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
  }
  decoded_ = !surface_ ? Decoded::Failed
             : cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24
                 ? Decoded::Opaque
                 : Decoded::Translucent;
}

std::function<std::function<void()>()> Image::decodePending() {
  std::vector<std::pair<std::shared_ptr<const Image>, std::string>> pending;
  for (const auto& [key, image] : cache().images) {
    if (image && !image->path_.empty() && image->decoded_ == Decoded::NotYet && !image->decoding_) {
      image->decoding_ = true;
      pending.emplace_back(image, image->path_);
    }
  }
  if (pending.empty()) return nullptr;
  return [pending = std::move(pending)]() -> std::function<void()> {
    // Freed with the function if it never runs (the program ends first).
    auto decoded = std::make_shared<std::vector<SurfaceHandle>>();
    for (const auto& [image, path] : pending) decoded->emplace_back(loadSurface(path));
    return [pending, decoded] {
      for (size_t i = 0; i < pending.size(); ++i) {
        pending[i].first->decoding_ = false;
        pending[i].first->install((*decoded)[i].release());
      }
    };
  };
}

bool Image::hasPixels() const {
  if (decoded_ == Decoded::NotYet) surface();
  return decoded_ == Decoded::Opaque || decoded_ == Decoded::Translucent;
}

bool Image::isOpaque() const {
  if (decoded_ == Decoded::NotYet) surface();
  return decoded_ == Decoded::Opaque;
}

Image::~Image() {
  if (surface_) cairo_surface_destroy(surface_);
  for (const Rendition& rendition : renditions_) cairo_surface_destroy(rendition.surface);
}

cairo_surface_t* Image::surfaceOfPixelSize(int width, int height) const {
  if (width <= 0 || height <= 0) return nullptr;
  if (width == pixelSize_.width && height == pixelSize_.height) return surface();
  for (size_t i = 0; i < renditions_.size(); ++i) {
    if (renditions_[i].width == width && renditions_[i].height == height) {
      std::rotate(renditions_.begin(), renditions_.begin() + static_cast<long>(i),
                  renditions_.begin() + static_cast<long>(i) + 1);
      // Shown at this size again, the picture lets go of its own pixels: a full-screen
      // background is not held twice, as read and as shown. (While its size keeps changing, as in
      // a zoom, they stay.)
      if (!path_.empty() && surface_) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
      }
      return renditions_.front().surface;
    }
  }
  if (!surface()) return nullptr;
  int ownWidth = cairo_image_surface_get_width(surface_);
  int ownHeight = cairo_image_surface_get_height(surface_);
  constexpr size_t kRenditionsKept = 4;
  if (renditions_.size() == kRenditionsKept) {
    cairo_surface_destroy(renditions_.back().surface);
    renditions_.pop_back();
  }
  cairo_surface_t* resampled =
      cairo_image_surface_create(cairo_image_surface_get_format(surface_), width, height);
  cairo_t* cr = cairo_create(resampled);
  cairo_scale(cr, static_cast<double>(width) / ownWidth, static_cast<double>(height) / ownHeight);
  cairo_set_source_surface(cr, surface_, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(resampled);
  renditions_.insert(renditions_.begin(), {width, height, resampled});
  return resampled;
}

Size Image::size() const {
  return {pixelSize_.width / scale_, pixelSize_.height / scale_};
}

}  // namespace kit
