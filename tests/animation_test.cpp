// Animation blocks: model and presentation values over time, did-stop callbacks, takeovers, and
// views or delegates that go while they animate.

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

struct Stop {
  std::string id;
  bool finished;
  void* context;
};

class AnimationTest : public ::testing::Test {
 protected:
  // One turn of the run loop at clock time `t`.
  void at(double t) {
    clock.advance(t - clock.now());
    app.runOnce();
  }
  // A block of `seconds` whose did-stop call is written into `stops` while `delegate` lives; the
  // caller makes its changes and commits.
  void begin(const std::string& id, double seconds, void* context = nullptr, double delay = 0,
             Object* delegate = nullptr) {
    View::beginAnimations(id, context);
    View::setAnimationDelay(delay);
    View::setAnimationDuration(seconds);
    View::setAnimationDelegate(delegate ? delegate : &owner);
    View::setAnimationDidStop([this](Object*, const std::string& id, bool finished, void* c) {
      stops.push_back({id, finished, c});
    });
  }
  std::vector<std::string> stopIds() const {
    std::vector<std::string> ids;
    for (const Stop& s : stops) ids.push_back(s.id + (s.finished ? "" : " cut"));
    return ids;
  }

  ManualClock clock;
  Application app{clock};
  std::vector<Stop> stops;
  Object owner;
};

void expectPoint(Point expected, Point actual) {
  EXPECT_NEAR(expected.x, actual.x, 1e-6);
  EXPECT_NEAR(expected.y, actual.y, 1e-6);
}

// A marker that moves in two stages, the second started by the first one's did-stop callback:
// stage 1 runs 0.1 to 0.35, stage 2 to 0.45.
class Marker : public Object {
 public:
  explicit Marker(View* view) : view_(view) {
    View::beginAnimations("stage1", this);
    View::setAnimationDelay(0.1);
    View::setAnimationDuration(0.25);
    View::setAnimationDelegate(this);
    View::setAnimationDidStopSelector(&Marker::stage1Done);
    view_->setCenter({300, 100});
    view_->setAlpha(0.5);
    View::commitAnimations();
  }
  void stage1Done(const std::string& id, bool finished, void* context) {
    log.push_back(id + (finished ? " finished" : " cut") + (context == this ? "" : " ?"));
    View::beginAnimations("stage2", nullptr);
    View::setAnimationDuration(0.1);
    View::setAnimationDelegate(this);
    View::setAnimationDidStopSelector(&Marker::stage2Done);
    view_->setCenter({300, 300});
    View::commitAnimations();
  }
  void stage2Done() { log.push_back("stage2"); }
  std::vector<std::string> log;

 private:
  View* view_;
};

}  // namespace

TEST_F(AnimationTest, ChainOfBlocksWithDelaysMovesPresentationBehindTheModel) {
  View view({20, 20});
  view.setCenter({100, 100});
  Marker marker(&view);

  // Model values change at commit; the presentation waits out the delay.
  expectPoint({300, 100}, view.center());
  at(0.1);
  expectPoint({100, 100}, view.presentationCenter());
  at(0.15);
  EXPECT_LT(view.presentationCenter().x, 140);  // eased: slower than linear at the start
  at(0.225);                                    // halfway through stage 1
  expectPoint({200, 100}, view.presentationCenter());
  EXPECT_NEAR(0.75, view.presentationAlpha(), 1e-9);

  at(0.349);
  EXPECT_TRUE(marker.log.empty());
  at(0.35);
  EXPECT_EQ((std::vector<std::string>{"stage1 finished"}), marker.log);
  // Stage 2 started at the callback: from where the marker is, to the new model value.
  expectPoint({300, 300}, view.center());
  expectPoint({300, 100}, view.presentationCenter());
  at(0.40);
  expectPoint({300, 200}, view.presentationCenter());

  at(0.45);
  EXPECT_EQ((std::vector<std::string>{"stage1 finished", "stage2"}), marker.log);
  expectPoint({300, 300}, view.presentationCenter());
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(AnimationTest, ChainsKeepTheirTimingWhenTheLoopRunsLate) {
  View v({10, 10});
  v.setCenter({0, 0});
  Marker marker(&v);
  at(0.4);  // one late turn: stage 1 ends here, stage 2 starts from its own end time
  ASSERT_EQ(marker.log.size(), 1u);
  expectPoint({300, 200}, v.presentationCenter());  // halfway through stage 2
}

TEST_F(AnimationTest, DidStopRunsOnceInOrderOfEndTimeWithItsArguments) {
  View view({10, 10});
  int contexts[4];
  begin("A", 0.3, &contexts[0]);
  view.setCenter({50, 50});
  View::commitAnimations();
  begin("B", 0.1, &contexts[1]);
  view.setAlpha(0.5);
  View::commitAnimations();
  begin("C", 0.2, &contexts[2]);  // changes nothing
  View::commitAnimations();
  begin("D", 0.1, &contexts[3], 0.1);  // ends with C; committed after it
  view.setTransform(Transform::makeScale(2, 2));
  View::commitAnimations();

  at(1.0);  // all four end in the same turn
  at(2.0);
  ASSERT_EQ((std::vector<std::string>{"B", "C", "D", "A"}), stopIds());
  void* expectedContext[] = {&contexts[1], &contexts[2], &contexts[3], &contexts[0]};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(expectedContext[i], stops[i].context);

  // A zero-length block ends on the next turn, never inside its commit.
  begin("E", 0);
  View::commitAnimations();
  EXPECT_EQ(4u, stops.size());
  app.runOnce();
  EXPECT_EQ(5u, stops.size());
}

TEST_F(AnimationTest, NewerBlockTakesOverFromThePresentationValue) {
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
  expectPoint({50, 100}, view.presentationCenter());
  EXPECT_NEAR(0.5, view.presentationAlpha(), 1e-9);  // A still runs the alpha
  at(1.0);
  EXPECT_EQ((std::vector<std::string>{"A cut"}), stopIds());  // B took over one of its properties
  expectPoint({25, 100}, view.presentationCenter());
  EXPECT_EQ(0, view.presentationAlpha());

  // A change outside any block lands at once and cuts the running animation short.
  view.setCenter({7, 7});
  expectPoint({7, 7}, view.presentationCenter());
  at(1.5);
  EXPECT_EQ((std::vector<std::string>{"A cut", "B cut"}), stopIds());
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
  View::beginAnimations("half built", nullptr);
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
  EXPECT_EQ((std::vector<std::string>{"same turn", "moving cut"}), stopIds());
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(AnimationTest, FramesAreDueOnlyWhileSomethingMoves) {
  View view({10, 10});
  app.screen().windowLayer()->addSubview(&view);
  app.didDisplay();
  // A fade after a delay: committing it changes nothing on screen, nor does waiting the delay
  // out; the loop sleeps until the fade starts.
  begin("fade", 0.2, nullptr, 0.5);
  view.setAlpha(0);
  View::commitAnimations();
  // A pure timer: it only ends.
  begin("timer", 2);
  View::commitAnimations();
  for (double t : {0.0, 0.25, 0.5}) {
    at(t);
    EXPECT_FALSE(app.needsDisplay()) << t;
    EXPECT_DOUBLE_EQ(0.5, app.nextWakeTime()) << t;
  }
  at(0.6);
  EXPECT_TRUE(app.needsDisplay());
  EXPECT_DOUBLE_EQ(0.6, app.nextWakeTime());
  app.didDisplay();
  EXPECT_TRUE(app.needsDisplay());
  at(0.7);
  EXPECT_TRUE(app.needsDisplay());  // the last frame shows the end values
  app.didDisplay();
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_DOUBLE_EQ(2, app.nextWakeTime());
  at(2);
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_EQ((std::vector<std::string>{"fade", "timer"}), stopIds());
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));
}
