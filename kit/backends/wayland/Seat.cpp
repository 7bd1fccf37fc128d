#include "kit/backends/wayland/Seat.h"

#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "kit/app/Application.h"
#include "kit/backends/wayland/Display.h"
#include "kit/backends/wayland/Toplevel.h"

namespace kit::wayland {

namespace {

// The largest paste taken from the clipboard, and how long its owner may take to hand it over.
constexpr size_t kMaxPaste = 1 << 20;
constexpr int kPasteTimeoutMs = 1000;

const char* environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

struct SeatEvents {
  static Seat& of(void* data) { return *static_cast<Seat*>(data); }

  static void capabilities(void* data, wl_seat*, uint32_t caps) { of(data).capabilities(caps); }
  static void seatName(void*, wl_seat*, const char*) {}

  // --- the mouse ---
  static void enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x,
                    wl_fixed_t y) {
    Seat& s = of(data);
    if (!s.window_.owns(surface)) return;
    s.pointerSurface_ = surface;
    s.pointerSerial_ = serial;
    s.pointerAt_ = s.window_.screenPoint(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    s.showPointer(!s.kiosk_);
  }
  static void leave(void* data, wl_pointer*, uint32_t, wl_surface*) {
    of(data).pointerSurface_ = nullptr;
  }
  static void motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    Seat& s = of(data);
    if (!s.pointerSurface_) return;
    s.pointerAt_ =
        s.window_.screenPoint(s.pointerSurface_, wl_fixed_to_double(x), wl_fixed_to_double(y));
    if (!s.pointerShown_) s.showPointer(true);
    if (s.buttonDown_) s.app_.touchMoved(s.pointerAt_, 0);
  }
  static void button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
    Seat& s = of(data);
    if (button != BTN_LEFT || !s.pointerSurface_) return;
    bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    if (pressed == s.buttonDown_) return;
    s.buttonDown_ = pressed;
    if (pressed) {
      s.app_.touchDown(s.pointerAt_, 0);
    } else {
      s.app_.touchUp(s.pointerAt_, 0);
    }
  }
  static void axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
  static void pointerFrame(void*, wl_pointer*) {}
  static void axisSource(void*, wl_pointer*, uint32_t) {}
  static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
  static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
  static void axisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

  // --- fingers ---
  static void down(void* data, wl_touch*, uint32_t, uint32_t, wl_surface* surface, int32_t id,
                   wl_fixed_t x, wl_fixed_t y) {
    Seat& s = of(data);
    if (!s.window_.owns(surface)) return;
    // In a kiosk the pointer shows only while a mouse is in use.
    if (s.kiosk_ && s.pointerShown_) s.showPointer(false);
    // Fingers get small numbers from 1 up, the lowest free one.
    int number = 1;
    while (std::any_of(s.fingers_.begin(), s.fingers_.end(),
                       [number](const auto& f) { return f.second.number == number; })) {
      ++number;
    }
    Point at = s.window_.screenPoint(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    s.fingers_[id] = {number, surface, at};
    s.app_.touchDown(at, number);
  }
  static void up(void* data, wl_touch*, uint32_t, uint32_t, int32_t id) {
    Seat& s = of(data);
    auto it = s.fingers_.find(id);
    if (it == s.fingers_.end()) return;
    Seat::Finger finger = it->second;
    s.fingers_.erase(it);
    s.app_.touchUp(finger.at, finger.number);
  }
  static void touchMotion(void* data, wl_touch*, uint32_t, int32_t id, wl_fixed_t x, wl_fixed_t y) {
    Seat& s = of(data);
    auto it = s.fingers_.find(id);
    if (it == s.fingers_.end()) return;
    it->second.at =
        s.window_.screenPoint(it->second.surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    s.app_.touchMoved(it->second.at, it->second.number);
  }
  static void touchFrame(void*, wl_touch*) {}
  static void cancel(void* data, wl_touch*) {
    // The compositor took the fingers over (a gesture of its own): none of them acts here.
    Seat& s = of(data);
    std::map<int32_t, Seat::Finger> fingers = std::move(s.fingers_);
    s.fingers_.clear();
    for (const auto& [id, finger] : fingers) s.app_.touchCancelled(finger.number);
  }
  static void shape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
  static void orientation(void*, wl_touch*, int32_t, wl_fixed_t) {}

  // --- the keyboard ---
  static void keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    Seat& s = of(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
      close(fd);
      return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(
        s.xkb_, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
        XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!keymap) return;
    if (s.state_) xkb_state_unref(s.state_);
    if (s.keymap_) xkb_keymap_unref(s.keymap_);
    s.keymap_ = keymap;
    s.state_ = xkb_state_new(keymap);
    s.repeatKey_ = 0;
  }
  static void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
  static void keyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface*) {
    of(data).repeatKey_ = 0;
  }
  static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    Seat& s = of(data);
    if (!s.state_) return;
    uint32_t keycode = key + 8;  // evdev codes are XKB's less 8
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED) {
      s.key(keycode);
      if (s.repeatRate_ > 0 && xkb_keymap_key_repeats(s.keymap_, keycode)) {
        s.repeatKey_ = keycode;
        s.nextRepeat_ = s.app_.clock().now() + s.repeatDelay_ / 1000.0;
      }
    } else if (keycode == s.repeatKey_) {
      s.repeatKey_ = 0;
    }
  }
  static void modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                        uint32_t locked, uint32_t group) {
    Seat& s = of(data);
    if (s.state_) xkb_state_update_mask(s.state_, depressed, latched, locked, 0, 0, group);
  }
  static void repeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay) {
    Seat& s = of(data);
    s.repeatRate_ = rate;
    s.repeatDelay_ = delay;
  }

  // --- the clipboard ---
  static void offerType(void* data, wl_data_offer* offer, const char* type) {
    of(data).offers_[offer].push_back(type);
  }
  static void sourceActions(void*, wl_data_offer*, uint32_t) {}
  static void action(void*, wl_data_offer*, uint32_t) {}
  static void dataOffer(void* data, wl_data_device*, wl_data_offer* offer);
  static void dragEnter(void*, wl_data_device*, uint32_t, wl_surface*, wl_fixed_t, wl_fixed_t,
                        wl_data_offer*) {}
  static void dragLeave(void*, wl_data_device*) {}
  static void dragMotion(void*, wl_data_device*, uint32_t, wl_fixed_t, wl_fixed_t) {}
  static void drop(void*, wl_data_device*) {}
  static void selection(void* data, wl_data_device*, wl_data_offer* offer) {
    Seat& s = of(data);
    s.dropOffers(offer);
    s.selection_ = offer;
  }
};

namespace {
const wl_seat_listener kSeatListener = {SeatEvents::capabilities, SeatEvents::seatName};
const wl_pointer_listener kPointerListener = {SeatEvents::enter,        SeatEvents::leave,
                                              SeatEvents::motion,       SeatEvents::button,
                                              SeatEvents::axis,         SeatEvents::pointerFrame,
                                              SeatEvents::axisSource,   SeatEvents::axisStop,
                                              SeatEvents::axisDiscrete, SeatEvents::axisValue120};
const wl_touch_listener kTouchListener = {
    SeatEvents::down,   SeatEvents::up,    SeatEvents::touchMotion, SeatEvents::touchFrame,
    SeatEvents::cancel, SeatEvents::shape, SeatEvents::orientation};
const wl_keyboard_listener kKeyboardListener = {
    SeatEvents::keymap, SeatEvents::keyboardEnter, SeatEvents::keyboardLeave,
    SeatEvents::key,    SeatEvents::modifiers,     SeatEvents::repeatInfo};
const wl_data_offer_listener kOfferListener = {SeatEvents::offerType, SeatEvents::sourceActions,
                                               SeatEvents::action};
const wl_data_device_listener kDataDeviceListener = {SeatEvents::dataOffer, SeatEvents::dragEnter,
                                                     SeatEvents::dragLeave, SeatEvents::dragMotion,
                                                     SeatEvents::drop,      SeatEvents::selection};
}  // namespace

void SeatEvents::dataOffer(void* data, wl_data_device*, wl_data_offer* offer) {
  of(data).offers_[offer];
  wl_data_offer_add_listener(offer, &kOfferListener, data);
}

Seat::Seat(Display& display, Toplevel& window, Application& app, wl_seat* seat, uint32_t name,
           bool kiosk)
    : display_(display), window_(window), app_(app), seat_(seat), name_(name), kiosk_(kiosk) {
  xkb_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  // Dead keys and compose sequences as the locale has them.
  const char* locale = environment("LC_ALL", environment("LC_CTYPE", environment("LANG", "C")));
  if (xkb_compose_table* table =
          xkb_compose_table_new_from_locale(xkb_, locale, XKB_COMPOSE_COMPILE_NO_FLAGS)) {
    compose_ = xkb_compose_state_new(table, XKB_COMPOSE_STATE_NO_FLAGS);
    xkb_compose_table_unref(table);
  }
  wl_seat_add_listener(seat_, &kSeatListener, this);
  if (display.dataDeviceManager) {
    dataDevice_ = wl_data_device_manager_get_data_device(display.dataDeviceManager, seat_);
    wl_data_device_add_listener(dataDevice_, &kDataDeviceListener, this);
  }
}

Seat::~Seat() {
  // Fingers and a button still down end with the seat.
  for (const auto& [id, finger] : fingers_) app_.touchCancelled(finger.number);
  if (buttonDown_) app_.touchCancelled(0);
  dropOffers(nullptr);
  if (dataDevice_) wl_data_device_destroy(dataDevice_);
  capabilities(0);
  if (cursorSurface_) wl_surface_destroy(cursorSurface_);
  if (cursorTheme_) wl_cursor_theme_destroy(cursorTheme_);
  if (compose_) xkb_compose_state_unref(compose_);
  if (state_) xkb_state_unref(state_);
  if (keymap_) xkb_keymap_unref(keymap_);
  xkb_context_unref(xkb_);
  wl_seat_destroy(seat_);
}

void Seat::capabilities(uint32_t caps) {
  bool pointer = caps & WL_SEAT_CAPABILITY_POINTER, keyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
  bool touch = caps & WL_SEAT_CAPABILITY_TOUCH;
  if (pointer && !pointer_) {
    pointer_ = wl_seat_get_pointer(seat_);
    wl_pointer_add_listener(pointer_, &kPointerListener, this);
  } else if (!pointer && pointer_) {
    if (buttonDown_) app_.touchCancelled(0);
    buttonDown_ = false;
    pointerSurface_ = nullptr;
    wl_pointer_destroy(pointer_);
    pointer_ = nullptr;
  }
  if (keyboard && !keyboard_) {
    keyboard_ = wl_seat_get_keyboard(seat_);
    wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
  } else if (!keyboard && keyboard_) {
    wl_keyboard_destroy(keyboard_);
    keyboard_ = nullptr;
    repeatKey_ = 0;
  }
  if (touch && !touch_) {
    touch_ = wl_seat_get_touch(seat_);
    wl_touch_add_listener(touch_, &kTouchListener, this);
  } else if (!touch && touch_) {
    for (const auto& [id, finger] : fingers_) app_.touchCancelled(finger.number);
    fingers_.clear();
    wl_touch_destroy(touch_);
    touch_ = nullptr;
  }
}

void Seat::showPointer(bool shown) {
  pointerShown_ = shown;
  if (!pointer_ || !pointerSurface_) return;
  if (shown && !cursorTheme_) {
    int size = std::atoi(environment("XCURSOR_SIZE", "24"));
    cursorTheme_ =
        wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size > 0 ? size : 24, display_.shm);
    if (cursorTheme_) cursorSurface_ = wl_compositor_create_surface(display_.compositor);
  }
  wl_cursor* cursor = nullptr;
  if (shown && cursorTheme_) {
    cursor = wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr");
    if (!cursor) cursor = wl_cursor_theme_get_cursor(cursorTheme_, "default");
  }
  if (!cursor || cursor->image_count == 0) {
    wl_pointer_set_cursor(pointer_, pointerSerial_, nullptr, 0, 0);
    return;
  }
  wl_cursor_image* image = cursor->images[0];
  wl_surface_attach(cursorSurface_, wl_cursor_image_get_buffer(image), 0, 0);
  wl_surface_damage(cursorSurface_, 0, 0, static_cast<int32_t>(image->width),
                    static_cast<int32_t>(image->height));
  wl_surface_commit(cursorSurface_);
  wl_pointer_set_cursor(pointer_, pointerSerial_, cursorSurface_,
                        static_cast<int32_t>(image->hotspot_x),
                        static_cast<int32_t>(image->hotspot_y));
}

void Seat::repeatKeys() {
  if (!repeatKey_ || !state_) return;
  double now = app_.clock().now();
  if (now < nextRepeat_) return;
  key(repeatKey_);
  // Keeps the rate's pace; a loop that fell behind starts again from now.
  double interval = 1.0 / repeatRate_;
  nextRepeat_ = std::max(nextRepeat_ + interval, now);
}

void Seat::key(uint32_t keycode) {
  xkb_keysym_t sym = xkb_state_key_get_one_sym(state_, keycode);
  if (compose_ && xkb_compose_state_feed(compose_, sym) == XKB_COMPOSE_FEED_ACCEPTED) {
    switch (xkb_compose_state_get_status(compose_)) {
      case XKB_COMPOSE_COMPOSING:
        return;
      case XKB_COMPOSE_COMPOSED: {
        char text[64];
        xkb_compose_state_get_utf8(compose_, text, sizeof text);
        xkb_compose_state_reset(compose_);
        if (text[0]) app_.textInput(text);
        return;
      }
      case XKB_COMPOSE_CANCELLED:
        xkb_compose_state_reset(compose_);
        return;
      case XKB_COMPOSE_NOTHING:
        break;
    }
  }
  auto active = [this](const char* modifier) {
    return xkb_state_mod_name_is_active(state_, modifier, XKB_STATE_MODS_EFFECTIVE) > 0;
  };
  bool control = active(XKB_MOD_NAME_CTRL), alt = active(XKB_MOD_NAME_ALT);
  switch (sym) {
    case XKB_KEY_BackSpace:
      app_.keyDown(Application::Key::Backspace);
      return;
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
      app_.keyDown(Application::Key::Return);
      return;
    case XKB_KEY_Tab:
    case XKB_KEY_ISO_Left_Tab:
      app_.keyDown(Application::Key::Tab);
      return;
    case XKB_KEY_Escape:
      app_.keyDown(Application::Key::Escape);
      return;
    case XKB_KEY_Insert:
      if (active(XKB_MOD_NAME_SHIFT)) paste();
      return;
    case XKB_KEY_v:
    case XKB_KEY_V:
      if (control) {
        paste();
        return;
      }
      break;
    default:
      break;
  }
  if (control || alt) return;
  char text[64];
  xkb_state_key_get_utf8(state_, keycode, text, sizeof text);
  // Control characters (Delete and the like) are not text.
  if (static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7f) app_.textInput(text);
}

void Seat::paste() {
  if (!selection_) return;
  const std::vector<std::string>& types = offers_[selection_];
  const char* type = nullptr;
  for (const char* wanted : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"}) {
    if (std::find(types.begin(), types.end(), wanted) != types.end()) {
      type = wanted;
      break;
    }
  }
  int fds[2];
  if (!type || pipe2(fds, O_CLOEXEC) != 0) return;
  wl_data_offer_receive(selection_, type, fds[1]);
  close(fds[1]);
  wl_display_flush(display_.display);
  // The clipboard's owner writes the text and closes its end; a slow or endless one is cut off.
  std::string text;
  char chunk[4096];
  pollfd readable{fds[0], POLLIN, 0};
  while (text.size() < kMaxPaste && poll(&readable, 1, kPasteTimeoutMs) > 0) {
    ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (!text.empty()) app_.paste(text);
}

void Seat::dropOffers(wl_data_offer* keep) {
  for (auto it = offers_.begin(); it != offers_.end();) {
    if (it->first == keep) {
      ++it;
      continue;
    }
    wl_data_offer_destroy(it->first);
    it = offers_.erase(it);
  }
  if (selection_ != keep) selection_ = nullptr;
}

}  // namespace kit::wayland
