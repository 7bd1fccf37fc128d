#pragma once

// The connection to the compositor and the globals it offers.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_subcompositor;
struct wl_data_device_manager;
struct wp_viewporter;
struct xdg_wm_base;
struct zwp_idle_inhibit_manager_v1;

namespace kit::wayland {

class Display;

// A display as the compositor describes it.
struct Output {
  Display* owner = nullptr;
  wl_output* output = nullptr;
  uint32_t name = 0;
  int modeWidth = 0, modeHeight = 0;  // the current mode, in the panel's own orientation
  int transform = 0;                  // how the compositor turns the panel (wl_output_transform)
  int scale = 1;
  // In surface coordinates, as the output is turned.
  bool turned() const { return transform % 2 == 1; }  // a quarter turn: the mode's sides swap
  int logicalWidth() const { return (turned() ? modeHeight : modeWidth) / scale; }
  int logicalHeight() const { return (turned() ? modeWidth : modeHeight) / scale; }
};

class Display {
 public:
  // Connects to the compositor WAYLAND_DISPLAY names and learns its globals; `missing` says what
  // is lacking when the result is null.
  static std::unique_ptr<Display> connect(std::string& missing);
  ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  uint32_t compositorVersion = 0;
  wl_subcompositor* subcompositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* wmBase = nullptr;
  zwp_idle_inhibit_manager_v1* idleInhibitManager = nullptr;  // null if not offered
  wl_data_device_manager* dataDeviceManager = nullptr;        // null if not offered
  wp_viewporter* viewporter = nullptr;                        // null if not offered
  std::vector<std::unique_ptr<Output>> outputs;

  // Seats as they come and go, for the owner to take: the registry's name of each.
  struct SeatGlobal {
    wl_seat* seat;
    uint32_t name;
  };
  std::vector<SeatGlobal> newSeats;
  std::vector<uint32_t> removedGlobals;
  // Called when an output comes, goes, or has told its new mode or scale.
  std::function<void()> outputsChanged;

 private:
  Display() = default;
  friend struct RegistryEvents;
};

}  // namespace kit::wayland
