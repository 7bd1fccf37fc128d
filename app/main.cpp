// The kiosk program: reads its command line, then runs the kiosk in a window or full screen.

#include <cstdio>

#include "app/TolvikAppDelegate.h"
#include "kit/ApplicationMain.h"
#include "kit/Options.h"

#ifndef TOLVIK_VERSION
#define TOLVIK_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  kit::WindowOptions window;
  window.title = kit::programName(argc, argv);
  window.withoutDisplay = "tolvik-replay runs the kiosk without one";
  bool fullScreen = false, windowed = false, version = false;
  kit::CommandLine line = kit::parseCommandLine(
      argc, argv,
      {{"kiosk", &window.kiosk,
        "Kiosk mode: full screen, no way to close or switch away, pointer hidden until a mouse "
        "moves, display kept on"},
       {"fullscreen", &fullScreen, "Cover the whole display"},
       {"windowed", &windowed, "Stay in a window, even on a display smaller than the screen"},
       {"version", &version, "Print the version and exit"}},
      "", "A touch-screen survey kiosk: visitors' answers go to ~/Documents/TolvikData.txt.", 0);
  if (line.exitStatus) return *line.exitStatus;
  if (version) {
    std::printf("tolvik-kiosk %s\n", TOLVIK_VERSION);
    return 0;
  }
  if (windowed && (fullScreen || window.kiosk)) {
    std::fprintf(stderr, "%s: --windowed goes with neither --fullscreen nor kiosk mode\n",
                 window.title.c_str());
    return 2;
  }
  if (fullScreen) window.mode = kit::WindowMode::FullScreen;
  if (windowed) window.mode = kit::WindowMode::Windowed;
  return kit::applicationMain(window, [] { return loadMainInterface(); });
}
