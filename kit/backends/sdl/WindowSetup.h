#pragma once

// Opening a display and the window on it, as the window options ask.

#include <SDL.h>

#include "kit/app/ApplicationMain.h"

namespace kit::sdl {

// Starts SDL's events and video on a real display: Wayland, then X11, then the console (KMS),
// each tried only where it can be (an invisible driver only when SDL_VIDEODRIVER names it). On
// failure prints one line saying what was tried, ending with `options.withoutDisplay`.
bool openDisplay(const WindowOptions& options);

// The window: full screen or a window fitted to the display, as `wantsFullScreen` decides; in
// kiosk mode borderless, with the keyboard grabbed and the pointer hidden. Logs and returns null
// on failure.
SDL_Window* createWindow(const WindowOptions& options);

// kit::applicationMain in an SDL window.
int applicationMain(const WindowOptions& options,
                    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace kit::sdl
