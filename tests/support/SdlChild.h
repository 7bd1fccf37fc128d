#pragma once

// A child process running the program in a real SDL window, for tests that drive the window with
// real X events (xdotool) and read the lines the child reports on a pipe.

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "kit/app/ApplicationDelegate.h"
#include "kit/app/ApplicationMain.h"
#include "kit/base/Geometry.h"
#include "support/TestSupport.h"

namespace testing_support {

// Why window tests cannot run here (no X display, no xdotool), or "" when they can.
std::string whyNoWindowTests();

// xdotool words that move the mouse to a screen point of `window`, letterboxed at the window's
// current size; "" if xdotool cannot tell that size.
std::string mouseMoveTo(const std::string& window, kit::Point screenPoint);

class SdlChild {
 public:
  using MakeDelegate = std::function<std::unique_ptr<kit::ApplicationDelegate>()>;
  // Forks a child running kit::applicationMain as the program `title`, which names its window.
  SdlChild(const std::string& title, const MakeDelegate& makeDelegate);
  // The same with the window's options (the title among them).
  SdlChild(const kit::WindowOptions& options, const MakeDelegate& makeDelegate);
  // Kills the child if it is still running.
  ~SdlChild();
  SdlChild(const SdlChild&) = delete;
  SdlChild& operator=(const SdlChild&) = delete;

  // In the child: sends one line to the parent.
  static void report(const std::string& line);

  // Reads report lines until one equals `expected`; false if the time ran out or the child went.
  bool waitFor(const std::string& expected, double seconds);
  // The child's visible window as xdotool names it; "" if it did not show within 20 seconds.
  std::string findWindow();
  // Sends SIGTERM, which SDL turns into the same quit event as the close button; true if the
  // child then reported `lastLine` and exited with status 0.
  bool quit(const std::string& lastLine);

  std::string lines;  // every line read so far, and the exit status, for failure messages

 private:
  std::string title_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace testing_support
