#include "kit/backends/sdl/WindowSetup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kit/backends/Letterbox.h"
#include "kit/base/Log.h"

namespace kit::sdl {

namespace {

// Whether the driver `name` opens.
bool opens(const char* name) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, name);
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Opens SDL's video on the driver SDL_VIDEODRIVER names, else on Wayland, X11 or the console,
// each tried only where it can be; writes down why each one tried did not open.
bool openVideo(std::vector<std::string>& tried) {
  std::string chosen = environment("SDL_VIDEODRIVER");
  if (!chosen.empty()) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
    tried.push_back("SDL_VIDEODRIVER=" + chosen + ": " + SDL_GetError());
  } else {
    std::string wayland = environment("WAYLAND_DISPLAY"), x11 = environment("DISPLAY");
    if (wayland.empty()) {
      tried.push_back("Wayland: WAYLAND_DISPLAY is not set");
    } else if (opens("wayland")) {
      return true;
    } else {
      tried.push_back("Wayland: cannot connect to " + wayland);
    }
    if (x11.empty()) {
      tried.push_back("X11: DISPLAY is not set");
    } else if (opens("x11")) {
      return true;
    } else {
      tried.push_back("X11: cannot open display " + x11);
    }
    if (opens("KMSDRM")) return true;
    tried.push_back("console (KMS): no graphics card with a screen could be opened");
  }
  return false;
}

}  // namespace

bool openDisplay(const WindowOptions& options) {
  // Fingers arrive as finger events only; the mouse stays the mouse.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  // A kiosk stays up: closing its only window does not end it (a signal still does), losing the
  // focus does not minimise it, and the display does not blank. A desktop window lets it blank.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, options.kiosk ? "0" : "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, options.kiosk ? "0" : "1");
  if (SDL_Init(SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "%s: cannot start SDL: %s\n", options.title.c_str(), SDL_GetError());
    return false;
  }

  std::vector<std::string> tried;
  if (openVideo(tried)) {
    // On X11 the window's surface is shared memory the kit draws into directly; SDL would
    // otherwise put a GL texture behind it. Drivers without a software surface (Wayland, KMS)
    // keep SDL's.
    if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0) {
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    return true;
  }
  std::string reasons;
  for (const std::string& reason : tried) reasons += (reasons.empty() ? "" : "; ") + reason;
  std::string line = options.title + ": no display to show a window on (" + reasons + ")";
  if (!options.withoutDisplay.empty()) line += "; " + options.withoutDisplay;
  std::fprintf(stderr, "%s\n", line.c_str());
  SDL_Quit();
  return false;
}

SDL_Window* createWindow(const WindowOptions& options) {
  const char* driver = SDL_GetCurrentVideoDriver();
  SDL_Rect display{0, 0, static_cast<int>(kScreenWidth), static_cast<int>(kScreenHeight)};
  SDL_Rect usable = display;
  SDL_GetDisplayBounds(0, &display);
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = display;
  bool fullScreen =
      wantsFullScreen(options.mode, options.kiosk, driver ? driver : "", display.w, display.h);

  // A full-screen window is made at the display's size, so that it covers the display even where
  // nothing grants the full-screen request (an X server without a window manager).
  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, width = display.w, height = display.h;
  if (fullScreen) {
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    x = display.x;
    y = display.y;
  } else {
    Size size = initialWindowSize(usable.w, usable.h);
    width = static_cast<int>(size.width);
    height = static_cast<int>(size.height);
  }
  if (options.kiosk) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* window = SDL_CreateWindow(options.title.c_str(), x, y, width, height, flags);
  if (!window) {
    log("cannot open a window: %s", SDL_GetError());
    return nullptr;
  }
  SDL_SetWindowMinimumSize(window, static_cast<int>(kScreenWidth / 4),
                           static_cast<int>(kScreenHeight / 4));
  if (options.kiosk) {
    // Keys that would switch away (Alt+Tab and the like) come to the kiosk, which ignores them.
    SDL_SetWindowKeyboardGrab(window, SDL_TRUE);
    SDL_ShowCursor(SDL_DISABLE);
  }
  return window;
}

}  // namespace kit::sdl
