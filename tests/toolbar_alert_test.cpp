// Toolbar layout and actions, alerts over a dimmed screen, and modal screens.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/AlertView.h"
#include "kit/Application.h"
#include "kit/Toolbar.h"
#include "kit/ViewController.h"
#include "kit/Window.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

// A view that keeps every touch it gets.
class Catcher : public View {
 public:
  using View::View;
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
  BarTest() {
    background = window->addSubview(std::make_unique<Catcher>(Size{kScreenWidth, kScreenHeight}));
    background->backgroundColor = Color::white();
    window->makeKeyAndVisible();
  }
  void shot(const std::string& name) {
    h.shot(testing_support::outputDirectory() + "/" + name + ".png");
  }

  Headless h;
  Target target;
  std::unique_ptr<Window> window = std::make_unique<Window>();
  Catcher* background;
};

TEST_F(BarTest, ToolbarLaysItemsOutAndRunsTheTappedOne) {
  auto* bar = window->addSubview(std::make_unique<Toolbar>(Size{kScreenWidth, 50}));
  bar->setCenter({384, 736});
  bar->tintColor = Color::lightGray();
  std::vector<std::unique_ptr<BarButtonItem>> items;
  items.push_back(std::make_unique<BarButtonItem>("prev", BarButtonItemStyle::Bordered, &target,
                                                  &Target::prev));
  items.push_back(std::make_unique<BarButtonItem>("next", BarButtonItemStyle::Bordered, &target,
                                                  &Target::next));
  items.push_back(std::make_unique<BarButtonItem>(BarButtonSystemItem::FlexibleSpace, &target,
                                                  static_cast<void (Target::*)()>(nullptr)));
  items.push_back(
      std::make_unique<BarButtonItem>("done", BarButtonItemStyle::Done, &target, &Target::done));
  for (int i = 0; i < 4; ++i) items[static_cast<size_t>(i)]->tag = i;
  bar->setItems(std::move(items));

  Rect prev = bar->frameOfItem(0), next = bar->frameOfItem(1), done = bar->frameOfItem(3);
  EXPECT_EQ(bar->frameOfItem(2), Rect{});
  EXPECT_LT(prev.minX(), 20);
  EXPECT_GT(next.minX(), prev.maxX());
  EXPECT_LT(next.maxX(), 200) << "prev and next sit at the left end";
  EXPECT_GT(done.maxX(), kScreenWidth - 20) << "the flexible space pushes done to the right";
  EXPECT_LE(done.maxX(), kScreenWidth);

  auto tapItem = [&](Rect r) {
    Point p = bar->convertToAncestor(r.center(), nullptr);
    h.tap(p.x, p.y);
  };
  tapItem(next);
  tapItem(done);
  tapItem(prev);
  h.tap(384, 736);  // the flexible space
  std::vector<std::string> expected{"next", "done", "prev"};
  EXPECT_EQ(target.log, expected);
  EXPECT_EQ(background->touches, 0) << "the bar keeps its touches";

  // Pressed while the finger is on the item; lifting elsewhere runs nothing.
  Point p = bar->convertToAncestor(done.center(), nullptr);
  h.down(p.x, p.y);
  EXPECT_EQ(bar->pressedItem(), 3);
  shot("toolbar_done_pressed");
  h.app().touchMoved({400, 736});
  EXPECT_EQ(bar->pressedItem(), -1);
  h.up(400, 736);
  EXPECT_EQ(target.log.size(), 3u);
  shot("toolbar");
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
  EXPECT_EQ(alert->title, "Email");
  Color dimmed = h.colorAt({100, 100});
  EXPECT_NEAR(dimmed.r, white.r * 0.6, 0.02);

  h.tap(100, 100);
  h.tap(384, 10);  // the status bar
  EXPECT_EQ(background->touches, 0);
  EXPECT_TRUE(target.log.empty());

  Rect button = alert->buttonFrame();
  ASSERT_GT(button.size.width, 0);
  h.tap(button.center().x, button.center().y);
  std::vector<std::string> expected{"clicked Email 0"};
  EXPECT_EQ(target.log, expected);
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
    view_->backgroundColor = Color::rgba(0.2, 0.3, 0.5);
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
  EXPECT_EQ(presenter.modalViewController(), modal);
  auto* modalView = static_cast<Catcher*>(modal->view());

  // Hit testing sees it in place at once; the picture slides up.
  EXPECT_EQ(modalView->convertToAncestor({0, 0}, nullptr).y, kStatusBarHeight);
  View* sliding = modalView->superview();
  EXPECT_GT(sliding->presentationCenter().y, kScreenHeight) << "starts below";
  h.wait(0.15);
  shot("modal_sliding");
  EXPECT_LT(sliding->presentationCenter().y, kScreenHeight * 1.5);
  EXPECT_GT(sliding->presentationCenter().y, kScreenHeight / 2);
  h.wait(0.2);
  EXPECT_EQ(sliding->presentationCenter().y, kScreenHeight / 2);
  EXPECT_NE(h.colorAt({384, 600}), Color::white());
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
  EXPECT_EQ(h.colorAt({384, 600}), Color::white());

  // Without animation it shows at once and still goes from the run loop.
  presenter.presentModalViewController(std::make_unique<ModalScreen>(&alive), false);
  h.tap(384, 600);
  EXPECT_EQ(background->touches, 1);
  presenter.dismissModalViewControllerAnimated(false);
  EXPECT_EQ(alive, 1);
  h.wait(0.02);
  EXPECT_EQ(alive, 0);
}

}  // namespace
