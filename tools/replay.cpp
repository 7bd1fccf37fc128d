// Runs the real kiosk without a window from a script of a person's actions (see DESIGN.md):
//   tolvik-replay [--scale S] SCRIPT
// Log lines go to standard error; the data file is written under $HOME as by the kiosk.

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "app/TolvikAppDelegate.h"
#include "kit/backends/headless/Headless.h"

int main(int argc, char** argv) {
  double scale = 1;
  const char* scriptPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      scale = std::atof(argv[++i]);
    } else {
      scriptPath = argv[i];
    }
  }
  if (!scriptPath || scale <= 0) {
    std::cerr << "usage: tolvik-replay [--scale S] SCRIPT\n";
    return 2;
  }
  std::ifstream script(scriptPath);
  if (!script) {
    std::cerr << "tolvik-replay: cannot open " << scriptPath << "\n";
    return 2;
  }
  kit::Headless headless(scale);
  if (!headless.launch(loadMainInterface())) return 1;
  return headless.runScript(script, std::cerr);
}
