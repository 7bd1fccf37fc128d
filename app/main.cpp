// The kiosk program: reads its command line, then runs the kiosk in a window or full screen.

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "admin/StaffPassword.h"
#include "app/KioskSettings.h"
#include "app/TolvikAppDelegate.h"
#include "kit/app/ApplicationMain.h"
#include "kit/base/Options.h"
#include "kit/graphics/Image.h"

#ifndef TOLVIK_VERSION
#define TOLVIK_VERSION "unknown"
#endif

namespace {

// Installed, the pictures lie in share/tolvik-kiosk/resources beside the program's bin folder; in
// a build tree the kit's default, the build's resources folder, holds them.
void useInstalledPictures() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  std::filesystem::path installed =
      program.parent_path().parent_path() / "share" / "tolvik-kiosk" / "resources";
  if (std::filesystem::is_directory(installed, error)) {
    kit::Image::setResourceDirectory(installed.string());
  }
}

// One line from standard input; on a terminal after `prompt`, without showing what is typed.
std::string readPassword(const char* prompt) {
  termios saved{};
  const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    std::fputs(prompt, stderr);
    termios hidden = saved;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
  }
  std::string password;
  std::getline(std::cin, password);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
  }
  return password;
}

// --hash-password: reads a staff password (twice on a terminal) and prints the key file line
// that holds its hash.
int printPasswordHash(const std::string& program) {
  std::string password = readPassword("New staff password: ");
  std::string again = isatty(STDIN_FILENO) ? readPassword("The same again: ") : password;
  std::string hash;
  const char* fault = password.empty()                          ? "an empty password is refused"
                      : password != again                       ? "the two passwords differ"
                      : (hash = hashPassword(password)).empty() ? "the system cannot hash it"
                                                                : nullptr;
  explicit_bzero(password.data(), password.size());
  explicit_bzero(again.data(), again.size());
  if (fault) {
    std::fprintf(stderr, "%s: %s; nothing printed\n", program.c_str(), fault);
    return 1;
  }
  std::fprintf(stderr, "Put this line in the [Staff] group of /etc/tolvik/kiosk.conf:\n");
  std::printf("PasswordHash=%s\n", hash.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  KioskSettings settings = loadKioskSettings(kioskSettingsFiles());
  kit::setMailSettings(settings.mail);
  kit::WindowOptions window;
  window.title = kit::programName(argc, argv);
  window.withoutDisplay = "tolvik-replay runs the kiosk without one";
  bool fullScreen = false, windowed = false, version = false, hashPasswordLine = false;
  kit::CommandLine line = kit::parseCommandLine(
      argc, argv,
      {{"kiosk", &window.kiosk,
        "Kiosk mode (also [Kiosk] KioskMode=true in kiosk.conf): full screen, nothing else "
        "reachable"},
       {"fullscreen", &fullScreen, "Cover the whole display"},
       {"windowed", &windowed, "Stay in a window, even on a display smaller than the screen"},
       {"version", &version, "Print the version and exit"},
       {"hash-password", &hashPasswordLine,
        "Read a staff password without showing it and print the kiosk.conf line that keeps its "
        "hash"}},
      "",
      "A touch-screen survey kiosk. Answers go to TolvikData.txt in the Documents folder;\n"
      "settings are read from /etc/tolvik/kiosk.conf and ~/.config/tolvik/kiosk.conf.",
      0);
  if (line.exitStatus) return *line.exitStatus;
  if (version) {
    std::printf("tolvik-kiosk %s\n", TOLVIK_VERSION);
    return 0;
  }
  if (hashPasswordLine) return printPasswordHash(window.title);
  window.kiosk = window.kiosk || settings.kioskMode;
  if (windowed && (fullScreen || window.kiosk)) {
    std::fprintf(stderr, "%s: --windowed goes with neither --fullscreen nor kiosk mode\n",
                 window.title.c_str());
    return 2;
  }
  if (fullScreen) window.mode = kit::WindowMode::FullScreen;
  if (windowed) window.mode = kit::WindowMode::Windowed;
  useInstalledPictures();
  return kit::applicationMain(window, [&settings] { return loadMainInterface(settings); });
}
