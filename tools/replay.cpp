// Runs the real kiosk without a window from a script of a person's actions (the commands are
// listed at Headless::runScript in kit/backends/headless/Headless.h; examples in tests/scripts):
//   tolvik-replay [--scale S] SCRIPT
// Log lines go to standard error; the data file is written under $HOME as by the kiosk.

#include <fstream>
#include <iostream>

#include "app/KioskSettings.h"
#include "app/TolvikAppDelegate.h"
#include "kit/backends/headless/Headless.h"
#include "kit/base/Options.h"

int main(int argc, char** argv) {
  std::string program = kit::programName(argc, argv);
  double scale = 1;
  kit::CommandLine line = kit::parseCommandLine(
      argc, argv, {{"scale", &scale, "Pixels per point of the screenshots (default 1)", "S"}},
      "SCRIPT", "Runs the kiosk without a window from a script of a person's actions.", 1);
  if (line.exitStatus) return *line.exitStatus;
  if (line.arguments.empty() || scale <= 0) {
    std::cerr << program << ": " << (scale <= 0 ? "the scale must be above 0" : "no SCRIPT given")
              << " (see " << program << " --help)\n";
    return 2;
  }
  const std::string& scriptPath = line.arguments.front();
  std::ifstream script(scriptPath);
  if (!script) {
    std::cerr << program << ": cannot open " << scriptPath << "\n";
    return 2;
  }
  // The key files as the kiosk reads them, so that a script runs with their settings.
  KioskSettings settings = loadKioskSettings(kioskSettingsFiles());
  kit::setMailSettings(settings.mail);
  kit::Headless headless(scale);
  if (!headless.launch(loadMainInterface(settings))) return 1;
  return headless.runScript(script, std::cerr);
}
