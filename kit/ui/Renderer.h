#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/base/Color.h"
#include "kit/base/Geometry.h"
#include "kit/base/PowerSupply.h"
#include "kit/graphics/Drawing.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace kit {

class View;
class Screen;

// A picture of a view: an image surface of the view's size times `scale`; a null surface shows
// nothing.
struct Picture {
  SurfaceHandle surface;
  double scale = 1;
  bool opaque = false;  // every pixel known to be opaque
};

// Draws the screen (or one view's subtree) into an ARGB32 Cairo image surface of the logical size
// times `scale`, with presentation values at the clock's current time: alpha and transforms
// applied, children not clipped to their parent, transitions in progress drawn, the status bar on
// top.
class Renderer {
 public:
  explicit Renderer(double scale = 1);
  // Draws into `target` instead: an ARGB32 image surface of at least the screen's pixel size, say
  // memory that a display shows. Pixels beyond the screen's get black or keep what they hold.
  Renderer(double scale, SurfaceHandle target);
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  double scale() const { return scale_; }
  // Draws the whole screen, or only the rects of `damage` (screen points) over the last frame.
  // Returns the device pixels drawn, as rects.
  std::vector<Rect> renderScreen(const Screen& screen, const std::vector<Rect>* damage = nullptr);
  // Pixels of the last frame: premultiplied ARGB32 in native byte order, `stride` bytes a row.
  const uint8_t* pixels() const;
  int pixelWidth() const;
  int pixelHeight() const;
  int stride() const;
  cairo_surface_t* surface() const { return surface_.get(); }
  // The colour at a point of the logical screen (un-premultiplied).
  Color colorAt(Point p) const;
  bool writePng(const std::string& path) const;

  // The text of the status bar's clock; by default the local wall time as "HH:MM". The headless
  // backend fixes it so that screenshots do not depend on the time of day.
  void setStatusBarTime(std::function<std::string()> timeText);

  // Draws `view` and its subtree into a new picture of the view's size times `scale`, as it looks
  // now (a transition under way included).
  static Picture snapshot(const View& view, double scale);
  // Draws `view` and its subtree as they would look shown, hidden or not, into a spare picture
  // that is then let go: the pictures they show are decoded and resampled and their text laid
  // out, so that a transition that reveals them later draws them quickly.
  static void prepare(const View& view, double scale);

 private:
  void drawStatusBar(cairo_t* cr, const std::optional<BatteryState>& battery) const;

  double scale_;
  SurfaceHandle surface_;
  std::function<std::string()> timeText_;
};

// Takes a picture that is no longer needed: its surface may serve the next picture of its size.
void recyclePicture(Picture& picture);

// Where `view` and its subtree show on the screen now, with presentation values and a margin for
// anti-aliasing and shadows, or where its rect `part` (in its coordinates) shows; empty when it
// is not on the screen or does not show.
Rect drawnArea(const View& view);
Rect drawnArea(const View& view, Rect part);

}  // namespace kit
