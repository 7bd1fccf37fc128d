#include "kit/app/ApplicationMain.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/backends/wayland/WaylandMain.h"

namespace kit {

namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// The SDL backend is a module of its own, loaded only when a window goes through SDL: under a
// Wayland compositor neither SDL nor the sound, X11 and D-Bus libraries it brings are mapped.
// Installed, it lies under the program's prefix; in a build tree, in the build folder.
std::string sdlModulePath() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    std::filesystem::path installed =
        program.parent_path().parent_path() / KIT_SDL_MODULE_INSTALLED;
    if (std::filesystem::exists(installed, error)) return installed.string();
  }
  return KIT_SDL_MODULE;
}

using SdlMain = int (*)(const WindowOptions&,
                        const std::function<std::unique_ptr<ApplicationDelegate>()>&);

int sdlApplicationMain(const WindowOptions& options,
                       const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate) {
  std::string path = sdlModulePath();
  // Never unloaded: SDL leaves handlers behind that run at exit.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto entry =
      module ? reinterpret_cast<SdlMain>(dlsym(module, "kit_sdl_application_main")) : nullptr;
  if (!entry) {
    std::fprintf(stderr, "%s: cannot load the SDL window backend: %s\n", options.title.c_str(),
                 dlerror());
    return 1;
  }
  return entry(options, makeDelegate);
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
  return sdlApplicationMain(options, makeDelegate);
}

}  // namespace kit
