// Toolbar layout and actions, alerts over a dimmed screen, and modal screens.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Toolbar.h"
#include "kit/ui/ViewController.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

// A white view that keeps every touch it gets.
class Catcher : public View {
 public:
  explicit Catcher(Size size) : View(size) { backgroundColor = Color::white(); }
  void touchesBegan(const TouchSet&, const Event*) override { ++touches; }
  int touches = 0;
};

class Target : public Object, public AlertViewDelegate {
 public:
  void prev() { log.push_back("prev"); }
  void next() { log.push_back("next"); }
  void done() { log.push_back("done"); }
  void clickedButtonAtIndex(AlertView* alert, int index) override {
    log.push_back("clicked " + alert->title + " " + std::to_string(index));
    stillShowing = alert->buttonFrame().size.width > 0;
  }
  std::vector<std::string> log;
  bool stillShowing = false;
};

class BarTest : public ::testing::Test {
 protected:
  BarTest() { window->makeKeyAndVisible(); }
  void shot(const std::string& name) {
    h.shot(testing_support::outputDirectory() + "/" + name + ".png");
  }
  void tap(Point p) { h.tap(p.x, p.y); }

  Headless h;
  Target target;
  std::unique_ptr<Window> window = std::make_unique<Window>();
  Catcher* background = window->addSubview(std::make_unique<Catcher>(Size{768, 1024}));
};

TEST_F(BarTest, ToolbarLaysItemsOutAndRunsTheTappedOne) {
  auto* bar = window->addSubview(std::make_unique<Toolbar>(Size{kScreenWidth, 50}));
  bar->setCenter({384, 736});
  std::vector<std::unique_ptr<BarButtonItem>> items;
  using S = BarButtonItemStyle;
  items.push_back(std::make_unique<BarButtonItem>("prev", S::Bordered, &target, &Target::prev));
  items.push_back(std::make_unique<BarButtonItem>("next", S::Bordered, &target, &Target::next));
  items.push_back(std::make_unique<BarButtonItem>(BarButtonSystemItem::FlexibleSpace));
  items.push_back(std::make_unique<BarButtonItem>("done", S::Done, &target, &Target::done));
  bar->setItems(std::move(items));
  shot("toolbar");
  EXPECT_LT(bar->frameOfItem(1).maxX(), 200) << "prev and next sit at the left end";
  EXPECT_GT(bar->frameOfItem(3).maxX(), kScreenWidth - 20) << "the space pushes done right";
  EXPECT_EQ(bar->frameOfItem(2), Rect{});

  auto item = [&](int i) { return bar->convertToAncestor(bar->frameOfItem(i).center(), nullptr); };
  for (int i : {1, 3, 0, 2}) tap(item(i));
  h.tap(384, 736);  // the flexible space
  EXPECT_EQ(target.log, (std::vector<std::string>{"next", "done", "prev"}));
  EXPECT_EQ(background->touches, 0) << "the bar keeps its touches";

  // Lifting the finger off the item runs nothing.
  h.down(item(3).x, item(3).y);
  h.app().touchMoved({400, 736});
  h.up(400, 736);
  EXPECT_EQ(target.log.size(), 3u);
}

TEST_F(BarTest, AlertDimsTheScreenTakesEveryTouchAndClosesThroughItsButton) {
  Color white = h.colorAt({100, 100});
  AlertView::show(std::make_unique<AlertView>(
      "Email", "Sending Failed - Unknown Error :-( and a message long enough to wrap a line",
      &target, "OK"));
  h.wait(0.3);
  shot("alert");
  AlertView* alert = AlertView::visibleAlert();
  ASSERT_NE(alert, nullptr);
  EXPECT_NEAR(h.colorAt({100, 100}).r, white.r * 0.6, 0.02);

  // A touch behind the alert, or on the status bar, reaches nothing.
  h.tap(100, 100);
  h.tap(384, 10);
  EXPECT_EQ(background->touches, 0);
  EXPECT_TRUE(target.log.empty());

  tap(alert->buttonFrame().center());
  EXPECT_EQ(target.log, (std::vector<std::string>{"clicked Email 0"}));
  EXPECT_TRUE(target.stillShowing) << "the delegate hears of it before the alert goes";
  EXPECT_EQ(AlertView::visibleAlert(), nullptr);
  EXPECT_EQ(h.colorAt({100, 100}), white);
  h.tap(100, 100);
  EXPECT_EQ(background->touches, 1);
}

// A screen that counts its own lifetime and closes itself from its own button.
class ModalScreen : public ViewController {
 public:
  explicit ModalScreen(int* alive) : alive_(alive) { ++*alive_; }
  ~ModalScreen() override { --*alive_; }
  void loadView() override {
    view_ = std::make_unique<Catcher>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
    view_->setFrame({{0, kStatusBarHeight}, {kScreenWidth, kScreenHeight - kStatusBarHeight}});
  }
  // Its own callback asks to go: it must outlive the call.
  void close() {
    dismissModalViewControllerAnimated(true);
    aliveAfterClose = *alive_;
  }
  int aliveAfterClose = -1;

 private:
  int* alive_;
};

TEST_F(BarTest, ModalScreenSlidesUpTakesEveryTouchAndGoesFromTheRunLoop) {
  int alive = 0;
  ViewController presenter;
  auto owned = std::make_unique<ModalScreen>(&alive);
  ModalScreen* modal = owned.get();
  presenter.presentModalViewController(std::move(owned), true);
  auto* modalView = static_cast<Catcher*>(modal->view());
  View* sliding = modalView->superview();
  EXPECT_GT(sliding->presentationCenter().y, kScreenHeight) << "starts below";
  h.wait(0.35);
  EXPECT_EQ(sliding->presentationCenter().y, kScreenHeight / 2);
  h.tap(384, 600);
  h.tap(384, 10);  // the status bar above the modal view
  EXPECT_EQ(modalView->touches, 1);
  EXPECT_EQ(background->touches, 0);

  modal->close();
  EXPECT_EQ(modal->aliveAfterClose, 1);
  EXPECT_EQ(presenter.modalViewController(), nullptr);
  h.wait(0.15);
  EXPECT_EQ(alive, 1) << "still sliding down";
  h.wait(0.25);
  EXPECT_EQ(alive, 0);
  h.tap(384, 600);
  EXPECT_EQ(background->touches, 1);
}

}  // namespace
