#include "kit/backends/wayland/Toplevel.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "kit/app/Application.h"
#include "kit/backends/wayland/Display.h"
#include "kit/base/Log.h"
#include "kit/ui/Renderer.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace kit::wayland {

namespace {

// Tells the compositor that nothing shows through the surface.
void setOpaque(wl_compositor* compositor, wl_surface* surface, int width, int height) {
  wl_region* region = wl_compositor_create_region(compositor);
  wl_region_add(region, 0, 0, width, height);
  wl_surface_set_opaque_region(surface, region);
  wl_region_destroy(region);
}

int roundUp(int value, int multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// The output a window of no size of its own is measured against: the largest.
const Output* largestOutput(const Display& display) {
  const Output* best = nullptr;
  for (const auto& o : display.outputs) {
    if (!best ||
        o->logicalWidth() * o->logicalHeight() > best->logicalWidth() * best->logicalHeight()) {
      best = o.get();
    }
  }
  return best;
}

}  // namespace

struct ToplevelEvents {
  static void toplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height,
                                wl_array*) {
    auto* t = static_cast<Toplevel*>(data);
    t->pendingWidth_ = width;
    t->pendingHeight_ = height;
  }
  static void toplevelClose(void* data, xdg_toplevel*) {
    static_cast<Toplevel*>(data)->closeRequested = true;
  }
  static void toplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
  static void toplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
  static void surfaceConfigure(void* data, xdg_surface* surface, uint32_t serial) {
    auto* t = static_cast<Toplevel*>(data);
    xdg_surface_ack_configure(surface, serial);
    t->configure(t->pendingWidth_, t->pendingHeight_);
  }
  static void enter(void* data, wl_surface*, wl_output* output) {
    auto* t = static_cast<Toplevel*>(data);
    t->entered_.push_back(output);
    t->outputsChanged();
  }
  static void leave(void* data, wl_surface*, wl_output* output) {
    auto* t = static_cast<Toplevel*>(data);
    std::erase(t->entered_, output);
    t->outputsChanged();
  }
  static void frameDone(void* data, wl_callback* callback, uint32_t) {
    auto* t = static_cast<Toplevel*>(data);
    wl_callback_destroy(callback);
    t->frameCallback_ = nullptr;
  }
};

namespace {
const xdg_toplevel_listener kToplevelListener = {
    ToplevelEvents::toplevelConfigure, ToplevelEvents::toplevelClose,
    ToplevelEvents::toplevelBounds, ToplevelEvents::toplevelCapabilities};
const xdg_surface_listener kXdgSurfaceListener = {ToplevelEvents::surfaceConfigure};
const wl_surface_listener kSurfaceListener = {ToplevelEvents::enter, ToplevelEvents::leave};
const wl_callback_listener kFrameListener = {ToplevelEvents::frameDone};
}  // namespace

Toplevel::Toplevel(Display& display, const WindowOptions& options)
    : display_(display), options_(options) {
  surface_ = wl_compositor_create_surface(display.compositor);
  wl_surface_add_listener(surface_, &kSurfaceListener, this);
  // The picture is its own surface, so that it is composed onto the backdrop: a compositor never
  // puts it on the display as the whole output's frame.
  picture_ = wl_compositor_create_surface(display.compositor);
  subsurface_ = wl_subcompositor_get_subsurface(display.subcompositor, picture_, surface_);
  wl_subsurface_set_desync(subsurface_);
  xdgSurface_ = xdg_wm_base_get_xdg_surface(display.wmBase, surface_);
  xdg_surface_add_listener(xdgSurface_, &kXdgSurfaceListener, this);
  toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
  xdg_toplevel_add_listener(toplevel_, &kToplevelListener, this);
  xdg_toplevel_set_title(toplevel_, options.title.c_str());
  xdg_toplevel_set_app_id(toplevel_, options.title.c_str());
  xdg_toplevel_set_min_size(toplevel_, static_cast<int>(kScreenWidth / 4),
                            static_cast<int>(kScreenHeight / 4));
  const Output* output = largestOutput(display);
  fullScreen_ = wantsFullScreen(options.mode, options.kiosk, "wayland",
                                output ? output->logicalWidth() : kScreenWidth,
                                output ? output->logicalHeight() : kScreenHeight);
  if (fullScreen_) xdg_toplevel_set_fullscreen(toplevel_, nullptr);
  if (options.kiosk && display.idleInhibitManager) {
    inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(display.idleInhibitManager, surface_);
  }
  if (display.viewporter) {
    backdropViewport_ = wp_viewporter_get_viewport(display.viewporter, surface_);
  }
  bufferScale_ = outputScale();
  wl_surface_commit(surface_);
}

Toplevel::~Toplevel() {
  buffers_.clear();
  backdrop_.reset();
  if (frameCallback_) wl_callback_destroy(frameCallback_);
  if (inhibitor_) zwp_idle_inhibitor_v1_destroy(inhibitor_);
  if (backdropViewport_) wp_viewport_destroy(backdropViewport_);
  xdg_toplevel_destroy(toplevel_);
  xdg_surface_destroy(xdgSurface_);
  wl_subsurface_destroy(subsurface_);
  wl_surface_destroy(picture_);
  wl_surface_destroy(surface_);
}

int Toplevel::outputScale() const {
  // The sharpest of the outputs the window shows on; before it shows, of all outputs.
  int scale = 1;
  for (const auto& o : display_.outputs) {
    if (entered_.empty() ||
        std::find(entered_.begin(), entered_.end(), o->output) != entered_.end()) {
      scale = std::max(scale, o->scale);
    }
  }
  return scale;
}

void Toplevel::outputsChanged() {
  int scale = outputScale();
  if (scale == bufferScale_) return;
  bufferScale_ = scale;
  if (configured_) layOut();
}

void Toplevel::configure(int width, int height) {
  if (width <= 0 || height <= 0) {
    // The size is left to the window: the display's for full screen, else the screen's, fitted.
    const Output* output = largestOutput(display_);
    double outputWidth = output ? output->logicalWidth() : kScreenWidth;
    double outputHeight = output ? output->logicalHeight() : kScreenHeight;
    Size size = fullScreen_ ? Size{outputWidth, outputHeight}
                            : initialWindowSize(outputWidth, outputHeight);
    width = width > 0 ? width : static_cast<int>(size.width);
    height = height > 0 ? height : static_cast<int>(size.height);
  }
  bool changed = !configured_ || width != width_ || height != height_;
  configured_ = true;
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  if (changed) layOut();
}

void Toplevel::layOut() {
  const int scale = bufferScale_;
  Letterbox box = Letterbox::fit(double(width_) * scale, double(height_) * scale, false);
  // The picture's buffer: the screen's pixels, a whole number of surface units each way.
  int width = roundUp(static_cast<int>(std::ceil(kScreenWidth * box.scale - 1e-6)), scale);
  int height = roundUp(static_cast<int>(std::ceil(kScreenHeight * box.scale - 1e-6)), scale);
  pictureX_ = static_cast<int>(std::lround((width_ * scale - width) / 2.0 / scale));
  pictureY_ = static_cast<int>(std::lround((height_ * scale - height) / 2.0 / scale));
  box.x = pictureX_ * scale;
  box.y = pictureY_ * scale;
  bool newPicture = width != pictureWidth_ || height != pictureHeight_ || box.scale != box_.scale;
  box_ = box;
  pictureWidth_ = width;
  pictureHeight_ = height;
  if (newPicture) buffers_.clear();
  // The backdrop: black, never drawn; one pixel stretched over the window where the compositor
  // can, else one pixel per unit whatever the outputs' scale.
  if (backdropViewport_) {
    if (!backdrop_) backdrop_ = ShmBuffer::create(display_.shm, 1, 1);
    wp_viewport_set_destination(backdropViewport_, width_, height_);
    backdropShown_ = false;
  } else if (!backdrop_ || backdrop_->width() != width_ || backdrop_->height() != height_) {
    backdrop_ = ShmBuffer::create(display_.shm, width_, height_);
    backdropShown_ = false;
  }
  // A compositor may put a full-screen window's own buffer straight on the output, and cage then
  // shows that buffer alone, without the picture on it. The backdrop never qualifies: it is
  // mirrored unlike any output, which black does not show.
  for (wl_output_transform mirror :
       {WL_OUTPUT_TRANSFORM_FLIPPED, WL_OUTPUT_TRANSFORM_FLIPPED_180, WL_OUTPUT_TRANSFORM_NORMAL}) {
    if (std::none_of(display_.outputs.begin(), display_.outputs.end(),
                     [mirror](const auto& o) { return o->transform == int(mirror); })) {
      wl_surface_set_buffer_transform(surface_, mirror);
      break;
    }
  }
  wl_surface_set_buffer_scale(picture_, scale);
  wl_subsurface_set_position(subsurface_, pictureX_, pictureY_);
  setOpaque(display_.compositor, surface_, width_, height_);
  setOpaque(display_.compositor, picture_, width / scale, height / scale);
  redraw_ = true;
}

bool Toplevel::canDraw() const {
  if (!configured_ || frameCallback_) return false;
  return buffers_.size() < 3 ||
         std::any_of(buffers_.begin(), buffers_.end(), [](const auto& b) { return !b->busy; });
}

Toplevel::Drawn Toplevel::draw(Application& app) {
  ShmBuffer* target = nullptr;
  for (const auto& b : buffers_) {
    if (!b->busy) {
      target = b.get();
      break;
    }
  }
  if (!target) {
    std::unique_ptr<ShmBuffer> made =
        ShmBuffer::create(display_.shm, pictureWidth_, pictureHeight_, box_.scale);
    if (!made) {
      log("cannot have memory for a frame of %d x %d pixels", pictureWidth_, pictureHeight_);
      return Drawn::Failed;
    }
    target = made.get();
    buffers_.push_back(std::move(made));
  }

  // This frame's damage, and what the other buffers showed since this one last did.
  Application::Damage damage = app.takeDamage();
  bool whole = damage.wholeScreen || target->stale || redraw_;
  std::vector<Rect> rects = std::move(target->behind);
  rects.insert(rects.end(), damage.rects.begin(), damage.rects.end());
  std::vector<Rect> drawn =
      target->renderer()->renderScreen(app.screen(), whole ? nullptr : &rects);
  for (const auto& b : buffers_) {
    if (b.get() == target) continue;
    if (damage.wholeScreen || redraw_) {
      b->stale = true;
    } else {
      b->behind.insert(b->behind.end(), damage.rects.begin(), damage.rects.end());
    }
  }
  target->stale = false;
  target->behind.clear();

  bool shown = !drawn.empty() || redraw_;
  if (shown) {
    wl_surface_attach(picture_, target->buffer(), 0, 0);
    for (const Rect& r : drawn) {
      if (display_.compositorVersion >= 4) {
        wl_surface_damage_buffer(picture_, static_cast<int32_t>(r.minX()),
                                 static_cast<int32_t>(r.minY()), static_cast<int32_t>(r.size.width),
                                 static_cast<int32_t>(r.size.height));
      } else {
        wl_surface_damage(picture_, 0, 0, pictureWidth_, pictureHeight_);
      }
    }
    target->busy = true;
    frameCallback_ = wl_surface_frame(picture_);
    wl_callback_add_listener(frameCallback_, &kFrameListener, this);
    wl_surface_commit(picture_);
  }
  if (redraw_) {
    // The backdrop, and the picture's place on it, take effect with the toplevel's commit.
    if (!backdropShown_ && backdrop_) {
      wl_surface_attach(surface_, backdrop_->buffer(), 0, 0);
      wl_surface_damage(surface_, 0, 0, width_, height_);
      backdropShown_ = true;
    }
    wl_surface_commit(surface_);
    redraw_ = false;
  }
  return shown ? Drawn::Shown : Drawn::Nothing;
}

Point Toplevel::screenPoint(wl_surface* surface, double x, double y) const {
  if (surface == picture_) {
    x += pictureX_;
    y += pictureY_;
  }
  return box_.screenPoint(x * bufferScale_, y * bufferScale_);
}

}  // namespace kit::wayland
