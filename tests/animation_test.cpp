// Animation blocks: model and presentation values over time, did-stop callbacks, takeovers,
// transitions and the run loop's frame timing.

#include "kit/Animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "kit/Application.h"
#include "kit/Clock.h"
#include "kit/Renderer.h"
#include "kit/View.h"

using namespace kit;

namespace {

struct Stop {
  std::string id;
  bool finished;
  void* context;
  double time;
};

// A delegate that writes its did-stop calls into a log owned by the test.
class Recorder : public Object {
 public:
  Recorder(std::vector<Stop>* log, const Clock* clock) : log_(log), clock_(clock) {}
  void didStop(const std::string& id, bool finished, void* context) {
    log_->push_back({id, finished, context, clock_->now()});
  }

 private:
  std::vector<Stop>* log_;
  const Clock* clock_;
};

class AnimationTest : public ::testing::Test {
 protected:
  // One turn of the run loop at clock time `t`.
  void at(double t) {
    clock.advance(t - clock.now());
    app.runOnce();
  }
  // A block of `seconds` reporting to `recorder`; the caller makes its changes and commits.
  void begin(const std::string& id, double seconds, Recorder* recorder, void* context = nullptr) {
    View::beginAnimations(id, context);
    View::setAnimationDuration(seconds);
    View::setAnimationDelegate(recorder);
    View::setAnimationDidStopSelector(&Recorder::didStop);
  }

  ManualClock clock;
  Application app{clock};
  std::vector<Stop> stops;
  Recorder recorder{&stops, &clock};
};

void expectPoint(Point expected, Point actual) {
  EXPECT_NEAR(expected.x, actual.x, 1e-6);
  EXPECT_NEAR(expected.y, actual.y, 1e-6);
}

// A marker that moves in stages, each started by the previous one's did-stop callback.
class Marker : public Object {
 public:
  explicit Marker(View* view) : view_(view) {}
  void start() {
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
  void stage2Done() {
    log.push_back("stage2");
    View::beginAnimations("stage3", nullptr);
    View::setAnimationDelay(0.05);
    View::setAnimationDuration(0);
    view_->setAlpha(1);
    View::commitAnimations();
  }
  std::vector<std::string> log;

 private:
  View* view_;
};

}  // namespace

TEST(Easing, IsSymmetricAndMonotonic) {
  EXPECT_EQ(0, easeInOut(0));
  EXPECT_EQ(1, easeInOut(1));
  EXPECT_NEAR(0.5, easeInOut(0.5), 1e-12);
  double previous = 0;
  for (int i = 1; i <= 100; ++i) {
    double t = i / 100.0;
    EXPECT_NEAR(1, easeInOut(t) + easeInOut(1 - t), 1e-9) << t;
    EXPECT_GT(easeInOut(t), previous) << t;
    previous = easeInOut(t);
  }
  EXPECT_LT(easeInOut(0.1), 0.1);  // slow start
  EXPECT_GT(easeInOut(0.9), 0.9);  // slow end
}

TEST_F(AnimationTest, ChainOfBlocksWithDelaysMovesPresentationBehindTheModel) {
  View view({20, 20});
  view.setCenter({100, 100});
  Marker marker(&view);
  marker.start();

  // Model values change at commit; the presentation waits out the delay.
  expectPoint({300, 100}, view.center());
  EXPECT_EQ(0.5, view.alpha());
  expectPoint({100, 100}, view.presentationCenter());
  at(0.05);
  expectPoint({100, 100}, view.presentationCenter());
  EXPECT_EQ(1, view.presentationAlpha());
  at(0.1);
  expectPoint({100, 100}, view.presentationCenter());

  at(0.225);  // halfway through stage 1
  expectPoint({200, 100}, view.presentationCenter());
  EXPECT_NEAR(0.75, view.presentationAlpha(), 1e-9);
  at(0.15);
  double early = view.presentationCenter().x - 100;
  at(0.30);
  double late = 300 - view.presentationCenter().x;
  EXPECT_NEAR(early, late, 1e-9);  // eased symmetrically
  EXPECT_LT(early, 40);            // slower than linear at the start

  at(0.349);
  EXPECT_TRUE(marker.log.empty());
  at(0.35);
  EXPECT_EQ((std::vector<std::string>{"stage1 finished"}), marker.log);
  // Stage 2 started at the callback: from where the marker is, to the new model value.
  expectPoint({300, 300}, view.center());
  expectPoint({300, 100}, view.presentationCenter());
  EXPECT_EQ(0.5, view.presentationAlpha());
  at(0.40);
  expectPoint({300, 200}, view.presentationCenter());

  at(0.45);
  EXPECT_EQ((std::vector<std::string>{"stage1 finished", "stage2"}), marker.log);
  expectPoint({300, 300}, view.presentationCenter());
  // Stage 3 has no duration: the alpha jumps when its delay is over.
  EXPECT_EQ(1, view.alpha());
  at(0.49);
  EXPECT_EQ(0.5, view.presentationAlpha());
  EXPECT_TRUE(app.animator().isAnimating());
  at(0.5);
  EXPECT_EQ(1, view.presentationAlpha());
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(AnimationTest, DidStopRunsOnceInOrderOfEndTimeWithItsArguments) {
  View view({10, 10});
  int contexts[4];
  begin("A", 0.3, &recorder, &contexts[0]);
  view.setCenter({50, 50});
  View::commitAnimations();
  begin("B", 0.1, &recorder, &contexts[1]);
  view.setAlpha(0.5);
  View::commitAnimations();
  begin("C", 0.2, &recorder, &contexts[2]);  // changes nothing
  View::commitAnimations();
  begin("D", 0.1, &recorder, &contexts[3]);
  View::setAnimationDelay(0.1);  // ends with C; committed after it
  view.setTransform(Transform::makeScale(2, 2));
  View::commitAnimations();
  EXPECT_TRUE(stops.empty());

  at(1.0);  // all four end in the same turn
  ASSERT_EQ(4u, stops.size());
  const char* expectedOrder[] = {"B", "C", "D", "A"};
  void* expectedContext[] = {&contexts[1], &contexts[2], &contexts[3], &contexts[0]};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(expectedOrder[i], stops[i].id);
    EXPECT_TRUE(stops[i].finished);
    EXPECT_EQ(expectedContext[i], stops[i].context);
  }
  at(2.0);
  EXPECT_EQ(4u, stops.size());

  // A zero-length block ends on the next turn, never inside its commit, also when committed from
  // a callback; there it starts at the callback's time.
  View::beginAnimations("outer", nullptr);
  View::setAnimationDuration(0);
  View::setAnimationDidStop([this](Object*, const std::string&, bool, void*) {
    begin("inner", 0, &recorder);
    View::commitAnimations();
    stops.push_back({"outer", true, nullptr, clock.now()});
  });
  View::commitAnimations();
  EXPECT_EQ(4u, stops.size());
  app.runOnce();
  ASSERT_EQ(5u, stops.size());
  EXPECT_EQ("outer", stops[4].id);
  app.runOnce();
  ASSERT_EQ(6u, stops.size());
  EXPECT_EQ("inner", stops[5].id);
  EXPECT_EQ(2.0, stops[5].time);
}

TEST_F(AnimationTest, NewerBlockTakesOverFromThePresentationValue) {
  View view({10, 10});
  view.setCenter({0, 100});
  begin("A", 1, &recorder);
  view.setCenter({100, 100});
  view.setAlpha(0);
  View::commitAnimations();

  at(0.5);
  expectPoint({50, 100}, view.presentationCenter());
  begin("B", 1, &recorder);
  view.setCenter({0, 100});
  View::commitAnimations();
  expectPoint({50, 100}, view.presentationCenter());
  EXPECT_NEAR(0.5, view.presentationAlpha(), 1e-9);  // A still runs the alpha

  at(0.75);
  EXPECT_GT(view.presentationAlpha(), 0);
  EXPECT_LT(view.presentationAlpha(), 0.5);
  at(1.0);
  ASSERT_EQ(1u, stops.size());
  EXPECT_EQ("A", stops[0].id);
  EXPECT_FALSE(stops[0].finished);  // B took over one of its properties
  expectPoint({25, 100}, view.presentationCenter());
  EXPECT_EQ(0, view.presentationAlpha());
  at(1.5);
  ASSERT_EQ(2u, stops.size());
  EXPECT_EQ("B", stops[1].id);
  EXPECT_TRUE(stops[1].finished);
  expectPoint({0, 100}, view.presentationCenter());

  // A change outside any block lands at once and cuts the running animation short.
  begin("C", 1, &recorder);
  view.setAlpha(1);
  View::commitAnimations();
  at(1.7);
  view.setAlpha(0.3);
  EXPECT_EQ(0.3, view.presentationAlpha());
  at(2.5);
  ASSERT_EQ(3u, stops.size());
  EXPECT_FALSE(stops[2].finished);
}

TEST_F(AnimationTest, CallbacksOfDestroyedDelegatesAreSkipped) {
  View view({10, 10});
  auto gone = std::make_unique<Recorder>(&stops, &clock);
  begin("gone", 0.1, gone.get());
  view.setCenter({1, 1});
  View::commitAnimations();
  begin("kept", 0.1, &recorder);
  View::commitAnimations();
  bool plainCalled = false;
  View::beginAnimations("no delegate", nullptr);
  View::setAnimationDidStop(
      [&](Object* d, const std::string&, bool, void*) { plainCalled = d == nullptr; });
  View::commitAnimations();
  gone.reset();
  at(0.2);
  ASSERT_EQ(1u, stops.size());
  EXPECT_EQ("kept", stops[0].id);
  EXPECT_TRUE(plainCalled);
}

TEST_F(AnimationTest, DestroyingAnimatingViewsIsSafe) {
  auto root = std::make_unique<View>(Size{100, 100});
  View* child = root->addSubview(std::make_unique<View>(Size{10, 10}));
  View* other = root->addSubview(std::make_unique<View>(Size{10, 10}));
  begin("moving", 0.5, &recorder);
  child->setCenter({90, 90});
  other->setAlpha(0);
  View::commitAnimations();

  // Gone between a change and its commit.
  View::beginAnimations("half built", nullptr);
  auto brief = std::make_unique<View>(Size{1, 1});
  brief->setCenter({5, 5});
  brief.reset();
  View::commitAnimations();

  // Gone from inside another block's callback, in the turn its own block ends.
  begin("first", 0.2, &recorder);
  View::setAnimationDidStop([&](Object*, const std::string&, bool, void*) {
    other->removeFromSuperview();
    other = nullptr;
  });
  View::commitAnimations();
  begin("same turn", 0.2, &recorder);
  other->setCenter({0, 0});
  View::commitAnimations();

  at(0.1);
  child->removeFromSuperview();
  at(0.2);
  root.reset();
  at(0.6);
  ASSERT_EQ(2u, stops.size());
  EXPECT_EQ("same turn", stops[0].id);
  EXPECT_TRUE(stops[0].finished);
  EXPECT_EQ("moving", stops[1].id);
  EXPECT_FALSE(stops[1].finished);  // its views went before it could finish
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(AnimationTest, FramesAreDueOnlyWhileSomethingAnimates) {
  app.runOnce();
  app.didDisplay();
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));

  View view({10, 10});
  View::beginAnimations("fade", nullptr);
  View::setAnimationDelay(0.1);
  view.setAlpha(0);
  View::commitAnimations();
  app.didDisplay();
  EXPECT_TRUE(app.needsDisplay());
  EXPECT_NEAR(1.0 / 60, app.nextWakeTime(), 1e-12);
  EXPECT_NEAR(0.3, app.animator().nextEndTime(), 1e-12);
  at(0.2);
  EXPECT_NEAR(0.2 + 1.0 / 60, app.nextWakeTime(), 1e-12);
  at(0.3);
  EXPECT_TRUE(app.needsDisplay());  // the last frame
  app.didDisplay();
  EXPECT_FALSE(app.needsDisplay());
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));
}

TEST_F(AnimationTest, TransitionKeepsThePictureFromBeforeTheBlock) {
  View card({100, 60});
  View* front = card.addSubview(std::make_unique<View>(Size{100, 60}));
  View* back = card.addSubview(std::make_unique<View>(Size{100, 60}));
  back->setHidden(true);

  begin("flip", 0.5, &recorder);
  View::setAnimationTransition(AnimationTransition::FlipFromRight, &card, true);
  front->setHidden(true);
  back->setHidden(false);
  View::commitAnimations();
  ASSERT_NE(nullptr, card.animations());
  const TransitionState* flip = card.animations()->transition.get();
  ASSERT_NE(nullptr, flip);
  EXPECT_EQ(AnimationTransition::FlipFromRight, flip->kind);
  EXPECT_NE(nullptr, flip->before);
  EXPECT_EQ(currentRenderScale(), flip->beforeScale);
  EXPECT_TRUE(front->isHidden());  // the model is already the new look
  at(0.25);
  EXPECT_NEAR(0.5, blockProgress(*flip->block, clock.now()), 1e-9);

  // A curl on the same view replaces the flip mid-way.
  begin("curl", 0.5, &recorder);
  View::setAnimationTransition(AnimationTransition::CurlUp, &card, true);
  front->setHidden(false);
  View::commitAnimations();
  EXPECT_EQ(AnimationTransition::CurlUp, card.animations()->transition->kind);
  at(0.5);
  ASSERT_EQ(1u, stops.size());
  EXPECT_FALSE(stops[0].finished);
  EXPECT_NE(nullptr, card.animations()->transition);
  at(0.75);
  EXPECT_EQ(nullptr, card.animations()->transition);
  ASSERT_EQ(2u, stops.size());
  EXPECT_TRUE(stops[1].finished);
}

TEST(AnimationLifetime, ViewsOutlivingTheApplicationShowTheirModelValues) {
  View view({10, 10});
  {
    ManualClock clock;
    Application app(clock);
    EXPECT_EQ(&app, Application::shared());
    View::beginAnimations("long", nullptr);
    View::setAnimationDuration(10);
    view.setCenter({500, 500});
    View::commitAnimations();
    clock.advance(1);
    EXPECT_LT(view.presentationCenter().x, 500);
  }
  EXPECT_EQ(nullptr, Application::shared());
  expectPoint({500, 500}, view.presentationCenter());
  view.setAlpha(0.5);  // no application: plain changes still work
  EXPECT_EQ(0.5, view.presentationAlpha());
}

TEST_F(AnimationTest, ChainsKeepTheirTimingWhenTheLoopRunsLate) {
  View v({10, 10});
  v.setCenter({0, 0});
  Marker marker(&v);
  marker.start();  // stage 1 runs 0.1 to 0.35, stage 2 0.35 to 0.45
  at(0.4);         // one late turn: stage 1 ends here, stage 2 starts from its own end time
  ASSERT_EQ(marker.log.size(), 1u);
  expectPoint({300, 200}, v.presentationCenter());  // halfway through stage 2
  at(0.45);
  expectPoint({300, 300}, v.presentationCenter());
  EXPECT_EQ(marker.log.size(), 2u);
}
