// Animation blocks: did-stop calls in order of their end, takeovers, views or delegates that go
// while they animate, and frames only while something moves. Presentation values, easing and
// chains of blocks at exact clock times are tried in the kiosk's signal tests.

#include "kit/ui/Animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/base/Clock.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"

using namespace kit;

namespace {

class AnimationTest : public ::testing::Test {
 protected:
  // One turn of the run loop at clock time `t`.
  void at(double t) {
    clock.advance(t - clock.now());
    app.runOnce();
  }
  // A block of `seconds` whose did-stop call is written into `stops` ("id", or "id cut" when it
  // did not finish) while `delegate` lives; the caller makes its changes and commits.
  void begin(const std::string& id, double seconds, void* context = nullptr, double delay = 0,
             Object* delegate = nullptr) {
    app.screen().beginAnimations(id, context);
    View::setAnimationDelay(delay);
    View::setAnimationDuration(seconds);
    View::setAnimationDelegate(delegate ? delegate : &owner);
    View::setAnimationDidStop([this](Object*, const std::string& id, bool finished, void* c) {
      stops.push_back(id + (finished ? "" : " cut"));
      contexts.push_back(c);
    });
  }
  double x(const View& v) const { return v.presentationCenter().x; }

  ManualClock clock;
  Application app{clock};
  std::vector<std::string> stops;
  std::vector<void*> contexts;
  Object owner;
};

TEST_F(AnimationTest, DidStopRunsOnceInOrderOfEndTimeWithItsContextAndNeverInsideCommit) {
  View view({10, 10});
  int contextOf[4];
  begin("A", 0.3, &contextOf[0]);
  view.setCenter({50, 50});
  View::commitAnimations();
  begin("B", 0.1, &contextOf[1]);
  view.setAlpha(0.5);
  View::commitAnimations();
  begin("C", 0.2, &contextOf[2]);  // changes nothing
  View::commitAnimations();
  begin("D", 0.1, &contextOf[3], 0.1);  // ends with C; committed after it
  view.setTransform(Transform::makeScale(2, 2));
  View::commitAnimations();
  at(1.0);  // all four end in the same turn
  at(2.0);
  EXPECT_EQ(stops, (std::vector<std::string>{"B", "C", "D", "A"}));
  EXPECT_EQ(contexts,
            (std::vector<void*>{&contextOf[1], &contextOf[2], &contextOf[3], &contextOf[0]}));

  // A zero-length block ends on the next turn.
  begin("E", 0);
  View::commitAnimations();
  EXPECT_EQ(stops.size(), 4u);
  app.runOnce();
  EXPECT_EQ(stops.size(), 5u);
}

TEST_F(AnimationTest, ANewerBlockOrAPlainChangeTakesOverAndTheOldBlockIsCutShort) {
  View view({10, 10});
  view.setCenter({0, 100});
  begin("A", 1);
  view.setCenter({100, 100});
  view.setAlpha(0);
  View::commitAnimations();
  at(0.5);
  begin("B", 1);
  view.setCenter({0, 100});
  View::commitAnimations();
  EXPECT_NEAR(x(view), 50, 1e-6);                    // from the presentation value
  EXPECT_NEAR(view.presentationAlpha(), 0.5, 1e-9);  // A still runs the alpha
  at(1.0);
  EXPECT_EQ(stops, std::vector<std::string>{"A cut"});
  EXPECT_NEAR(x(view), 25, 1e-6);
  EXPECT_EQ(view.presentationAlpha(), 0);

  // A change outside any block lands at once.
  view.setCenter({7, 7});
  EXPECT_EQ(x(view), 7);
  at(1.5);
  EXPECT_EQ(stops, (std::vector<std::string>{"A cut", "B cut"}));
}

TEST_F(AnimationTest, GoneDelegatesAndViewsAreSkippedSafely) {
  auto root = std::make_unique<View>(Size{100, 100});
  View* child = root->addSubview(std::make_unique<View>(Size{10, 10}));
  View* other = root->addSubview(std::make_unique<View>(Size{10, 10}));
  auto gone = std::make_unique<Object>();
  begin("gone delegate", 0.1, nullptr, 0, gone.get());
  View::commitAnimations();
  begin("moving", 0.5);
  child->setCenter({90, 90});
  other->setAlpha(0);
  View::commitAnimations();

  // Gone between a change and its commit.
  app.screen().beginAnimations("half built", nullptr);
  std::make_unique<View>(Size{1, 1})->setCenter({5, 5});
  View::commitAnimations();

  // Gone from inside another block's callback, in the turn its own block ends.
  begin("first", 0.2);
  View::setAnimationDidStop(
      [&](Object*, const std::string&, bool, void*) { other->removeFromSuperview(); });
  View::commitAnimations();
  begin("same turn", 0.2);
  other->setCenter({0, 0});
  View::commitAnimations();

  gone.reset();
  at(0.1);
  child->removeFromSuperview();
  at(0.2);
  root.reset();
  at(0.6);
  // The last block's views went before it could finish.
  EXPECT_EQ(stops, (std::vector<std::string>{"same turn", "moving cut"}));
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(AnimationTest, FramesAreDueOnlyWhileSomethingMoves) {
  View view({10, 10});
  app.screen().windowLayer()->addSubview(&view);
  app.didDisplay();
  // A fade after a delay: neither its commit nor its delay changes the screen, and the loop
  // sleeps until the fade starts. A pure timer only ends.
  begin("fade", 0.2, nullptr, 0.5);
  view.setAlpha(0);
  View::commitAnimations();
  begin("timer", 2);
  View::commitAnimations();
  for (double t : {0.0, 0.25, 0.5}) {
    at(t);
    EXPECT_FALSE(app.needsDisplay()) << t;
    EXPECT_DOUBLE_EQ(app.nextWakeTime(), 0.5) << t;
  }
  at(0.6);
  app.didDisplay();
  EXPECT_TRUE(app.needsDisplay());
  EXPECT_DOUBLE_EQ(app.nextWakeTime(), 0.6);
  at(0.7);
  EXPECT_TRUE(app.needsDisplay());  // the last frame shows the end values
  app.didDisplay();
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_DOUBLE_EQ(app.nextWakeTime(), 2);
  at(2);
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_EQ(stops, (std::vector<std::string>{"fade", "timer"}));
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));
}

}  // namespace
