#pragma once

// The drawn transitions that reveal a view's new look.

#include "kit/base/Geometry.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace kit {

enum class AnimationTransition {
  None = 0,
  FlipFromLeft = 1,
  FlipFromRight = 2,
  CurlUp = 3,
  CurlDown = 4
};

// A picture to draw from: a surface of the view's size times `scale`; a null surface shows nothing.
struct TransitionPicture {
  cairo_surface_t* surface = nullptr;
  double scale = 1;
  bool opaque = false;  // every pixel opaque: copied rather than blended
};

// Draws, in the coordinates of a view of `size`, the transition `kind` at `progress` (0 to 1) from
// the `before` picture to the `after` picture.
// Flips turn the view about its vertical centre line over black, with perspective: the old picture
// turns away in the first half, the new one turns in during the second. From the right, the right
// edge comes towards the viewer first.
// Curls peel the old picture off from the bottom edge upwards (CurlUp) or from the top edge
// downwards (CurlDown), showing the new one beneath and the page's light back beyond the fold.
void drawTransition(cairo_t* cr, AnimationTransition kind, Size size, TransitionPicture before,
                    TransitionPicture after, double progress);

// The part of a view of `size` where the curl `kind` at `progress` shows its new picture (beside
// the shadow drawn over it), in the view's coordinates.
Rect curlRevealed(AnimationTransition kind, Size size, double progress);

// Paints a picture with its top-left corner at the user-space origin, in points.
void paintPicture(cairo_t* cr, TransitionPicture picture);

}  // namespace kit
