// The SDL backend in a real window: geometry of the letterbox, then a child process runs the
// program while this one clicks it with real X events (xdotool) and reads what it reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "kit/Application.h"
#include "kit/Button.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "kit/backends/sdl/Letterbox.h"
#include "support/SdlChild.h"

using kit::sdl::Letterbox;
using testing_support::run;
using testing_support::SdlChild;

TEST(SdlLetterbox, FitsThePortraitScreenAndMapsInputBack) {
  // A wide window: bars left and right, half scale; the bars lie outside the screen.
  Letterbox wide = Letterbox::fit(1000, 512, false);
  EXPECT_EQ(wide.screenPoint(500, 256), (kit::Point{384, 512}));
  EXPECT_LT(wide.screenPoint(10, 10).x, 0);
  // A tall window at double density: bars above and below.
  EXPECT_EQ(Letterbox::fit(1536, 2400, false).pixel({100, 900}), (kit::Point{200, 1976}));
  // Upside down the picture turns about its centre.
  Letterbox turned = Letterbox::fit(768, 1024, true);
  EXPECT_EQ(turned.screenPoint(168, 24), (kit::Point{600, 1000}));
  EXPECT_EQ(turned.pixel({600, 1000}), (kit::Point{168, 24}));

  EXPECT_EQ(kit::sdl::initialWindowSize(1366, 740), (kit::Size{555, 740}));
  EXPECT_FALSE(kit::sdl::wantsFullScreen("x11", 1920, 1200));
  EXPECT_TRUE(kit::sdl::wantsFullScreen("x11", 1366, 768));
  EXPECT_TRUE(kit::sdl::wantsFullScreen("KMSDRM", 3840, 2160));
}

namespace {

// The child reports "launched", "clicked N", and "total N" on the way out.
int clicks = 0;

class ClickDelegate : public kit::ApplicationDelegate {
 public:
  ~ClickDelegate() override { SdlChild::report("total " + std::to_string(clicks)); }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    window_->backgroundColor = kit::Color::white();
    auto* button = window_->addSubview(std::make_unique<kit::Button>(kit::Size{200, 120}));
    button->backgroundColor = kit::Color::red();
    button->setCenter({384, 512});
    button->addAction([] { SdlChild::report("clicked " + std::to_string(++clicks)); },
                      kit::ControlEvent::TouchUpInside);
    window_->makeKeyAndVisible();
    SdlChild::report("launched");
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
};

}  // namespace

TEST(SdlSmoke, ClicksAButtonInARealWindow) {
  if (std::string why = testing_support::whyNoWindowTests(); !why.empty()) GTEST_SKIP() << why;
  SdlChild child("kit-smoke-" + std::to_string(getpid()),
                 [] { return std::make_unique<ClickDelegate>(); });
  ASSERT_TRUE(child.waitFor("launched", 20)) << child.lines;
  std::string window = child.findWindow();
  ASSERT_FALSE(window.empty()) << "the window did not appear";

  // xdotool words that move the mouse to a screen point, from the window's current size.
  auto moveTo = [&](kit::Point screenPoint) {
    std::string shell = run("xdotool getwindowgeometry --shell " + window);
    size_t w = shell.find("WIDTH="), h = shell.find("HEIGHT=");
    if (w == std::string::npos || h == std::string::npos) return std::string("");
    kit::Point p =
        Letterbox::fit(std::atoi(shell.c_str() + w + 6), std::atoi(shell.c_str() + h + 7), false)
            .pixel(screenPoint);
    return " mousemove --window " + window + " " + std::to_string(int(p.x)) + " " +
           std::to_string(int(p.y));
  };

  // A plain click on the button at the window's first size, the window raised above any other.
  run("xdotool windowraise " + window);
  run("xdotool" + moveTo({384, 512}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 1", 10)) << child.lines;

  // A wide window letterboxes the screen; the click still finds the button.
  run("xdotool windowsize --sync " + window + " 900 600");
  run("xdotool" + moveTo({440, 560}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 2", 10)) << child.lines;

  // Pressed on the button but released off it: no action; a click after it is the third.
  run("xdotool" + moveTo({384, 512}) + " mousedown 1" + moveTo({100, 900}) + " mouseup 1");
  run("xdotool" + moveTo({384, 512}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 3", 10)) << child.lines;

  EXPECT_TRUE(child.quit("total 3")) << child.lines;
}
