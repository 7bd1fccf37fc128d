// The scroller that hands its content's touches on: to its next responder unless it is dragging,
// with the very touches and event it was given.

#include "controls/MapScroller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/backends/headless/Headless.h"
#include "kit/ui/ViewController.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

struct Received {
  std::string phase;
  const TouchSet* touches;
  const Event* event;
  View* view;
};

// The page under the scroller: its root view is the scroller's next responder.
class Page : public ViewController {
 public:
  void touchesBegan(const TouchSet& t, const Event* e) override { record("began", t, e); }
  void touchesMoved(const TouchSet& t, const Event* e) override { record("moved", t, e); }
  void touchesEnded(const TouchSet& t, const Event* e) override { record("ended", t, e); }
  void touchesCancelled(const TouchSet& t, const Event* e) override { record("cancelled", t, e); }
  std::string phases() const {
    std::string all;
    for (const Received& r : received) all += r.phase + " ";
    return all;
  }
  std::vector<Received> received;

 private:
  void record(const char* phase, const TouchSet& t, const Event* e) {
    received.push_back({phase, &t, e, t.anyObject() ? t.anyObject()->view : nullptr});
  }
};

TEST(MapScroller, PassesTheSameTouchesAndEventOnUnlessDragging) {
  Headless h;
  Page page;
  testing_support::addWhiteRoot(h)->addSubview(page.view());
  auto* scroller =
      page.view()->addSubview(std::make_unique<MapScroller>(Rect{{100, 100}, {300, 90}}));
  scroller->setContentSize({300, 450});
  View* row = scroller->contentView()->addSubview(std::make_unique<View>(Size{300, 45}));
  EXPECT_EQ(scroller->frame(), (Rect{{100, 100}, {300, 90}}));
  EXPECT_EQ(scroller->nextResponder(), page.view());

  Touch touch;
  touch.view = row;
  TouchSet touches({&touch});
  Event event{1.5};
  scroller->touchesBegan(touches, &event);
  scroller->touchesEnded(touches, &event);
  ASSERT_EQ(page.phases(), "began ended ");
  for (const Received& r : page.received) {
    EXPECT_EQ(r.touches, &touches);
    EXPECT_EQ(r.event, &event);
  }

  // Dragging, the touches stay with the scroll view, whose handling of the end stops the drag.
  page.received.clear();
  touch.view = scroller;
  touch.locationOnScreen = {200, 150};
  scroller->beginDrag(touch);
  ASSERT_TRUE(scroller->isDragging());
  scroller->touchesBegan(touches, &event);
  scroller->touchesEnded(touches, &event);
  EXPECT_EQ(page.phases(), "");
  EXPECT_FALSE(scroller->isDragging());

  // A plain scroll view keeps its content's touches to itself.
  auto plain = std::make_unique<ScrollView>(Size{300, 90});
  page.view()->addSubview(plain.get());
  plain->touchesBegan(touches, &event);
  plain->touchesEnded(touches, &event);
  EXPECT_EQ(page.phases(), "");
}

}  // namespace
