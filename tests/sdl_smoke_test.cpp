// The SDL backend in a real window: geometry of the letterbox, then a child process runs the
// program while this one clicks it with real X events (xdotool) and reads what it reports.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "kit/Application.h"
#include "kit/ApplicationMain.h"
#include "kit/Button.h"
#include "kit/Clock.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "kit/backends/sdl/Letterbox.h"

using kit::sdl::Letterbox;

TEST(SdlLetterbox, FitsThePortraitScreenAndMapsInputBack) {
  // A wide window: bars left and right, half scale.
  Letterbox wide = Letterbox::fit(1000, 512, false);
  EXPECT_DOUBLE_EQ(wide.scale, 0.5);
  EXPECT_DOUBLE_EQ(wide.x, (1000 - 384) / 2.0);
  EXPECT_DOUBLE_EQ(wide.y, 0);
  EXPECT_EQ(wide.screenPoint(wide.x, 0), (kit::Point{0, 0}));
  EXPECT_EQ(wide.screenPoint(500, 256), (kit::Point{384, 512}));
  EXPECT_LT(wide.screenPoint(10, 10).x, 0) << "the bars lie outside the screen";

  // A tall window at double density: bars above and below.
  Letterbox tall = Letterbox::fit(1536, 2400, false);
  EXPECT_DOUBLE_EQ(tall.scale, 2);
  EXPECT_DOUBLE_EQ(tall.y, (2400 - 2048) / 2.0);
  kit::Point p{100, 900};
  kit::Point px = tall.pixel(p);
  EXPECT_EQ(tall.screenPoint(px.x, px.y), p);

  // Upside down the picture turns about its centre: the top-left pixel shows the bottom-right.
  Letterbox turned = Letterbox::fit(768, 1024, true);
  EXPECT_EQ(turned.screenPoint(0, 0), (kit::Point{768, 1024}));
  EXPECT_EQ(turned.screenPoint(168, 24), (kit::Point{600, 1000}));
  EXPECT_EQ(turned.pixel({600, 1000}), (kit::Point{168, 24}));

  EXPECT_EQ(kit::sdl::initialWindowSize(1920, 1200), (kit::Size{768, 1024}));
  EXPECT_EQ(kit::sdl::initialWindowSize(1920, 1050), (kit::Size{768, 1024}));
  EXPECT_EQ(kit::sdl::initialWindowSize(1366, 740), (kit::Size{555, 740}));
  EXPECT_FALSE(kit::sdl::wantsFullScreen("x11", 1920, 1200));
  EXPECT_TRUE(kit::sdl::wantsFullScreen("x11", 1366, 768));
  EXPECT_TRUE(kit::sdl::wantsFullScreen("KMSDRM", 3840, 2160));
}

namespace {

// What the child reports on its pipe: "launched", "clicked N", and "total N" on the way out.
int reportFd = -1;
int clicks = 0;

void report(const std::string& line) {
  std::string text = line + "\n";
  ssize_t ignored = write(reportFd, text.data(), text.size());
  (void)ignored;
}

class ClickController : public kit::ViewController {
 public:
  void viewDidLoad() override {
    auto button = std::make_unique<kit::Button>(kit::Size{200, 120});
    button->backgroundColor = kit::Color::red();
    button->setCenter({384, 492});  // screen (384, 512): the root view starts below the status bar
    button->addAction([] { report("clicked " + std::to_string(++clicks)); },
                      kit::ControlEvent::TouchUpInside);
    view()->backgroundColor = kit::Color::white();
    view()->addSubview(std::move(button));
  }
};

class ClickDelegate : public kit::ApplicationDelegate {
 public:
  ~ClickDelegate() override { report("total " + std::to_string(clicks)); }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    controller_ = std::make_unique<ClickController>();
    window_->addSubview(controller_->view());
    window_->makeKeyAndVisible();
    report("launched");
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
  std::unique_ptr<ClickController> controller_;
};

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

// Reads the child's report lines until one equals `expected`, or the time is up.
class Reports {
 public:
  explicit Reports(int fd) : fd_(fd) {}

  bool waitFor(const std::string& expected, double seconds) {
    double deadline = clock_.now() + seconds;
    for (;;) {
      size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        lines += line + "\n";
        if (line == expected) return true;
        continue;
      }
      double left = deadline - clock_.now();
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
      char chunk[256];
      ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) return false;  // the child is gone
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  std::string lines;  // everything read so far, for failure messages

 private:
  int fd_;
  std::string buffer_;
  kit::SteadyClock clock_;
};

// Where a screen point lies in the window, from the window's current size.
std::string windowPosition(const std::string& window, kit::Point screenPoint) {
  std::string shell = run("xdotool getwindowgeometry --shell " + window);
  int width = 0, height = 0;
  size_t w = shell.find("WIDTH="), h = shell.find("HEIGHT=");
  if (w != std::string::npos) width = std::atoi(shell.c_str() + w + 6);
  if (h != std::string::npos) height = std::atoi(shell.c_str() + h + 7);
  kit::Point p = Letterbox::fit(width, height, false).pixel(screenPoint);
  return std::to_string(static_cast<int>(p.x)) + " " + std::to_string(static_cast<int>(p.y));
}

}  // namespace

TEST(SdlSmoke, ClicksAButtonInARealWindow) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
  if (run("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";

  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  std::string title = "kit-smoke-" + std::to_string(getpid());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(fds[0]);
    reportFd = fds[1];
    std::string name = title;
    char* argv[] = {name.data(), nullptr};
    int status = kit::applicationMain(1, argv, [] { return std::make_unique<ClickDelegate>(); });
    _exit(status);
  }
  close(fds[1]);
  Reports reports(fds[0]);
  auto stopChild = [&](int signal) {
    kill(child, signal);
    int status = 0;
    if (signal == SIGKILL) waitpid(child, &status, 0);
    return status;
  };

  ASSERT_TRUE(reports.waitFor("launched", 20)) << reports.lines;
  std::string window =
      run("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n1");
  while (!window.empty() && window.back() == '\n') window.pop_back();
  if (window.empty()) {
    stopChild(SIGKILL);
    FAIL() << "the window did not appear";
  }

  // A plain click on the button at the window's first size, the window raised above any other.
  run("xdotool windowraise " + window);
  run("xdotool mousemove --window " + window + " " + windowPosition(window, {384, 512}) +
      " click 1");
  EXPECT_TRUE(reports.waitFor("clicked 1", 10)) << reports.lines;

  // A wide window letterboxes the screen; the click still finds the button.
  run("xdotool windowsize --sync " + window + " 900 600");
  run("xdotool mousemove --window " + window + " " + windowPosition(window, {440, 560}) +
      " click 1");
  EXPECT_TRUE(reports.waitFor("clicked 2", 10)) << reports.lines;

  // Pressed on the button but released off it: no action; a click after it is the third.
  run("xdotool mousemove --window " + window + " " + windowPosition(window, {384, 512}) +
      " mousedown 1 mousemove --window " + window + " " + windowPosition(window, {100, 900}) +
      " mouseup 1");
  run("xdotool mousemove --window " + window + " " + windowPosition(window, {384, 512}) +
      " click 1");
  EXPECT_TRUE(reports.waitFor("clicked 3", 10)) << reports.lines;

  // Closing: SDL turns the termination signal into the same quit event as the close button.
  kill(child, SIGTERM);
  bool closed = reports.waitFor("total 3", 20);
  EXPECT_TRUE(closed) << reports.lines;
  if (!closed) {
    stopChild(SIGKILL);
  } else {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  close(fds[0]);
}
