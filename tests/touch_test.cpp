// Touch delivery: tap counts, the responder chain, buttons, controllers, windows and the run loop.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/base/Clock.h"
#include "kit/ui/Button.h"
#include "kit/ui/Screen.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

using testing_support::Target;

namespace {

struct Received {
  std::string phase;
  View* view;
  int tapCount;
  Point inRoot;
};

class RecordingController : public ViewController {
 public:
  void viewDidLoad() override { ++didLoads; }
  void touchesBegan(const TouchSet& touches, const Event*) override { record("began", touches); }
  void touchesEnded(const TouchSet& touches, const Event*) override { record("ended", touches); }

  int didLoads = 0;
  std::vector<Received> received;

 private:
  void record(const char* phase, const TouchSet& touches) {
    const Touch* t = touches.anyObject();
    received.push_back({phase, t->view, t->tapCount, t->locationInView(view())});
  }
};

// A view that keeps the touches it gets instead of passing them on.
class Catcher : public View {
 public:
  using View::View;
  void touchesBegan(const TouchSet&, const Event*) override { ++began; }
  int began = 0;
};

class TouchTest : public ::testing::Test {
 protected:
  TouchTest() {
    window.addSubview(controller.view());
    window.makeKeyAndVisible();
  }

  void tapAt(double x, double y) {
    app.touchDown({x, y});
    app.touchUp({x, y});
    app.runOnce();
  }
  void advance(double seconds) {
    clock.advance(seconds);
    app.runOnce();
  }

  ManualClock clock;
  Application app{clock};
  Window window;
  RecordingController controller;
};

}  // namespace

TEST_F(TouchTest, TapCountsRiseWithinTimeAndDistanceAndReset) {
  struct Tap {
    double after, x, y;
    int count;
  };
  const Tap taps[] = {
      {0, 100, 100, 1},    {0.1, 100, 100, 2}, {0.1, 110, 105, 3},  // a little off
      {0.1, 130, 105, 4},                                           // 20 points on: still one
      {0.1, 151, 105, 1},                                           // reset by distance
      {0.35, 151, 105, 2},                                          // exactly the interval
      {0.36, 151, 105, 1},                                          // reset by time
  };
  for (const Tap& tap : taps) {
    advance(tap.after);
    tapAt(tap.x, tap.y);
    EXPECT_EQ(tap.count, controller.received.back().tapCount) << tap.x << " after " << tap.after;
  }

  // The status bar takes no touches: they fall through to the window, outside the root view.
  size_t before = controller.received.size();
  tapAt(151, 10);
  EXPECT_EQ(before, controller.received.size());
}

TEST_F(TouchTest, PlainViewsPassTouchesUpToTheControllerAndHigherLayersTakeTheirOwn) {
  View* panel = controller.view()->addSubview(std::make_unique<View>(Size{200, 200}));
  panel->setCenter({200, 200});
  View* leaf = panel->addSubview(std::make_unique<View>(Size{50, 50}));
  leaf->setCenter({25, 25});  // screen (100..150, 120..170)

  // The view of the touch-down keeps the touch wherever it goes.
  app.touchDown({110, 130});
  app.touchMoved({700, 900});
  app.touchUp({700, 900});
  ASSERT_EQ(2u, controller.received.size());
  EXPECT_EQ(leaf, controller.received[0].view);
  EXPECT_EQ((Point{110, 110}), controller.received[0].inRoot);  // the root starts at y 20
  EXPECT_EQ("ended", controller.received[1].phase);
  EXPECT_EQ(leaf, controller.received[1].view);
  EXPECT_EQ((Point{700, 880}), controller.received[1].inRoot);

  // A view that handles touches ends the chain.
  Catcher* catcher = panel->addSubview(std::make_unique<Catcher>(Size{20, 20}));
  catcher->setCenter({100, 100});  // screen (190..210, 210..230)
  tapAt(200, 220);
  EXPECT_EQ(1, catcher->began);
  EXPECT_EQ("ended", controller.received.back().phase);  // it passed ended on, not began

  // A view destroyed while touched swallows the rest of its touch.
  app.touchDown({110, 130});
  leaf->removeFromSuperview();
  app.touchUp({110, 130});
  EXPECT_EQ(4u, controller.received.size());

  // A higher layer takes touches only where it has views.
  Catcher* alert = app.screen().alertLayer()->addSubview(std::make_unique<Catcher>(Size{100, 100}));
  alert->setCenter({384, 512});
  tapAt(384, 512);
  tapAt(100, 600);
  EXPECT_EQ(1, alert->began);
  EXPECT_EQ(6u, controller.received.size());
}

TEST_F(TouchTest, ButtonFiresOnlyWhenTheTouchEndsInside) {
  Button* button = controller.view()->addSubview(std::make_unique<Button>(Size{100, 50}));
  button->setCenter({200, 200});  // screen (150..250, 195..245)
  Target target;
  button->addTarget(&target, &Target::hit, ControlEvent::TouchUpInside);
  button->addTarget(&target, &Target::hit, ControlEvent::EditingDidEnd);  // not this event
  auto gone = std::make_unique<Target>();
  button->addTarget(gone.get(), &Target::hit, ControlEvent::TouchUpInside);
  gone.reset();

  // The highlight follows the finger off and back on.
  app.touchDown({200, 220});
  app.touchMoved({300, 220});
  EXPECT_FALSE(button->isHighlighted());
  app.touchMoved({240, 240});
  EXPECT_TRUE(button->isHighlighted());
  app.touchUp({240, 240});
  EXPECT_EQ(1, target.hits);

  app.touchDown({200, 220});
  app.touchUp({251, 220});  // just past the right edge
  EXPECT_EQ(1, target.hits);
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_TRUE(controller.received.empty());  // the button keeps its touches

  // A finger going down again without its up (lost on the way) cancels its last touch.
  app.touchDown({200, 220});
  app.touchDown({600, 900});
  EXPECT_FALSE(button->isHighlighted());
  app.touchUp({200, 220});
  EXPECT_EQ(1, target.hits);
}

TEST_F(TouchTest, ControllersWindowsAndTheRunLoop) {
  // The root view is built once, on first use, below the status bar.
  RecordingController fresh;
  View* root = fresh.view();
  fresh.view();
  EXPECT_EQ(1, fresh.didLoads);
  EXPECT_EQ(&fresh, root->nextResponder());
  EXPECT_EQ((Rect{{0, 20}, {768, 1004}}), root->frame());
  EXPECT_EQ(&window, controller.nextResponder());
  // A destroyed key window leaves none.
  std::make_unique<Window>()->makeKeyAndVisible();
  EXPECT_EQ(nullptr, app.keyWindow());

  // A task posted runs on the next turn, also one posted by a task.
  std::vector<std::string> ran;
  app.post([&] {
    ran.push_back("first");
    app.post([&] { ran.push_back("second"); });
  });
  EXPECT_EQ(clock.now(), app.nextWakeTime());
  app.runOnce();
  EXPECT_EQ((std::vector<std::string>{"first"}), ran);
  app.runOnce();
  EXPECT_EQ((std::vector<std::string>{"first", "second"}), ran);
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));
}

TEST_F(TouchTest, NoTouchBeginsWhileATransitionRunsDelayIncluded) {
  auto received = [&] { return controller.received.size(); };
  auto transition = [&](double delay) {
    View::beginAnimations("", nullptr);
    View::setAnimationDelay(delay);
    View::setAnimationDuration(1.0);
    View::setAnimationTransition(AnimationTransition::FlipFromRight, &window, true);
    View::commitAnimations();
  };
  transition(0.5);
  tapAt(100, 100);  // in the delay
  advance(1.2);
  tapAt(100, 100);  // in the flip
  EXPECT_EQ(received(), 0u);
  advance(0.3);
  tapAt(100, 100);
  ASSERT_EQ(received(), 2u);
  EXPECT_EQ(controller.received.back().tapCount, 1) << "dropped taps start no streak";

  // A touch already down when a transition starts goes on to its end.
  app.touchDown({100, 100});
  transition(0);
  app.touchUp({100, 100});
  EXPECT_EQ(received(), 4u);
  advance(1.1);

  // A block without a transition leaves touches alone.
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(1.0);
  controller.view()->setAlpha(0.5);
  View::commitAnimations();
  tapAt(100, 100);
  EXPECT_EQ(received(), 6u);
}
