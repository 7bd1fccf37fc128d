#include "kit/backends/wayland/Display.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace kit::wayland {

namespace {

void outputGeometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t,
                    const char*, const char*, int32_t transform) {
  static_cast<Output*>(data)->transform = transform;
}
void outputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
  auto* output = static_cast<Output*>(data);
  output->modeWidth = width;
  output->modeHeight = height;
}
void outputScale(void* data, wl_output*, int32_t factor) {
  static_cast<Output*>(data)->scale = std::max(1, factor);
}
void outputName(void*, wl_output*, const char*) {}
void outputDescription(void*, wl_output*, const char*) {}
void outputDone(void* data, wl_output*) {
  Display* d = static_cast<Output*>(data)->owner;
  if (d->outputsChanged) d->outputsChanged();
}

const wl_output_listener kOutputListener = {outputGeometry, outputMode, outputDone,
                                            outputScale,    outputName, outputDescription};

void ping(void*, xdg_wm_base* base, uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmBaseListener = {ping};

}  // namespace

struct RegistryEvents {
  static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version) {
    auto* d = static_cast<Display*>(data);
    auto bind = [&](const wl_interface* type, uint32_t highest) {
      return wl_registry_bind(registry, name, type, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
      d->compositorVersion = std::min(version, 4u);
      d->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
      d->subcompositor = static_cast<wl_subcompositor*>(bind(&wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
      d->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
      d->wmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
      xdg_wm_base_add_listener(d->wmBase, &kWmBaseListener, d);
    } else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0) {
      d->idleInhibitManager = static_cast<zwp_idle_inhibit_manager_v1*>(
          bind(&zwp_idle_inhibit_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
      d->viewporter = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
    } else if (std::strcmp(interface, wl_data_device_manager_interface.name) == 0) {
      d->dataDeviceManager =
          static_cast<wl_data_device_manager*>(bind(&wl_data_device_manager_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
      auto output = std::make_unique<Output>();
      output->owner = d;
      output->name = name;
      output->output = static_cast<wl_output*>(bind(&wl_output_interface, 2));
      wl_output_add_listener(output->output, &kOutputListener, output.get());
      d->outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
      d->newSeats.push_back({static_cast<wl_seat*>(bind(&wl_seat_interface, 5)), name});
    }
  }
  static void globalRemove(void* data, wl_registry*, uint32_t name) {
    auto* d = static_cast<Display*>(data);
    auto it = std::find_if(d->outputs.begin(), d->outputs.end(),
                           [name](const auto& o) { return o->name == name; });
    if (it != d->outputs.end()) {
      wl_output_destroy((*it)->output);
      d->outputs.erase(it);
      if (d->outputsChanged) d->outputsChanged();
    }
    d->removedGlobals.push_back(name);
  }
};

namespace {
const wl_registry_listener kRegistryListener = {RegistryEvents::global,
                                                RegistryEvents::globalRemove};
}  // namespace

std::unique_ptr<Display> Display::connect(std::string& missing) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    missing = "no compositor answers";
    return nullptr;
  }
  std::unique_ptr<Display> d(new Display);
  d->display = display;
  d->registry = wl_display_get_registry(display);
  wl_registry_add_listener(d->registry, &kRegistryListener, d.get());
  // The globals, then what the outputs say of themselves.
  if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0) {
    missing = "the compositor does not answer";
    return nullptr;
  }
  if (!d->compositor || !d->subcompositor || !d->shm || !d->wmBase) {
    missing = "the compositor lacks shared memory, subsurfaces or xdg-shell";
    return nullptr;
  }
  return d;
}

Display::~Display() {
  outputs.clear();
  if (display) wl_display_disconnect(display);
}

}  // namespace kit::wayland
