// wayland-tap: taps points of the display through the compositor's virtual pointer, as a mouse
// would: `wayland-tap WIDTH HEIGHT X,Y...` presses and releases the left button at each point
// (X, Y) of a WIDTH x HEIGHT layout, a third of a second apart. Exits 1 if the compositor offers
// no virtual pointer.

#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

zwlr_virtual_pointer_manager_v1* gManager = nullptr;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    gManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {global, globalRemove};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s WIDTH HEIGHT X,Y...\n", argv[0]);
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    std::fprintf(stderr, "%s: no compositor\n", argv[0]);
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, nullptr);
  wl_display_roundtrip(display);
  if (!gManager) {
    std::fprintf(stderr, "%s: the compositor offers no virtual pointer\n", argv[0]);
    return 1;
  }
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(gManager, nullptr);
  uint32_t width = std::atoi(argv[1]), height = std::atoi(argv[2]), time = 0;
  // The new pointer reaches the seat's clients before it moves.
  wl_display_roundtrip(display);
  usleep(200000);
  for (int i = 3; i < argc; ++i) {
    unsigned x = 0, y = 0;
    if (std::sscanf(argv[i], "%u,%u", &x, &y) != 2) continue;
    zwlr_virtual_pointer_v1_motion_absolute(pointer, time += 10, x, y, width, height);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    usleep(50000);
    zwlr_virtual_pointer_v1_button(pointer, time += 10, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    usleep(50000);
    zwlr_virtual_pointer_v1_button(pointer, time += 10, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    usleep(300000);
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
