#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "kit/app/ApplicationDelegate.h"
#include "kit/app/ApplicationMain.h"

namespace kit::wayland {

// kit::applicationMain as a toplevel of the Wayland compositor that WAYLAND_DISPLAY names. Nothing
// when that compositor cannot be reached or cannot show the window, so that another backend may
// try.
std::optional<int> applicationMain(
    const WindowOptions& options,
    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace kit::wayland
