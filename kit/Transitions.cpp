#include "Transitions.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kit {
namespace {

// Flip: the card is cut into this many vertical strips, each drawn at its own depth.
constexpr int kFlipStrips = 32;
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
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

// Draws `picture` turned by `angle` (0: facing the viewer, pi/2: edge-on) about the vertical centre
// line of `size`. `nearSide` is +1 when the right edge is the one towards the viewer, -1 for the
// left edge.
void drawTurnedPicture(cairo_t* cr, Size size, TransitionPicture picture, double angle,
                       double nearSide) {
  double w = size.width, h = size.height;
  double cosine = std::cos(angle), sine = std::sin(angle);
  if (!picture.surface || cosine < 1e-3 || w <= 0 || h <= 0) return;
  double camera = kFlipCameraDistance * w;
  double cx = w / 2, cy = h / 2;
  // A point `u` from the centre line lands at x with its column scaled by k.
  auto project = [&](double u, double& x, double& k) {
    k = camera / (camera - nearSide * u * sine);
    x = cx + u * cosine * k;
  };
  // Neighbouring strips overlap by a little to hide anti-aliasing seams.
  double overlap = 0.75 / std::max(1.0, [cr] {
                     cairo_matrix_t m;
                     cairo_get_matrix(cr, &m);
                     return std::hypot(m.xx, m.yx);
                   }());
  double stripWidth = w / kFlipStrips;
  for (int i = 0; i < kFlipStrips; ++i) {
    double u0 = -w / 2 + i * stripWidth, u1 = u0 + stripWidth;
    double x0, k0, x1, k1;
    project(u0, x0, k0);
    project(u1, x1, k1);
    if (x1 - x0 < 1e-4) continue;
    double k = (k0 + k1) / 2;
    double right = i + 1 < kFlipStrips ? x1 + overlap : x1;
    cairo_save(cr);
    cairo_move_to(cr, x0, cy - cy * k0);
    cairo_line_to(cr, right, cy - cy * k1);
    cairo_line_to(cr, right, cy + cy * k1);
    cairo_line_to(cr, x0, cy + cy * k0);
    cairo_close_path(cr);
    cairo_clip(cr);
    cairo_save(cr);
    cairo_translate(cr, x0, cy - cy * k);
    cairo_scale(cr, (x1 - x0) / stripWidth, k);
    cairo_translate(cr, -(u0 + w / 2), 0);
    setPictureSource(cr, picture);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_restore(cr);
  }
  // The card stays a flat quadrilateral in perspective; it is shaded in one piece so that the
  // strips' overlaps do not show as lines.
  double xLeft, kLeft, xRight, kRight;
  project(-w / 2, xLeft, kLeft);
  project(w / 2, xRight, kRight);
  cairo_move_to(cr, xLeft, cy - cy * kLeft);
  cairo_line_to(cr, xRight, cy - cy * kRight);
  cairo_line_to(cr, xRight, cy + cy * kRight);
  cairo_line_to(cr, xLeft, cy + cy * kLeft);
  cairo_close_path(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, kFlipShade * sine);
  cairo_fill(cr);
}

void drawFlip(cairo_t* cr, Size size, TransitionPicture before, TransitionPicture after,
              double progress, bool fromRight) {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, size.width, size.height);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_fill(cr);
  // One card: the old picture on its front, the new one on its back. The edge that comes towards
  // the viewer in the first half lies on the other side once the card has turned over.
  bool firstHalf = progress < 0.5;
  double angle = (firstHalf ? progress : 1 - progress) * std::numbers::pi;
  double nearSide = (firstHalf == fromRight) ? 1 : -1;
  drawTurnedPicture(cr, size, firstHalf ? before : after, angle, nearSide);
  cairo_restore(cr);
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
  // shaded like a roll: darker at the fold and at its far edge, brightest in between.
  if (back > 0) {
    cairo_save(cr);
    cairo_rectangle(cr, 0, fold - back, w, back);
    cairo_clip(cr);
    cairo_push_group(cr);
    cairo_save(cr);
    cairo_translate(cr, 0, 2 * fold);
    cairo_scale(cr, 1, -1);
    paint(before);
    cairo_restore(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.6);
    cairo_paint(cr);
    cairo_pattern_t* roll = cairo_pattern_create_linear(0, fold, 0, fold - back);
    cairo_pattern_add_color_stop_rgba(roll, 0, 0, 0, 0, 0.3);
    cairo_pattern_add_color_stop_rgba(roll, 0.35, 1, 1, 1, 0.25);
    cairo_pattern_add_color_stop_rgba(roll, 1, 0, 0, 0, 0.15);
    cairo_set_source(cr, roll);
    cairo_paint(cr);
    cairo_pattern_destroy(roll);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.9);
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
