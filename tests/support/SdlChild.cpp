#include "SdlChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "kit/app/ApplicationMain.h"
#include "kit/backends/Letterbox.h"
#include "kit/base/Clock.h"

namespace testing_support {

namespace {
int reportFd = -1;
}  // namespace

std::string whyNoWindowTests() {
  if (!std::getenv("DISPLAY")) return "no X display (run under xvfb-run)";
  if (run("command -v xdotool").empty()) return "xdotool is not installed";
  return "";
}

std::string mouseMoveTo(const std::string& window, kit::Point screenPoint) {
  std::string shell = run("xdotool getwindowgeometry --shell " + window);
  size_t w = shell.find("WIDTH="), h = shell.find("HEIGHT=");
  if (w == std::string::npos || h == std::string::npos) return "";
  kit::Point p =
      kit::Letterbox::fit(std::atoi(shell.c_str() + w + 6), std::atoi(shell.c_str() + h + 7), false)
          .pixel(screenPoint);
  return " mousemove --window " + window + " " + std::to_string(int(p.x)) + " " +
         std::to_string(int(p.y));
}

namespace {
kit::WindowOptions titled(const std::string& title) {
  kit::WindowOptions options;
  options.title = title;
  return options;
}
}  // namespace

SdlChild::SdlChild(const std::string& title, const MakeDelegate& makeDelegate)
    : SdlChild(titled(title), makeDelegate) {}

SdlChild::SdlChild(const kit::WindowOptions& options, const MakeDelegate& makeDelegate)
    : title_(options.title) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(fds[0]);
    reportFd = fds[1];
    // An X window, which xdotool drives, even inside a Wayland session.
    unsetenv("WAYLAND_DISPLAY");
    _exit(kit::applicationMain(options, makeDelegate));
  }
  close(fds[1]);
  fd_ = fds[0];
}

SdlChild::~SdlChild() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(fd_);
}

void SdlChild::report(const std::string& line) {
  std::string text = line + "\n";
  ssize_t ignored = write(reportFd, text.data(), text.size());
  (void)ignored;
}

bool SdlChild::waitFor(const std::string& expected, double seconds) {
  kit::SteadyClock clock;
  double deadline = clock.now() + seconds;
  for (;;) {
    size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      lines += line + "\n";
      if (line == expected) return true;
      continue;
    }
    double left = deadline - clock.now();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    char chunk[256];
    ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

std::string SdlChild::findWindow() {
  std::string window =
      run("timeout 20 xdotool search --sync --onlyvisible --name '^" + title_ + "$' | head -n1");
  while (!window.empty() && window.back() == '\n') window.pop_back();
  return window;
}

bool SdlChild::quit(const std::string& lastLine) {
  kill(pid_, SIGTERM);
  if (!waitFor(lastLine, 20)) return false;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  lines += "exit status " + std::to_string(status) + "\n";
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testing_support
