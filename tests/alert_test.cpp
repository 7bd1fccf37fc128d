// An alert dims what is below and takes every touch until its button closes it. The kiosk's
// alerts, and its mail composer sliding up over the screen, are tried in the kiosk tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

// A white view that keeps every touch it gets.
class Catcher : public View {
 public:
  explicit Catcher(Size size) : View(size) { setBackgroundColor(Color::white()); }
  void touchesBegan(const TouchSet&, const Event*) override { ++touches; }
  int touches = 0;
};

class ScreenOverTest : public ::testing::Test, public AlertViewDelegate {
 protected:
  ScreenOverTest() { window->makeKeyAndVisible(h.app().screen()); }
  void clickedButtonAtIndex(AlertView* alert, int index) override {
    clicked.push_back(alert->title + " " + std::to_string(index));
    stillShowing = alert->buttonFrame().size.width > 0;
  }

  Headless h;
  std::unique_ptr<Window> window = std::make_unique<Window>();
  Catcher* background = window->addSubview(std::make_unique<Catcher>(Size{768, 1024}));
  std::vector<std::string> clicked;
  bool stillShowing = false;
};

TEST_F(ScreenOverTest, AlertDimsTheScreenTakesEveryTouchAndClosesThroughItsButton) {
  Color white = h.colorAt({100, 100});
  AlertView::show(
      std::make_unique<AlertView>(
          "Email", "Sending Failed - Unknown Error :-( and a message long enough to wrap a line",
          this, "OK"),
      *window);
  h.wait(0.3);
  h.shot(testing_support::outputDirectory() + "/alert.png");
  AlertView* alert = AlertView::visibleAlert(h.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_NEAR(h.colorAt({100, 100}).r, white.r * 0.6, 0.02);

  // A touch behind the alert, or on the status bar, reaches nothing.
  h.tap(100, 100);
  h.tap(384, 10);
  EXPECT_EQ(background->touches, 0);
  EXPECT_TRUE(clicked.empty());

  Point ok = alert->buttonFrame().center();
  h.tap(ok.x, ok.y);
  EXPECT_EQ(clicked, std::vector<std::string>{"Email 0"});
  EXPECT_TRUE(stillShowing) << "the delegate hears of it before the alert goes";
  EXPECT_EQ(AlertView::visibleAlert(h.app().screen()), nullptr);
  EXPECT_EQ(h.colorAt({100, 100}), white);
  h.tap(100, 100);
  EXPECT_EQ(background->touches, 1);
}

}  // namespace
