#pragma once

// A seat's input: fingers on a touch screen, the mouse, and a keyboard read through xkbcommon with
// the compositor's keymap and repeat rate, delivered to the application as its touches, text and
// keys.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kit/base/Geometry.h"

struct wl_data_device;
struct wl_data_offer;
struct wl_keyboard;
struct wl_pointer;
struct wl_seat;
struct wl_surface;
struct wl_touch;
struct wl_cursor_theme;
struct xkb_compose_state;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace kit {
class Application;
}

namespace kit::wayland {

class Display;
class Toplevel;

class Seat {
 public:
  // In kiosk mode the pointer shows only while a mouse moves.
  Seat(Display& display, Toplevel& window, Application& app, wl_seat* seat, uint32_t name,
       bool kiosk);
  ~Seat();
  Seat(const Seat&) = delete;
  Seat& operator=(const Seat&) = delete;

  uint32_t name() const { return name_; }
  // The clock time at which a held key repeats next; infinity when none is held.
  double nextRepeat() const { return repeatKey_ ? nextRepeat_ : kNever; }
  // Repeats the held key if it is due.
  void repeatKeys();

 private:
  friend struct SeatEvents;
  static constexpr double kNever = 1e300;
  void capabilities(uint32_t capabilities);
  void showPointer(bool shown);
  void key(uint32_t keycode);
  void paste();
  void dropOffers(wl_data_offer* keep);

  Display& display_;
  Toplevel& window_;
  Application& app_;
  wl_seat* seat_;
  uint32_t name_;
  bool kiosk_;

  wl_pointer* pointer_ = nullptr;
  wl_surface* pointerSurface_ = nullptr;  // the window's surface under the pointer, if any
  uint32_t pointerSerial_ = 0;
  Point pointerAt_;
  bool buttonDown_ = false;
  bool pointerShown_ = false;
  wl_cursor_theme* cursorTheme_ = nullptr;
  wl_surface* cursorSurface_ = nullptr;

  wl_touch* touch_ = nullptr;
  struct Finger {
    int number;  // the kit's finger: 1 up, 0 being the mouse
    wl_surface* surface;
    Point at;
  };
  std::map<int32_t, Finger> fingers_;

  wl_keyboard* keyboard_ = nullptr;
  xkb_context* xkb_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  xkb_compose_state* compose_ = nullptr;
  int32_t repeatRate_ = 25, repeatDelay_ = 600;  // keys a second, milliseconds
  uint32_t repeatKey_ = 0;
  double nextRepeat_ = kNever;

  wl_data_device* dataDevice_ = nullptr;
  std::map<wl_data_offer*, std::vector<std::string>> offers_;  // with their types of data
  wl_data_offer* selection_ = nullptr;
};

}  // namespace kit::wayland
