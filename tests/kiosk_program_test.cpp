// The kiosk program as a person starts it: where its portrait screen lies on any display, its
// command line, the one-line error where there is no display, and the whole form used with a
// real mouse and keyboard on a small X server without a window manager.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kit/backends/Letterbox.h"
#include "kit/base/Clock.h"
#include "support/KioskHarness.h"
#include "support/TestSupport.h"

using kit::Letterbox;
using testing_support::FormPoints;
using testing_support::readAll;
using testing_support::run;

namespace {

const std::string kKiosk = TOLVIK_BUILD_DIR "/tolvik-kiosk";

struct Outcome {
  int status;
  std::string out, err;
};

// Runs the kiosk with `arguments` after the environment changes in `environment` ("env" words).
Outcome runKiosk(const std::string& environment, const std::string& arguments) {
  testing_support::TempHome home;
  std::string out = home.path() + "/out", err = home.path() + "/err";
  std::string status = run("env " + environment + " timeout 5 " + kKiosk + " " + arguments + " >" +
                           out + " 2>" + err + "; echo $?");
  return {std::atoi(status.c_str()), readAll(out), readAll(err)};
}

// A process started with fork and exec, stopped with SIGTERM when it goes out of scope.
class Process {
 public:
  explicit Process(std::vector<std::string> argv, int keepFd = -1) {
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> args;
      for (std::string& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      if (keepFd >= 0) dup2(keepFd, 3);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0) stop();
  }
  // Sends SIGTERM and returns the exit status (-1 when killed by a signal).
  int stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace

TEST(KioskProgram, ItsScreenFitsAnyDisplayCentredAndTouchesMapBack) {
  // Drawable pixels; the scale (pixels per point, fractional where it must be) and the picture's
  // top-left corner; the form's Submit button (655, 960) lands where it is drawn.
  struct Case {
    double width, height, scale, x, y;
  };
  const Case cases[] = {
      {800, 600, 600.0 / 1024, 175, 0},    // smaller, landscape
      {768, 1024, 1, 0, 0},                // equal
      {1080, 1920, 1080.0 / 768, 0, 240},  // larger, portrait: bars above and below
      {1280, 720, 720.0 / 1024, 370, 0},   // landscape output of a kiosk compositor
      {1536, 2048, 2, 0, 0},               // double density
      {2160, 3840, 2160.0 / 768, 0, 480},  // fractional density, 4K portrait
      {1000, 512, 0.5, 308, 0},            // a wide window
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    Letterbox box = Letterbox::fit(c.width, c.height, false);
    EXPECT_DOUBLE_EQ(box.scale, c.scale);
    EXPECT_NEAR(box.x, c.x, 1e-9);
    EXPECT_NEAR(box.y, c.y, 1e-9);
    EXPECT_LE(box.x + box.width(), c.width + 1e-9);
    EXPECT_LE(box.y + box.height(), c.height + 1e-9);
    kit::Point submit = box.pixel({655, 960});
    kit::Point back = box.screenPoint(submit.x, submit.y);
    EXPECT_NEAR(back.x, 655, 1e-9);
    EXPECT_NEAR(back.y, 960, 1e-9);
  }
  // Pixels on the bars lie outside the screen.
  EXPECT_LT(Letterbox::fit(1000, 512, false).screenPoint(10, 10).x, 0);
  // Upside down the picture turns about its centre.
  Letterbox turned = Letterbox::fit(768, 1024, true);
  EXPECT_EQ(turned.screenPoint(168, 24), (kit::Point{600, 1000}));
  EXPECT_EQ(turned.pixel({600, 1000}), (kit::Point{168, 24}));

  EXPECT_EQ(kit::initialWindowSize(1366, 740), (kit::Size{555, 740}));
  // Full screen when asked, in kiosk mode, on a console or a small display, unless a window is
  // asked for outside kiosk mode.
  using kit::wantsFullScreen;
  using kit::WindowMode;
  EXPECT_FALSE(wantsFullScreen(WindowMode::Automatic, false, "x11", 1920, 1200));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, false, "x11", 1366, 768));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, false, "KMSDRM", 3840, 2160));
  EXPECT_TRUE(wantsFullScreen(WindowMode::FullScreen, false, "wayland", 1920, 1200));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, true, "wayland", 1920, 1200));
  EXPECT_FALSE(wantsFullScreen(WindowMode::Windowed, false, "x11", 800, 600));
}

TEST(KioskProgram, CommandLineKeyFileAndNoDisplay) {
  // A user's key file that turns kiosk mode on.
  testing_support::TempHome config;
  std::filesystem::create_directories(config.path() + "/tolvik");
  testing_support::writeAll(config.path() + "/tolvik/kiosk.conf", "[Kiosk]\nKioskMode=true\n");
  std::string kioskConfig = "XDG_CONFIG_HOME=" + config.path();
  struct Case {
    std::string environment;
    const char* arguments;
    int status;
    const char* output;  // expected in standard output, or in standard error when it fails
  };
  std::string noDisplay = "-u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER";
  const Case cases[] = {
      {"", "--version", 0, "tolvik-kiosk 1."},
      {"", "--help", 0, "--windowed"},
      {"", "--bogus", 2, "tolvik-kiosk: Unknown option --bogus"},
      {"", "--windowed --fullscreen", 2, "--windowed goes with neither"},
      {"", "--windowed --kiosk", 2, "--windowed goes with neither"},
      {kioskConfig, "--windowed", 2, "--windowed goes with neither"},
      {noDisplay, "--kiosk", 1, "no display"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.environment + " " + c.arguments);
    // A machine with a graphics card could open its console: there the kiosk would start.
    if (c.status == 1 && std::filesystem::exists("/dev/dri")) continue;
    Outcome outcome = runKiosk(c.environment, c.arguments);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    const std::string& text = c.status == 0 ? outcome.out : outcome.err;
    EXPECT_NE(text.find(c.output), std::string::npos) << text;
    if (c.status != 0) {
      // One line, which says what runs without a display when there is none.
      EXPECT_EQ(testing_support::countOf(outcome.err, "\n"), 1) << outcome.err;
      if (c.status == 1) {
        EXPECT_NE(outcome.err.find("DISPLAY is not set"), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("tolvik-replay runs the kiosk without one"), std::string::npos);
      }
    }
  }
}

TEST(KioskProgram, WholeFormFitsABareSmallXServer) {
  if (run("command -v Xvfb && command -v xdotool").empty())
    GTEST_SKIP() << "needs Xvfb and xdotool";
  testing_support::TempHome home;

  // An 800 x 600 X server with no window manager; it names its display on the pipe.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string xvfbLog = home.path() + "/xvfb.log";
  Process xvfb(
      {"sh", "-c", "exec Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 2>" + xvfbLog},
      fds[1]);
  close(fds[1]);
  // Xvfb writes the number and the line end separately; it stops if the pipe closes between.
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start: " << readAll(xvfbLog);
  std::string display = ":" + number;
  std::string xdotool = "DISPLAY=" + display + " timeout 20 xdotool ";
  std::string log = home.path() + "/kiosk.log";
  Process kiosk({"sh", "-c", "DISPLAY=" + display + " exec " + kKiosk + " 2>" + log});

  // Input only once the kiosk has launched (it logs the data file's path), so that none is lost.
  kit::SteadyClock clock;
  for (double end = clock.now() + 30; clock.now() < end;) {
    if (readAll(log).find("TolvikData.txt") != std::string::npos) break;
    usleep(100000);
  }
  std::string window =
      run(xdotool + "search --sync --onlyvisible --name '^tolvik-kiosk$' | head -n1");
  std::string geometry = run(xdotool + "getwindowgeometry --shell " + window);
  ASSERT_NE(geometry.find("X=0\nY=0\nWIDTH=800\nHEIGHT=600\n"), std::string::npos)
      << "display " << number << ", window " << window << geometry << readAll(xvfbLog)
      << readAll(log);

  // Screen points through the letterbox of the whole display.
  Letterbox box = Letterbox::fit(800, 600, false);
  auto at = [&](kit::Point p) {
    kit::Point pixel = box.pixel(p);
    return " mousemove " + std::to_string(std::lround(pixel.x)) + " " +
           std::to_string(std::lround(pixel.y));
  };
  auto tap = [&](kit::Point p) { run(xdotool + at(p) + " click 1 sleep 0.3"); };
  // Real key events: a letter typed by mistake goes again with Backspace.
  for (auto [field, text] : {std::pair{FormPoints::firstName, "Annax"},
                             {FormPoints::lastName, "Berg"},
                             {FormPoints::phone, "5552013344"},
                             {FormPoints::email, "anna@example.com"}}) {
    tap(field);
    run(xdotool + "type --delay 20 '" + text + "'");
    if (field == FormPoints::firstName) run(xdotool + "key BackSpace");
  }
  // A tap on the form puts the keyboard away; then the answers.
  tap(FormPoints::formBackground);
  usleep(500000);
  for (int answer : {1, 5, 6, 9, 10}) tap(FormPoints::answer(answer));

  // Pressed on Submit but released off it: nothing is stored.
  std::string data = home.documents() + "/TolvikData.txt";
  run(xdotool + at(FormPoints::submit) + " mousedown 1" + at({600, 600}) + " mouseup 1 sleep 0.5");
  EXPECT_EQ(readAll(data).find("\r\n"), std::string::npos);
  tap(FormPoints::submit);
  for (double end = clock.now() + 10; clock.now() < end;) {
    if (readAll(data).find("\r\nAnna,Berg,") != std::string::npos) break;
    usleep(100000);
  }
  EXPECT_NE(readAll(data).find(
                "\r\nAnna,Berg,(555) 201-3344,anna@example.com,,,\"Hiking,Camping,\",Yes,No,Yes,"),
            std::string::npos)
      << readAll(data) << readAll(log);
  EXPECT_EQ(kiosk.stop(), 0) << readAll(log);
}
