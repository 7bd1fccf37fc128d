#include "kit/graphics/Transitions.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace kit {
namespace {

// Camera distance in card widths: the near edge grows to 1.3 times its height when edge-on.
constexpr double kFlipCameraDistance = 2.2;
// How dark a card gets when edge-on.
constexpr double kFlipShade = 0.5;

// Curl: the light back of the page is at most this part of the view's height, and the shadows
// reach this far.
constexpr double kCurlBackFraction = 0.2;
constexpr double kCurlShadowPoints = 14;

void setPictureSource(cairo_t* cr, TransitionPicture picture) {
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(picture.surface);
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, picture.scale, picture.scale);
  cairo_pattern_set_matrix(pattern, &m);
  // Pictures are taken at the density they are shown at, so they are mostly copied pixel for
  // pixel (Cairo then samples nothing); otherwise a bilinear filter is fast and good enough.
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

// The premultiplied pixel `p` with its colour scaled by `f256` / 256, alpha kept.
inline uint32_t darkened(uint32_t p, uint32_t f256) {
  uint32_t redBlue = (((p & 0xff00ffu) * f256) >> 8) & 0xff00ffu;
  uint32_t green = (((p & 0xff00u) * f256) >> 8) & 0xff00u;
  return (p & 0xff000000u) | redBlue | green;
}

// `source` over `target`, with `source` weighted by `coverage` / 256 (premultiplied ARGB32).
inline uint32_t over(uint32_t source, uint32_t target, uint32_t coverage) {
  auto scale = [](uint32_t p, uint32_t f) {
    return ((((p & 0xff00ffu) * f) >> 8) & 0xff00ffu) |
           ((((p >> 8) & 0xff00ffu) * f) & 0xff00ff00u);
  };
  if (coverage < 256) source = scale(source, coverage);
  uint32_t keep = 256 - ((source >> 24) + ((source >> 24) >> 7));
  return source + scale(target, keep);
}

// Pixels in place, their colour scaled by `f256` / 256 and made opaque: a premultiplied pixel
// over black keeps its colour. Four at a time in 16-bit lanes.
void shadeOverBlack(uint32_t* pixels, int count, uint32_t f256) {
  using Pixels = uint32_t __attribute__((vector_size(16)));
  using Lanes = uint16_t __attribute__((vector_size(16)));
  const Lanes factor = static_cast<uint16_t>(f256) - Lanes{};
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    Pixels p;
    std::memcpy(&p, pixels + i, sizeof p);
    Pixels redBlue =
        reinterpret_cast<Pixels>((reinterpret_cast<Lanes>(p & 0xff00ffu) * factor) >> 8);
    Pixels green =
        reinterpret_cast<Pixels>((reinterpret_cast<Lanes>((p >> 8) & 0xffu) * factor) >> 8) << 8;
    p = redBlue | green | 0xff000000u;
    std::memcpy(pixels + i, &p, sizeof p);
  }
  for (; i < count; ++i) pixels[i] = darkened(pixels[i], f256) | 0xff000000u;
}

// The card of a flip, turned by `angle` about the vertical centre line of `size`, drawn straight
// into the pixels of an image surface: for each device column, the picture's column that lands
// there and how much it is stretched; then row by row, a nearest-pixel lookup. The card's edges
// are anti-aliased by the part of each edge pixel they cover. Pixels of the view's rectangle
// that the card leaves are black.
struct FlipTarget {
  uint8_t* pixels;
  int stride;
  int x0, y0, x1, y1;       // the pixels that may be written (the clip), half-open
  double originX, originY;  // the view's top-left corner, in those pixels
  double scaleX, scaleY;    // pixels per point
};

// Per column of the card: the picture's column, its row as a linear function of the device row
// (16.16 fixed point), its top and bottom edges, and the part of the column's width it covers.
struct FlipColumn {
  const uint32_t* source;
  int64_t rowAt0;
  int64_t rowStep;
  float top, bottom;
  uint32_t coverage;
};

// Reused from frame to frame: per column, the column itself; the rows where the card covers it
// whole and the picture's row needs no clamping (first row, then end row), so that the common
// pixel is a plain lookup; and that lookup (row at 0, step, picture column).
thread_local std::vector<FlipColumn> flipColumns;
thread_local std::vector<int32_t> flipWholeRows;
thread_local std::vector<int32_t> flipLookups;

// One flip frame into a target, in steps: where the view and the card land, each column of the
// card measured, the rows covered whole narrowed to one run a row, then the rows drawn.
class FlipRaster {
 public:
  FlipRaster(const FlipTarget& t, Size size, TransitionPicture picture, double angle,
             double nearSide, double shade)
      : t_(t),
        picture_(picture),
        w_(size.width),
        h_(size.height),
        cosine_(std::cos(angle)),
        sine_(std::sin(angle)),
        camera_(kFlipCameraDistance * size.width),
        nearSide_(nearSide),
        shade256_(static_cast<uint32_t>(std::lround((1 - shade) * 256))) {}

  void draw() {
    placeView();
    placeCard();
    if (card_) {
      measureColumns();
      narrowWholeRows();
    }
    int rowFirst = std::min(viewTop_, cardTop_), rowEnd = std::max(viewBottom_, cardBottom_);
    for (int y = rowFirst; y < rowEnd; ++y) drawRow(y);
  }

 private:
  // The view's rectangle in pixels, within the clip.
  void placeView() {
    viewLeft_ = std::max(t_.x0, static_cast<int>(std::lround(t_.originX)));
    viewRight_ = std::min(t_.x1, static_cast<int>(std::lround(t_.originX + w_ * t_.scaleX)));
    viewTop_ = std::max(t_.y0, static_cast<int>(std::lround(t_.originY)));
    viewBottom_ = std::min(t_.y1, static_cast<int>(std::lround(t_.originY + h_ * t_.scaleY)));
    viewRight_ = std::max(viewLeft_, viewRight_);
    viewBottom_ = std::max(viewTop_, viewBottom_);
    cardTop_ = viewTop_;
    cardBottom_ = viewBottom_;
  }

  // The card's left and right edges and the device columns it may touch; no card when it is
  // edge-on, has no picture or lies outside the clip.
  void placeCard() {
    card_ = picture_.surface && cosine_ >= 1e-3;
    if (card_) {
      pictureWidth_ = cairo_image_surface_get_width(picture_.surface);
      pictureHeight_ = cairo_image_surface_get_height(picture_.surface);
      rowWords_ = static_cast<size_t>(cairo_image_surface_get_stride(picture_.surface) / 4);
      pixels_ = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(picture_.surface));
      double cx = w_ / 2;
      auto project = [&](double u) {
        return cx + u * cosine_ * camera_ / (camera_ - nearSide_ * u * sine_);
      };
      cardLeft_ = t_.originX + project(-w_ / 2) * t_.scaleX;
      cardRight_ = t_.originX + project(w_ / 2) * t_.scaleX;
    }
    columnFirst_ = card_ ? std::max(t_.x0, static_cast<int>(std::floor(cardLeft_))) : 0;
    columnEnd_ = card_ ? std::min(t_.x1, static_cast<int>(std::ceil(cardRight_))) : 0;
    if (columnEnd_ <= columnFirst_) card_ = false;
    if (!card_) columnFirst_ = columnEnd_ = viewLeft_;
    columnCount_ = columnEnd_ - columnFirst_;
  }

  // Every column of the card, the rows it covers, and the one run of columns covered whole
  // across their width inside the view.
  void measureColumns() {
    size_t n = static_cast<size_t>(columnCount_);
    flipColumns.resize(n);
    flipWholeRows.resize(2 * n);
    flipLookups.resize(3 * n);
    double topMost = 1e9, bottomMost = -1e9;
    for (int x = columnFirst_; x < columnEnd_; ++x) {
      size_t i = static_cast<size_t>(x - columnFirst_);
      measureColumn(x, i);
      if (flipColumns[i].coverage == 256 && x >= viewLeft_ && x < viewRight_) {
        if (runLimitFirst_ < 0) runLimitFirst_ = static_cast<int>(i);
        runLimitEnd_ = static_cast<int>(i) + 1;
      }
      topMost = std::min(topMost, static_cast<double>(flipColumns[i].top));
      bottomMost = std::max(bottomMost, static_cast<double>(flipColumns[i].bottom));
    }
    cardTop_ = std::min(cardTop_, std::max(t_.y0, static_cast<int>(std::floor(topMost))));
    cardBottom_ = std::max(cardBottom_, std::min(t_.y1, static_cast<int>(std::ceil(bottomMost))));
  }

  // Device column `x`, the card's column `i`: where it samples the picture and the rows it
  // covers whole.
  void measureColumn(int x, size_t i) {
    double cx = w_ / 2, cy = h_ / 2;
    double center = ((x + 0.5) - t_.originX) / t_.scaleX - cx;
    double u = center * camera_ / (cosine_ * camera_ + nearSide_ * center * sine_);
    double k = camera_ / (camera_ - nearSide_ * u * sine_);
    int sourceX = std::clamp(static_cast<int>((u + cx) * picture_.scale), 0, pictureWidth_ - 1);
    // The picture's row under the centre of device row y:
    // scale * (cy + ((y + 0.5 - originY) / scaleY - cy) / k).
    double step = picture_.scale / (t_.scaleY * k);
    double at0 = picture_.scale * (cy - cy / k) + (0.5 - t_.originY) * step;
    double top = t_.originY + (cy - cy * k) * t_.scaleY;
    double bottom = t_.originY + (cy + cy * k) * t_.scaleY;
    double covered = std::min<double>(x + 1, cardRight_) - std::max<double>(x, cardLeft_);
    FlipColumn& c = flipColumns[i];
    c = {pixels_ + sourceX,
         std::llround(at0 * 65536),
         std::llround(step * 65536),
         static_cast<float>(top),
         static_cast<float>(bottom),
         static_cast<uint32_t>(std::lround(std::clamp(covered, 0.0, 1.0) * 256))};
    const int lastRow = pictureHeight_ - 1;
    auto sourceRow = [&c](int y) { return (c.rowAt0 + c.rowStep * y) >> 16; };
    int wholeTop = std::max(static_cast<int>(std::ceil(top)), viewTop_);
    int wholeBottom = std::min(static_cast<int>(std::floor(bottom)), viewBottom_);
    while (wholeTop < wholeBottom && sourceRow(wholeTop) < 0) ++wholeTop;
    while (wholeTop < wholeBottom && sourceRow(wholeBottom - 1) > lastRow) --wholeBottom;
    // Beyond this the 32-bit lookup of drawRow could overflow; such columns take the careful way.
    constexpr int64_t kLimit = int64_t{1} << 30;
    const int64_t rowBound = std::max(std::abs(t_.y0), std::abs(t_.y1));
    if (std::abs(c.rowAt0) >= kLimit || std::abs(c.rowStep) * rowBound >= kLimit) {
      wholeTop = wholeBottom = 0;
    }
    flipWholeRows[2 * i] = wholeTop;
    flipWholeRows[2 * i + 1] = std::max(wholeTop, wholeBottom);
    flipLookups[3 * i] = static_cast<int32_t>(c.rowAt0);
    flipLookups[3 * i + 1] = static_cast<int32_t>(c.rowStep);
    flipLookups[3 * i + 2] = sourceX;
  }

  // The column `i` places from the card's near edge.
  int fromNear(int i) const { return nearSide_ > 0 ? columnCount_ - 1 - i : i; }

  // The card's near edge is its tallest column. Going from there towards the far edge, the rows
  // covered whole only shrink, up to rounding; narrowed to that, the columns covered whole in a
  // row are one run that starts at the near edge.
  void narrowWholeRows() {
    int32_t* whole = flipWholeRows.data();
    for (int i = 1; i < columnCount_; ++i) {
      int here = fromNear(i), nearer = fromNear(i - 1);
      whole[2 * here] = std::max(whole[2 * here], whole[2 * nearer]);
      whole[2 * here + 1] =
          std::max(whole[2 * here], std::min(whole[2 * here + 1], whole[2 * nearer + 1]));
    }
  }

  // One pixel of the card that may be partly covered, outside the view or beyond the picture.
  void edgePixel(uint32_t* row, int x, int y) const {
    const FlipColumn& c = flipColumns[static_cast<size_t>(x - columnFirst_)];
    bool inViewHere = y >= viewTop_ && y < viewBottom_ && x >= viewLeft_ && x < viewRight_;
    float covered =
        std::min(static_cast<float>(y + 1), c.bottom) - std::max(static_cast<float>(y), c.top);
    if (covered <= 0) {
      if (inViewHere) row[x] = 0xff000000u;
      return;
    }
    int sourceY = static_cast<int>(
        std::clamp<int64_t>((c.rowAt0 + c.rowStep * y) >> 16, 0, pictureHeight_ - 1));
    uint32_t sample = darkened(c.source[static_cast<size_t>(sourceY) * rowWords_], shade256_);
    uint32_t coverage =
        static_cast<uint32_t>(std::min(covered, 1.0f) * static_cast<float>(c.coverage));
    row[x] = over(sample, inViewHere ? 0xff000000u : row[x], coverage);
  }

  // Row `y`: black beside the card inside the view, the card's edge pixels with care, and the
  // run covered whole as a plain lookup, shaded.
  void drawRow(int y) const {
    uint32_t* __restrict row =
        reinterpret_cast<uint32_t*>(t_.pixels + static_cast<size_t>(y) * t_.stride);
    if (y >= viewTop_ && y < viewBottom_) {
      std::fill(row + viewLeft_, row + std::clamp(columnFirst_, viewLeft_, viewRight_),
                0xff000000u);
      std::fill(row + std::clamp(columnEnd_, viewLeft_, viewRight_), row + viewRight_, 0xff000000u);
    }
    if (!card_) return;
    // The run covered whole: how many columns from the near edge, by bisection.
    const int32_t* whole = flipWholeRows.data();
    int lo = 0, hi = columnCount_;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      int i = fromNear(mid);
      if (whole[2 * i] <= y && y < whole[2 * i + 1])
        lo = mid + 1;
      else
        hi = mid;
    }
    bool nearRight = nearSide_ > 0;
    int runFirst = std::max(nearRight ? columnCount_ - lo : 0, runLimitFirst_);
    int runEnd = std::max(runFirst, std::min(nearRight ? columnCount_ : lo, runLimitEnd_));
    for (int i = 0; i < runFirst; ++i) edgePixel(row, columnFirst_ + i, y);
    for (int i = runEnd; i < columnCount_; ++i) edgePixel(row, columnFirst_ + i, y);
    const int32_t* __restrict lookups = flipLookups.data();
    const uint32_t* __restrict source = pixels_;
    const int rowWords32 = static_cast<int>(rowWords_);
    uint32_t* __restrict out = row + columnFirst_;
    for (int i = runFirst; i < runEnd; ++i) {
      const int32_t* l = lookups + 3 * i;
      int sourceY = (l[0] + l[1] * y) >> 16;
      out[i] = source[sourceY * rowWords32 + l[2]];
    }
    shadeOverBlack(out + runFirst, runEnd - runFirst, shade256_);
  }

  const FlipTarget& t_;
  const TransitionPicture picture_;
  const double w_, h_;
  const double cosine_, sine_;
  const double camera_;
  const double nearSide_;
  const uint32_t shade256_;
  int viewLeft_ = 0, viewRight_ = 0, viewTop_ = 0, viewBottom_ = 0;
  bool card_ = false;
  int pictureWidth_ = 0, pictureHeight_ = 0;
  size_t rowWords_ = 0;
  const uint32_t* pixels_ = nullptr;
  double cardLeft_ = 0, cardRight_ = 0;
  int columnFirst_ = 0, columnEnd_ = 0, columnCount_ = 0;
  int cardTop_ = 0, cardBottom_ = 0;
  // The columns that are covered whole across their width and lie in the view: one run.
  int runLimitFirst_ = -1, runLimitEnd_ = 0;
};

void rasterizeFlip(const FlipTarget& t, Size size, TransitionPicture picture, double angle,
                   double nearSide, double shade) {
  FlipRaster(t, size, picture, angle, nearSide, shade).draw();
}

// The flip drawn into the target of `cr` when that is an image surface seen without rotation;
// false otherwise.
bool drawFlipDirect(cairo_t* cr, Size size, TransitionPicture picture, double angle,
                    double nearSide, double shade) {
  cairo_surface_t* target = cairo_get_group_target(cr);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  cairo_format_t format = cairo_image_surface_get_format(target);
  if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) return false;
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  if (m.xy != 0 || m.yx != 0 || m.xx <= 0 || m.yy <= 0) return false;
  double offsetX = 0, offsetY = 0;
  cairo_surface_get_device_offset(target, &offsetX, &offsetY);
  // The clip's extents, in device pixels.
  double cx0, cy0, cx1, cy1;
  cairo_clip_extents(cr, &cx0, &cy0, &cx1, &cy1);
  cairo_user_to_device(cr, &cx0, &cy0);
  cairo_user_to_device(cr, &cx1, &cy1);
  FlipTarget t;
  t.scaleX = m.xx;
  t.scaleY = m.yy;
  t.originX = m.x0 + offsetX;
  t.originY = m.y0 + offsetY;
  t.x0 = std::max(0, static_cast<int>(std::floor(cx0 + offsetX + 1e-6)));
  t.y0 = std::max(0, static_cast<int>(std::floor(cy0 + offsetY + 1e-6)));
  t.x1 = std::min(cairo_image_surface_get_width(target),
                  static_cast<int>(std::ceil(cx1 + offsetX - 1e-6)));
  t.y1 = std::min(cairo_image_surface_get_height(target),
                  static_cast<int>(std::ceil(cy1 + offsetY - 1e-6)));
  if (t.x1 <= t.x0 || t.y1 <= t.y0) return true;
  cairo_surface_flush(target);
  t.pixels = cairo_image_surface_get_data(target);
  t.stride = cairo_image_surface_get_stride(target);
  rasterizeFlip(t, size, picture, angle, nearSide, shade);
  cairo_surface_mark_dirty_rectangle(target, t.x0, t.y0, t.x1 - t.x0, t.y1 - t.y0);
  return true;
}

void drawFlip(cairo_t* cr, Size size, TransitionPicture before, TransitionPicture after,
              double progress, bool fromRight) {
  // One card: the old picture on its front, the new one on its back. The edge that comes towards
  // the viewer in the first half lies on the other side once the card has turned over.
  bool firstHalf = progress < 0.5;
  double angle = (firstHalf ? progress : 1 - progress) * std::numbers::pi;
  double nearSide = (firstHalf == fromRight) ? 1 : -1;
  TransitionPicture picture = firstHalf ? before : after;
  double shade = kFlipShade * std::sin(angle);
  if (drawFlipDirect(cr, size, picture, angle, nearSide, shade)) return;
  // Turned or sheared on screen: drawn upright at the device's density first.
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double scale = std::clamp(std::sqrt(std::abs(m.xx * m.yy - m.xy * m.yx)), 0.25, 4.0);
  int overhang = static_cast<int>(std::ceil(size.height * scale / 2));
  int width = static_cast<int>(std::ceil(size.width * scale));
  int height = static_cast<int>(std::ceil(size.height * scale)) + 2 * overhang;
  cairo_surface_t* upright = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  FlipTarget t{cairo_image_surface_get_data(upright),
               cairo_image_surface_get_stride(upright),
               0,
               0,
               width,
               height,
               0,
               static_cast<double>(overhang),
               scale,
               scale};
  rasterizeFlip(t, size, picture, angle, nearSide, shade);
  cairo_surface_mark_dirty(upright);
  cairo_save(cr);
  TransitionPicture whole{upright, scale};
  cairo_translate(cr, 0, -overhang / scale);
  setPictureSource(cr, whole);
  cairo_rectangle(cr, 0, 0, width / scale, height / scale);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(upright);
}

double curlShadow(double h) {
  return std::min(kCurlShadowPoints, h / 4);
}

// The fold line of a curl up: from the bottom edge to just beyond the top, so that its shadow
// leaves too.
double curlFold(double h, double progress) {
  return h - progress * (h + curlShadow(h));
}

void fillVerticalGradient(cairo_t* cr, double x, double width, double fromY, double toY, double r,
                          double g, double b, double fromAlpha, double toAlpha) {
  cairo_pattern_t* gradient = cairo_pattern_create_linear(0, fromY, 0, toY);
  cairo_pattern_add_color_stop_rgba(gradient, 0, r, g, b, fromAlpha);
  cairo_pattern_add_color_stop_rgba(gradient, 1, r, g, b, toAlpha);
  cairo_set_source(cr, gradient);
  cairo_rectangle(cr, x, std::min(fromY, toY), width, std::abs(toY - fromY));
  cairo_fill(cr);
  cairo_pattern_destroy(gradient);
}

// The back of the peeled part, `back` high above the fold: the old picture mirrored at the fold,
// pale and see-through, shaded like a roll: darker at the fold and at its far edge, brightest in
// between. Each layer goes straight onto the screen, weighted, rather than through a group of its
// own.
void drawCurlBack(cairo_t* cr, double w, double h, TransitionPicture before, double fold,
                  double back, bool flipped) {
  if (back <= 0) return;
  constexpr double kBackOpacity = 0.9;
  cairo_save(cr);
  cairo_rectangle(cr, 0, fold - back, w, back);
  cairo_clip(cr);
  cairo_save(cr);
  cairo_translate(cr, 0, 2 * fold);
  cairo_scale(cr, 1, -1);
  if (before.surface) {
    if (flipped) {
      cairo_translate(cr, 0, h);
      cairo_scale(cr, 1, -1);
    }
    setPictureSource(cr, before);
    cairo_paint_with_alpha(cr, kBackOpacity);
  }
  cairo_restore(cr);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.6 * kBackOpacity);
  cairo_paint(cr);
  cairo_pattern_t* roll = cairo_pattern_create_linear(0, fold, 0, fold - back);
  cairo_pattern_add_color_stop_rgba(roll, 0, 0, 0, 0, 0.3 * kBackOpacity);
  cairo_pattern_add_color_stop_rgba(roll, 0.35, 1, 1, 1, 0.25 * kBackOpacity);
  cairo_pattern_add_color_stop_rgba(roll, 1, 0, 0, 0, 0.15 * kBackOpacity);
  cairo_set_source(cr, roll);
  cairo_paint(cr);
  cairo_pattern_destroy(roll);
  cairo_restore(cr);
}

// `y` moved to the nearest edge between device pixel rows.
double snapToDeviceRow(cairo_t* cr, double y) {
  double x = 0;
  cairo_user_to_device(cr, &x, &y);
  y = std::round(y);
  cairo_device_to_user(cr, &x, &y);
  return y;
}

// Curl up in the current user space; a curl down runs in a space flipped upside down, where
// `flipped` turns the pictures back the right way up.
void drawCurl(cairo_t* cr, Size size, TransitionPicture before, TransitionPicture after,
              double progress, bool flipped) {
  double w = size.width, h = size.height;
  auto paint = [&](TransitionPicture picture) {
    if (!picture.surface) return;
    cairo_save(cr);
    if (flipped) {
      cairo_translate(cr, 0, h);
      cairo_scale(cr, 1, -1);
    }
    setPictureSource(cr, picture);
    // Over what lies below, an opaque picture is the same as its copy, which costs less.
    if (picture.opaque) cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_restore(cr);
  };
  double shadow = curlShadow(h);
  // The fold lies between pixel rows: two pictures meeting inside a row each cover part of it, and
  // what lies under them shows through the seam.
  double fold = snapToDeviceRow(cr, curlFold(h, progress));
  double peeled = h - fold;
  double back = std::min(peeled, kCurlBackFraction * h);

  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, w, h);
  cairo_clip(cr);

  // The new page below the fold, darkened where the curl hangs over it.
  cairo_save(cr);
  cairo_rectangle(cr, 0, fold, w, h - fold);
  cairo_clip(cr);
  paint(after);
  cairo_restore(cr);
  fillVerticalGradient(cr, 0, w, fold, fold + shadow, 0, 0, 0, 0.45, 0);

  // The old page above the fold, with the shadow the curl casts on it.
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, w, std::max(0.0, fold));
  cairo_clip(cr);
  paint(before);
  fillVerticalGradient(cr, 0, w, fold - back, fold - back - shadow, 0, 0, 0, 0.35, 0);
  cairo_restore(cr);

  drawCurlBack(cr, w, h, before, fold, back, flipped);
  cairo_restore(cr);
}

}  // namespace

void paintPicture(cairo_t* cr, TransitionPicture picture) {
  if (!picture.surface) return;
  cairo_save(cr);
  setPictureSource(cr, picture);
  // The source pads its edges outwards, so only the picture's own rectangle is filled.
  cairo_rectangle(cr, 0, 0, cairo_image_surface_get_width(picture.surface) / picture.scale,
                  cairo_image_surface_get_height(picture.surface) / picture.scale);
  cairo_fill(cr);
  cairo_restore(cr);
}

Rect curlRevealed(AnimationTransition kind, Size size, double progress) {
  double h = size.height;
  double fold = std::clamp(curlFold(h, std::clamp(progress, 0.0, 1.0)), 0.0, h);
  if (kind == AnimationTransition::CurlDown) return {{0, 0}, {size.width, h - fold}};
  return {{0, fold}, {size.width, h - fold}};
}

void drawTransition(cairo_t* cr, AnimationTransition kind, Size size, TransitionPicture before,
                    TransitionPicture after, double progress) {
  progress = std::clamp(progress, 0.0, 1.0);
  switch (kind) {
    case AnimationTransition::FlipFromRight:
    case AnimationTransition::FlipFromLeft:
      drawFlip(cr, size, before, after, progress, kind == AnimationTransition::FlipFromRight);
      break;
    case AnimationTransition::CurlUp:
      drawCurl(cr, size, before, after, progress, false);
      break;
    case AnimationTransition::CurlDown:
      cairo_save(cr);
      cairo_translate(cr, 0, size.height);
      cairo_scale(cr, 1, -1);
      drawCurl(cr, size, before, after, progress, true);
      cairo_restore(cr);
      break;
    case AnimationTransition::None:
      paintPicture(cr, progress < 1 ? before : after);
      break;
  }
}

}  // namespace kit
