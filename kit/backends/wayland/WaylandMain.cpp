#include "kit/backends/wayland/WaylandMain.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/app/MainContextWait.h"
#include "kit/backends/StatusBarUpdates.h"
#include "kit/backends/wayland/Display.h"
#include "kit/backends/wayland/Seat.h"
#include "kit/backends/wayland/Toplevel.h"
#include "kit/base/Clock.h"
#include "kit/base/Log.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"

namespace kit::wayland {

namespace {

// How long the loop waits for a frame the compositor holds back (a window out of sight) before it
// runs the application's timers anyway.
constexpr double kHeldFrameTimeout = 0.1;  // seconds

// SIGTERM and SIGINT end the program as closing its window does: through a pipe the loop watches.
int gSignalPipe[2] = {-1, -1};
void onSignal(int) {
  int saved = errno;
  char byte = 1;
  ssize_t ignored = write(gSignalPipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

bool watchSignals() {
  if (gSignalPipe[0] < 0 && pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0;
}

// The window, its seats and the application, turned by the compositor's events and the clock.
class Loop {
 public:
  Loop(Display& display, Toplevel& window, Application& app, const WindowOptions& options)
      : display_(display), window_(window), app_(app), options_(options) {}

  // Runs until the window is closed (0), a signal ends the program (0) or the compositor goes
  // away (1, said in one line).
  int run() {
    StatusBarUpdates statusBar(app_);
    double scale = currentRenderScale();
    while (true) {
      if (wl_display_dispatch_pending(display_.display) < 0) return gone();
      takeSeats();
      if (window_.closeRequested) {
        if (!options_.kiosk) return 0;
        window_.closeRequested = false;  // a kiosk stays
      }
      if (signalled_) return 0;
      for (const auto& seat : seats_) seat->repeatKeys();
      app_.runOnce();

      double now = app_.clock().now();
      statusBar.update();
      if (window_.renderScale() != scale) {
        scale = window_.renderScale();
        setCurrentRenderScale(scale);
        app_.setNeedsDisplay();
      }
      // A frame goes out when the compositor has taken up the last one: its frame callback sets
      // the pace while something moves.
      double wake = std::min({app_.nextWakeTime(), statusBar.nextTime(), nextRepeat()});
      if (app_.needsDisplay() || window_.needsRedraw()) {
        if (!window_.canDraw()) {
          wake = now + kHeldFrameTimeout;
        } else {
          Toplevel::Drawn drawn = window_.draw(app_);
          if (drawn == Toplevel::Drawn::Failed) return 1;
          // Something moves that shows nowhere: it keeps a frame's pace all the same.
          if (drawn == Toplevel::Drawn::Nothing)
            wake = now + kFrameInterval;
          else if (wake <= now)
            wake = now + kHeldFrameTimeout;
        }
      }
      // Nothing to draw: a step of preparing what a coming transition needs, then a look for
      // input again without sleeping.
      if (!app_.needsDisplay() && !window_.needsRedraw() && app_.prepareWhileIdle()) wake = now;
      if (!wait(wake - app_.clock().now())) return gone();
    }
  }

  ~Loop() { seats_.clear(); }

 private:
  double nextRepeat() const {
    double next = 1e300;
    for (const auto& seat : seats_) next = std::min(next, seat->nextRepeat());
    return next;
  }

  void takeSeats() {
    for (const Display::SeatGlobal& s : display_.newSeats) {
      seats_.push_back(
          std::make_unique<Seat>(display_, window_, app_, s.seat, s.name, options_.kiosk));
    }
    display_.newSeats.clear();
    for (uint32_t name : display_.removedGlobals) {
      std::erase_if(seats_, [name](const auto& seat) { return seat->name() == name; });
    }
    display_.removedGlobals.clear();
  }

  // Sleeps until the compositor says something, a signal comes, one of GLib's sources is ready or
  // `seconds` pass, reads what the compositor said and dispatches GLib's ready sources; false if
  // the compositor went away.
  bool wait(double seconds) {
    wl_display* d = display_.display;
    while (wl_display_prepare_read(d) != 0) {
      if (wl_display_dispatch_pending(d) < 0) return false;
    }
    bool writing = false;
    if (wl_display_flush(d) < 0) {
      if (errno != EAGAIN) {
        wl_display_cancel_read(d);
        return false;
      }
      writing = true;  // the socket is full: wait until it takes more
    }
    int timeout = seconds >= 3600 ? 3600 * 1000 : std::max(0, int(std::ceil(seconds * 1000)));
    std::vector<pollfd> fds = {{wl_display_get_fd(d), short(POLLIN | (writing ? POLLOUT : 0)), 0},
                               {gSignalPipe[0], POLLIN, 0}};
    MainContextWait glib;
    int glibTimeout = glib.prepare(fds);
    if (glibTimeout >= 0) timeout = std::min(timeout, glibTimeout);
    int ready = poll(fds.data(), fds.size(), timeout);
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
      if (wl_display_read_events(d) < 0) return false;
    } else {
      wl_display_cancel_read(d);
    }
    if (ready > 0 && (fds[1].revents & POLLIN)) {
      char bytes[16];
      while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
      }
      signalled_ = true;
    }
    glib.dispatch(fds);
    return true;
  }

  int gone() {
    wl_display* d = display_.display;
    int error = wl_display_get_error(d);
    std::string why = std::strerror(error ? error : errno);
    if (error == EPROTO) {
      const wl_interface* interface = nullptr;
      uint32_t id = 0;
      uint32_t code = wl_display_get_protocol_error(d, &interface, &id);
      why = "protocol error " + std::to_string(code) + " on " +
            (interface ? interface->name : "the display");
    }
    std::fprintf(stderr, "%s: the Wayland compositor went away (%s)\n", options_.title.c_str(),
                 why.c_str());
    return 1;
  }

  Display& display_;
  Toplevel& window_;
  Application& app_;
  const WindowOptions& options_;
  std::vector<std::unique_ptr<Seat>> seats_;
  bool signalled_ = false;
};

}  // namespace

std::optional<int> applicationMain(
    const WindowOptions& options,
    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate) {
  std::string missing;
  std::unique_ptr<Display> display = Display::connect(missing);
  if (!display) return std::nullopt;
  if (!watchSignals()) {
    std::fprintf(stderr, "%s: cannot watch for signals: %s\n", options.title.c_str(),
                 std::strerror(errno));
    return 1;
  }
  SteadyClock clock;
  Application app(clock);
  Toplevel window(*display, options);
  display->outputsChanged = [&window] { window.outputsChanged(); };
  // The first configure sets the size, and so the scale at which pictures are made.
  while (!window.isConfigured()) {
    if (wl_display_dispatch(display->display) < 0) {
      std::fprintf(stderr, "%s: the Wayland compositor went away before the window showed\n",
                   options.title.c_str());
      return 1;
    }
  }
  setCurrentRenderScale(window.renderScale());
  int status = 0;
  {
    Loop loop(*display, window, app, options);
    if (app.launch(makeDelegate())) {
      status = loop.run();
    } else {
      log("the application declined to launch");
      status = 1;
    }
  }
  display->outputsChanged = nullptr;
  return status;
}

}  // namespace kit::wayland
