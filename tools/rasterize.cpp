// Renders one SVG artwork source to a PNG or JPEG picture at a given scale.
//
//   rasterize SOURCE.svg SCALE OUTPUT.png|OUTPUT.jpg
//
// The picture is SCALE times the SVG's own width and height (1 for normal screens, 2 for HiDPI).
// A JPEG has no alpha, so it is drawn over white and saved at quality 92.

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int fail(const std::string& message, GError* error = nullptr) {
  std::fprintf(stderr, "rasterize: %s%s%s\n", message.c_str(), error ? ": " : "",
               error ? error->message : "");
  if (error) g_error_free(error);
  return 1;
}

// Copies an RGB24 surface (one native-endian 0x00RRGGBB word per pixel) into an RGB pixbuf.
GdkPixbuf* toPixbuf(cairo_surface_t* surface) {
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
  if (!pixbuf) return nullptr;
  const unsigned char* from = cairo_image_surface_get_data(surface);
  const int fromStride = cairo_image_surface_get_stride(surface);
  unsigned char* to = gdk_pixbuf_get_pixels(pixbuf);
  const int toStride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(from + y * fromStride);
    unsigned char* out = to + y * toStride;
    for (int x = 0; x < width; ++x) {
      out[3 * x] = (row[x] >> 16) & 0xFF;
      out[3 * x + 1] = (row[x] >> 8) & 0xFF;
      out[3 * x + 2] = row[x] & 0xFF;
    }
  }
  return pixbuf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: rasterize SOURCE.svg SCALE OUTPUT.png|OUTPUT.jpg\n");
    return 2;
  }
  const std::string source = argv[1];
  const double scale = std::atof(argv[2]);
  const std::string output = argv[3];
  const bool jpeg = endsWith(output, ".jpg") || endsWith(output, ".jpeg");
  if (scale <= 0) return fail("scale must be a positive number");
  if (!jpeg && !endsWith(output, ".png")) return fail("output must end in .png or .jpg");

  GError* error = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_file(source.c_str(), &error);
  if (!handle) return fail("cannot read " + source, error);
  rsvg_handle_set_dpi(handle, 96);

  double width = 0;
  double height = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
    g_object_unref(handle);
    return fail(source + " needs a width and height of its own");
  }

  const int pixelWidth = static_cast<int>(std::lround(width * scale));
  const int pixelHeight = static_cast<int>(std::lround(height * scale));
  cairo_surface_t* surface = cairo_image_surface_create(
      jpeg ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
  cairo_t* cr = cairo_create(surface);
  if (jpeg) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
  }
  cairo_scale(cr, scale, scale);
  const RsvgRectangle viewport = {0, 0, width, height};
  const bool rendered = rsvg_handle_render_document(handle, cr, &viewport, &error);
  cairo_destroy(cr);
  g_object_unref(handle);
  if (!rendered) {
    cairo_surface_destroy(surface);
    return fail("cannot render " + source, error);
  }
  cairo_surface_flush(surface);

  int status = 0;
  if (jpeg) {
    GdkPixbuf* pixbuf = toPixbuf(surface);
    if (!pixbuf) {
      status = fail("cannot convert the picture for JPEG");
    } else {
      if (!gdk_pixbuf_save(pixbuf, output.c_str(), "jpeg", &error, "quality", "92", nullptr)) {
        status = fail("cannot write " + output, error);
      }
      g_object_unref(pixbuf);
    }
  } else if (cairo_surface_write_to_png(surface, output.c_str()) != CAIRO_STATUS_SUCCESS) {
    status = fail("cannot write " + output);
  }
  cairo_surface_destroy(surface);
  return status;
}
