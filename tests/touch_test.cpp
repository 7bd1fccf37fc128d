// Touch delivery: tap counts, the responder chain, buttons, controllers, windows and the run loop.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/Application.h"
#include "kit/Button.h"
#include "kit/Clock.h"
#include "kit/Image.h"
#include "kit/Renderer.h"
#include "kit/Screen.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

struct Received {
  std::string phase;
  View* view;
  int tapCount;
  Point inRoot;
};

class RecordingController : public ViewController {
 public:
  void loadView() override {
    ++loads;
    ViewController::loadView();
  }
  void viewDidLoad() override { ++didLoads; }
  bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) override {
    return acceptsAnyOrientation || ViewController::shouldAutorotateToInterfaceOrientation(o);
  }
  void touchesBegan(const TouchSet& touches, const Event*) override { record("began", touches); }
  void touchesEnded(const TouchSet& touches, const Event*) override { record("ended", touches); }

  int loads = 0;
  int didLoads = 0;
  bool acceptsAnyOrientation = false;
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

class Target : public Object {
 public:
  void hit() { ++hits; }
  int hits = 0;
};

class CountingDelegate : public ApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(Application&) override { return ++launches == 1; }
  void didReceiveMemoryWarning(Application&) override { ++warnings; }
  int launches = 0;
  int warnings = 0;
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
  int lastTapCount() const { return controller.received.back().tapCount; }

  ManualClock clock;
  Application app{clock};
  Window window;
  RecordingController controller;
};

}  // namespace

TEST_F(TouchTest, TapCountsRiseWithinTimeAndDistanceAndReset) {
  tapAt(100, 100);
  EXPECT_EQ(1, lastTapCount());
  advance(0.1);
  tapAt(100, 100);
  EXPECT_EQ(2, lastTapCount());
  advance(0.1);
  tapAt(110, 105);  // a little off, within 20 points
  EXPECT_EQ(3, lastTapCount());

  advance(0.1);
  tapAt(130, 105);  // 20 points on from the last tap: still one more
  EXPECT_EQ(4, lastTapCount());
  advance(0.1);
  tapAt(151, 105);  // reset by distance
  EXPECT_EQ(1, lastTapCount());

  advance(0.35);  // exactly the interval: still a streak
  tapAt(151, 105);
  EXPECT_EQ(2, lastTapCount());
  advance(0.36);  // reset by time
  tapAt(151, 105);
  EXPECT_EQ(1, lastTapCount());

  // The status bar takes no touches: they fall through to the window, outside the root view.
  advance(0.1);
  size_t before = controller.received.size();
  tapAt(151, 10);
  EXPECT_EQ(before, controller.received.size());
}

TEST_F(TouchTest, PlainViewsPassTouchesUpToTheController) {
  View* root = controller.view();
  View* panel = root->addSubview(std::make_unique<View>(Size{200, 200}));
  panel->setCenter({200, 200});
  View* leaf = panel->addSubview(std::make_unique<View>(Size{50, 50}));
  leaf->setCenter({25, 25});  // screen (100..150, 120..170)

  app.touchDown({110, 130});
  ASSERT_EQ(1u, controller.received.size());
  EXPECT_EQ("began", controller.received[0].phase);
  EXPECT_EQ(leaf, controller.received[0].view);
  EXPECT_EQ(110, controller.received[0].inRoot.x);
  EXPECT_EQ(110, controller.received[0].inRoot.y);  // the root view starts below the status bar

  // The view of the touch-down keeps the touch wherever it goes.
  app.touchMoved({700, 900});
  app.touchUp({700, 900});
  ASSERT_EQ(2u, controller.received.size());
  EXPECT_EQ("ended", controller.received[1].phase);
  EXPECT_EQ(leaf, controller.received[1].view);
  EXPECT_EQ(700, controller.received[1].inRoot.x);
  EXPECT_EQ(880, controller.received[1].inRoot.y);

  // A view that handles touches ends the chain.
  Catcher* catcher = panel->addSubview(std::make_unique<Catcher>(Size{20, 20}));
  catcher->setCenter({100, 100});  // screen (190..210, 210..230)
  app.touchDown({200, 220});
  app.touchUp({200, 220});
  EXPECT_EQ(1, catcher->began);
  EXPECT_EQ("ended", controller.received.back().phase);  // it passed ended on, not began
  EXPECT_EQ(3u, controller.received.size());

  // A view destroyed while touched swallows the rest of its touch.
  app.touchDown({110, 130});
  leaf->removeFromSuperview();
  app.touchUp({110, 130});
  EXPECT_EQ(4u, controller.received.size());
}

TEST_F(TouchTest, HigherLayersTakeTouchesOnlyWhereTheyHaveViews) {
  Catcher* alert = app.screen().alertLayer()->addSubview(std::make_unique<Catcher>(Size{100, 100}));
  alert->setCenter({384, 512});
  tapAt(384, 512);
  EXPECT_EQ(1, alert->began);
  EXPECT_TRUE(controller.received.empty());
  tapAt(100, 100);
  EXPECT_EQ(1, alert->began);
  EXPECT_EQ(2u, controller.received.size());
}

TEST_F(TouchTest, ButtonFiresOnlyWhenTheTouchEndsInside) {
  Button* button = controller.view()->addSubview(std::make_unique<Button>(Size{100, 50}));
  button->setCenter({200, 200});  // screen (150..250, 195..245)
  std::vector<int> order;
  button->addAction([&order] { order.push_back(1); }, ControlEvent::TouchUpInside);
  button->addAction([&order] { order.push_back(9); }, ControlEvent::EditingDidBegin);
  button->addAction([&order] { order.push_back(2); }, ControlEvent::TouchUpInside);
  Target target;
  button->addTarget(&target, &Target::hit, ControlEvent::TouchUpInside);
  auto gone = std::make_unique<Target>();
  button->addTarget(gone.get(), &Target::hit, ControlEvent::TouchUpInside);
  gone.reset();

  app.touchDown({200, 220});
  EXPECT_TRUE(button->isHighlighted());
  app.touchMoved({300, 220});
  EXPECT_FALSE(button->isHighlighted());
  app.touchMoved({240, 240});
  EXPECT_TRUE(button->isHighlighted());
  app.touchUp({240, 240});
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_EQ((std::vector<int>{1, 2}), order);
  EXPECT_EQ(1, target.hits);

  app.touchDown({200, 220});
  app.touchUp({251, 220});  // just past the right edge
  EXPECT_EQ(1, target.hits);
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_TRUE(controller.received.empty());  // the button keeps its touches

  button->sendActionsForControlEvents(ControlEvent::EditingDidBegin);
  EXPECT_EQ((std::vector<int>{1, 2, 9}), order);
}

TEST_F(TouchTest, ControllerBuildsItsViewOnceBelowTheStatusBar) {
  RecordingController fresh;
  EXPECT_FALSE(fresh.isViewLoaded());
  EXPECT_EQ(nullptr, fresh.nextResponder());
  View* root = fresh.view();
  EXPECT_EQ(root, fresh.view());
  EXPECT_EQ(1, fresh.loads);
  EXPECT_EQ(1, fresh.didLoads);
  EXPECT_EQ(&fresh, root->viewController);
  EXPECT_EQ(&fresh, root->nextResponder());
  EXPECT_EQ((Rect{{0, 20}, {768, 1004}}), root->frame());

  Point origin = controller.view()->convertToAncestor({0, 0}, nullptr);
  EXPECT_EQ(0, origin.x);
  EXPECT_EQ(20, origin.y);
  EXPECT_EQ(&window, controller.nextResponder());
  EXPECT_EQ(nullptr, window.nextResponder());
}

TEST_F(TouchTest, WindowOrientationAndMemoryWarnings) {
  EXPECT_EQ(&window, app.keyWindow());
  EXPECT_EQ(app.screen().windowLayer(), window.superview());

  app.orientationChanged(InterfaceOrientation::PortraitUpsideDown);
  EXPECT_EQ(InterfaceOrientation::Portrait, app.screenOrientation());  // portrait only by default
  controller.acceptsAnyOrientation = true;
  app.orientationChanged(InterfaceOrientation::LandscapeLeft);
  EXPECT_EQ(InterfaceOrientation::Portrait, app.screenOrientation());
  app.orientationChanged(InterfaceOrientation::PortraitUpsideDown);
  EXPECT_EQ(InterfaceOrientation::PortraitUpsideDown, app.screenOrientation());
  app.orientationChanged(InterfaceOrientation::Portrait);
  EXPECT_EQ(InterfaceOrientation::Portrait, app.screenOrientation());

  auto delegate = std::make_unique<CountingDelegate>();
  CountingDelegate* d = delegate.get();
  EXPECT_TRUE(app.launch(std::move(delegate)));
  EXPECT_EQ(app.delegate(), d);
  app.memoryWarning();
  EXPECT_EQ(1, d->warnings);

  {
    Window other;
    other.makeKeyAndVisible();
    EXPECT_EQ(&other, app.keyWindow());
  }
  EXPECT_EQ(nullptr, app.keyWindow());
  EXPECT_EQ(1u, app.screen().windowLayer()->subviews().size());
}

TEST_F(TouchTest, RunLoopRunsPostedTasksOnTheNextTurn) {
  std::vector<std::string> ran;
  app.post([&] {
    ran.push_back("first");
    app.post([&] { ran.push_back("second"); });
  });
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(clock.now(), app.nextWakeTime());
  app.runOnce();
  EXPECT_EQ((std::vector<std::string>{"first"}), ran);
  app.runOnce();
  EXPECT_EQ((std::vector<std::string>{"first", "second"}), ran);
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));

  app.didDisplay();
  EXPECT_FALSE(app.needsDisplay());
  tapAt(300, 300);
  EXPECT_TRUE(app.needsDisplay());
  app.didDisplay();
  app.setNeedsDisplayAt(clock.now() + 0.5);
  EXPECT_EQ(clock.now() + 0.5, app.nextWakeTime());
  advance(0.4);
  EXPECT_FALSE(app.needsDisplay());
  advance(0.1);
  EXPECT_TRUE(app.needsDisplay());
  EXPECT_TRUE(std::isinf(app.nextWakeTime()));
}

TEST_F(TouchTest, ButtonDrawsItsPictureScaledAndDarkensWhilePressed) {
  window.backgroundColor = Color::white();
  auto picture = Image::imageNamed("btn_submit.png");
  ASSERT_NE(nullptr, picture);
  Size doubled{picture->size().width * 2, picture->size().height * 2};
  Button* button = controller.view()->addSubview(std::make_unique<Button>(doubled));
  button->setCenter({384, 480});  // screen centre (384, 500)
  button->setBackgroundImage(picture, ControlState::Normal);
  Rect onScreen = {{384 - doubled.width / 2, 500 - doubled.height / 2}, doubled};

  Renderer renderer(1);
  renderer.renderScreen(app.screen());
  renderer.writePng(testing_support::outputDirectory() + "/button_normal.png");
  Color middle = renderer.colorAt({onScreen.minX() + 8, onScreen.center().y});
  Color corner = renderer.colorAt({onScreen.minX() + 1, onScreen.minY() + 1});
  Color outside = renderer.colorAt({onScreen.maxX() + 2, onScreen.center().y});
  EXPECT_GT(middle.r, 0.7);  // the orange face, stretched over the whole button
  EXPECT_LT(middle.b, 0.3);
  EXPECT_GT(corner.r + corner.g + corner.b, 2.7);  // transparent rounded corner over white
  EXPECT_EQ(Color::white(), outside);

  app.touchDown(onScreen.center());
  renderer.renderScreen(app.screen());
  renderer.writePng(testing_support::outputDirectory() + "/button_pressed.png");
  Color pressed = renderer.colorAt({onScreen.minX() + 8, onScreen.center().y});
  EXPECT_NEAR(middle.r * 0.6, pressed.r, 0.03);
  EXPECT_NEAR(middle.g * 0.6, pressed.g, 0.03);
  Color pressedCorner = renderer.colorAt({onScreen.minX() + 1, onScreen.minY() + 1});
  EXPECT_GT(pressedCorner.r + pressedCorner.g + pressedCorner.b, 2.6);
  app.touchUp(onScreen.center());
}
