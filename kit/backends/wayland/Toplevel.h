#pragma once

// The kit's window as a Wayland toplevel: a black backdrop the size of the window (one pixel
// stretched, where the compositor can) and, centred on it in a subsurface, the portrait screen
// drawn by Cairo into shared-memory buffers at the largest scale that fits.

#include <memory>
#include <vector>

#include "kit/app/ApplicationMain.h"
#include "kit/backends/Letterbox.h"
#include "kit/backends/wayland/ShmBuffer.h"

struct wl_callback;
struct wl_output;
struct wl_subsurface;
struct wl_surface;
struct wp_viewport;
struct xdg_surface;
struct xdg_toplevel;
struct zwp_idle_inhibitor_v1;

namespace kit {
class Application;
}

namespace kit::wayland {

class Display;
struct Output;

class Toplevel {
 public:
  // Full screen when the options ask for it or the display is too small for the screen; in
  // kiosk mode the display is kept on. Shows nothing until the compositor has configured it.
  Toplevel(Display& display, const WindowOptions& options);
  ~Toplevel();
  Toplevel(const Toplevel&) = delete;
  Toplevel& operator=(const Toplevel&) = delete;

  bool isConfigured() const { return configured_; }
  // Pixels per screen point of the picture, as the size and the outputs' scale make it.
  double renderScale() const { return box_.scale; }
  // The whole picture must be drawn again (the window changed).
  bool needsRedraw() const { return redraw_; }
  // A frame can go to the compositor: the last one was taken up and a buffer is free.
  bool canDraw() const;
  // Draws what changed on the screen into a free buffer and shows it: Nothing when nothing
  // that shows changed, Failed when memory for a buffer could not be had.
  enum class Drawn { Shown, Nothing, Failed };
  Drawn draw(Application& app);

  // The screen point under a position on one of the window's surfaces.
  Point screenPoint(wl_surface* surface, double x, double y) const;
  bool owns(wl_surface* surface) const { return surface == surface_ || surface == picture_; }

  // The outputs changed: the scale may follow.
  void outputsChanged();
  // The compositor asked the window to close.
  bool closeRequested = false;

 private:
  friend struct ToplevelEvents;
  void configure(int width, int height);
  void layOut();
  int outputScale() const;

  Display& display_;
  WindowOptions options_;
  bool fullScreen_ = false;
  wl_surface* surface_ = nullptr;  // the backdrop, and the toplevel's surface
  wl_surface* picture_ = nullptr;
  wl_subsurface* subsurface_ = nullptr;
  xdg_surface* xdgSurface_ = nullptr;
  xdg_toplevel* toplevel_ = nullptr;
  zwp_idle_inhibitor_v1* inhibitor_ = nullptr;
  wp_viewport* backdropViewport_ = nullptr;  // stretches a one-pixel backdrop, where offered
  wl_callback* frameCallback_ = nullptr;

  int pendingWidth_ = 0, pendingHeight_ = 0;  // from the configure event under way
  int width_ = 0, height_ = 0;                // surface coordinates
  int bufferScale_ = 1;
  bool configured_ = false;
  bool redraw_ = true;
  bool backdropShown_ = false;
  std::vector<wl_output*> entered_;
  // The picture in the window's buffer pixels: its corner on a whole surface coordinate.
  Letterbox box_;
  int pictureX_ = 0, pictureY_ = 0;           // surface coordinates
  int pictureWidth_ = 0, pictureHeight_ = 0;  // buffer pixels
  std::unique_ptr<ShmBuffer> backdrop_;
  std::vector<std::unique_ptr<ShmBuffer>> buffers_;
};

}  // namespace kit::wayland
