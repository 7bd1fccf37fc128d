#pragma once

#include <functional>
#include <memory>
#include <string>

#include "kit/app/ApplicationDelegate.h"

namespace kit {

enum class WindowMode {
  Automatic,   // full screen on a display smaller than the screen or on a bare console, else a
               // window
  FullScreen,  // always the whole display
  Windowed,    // always a window, scaled down to fit a small display
};

struct WindowOptions {
  std::string title = "kit";  // the window's title, and the program's name in messages
  WindowMode mode = WindowMode::Automatic;
  // Full screen without decorations, the pointer hidden until a mouse moves, nothing that closes
  // the window or switches away, the display kept from blanking.
  bool kiosk = false;
  // Appended to the one-line error when there is no display: what runs without one.
  std::string withoutDisplay;
};

// Runs the program in a real window: a Wayland toplevel under a Wayland compositor, else an SDL2
// window on X11 or the console (never an invisible one). Builds the delegate, launches it and runs
// the event loop until the window is closed or the process is told to stop. Returns the process's
// exit status: non-zero when the display went away.
int applicationMain(const WindowOptions& options,
                    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace kit
