#pragma once

#include <functional>
#include <memory>

#include "ApplicationDelegate.h"

namespace kit {

// Runs the program in a real window (SDL2): builds the delegate, launches it and runs the event
// loop until the window is closed. Returns the process's exit status.
int applicationMain(int argc, char** argv,
                    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate);

}  // namespace kit
