#include "kit/ui/Transitions.h"

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

void rasterizeFlip(const FlipTarget& t, Size size, TransitionPicture picture, double angle,
                   double nearSide, double shade) {
  double w = size.width, h = size.height;
  double cosine = std::cos(angle), sine = std::sin(angle);
  double camera = kFlipCameraDistance * w;
  double cx = w / 2, cy = h / 2;
  // The view's rectangle, filled black where the card does not cover it.
  int viewLeft = std::max(t.x0, static_cast<int>(std::lround(t.originX)));
  int viewRight = std::min(t.x1, static_cast<int>(std::lround(t.originX + w * t.scaleX)));
  int viewTop = std::max(t.y0, static_cast<int>(std::lround(t.originY)));
  int viewBottom = std::min(t.y1, static_cast<int>(std::lround(t.originY + h * t.scaleY)));
  viewRight = std::max(viewLeft, viewRight);
  viewBottom = std::max(viewTop, viewBottom);

  bool card = picture.surface && cosine >= 1e-3;
  int pictureWidth = 0, pictureHeight = 0, pictureStride = 0;
  const uint8_t* picturePixels = nullptr;
  double cardLeft = 0, cardRight = 0;
  if (card) {
    pictureWidth = cairo_image_surface_get_width(picture.surface);
    pictureHeight = cairo_image_surface_get_height(picture.surface);
    pictureStride = cairo_image_surface_get_stride(picture.surface);
    picturePixels = cairo_image_surface_get_data(picture.surface);
    auto project = [&](double u) {
      return cx + u * cosine * camera / (camera - nearSide * u * sine);
    };
    cardLeft = t.originX + project(-w / 2) * t.scaleX;
    cardRight = t.originX + project(w / 2) * t.scaleX;
  }
  int columnFirst = card ? std::max(t.x0, static_cast<int>(std::floor(cardLeft))) : 0;
  int columnEnd = card ? std::min(t.x1, static_cast<int>(std::ceil(cardRight))) : 0;
  if (columnEnd <= columnFirst) card = false;
  if (!card) columnFirst = columnEnd = viewLeft;
  const int columnCount = columnEnd - columnFirst;

  // Per column of the card: the picture's column, its row as a linear function of the device
  // row (16.16 fixed point), its top and bottom edges, and the part of the column's width it
  // covers; and the rows where the card covers the column whole and the picture's row needs no
  // clamping, so that the common pixel is a plain lookup.
  struct Column {
    const uint32_t* source;
    int64_t rowAt0;
    int64_t rowStep;
    float top, bottom;
    uint32_t coverage;
  };
  static thread_local std::vector<Column> columnStore;
  static thread_local std::vector<int32_t> wholeStore;   // per column: first row, then end row
  static thread_local std::vector<int32_t> lookupStore;  // per column: row at 0, step, offset
  const size_t rowWords = static_cast<size_t>(pictureStride / 4);
  const int lastRow = pictureHeight - 1;
  int cardTop = viewTop, cardBottom = viewBottom;
  // The columns that are covered whole across their width and lie in the view: one run.
  int runLimitFirst = -1, runLimitEnd = 0;
  if (card) {
    size_t n = static_cast<size_t>(columnCount);
    columnStore.resize(n);
    wholeStore.resize(2 * n);
    lookupStore.resize(3 * n);
    double topMost = 1e9, bottomMost = -1e9;
    const int64_t rowBound = std::max(std::abs(t.y0), std::abs(t.y1));
    for (int x = columnFirst; x < columnEnd; ++x) {
      size_t i = static_cast<size_t>(x - columnFirst);
      double center = ((x + 0.5) - t.originX) / t.scaleX - cx;
      double u = center * camera / (cosine * camera + nearSide * center * sine);
      double k = camera / (camera - nearSide * u * sine);
      int sourceX = std::clamp(static_cast<int>((u + cx) * picture.scale), 0, pictureWidth - 1);
      // The picture's row under the centre of device row y:
      // scale * (cy + ((y + 0.5 - originY) / scaleY - cy) / k).
      double step = picture.scale / (t.scaleY * k);
      double at0 = picture.scale * (cy - cy / k) + (0.5 - t.originY) * step;
      double top = t.originY + (cy - cy * k) * t.scaleY;
      double bottom = t.originY + (cy + cy * k) * t.scaleY;
      double covered = std::min<double>(x + 1, cardRight) - std::max<double>(x, cardLeft);
      Column& c = columnStore[i];
      c = {reinterpret_cast<const uint32_t*>(picturePixels) + sourceX,
           std::llround(at0 * 65536),
           std::llround(step * 65536),
           static_cast<float>(top),
           static_cast<float>(bottom),
           static_cast<uint32_t>(std::lround(std::clamp(covered, 0.0, 1.0) * 256))};
      auto sourceRow = [&c](int y) { return (c.rowAt0 + c.rowStep * y) >> 16; };
      int wholeTop = std::max(static_cast<int>(std::ceil(top)), viewTop);
      int wholeBottom = std::min(static_cast<int>(std::floor(bottom)), viewBottom);
      while (wholeTop < wholeBottom && sourceRow(wholeTop) < 0) ++wholeTop;
      while (wholeTop < wholeBottom && sourceRow(wholeBottom - 1) > lastRow) --wholeBottom;
      // Beyond this the 32-bit lookup below could overflow; such columns take the careful way.
      constexpr int64_t kLimit = int64_t{1} << 30;
      if (std::abs(c.rowAt0) >= kLimit || std::abs(c.rowStep) * rowBound >= kLimit) {
        wholeTop = wholeBottom = 0;
      }
      if (c.coverage == 256 && x >= viewLeft && x < viewRight) {
        if (runLimitFirst < 0) runLimitFirst = static_cast<int>(i);
        runLimitEnd = static_cast<int>(i) + 1;
      }
      wholeStore[2 * i] = wholeTop;
      wholeStore[2 * i + 1] = std::max(wholeTop, wholeBottom);
      lookupStore[3 * i] = static_cast<int32_t>(c.rowAt0);
      lookupStore[3 * i + 1] = static_cast<int32_t>(c.rowStep);
      lookupStore[3 * i + 2] = sourceX;
      topMost = std::min(topMost, top);
      bottomMost = std::max(bottomMost, bottom);
    }
    cardTop = std::min(cardTop, std::max(t.y0, static_cast<int>(std::floor(topMost))));
    cardBottom = std::max(cardBottom, std::min(t.y1, static_cast<int>(std::ceil(bottomMost))));
  }
  const Column* __restrict columns = columnStore.data();
  const int32_t* __restrict lookups = lookupStore.data();
  const uint32_t* __restrict source = reinterpret_cast<const uint32_t*>(picturePixels);
  const int rowWords32 = static_cast<int>(rowWords);

  // The card's near edge is its tallest column. Going from there towards the far edge, the rows
  // covered whole only shrink, up to rounding; narrowed to that, the columns covered whole in a
  // row are one run that starts at the near edge.
  bool nearRight = nearSide > 0;
  auto fromNear = [=](int i) { return nearRight ? columnCount - 1 - i : i; };
  {
    int32_t* whole = wholeStore.data();
    for (int i = 1; i < columnCount; ++i) {
      int here = fromNear(i), nearer = fromNear(i - 1);
      whole[2 * here] = std::max(whole[2 * here], whole[2 * nearer]);
      whole[2 * here + 1] =
          std::max(whole[2 * here], std::min(whole[2 * here + 1], whole[2 * nearer + 1]));
    }
  }
  const int32_t* whole = wholeStore.data();
  auto coversWhole = [whole](int i, int y) { return whole[2 * i] <= y && y < whole[2 * i + 1]; };

  uint32_t shade256 = static_cast<uint32_t>(std::lround((1 - shade) * 256));
  // One pixel of the card that may be partly covered, outside the view or beyond the picture.
  auto edgePixel = [&](uint32_t* row, int x, int y) {
    const Column& c = columns[x - columnFirst];
    bool inViewHere = y >= viewTop && y < viewBottom && x >= viewLeft && x < viewRight;
    float covered =
        std::min(static_cast<float>(y + 1), c.bottom) - std::max(static_cast<float>(y), c.top);
    if (covered <= 0) {
      if (inViewHere) row[x] = 0xff000000u;
      return;
    }
    int sourceY =
        static_cast<int>(std::clamp<int64_t>((c.rowAt0 + c.rowStep * y) >> 16, 0, lastRow));
    uint32_t sample = darkened(c.source[static_cast<size_t>(sourceY) * rowWords], shade256);
    uint32_t coverage =
        static_cast<uint32_t>(std::min(covered, 1.0f) * static_cast<float>(c.coverage));
    row[x] = over(sample, inViewHere ? 0xff000000u : row[x], coverage);
  };

  int rowFirst = std::min(viewTop, cardTop), rowEnd = std::max(viewBottom, cardBottom);
  for (int y = rowFirst; y < rowEnd; ++y) {
    uint32_t* __restrict row =
        reinterpret_cast<uint32_t*>(t.pixels + static_cast<size_t>(y) * t.stride);
    if (y >= viewTop && y < viewBottom) {
      // The view's rectangle beside the card.
      std::fill(row + viewLeft, row + std::clamp(columnFirst, viewLeft, viewRight), 0xff000000u);
      std::fill(row + std::clamp(columnEnd, viewLeft, viewRight), row + viewRight, 0xff000000u);
    }
    if (!card) continue;
    // The run covered whole: how many columns from the near edge, by bisection.
    int lo = 0, hi = columnCount;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (coversWhole(fromNear(mid), y))
        lo = mid + 1;
      else
        hi = mid;
    }
    int runFirst = std::max(nearRight ? columnCount - lo : 0, runLimitFirst);
    int runEnd = std::max(runFirst, std::min(nearRight ? columnCount : lo, runLimitEnd));
    for (int i = 0; i < runFirst; ++i) edgePixel(row, columnFirst + i, y);
    for (int i = runEnd; i < columnCount; ++i) edgePixel(row, columnFirst + i, y);
    uint32_t* __restrict out = row + columnFirst;
    for (int i = runFirst; i < runEnd; ++i) {
      const int32_t* l = lookups + 3 * i;
      int sourceY = (l[0] + l[1] * y) >> 16;
      out[i] = source[sourceY * rowWords32 + l[2]];
    }
    shadeOverBlack(out + runFirst, runEnd - runFirst, shade256);
  }
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
    cairo_paint(cr);
    cairo_restore(cr);
  };
  double shadow = std::min(kCurlShadowPoints, h / 4);
  // The fold line runs from the bottom edge to just beyond the top, so its shadow leaves too.
  double fold = h - progress * (h + shadow);
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

  // The back of the peeled part: the old picture mirrored at the fold, pale and see-through,
  // shaded like a roll: darker at the fold and at its far edge, brightest in between. Each layer
  // goes straight onto the screen, weighted, rather than through a group of its own.
  if (back > 0) {
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
