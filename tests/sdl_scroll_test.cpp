// A scroll view dragged with the mouse in a real window: the drag moves the content and presses
// nothing; a click afterwards finds the button where the drag brought it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "kit/app/Application.h"
#include "kit/ui/Button.h"
#include "kit/ui/ScrollView.h"
#include "kit/ui/Window.h"
#include "support/SdlChild.h"

using testing_support::mouseMoveTo;
using testing_support::run;
using testing_support::SdlChild;

namespace {

int clicks = 0;

// A 300 x 200 scroll view at screen (234..534, 400..600) over 1000 points of content with a
// button at content y 150..250, half in sight. The child reports "launched", "clicked N", and
// "total N" on the way out.
class ScrollDelegate : public kit::ApplicationDelegate {
 public:
  ~ScrollDelegate() override { SdlChild::report("total " + std::to_string(clicks)); }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    window_->backgroundColor = kit::Color::white();
    auto* scroller = window_->addSubview(std::make_unique<kit::ScrollView>(kit::Size{300, 200}));
    scroller->setFrame({{234, 400}, {300, 200}});
    scroller->backgroundColor = kit::Color::lightGray();
    scroller->setContentSize({300, 1000});
    auto* button =
        scroller->contentView()->addSubview(std::make_unique<kit::Button>(kit::Size{300, 100}));
    button->backgroundColor = kit::Color::red();
    button->setCenter({150, 200});
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

TEST(SdlScroll, AMouseDragScrollsAndPressesNothing) {
  if (std::string why = testing_support::whyNoWindowTests(); !why.empty()) GTEST_SKIP() << why;
  SdlChild child("kit-scroll-" + std::to_string(getpid()),
                 [] { return std::make_unique<ScrollDelegate>(); });
  ASSERT_TRUE(child.waitFor("launched", 20)) << child.lines;
  std::string window = child.findWindow();
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  run("xdotool windowraise " + window);
  auto moveTo = [&](double x, double y) { return mouseMoveTo(window, {x, y}); };

  // Pressed on the button, dragged up in steps, held still and released over the button where
  // the content brought it: the drag scrolls 160 points (from where it was recognised) and the
  // button does not fire.
  std::string drag = "xdotool" + moveTo(384, 575) + " mousedown 1";
  for (int y = 555; y >= 395; y -= 20) drag += moveTo(384, y) + " sleep 0.02";
  drag += " sleep 0.4 mouseup 1";
  run(drag);
  // The button now lies at screen y 390..490 and takes a plain click there.
  run("xdotool" + moveTo(384, 450) + " click 1");
  EXPECT_TRUE(child.waitFor("clicked 1", 10)) << child.lines;
  EXPECT_TRUE(child.quit("total 1")) << child.lines;
}
