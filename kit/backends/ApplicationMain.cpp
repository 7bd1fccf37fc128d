#include "kit/app/ApplicationMain.h"

#include <cstdlib>

#include "kit/backends/sdl/WindowSetup.h"
#include "kit/backends/wayland/WaylandMain.h"

namespace kit {

namespace {
bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}
}  // namespace

int applicationMain(const WindowOptions& options,
                    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate) {
  // Under a Wayland compositor the frame goes straight to the compositor in shared memory; SDL
  // serves X11 and the bare console, and any driver that SDL_VIDEODRIVER names. A compositor that
  // cannot be reached leaves the choice to SDL, which says what it tried.
  if (isSet("WAYLAND_DISPLAY") && !isSet("SDL_VIDEODRIVER")) {
    if (std::optional<int> status = wayland::applicationMain(options, makeDelegate)) {
      return *status;
    }
  }
  return sdl::applicationMain(options, makeDelegate);
}

}  // namespace kit
