// The SDL backend in a real window: geometry of the letterbox, then a child process runs the
// program while this one clicks and drags in it with real X events (xdotool) and reads what it
// reports. Typing into a real window is tried on the kiosk itself (kiosk_program_test).

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "kit/app/Application.h"
#include "kit/backends/Letterbox.h"
#include "kit/ui/Button.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"
#include "support/SdlChild.h"

using kit::Letterbox;
using testing_support::mouseMoveTo;
using testing_support::run;
using testing_support::SdlChild;

TEST(SdlLetterbox, FitsAnyDisplayCentredAndMapsTouchesBack) {
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
  using kit::WindowMode;
  using kit::wantsFullScreen;
  EXPECT_FALSE(wantsFullScreen(WindowMode::Automatic, false, "x11", 1920, 1200));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, false, "x11", 1366, 768));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, false, "KMSDRM", 3840, 2160));
  EXPECT_TRUE(wantsFullScreen(WindowMode::FullScreen, false, "wayland", 1920, 1200));
  EXPECT_TRUE(wantsFullScreen(WindowMode::Automatic, true, "wayland", 1920, 1200));
  EXPECT_FALSE(wantsFullScreen(WindowMode::Windowed, false, "x11", 800, 600));
}

namespace {

// The child reports "launched", "clicked N" for the button, "scrolled clicked" for the button in
// the scroll view, and "total N" on the way out.
int clicks = 0;

// A red button at screen (284..484, 140..260), and a 300 x 200 scroll view at screen
// (234..534, 500..700) over 1000 points of content with a button at content y 150..250, half in
// sight.
class ClickDelegate : public kit::ApplicationDelegate {
 public:
  ~ClickDelegate() override { SdlChild::report("total " + std::to_string(clicks)); }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    window_->backgroundColor = kit::Color::white();
    auto* button = window_->addSubview(std::make_unique<kit::Button>(kit::Size{200, 120}));
    button->backgroundColor = kit::Color::red();
    button->setCenter({384, 200});
    button->addAction([] { SdlChild::report("clicked " + std::to_string(++clicks)); },
                      kit::ControlEvent::TouchUpInside);
    auto* scroller = window_->addSubview(std::make_unique<kit::ScrollView>(kit::Size{300, 200}));
    scroller->setFrame({{234, 500}, {300, 200}});
    scroller->backgroundColor = kit::Color::lightGray();
    scroller->setContentSize({300, 1000});
    auto* inside =
        scroller->contentView()->addSubview(std::make_unique<kit::Button>(kit::Size{300, 100}));
    inside->backgroundColor = kit::Color::red();
    inside->setCenter({150, 200});
    inside->addAction([] { SdlChild::report("scrolled clicked"); },
                      kit::ControlEvent::TouchUpInside);
    window_->makeKeyAndVisible();
    SdlChild::report("launched");
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
};

}  // namespace

TEST(SdlSmoke, ClicksAndDragsInARealWindow) {
  if (std::string why = testing_support::whyNoWindowTests(); !why.empty()) GTEST_SKIP() << why;
  SdlChild child("kit-smoke-" + std::to_string(getpid()),
                 [] { return std::make_unique<ClickDelegate>(); });
  ASSERT_TRUE(child.waitFor("launched", 20)) << child.lines;
  std::string window = child.findWindow();
  ASSERT_FALSE(window.empty()) << "the window did not appear";

  auto moveTo = [&](kit::Point screenPoint) { return mouseMoveTo(window, screenPoint); };

  // A plain click on the button at the window's first size, the window raised above any other.
  run("xdotool windowraise " + window);
  run("xdotool" + moveTo({384, 200}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 1", 10)) << child.lines;

  // Pressed on the button in the scroll view, dragged up in steps, held still and released over
  // the button where the content brought it: the drag scrolls 160 points (from where it was
  // recognised) and the button does not fire. It then lies at screen y 490..590 and takes a
  // plain click there.
  std::string drag = "xdotool" + moveTo({384, 675}) + " mousedown 1";
  for (int y = 655; y >= 495; y -= 20) drag += moveTo({384, double(y)}) + " sleep 0.02";
  run(drag + " sleep 0.4 mouseup 1");
  run("xdotool" + moveTo({384, 550}) + " click 1");
  EXPECT_TRUE(child.waitFor("scrolled clicked", 10)) << child.lines;

  // A wide window letterboxes the screen; the click still finds the button.
  run("xdotool windowsize --sync " + window + " 900 600");
  run("xdotool" + moveTo({440, 240}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 2", 10)) << child.lines;

  // Pressed on the button but released off it: no action; a click after it is the third.
  run("xdotool" + moveTo({384, 200}) + " mousedown 1" + moveTo({100, 900}) + " mouseup 1");
  run("xdotool" + moveTo({384, 200}) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 3", 10)) << child.lines;

  EXPECT_TRUE(child.quit("total 3")) << child.lines;
}

TEST(SdlSmoke, KioskModeCoversTheDisplayAndASignalStillEndsIt) {
  if (std::string why = testing_support::whyNoWindowTests(); !why.empty()) GTEST_SKIP() << why;
  kit::WindowOptions options;
  options.title = "kit-kiosk-" + std::to_string(getpid());
  options.kiosk = true;
  SdlChild child(options, [] { return std::make_unique<ClickDelegate>(); });
  ASSERT_TRUE(child.waitFor("launched", 20)) << child.lines;
  std::string window = child.findWindow();
  ASSERT_FALSE(window.empty()) << "the window did not appear";

  // The whole display, even one large enough for a window, with nothing around the picture.
  std::string display = run("xdotool getdisplaygeometry");
  int width = std::atoi(display.c_str()), height = std::atoi(display.c_str() + display.find(' '));
  std::string geometry = run("xdotool getwindowgeometry --shell " + window);
  EXPECT_NE(geometry.find("X=0\nY=0\nWIDTH=" + std::to_string(width) +
                          "\nHEIGHT=" + std::to_string(height) + "\n"),
            std::string::npos)
      << display << geometry;
  kit::Point button = Letterbox::fit(width, height, false).pixel({384, 200});
  run("xdotool windowraise " + window + " mousemove " + std::to_string(int(button.x)) + " " +
      std::to_string(int(button.y)) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 1", 10)) << child.lines;
  // Staff stop the service with a signal; the kiosk ends as usual.
  EXPECT_TRUE(child.quit("total 1")) << child.lines;
}
