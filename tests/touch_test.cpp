// From a finger to a view: the view tree's ownership and coordinates, hit testing, tap counts, the
// responder chain and buttons. Touches of the kiosk's own screens (tags, taps during transitions,
// the controller's share) are tried in the kiosk tests.

#include <gtest/gtest.h>

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

// A child of `parent` of `size` centred at `center`.
View* add(View* parent, Size size, Point center) {
  View* v = parent->addSubview(std::make_unique<View>(size));
  v->setCenter(center);
  return v;
}

// A view that reports its own destruction.
class Watched : public View {
 public:
  explicit Watched(bool* gone) : View({1, 1}), gone_(gone) {}
  ~Watched() override { *gone_ = true; }

 private:
  bool* gone_;
};

TEST(ViewTree, ChildrenDetachWhicheverSideGoesFirstAndMovedChildrenLiveOn) {
  ManualClock clock;
  Application app{clock};
  auto window = std::make_unique<View>(Size{768, 1024});
  auto borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  borrowed.reset();
  EXPECT_TRUE(window->subviews().empty());
  borrowed = std::make_unique<View>(Size{768, 1004});
  window->addSubview(borrowed.get());
  window.reset();
  EXPECT_EQ(nullptr, borrowed->superview());

  bool gone = false;
  auto oldParent = std::make_unique<View>(Size{10, 10});
  View newParent({10, 10});
  Watched* child = oldParent->addSubview(std::make_unique<Watched>(&gone));
  newParent.addSubview(child);
  oldParent.reset();
  EXPECT_FALSE(gone);
  child->removeFromSuperview();
  EXPECT_TRUE(gone);
}

TEST(ViewTree, HitTestingSkipsHiddenTransparentAndUntouchableViewsAndFollowsTransforms) {
  ManualClock clock;
  Application app{clock};
  View root({300, 300});
  View* below = add(&root, {100, 100}, {100, 100});
  View* above = add(&root, {100, 100}, {120, 120});  // overlaps `below` over (70..150)
  EXPECT_EQ(above, root.hitTest({100, 100}));        // the later child lies on top
  EXPECT_EQ(below, root.hitTest({60, 60}));
  EXPECT_EQ(nullptr, root.hitTest({300, 10}));  // the right edge is outside

  above->setHidden(true);
  EXPECT_EQ(below, root.hitTest({100, 100}));
  above->setHidden(false);
  above->setAlpha(0.009);
  EXPECT_EQ(below, root.hitTest({100, 100}));
  above->setAlpha(0.01);
  EXPECT_EQ(above, root.hitTest({100, 100}));
  // A view that takes no touches lets them through to what lies below, children and all.
  View* inside = add(above, {10, 10}, {50, 50});
  above->userInteractionEnabled = false;
  EXPECT_EQ(below, root.hitTest({120, 120}));
  EXPECT_EQ(&root, root.hitTest({160, 160}));
  above->userInteractionEnabled = true;
  EXPECT_EQ(inside, root.hitTest({120, 120}));

  // Doubled about its centre, a view is hit where it is drawn, in its own coordinates; a child
  // reaching out of it only within it.
  View* box = add(&root, {40, 40}, {230, 230});  // frame (210..250), drawn over (190..270)
  box->setTransform(Transform::makeScale(2, 2));
  View* outside = add(box, {40, 40}, {40, 20});  // spans x 20..60 of the box
  EXPECT_EQ(box, root.hitTest({195, 230}));
  EXPECT_EQ(&root, root.hitTest({185, 230}));
  EXPECT_EQ(outside, root.hitTest({235, 230}));
  EXPECT_EQ((Point{235, 230}), outside->convertToAncestor({2.5, 20}, &root));
  EXPECT_EQ(&root, root.hitTest({275, 230}));
  // A view animating away is hit where it is going.
  app.screen().beginAnimations("move", nullptr);
  box->setCenter({30, 270});
  View::commitAnimations();
  EXPECT_EQ(&root, root.hitTest({230, 230}));
  EXPECT_EQ(box, root.hitTest({15, 270}));
}

struct Received {
  std::string phase;
  View* view;
  int tapCount;
  Point inRoot;
};

class RecordingController : public ViewController {
 public:
  void touchesBegan(const TouchSet& touches, const Event*) override { record("began", touches); }
  void touchesEnded(const TouchSet& touches, const Event*) override { record("ended", touches); }
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
    window.makeKeyAndVisible(app.screen());
  }
  void tapAt(double x, double y) {
    app.touchDown({x, y});
    app.touchUp({x, y});
    app.runOnce();
  }

  ManualClock clock;
  Application app{clock};
  Window window;
  RecordingController controller;
};

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
    clock.advance(tap.after);
    tapAt(tap.x, tap.y);
    EXPECT_EQ(tap.count, controller.received.back().tapCount) << tap.x << " after " << tap.after;
  }
}

TEST_F(TouchTest, TheTouchedViewKeepsItsTouchAndPlainViewsPassItUpTheChain) {
  View* panel = add(controller.view(), {200, 200}, {200, 200});
  View* leaf = add(panel, {50, 50}, {25, 25});  // screen (100..150, 120..170)
  app.touchDown({110, 130});
  app.touchMoved({700, 900});
  app.touchUp({700, 900});
  ASSERT_EQ(2u, controller.received.size());
  EXPECT_EQ(leaf, controller.received[1].view);
  EXPECT_EQ("ended", controller.received[1].phase);
  EXPECT_EQ((Point{700, 880}), controller.received[1].inRoot);  // the root starts at y 20

  // A view that handles touches ends the chain.
  Catcher* catcher = panel->addSubview(std::make_unique<Catcher>(Size{20, 20}));
  catcher->setCenter({100, 100});  // screen (190..210, 210..230)
  tapAt(200, 220);
  EXPECT_EQ(1, catcher->began);
  EXPECT_EQ(3u, controller.received.size());  // it passed ended on, not began

  // A view destroyed while touched swallows the rest of its touch.
  app.touchDown({110, 130});
  leaf->removeFromSuperview();
  app.touchUp({110, 130});
  EXPECT_EQ(4u, controller.received.size());

  // A higher layer takes touches only where it has views; the status bar takes none.
  Catcher* alert = app.screen().alertLayer()->addSubview(std::make_unique<Catcher>(Size{100, 100}));
  alert->setCenter({384, 512});
  tapAt(384, 512);
  tapAt(100, 600);
  tapAt(151, 10);
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

}  // namespace
