// The scroll view: its motion as a function of time, and a throw with its indicator on screen, on
// the manual clock. A touch held back, pressed rows and drags that press nothing are tried in the
// gallery's state picker (gallery_test).

#include "kit/ui/ScrollView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kit/backends/headless/Headless.h"
#include "kit/ui/Animation.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

constexpr double kFrame = 1.0 / 60;

TEST(ScrollMotion, ThrowsSlowDownAndSpringsBackRestExactlyWhereTheyShould) {
  struct Case {
    const char* name;
    ScrollMotion motion;
    double start, rest;
    double low, high;  // where it may go on the way
    double passes;     // how far past the resting edge it must get at least (0: need not)
    double doneAt;     // the time it rests, when known in advance (else < 0)
  };
  const Case cases[] = {
      // Speed 300 falls to the stop speed 10 in ln(30) / 2 s, covering (300 - 10) / 2 points.
      {"glide inside", ScrollMotion::fling(100, 300, 0, 1000, 40), 100, 245, 100, 245, 0,
       std::log(30.0) / 2},
      {"too slow to move", ScrollMotion::fling(100, -9, 0, 1000, 40), 100, 100, 100, 100, 0, 0},
      {"throw past the far edge", ScrollMotion::fling(900, 1000, 0, 1000, 40), 900, 1000, 900, 1040,
       5, -1},
      {"throw past the near edge", ScrollMotion::fling(100, -6000, 0, 1000, 40), 100, 0, -40, 100,
       5, -1},
      {"throw from past an edge", ScrollMotion::fling(-30, 500, 0, 1000, 40), -30, 0, -30, 0, 0,
       -1},
      {"spring back from above", ScrollMotion::springBack(-60, 0), -60, 0, -60, 0, 0, -1},
      {"spring back from below", ScrollMotion::springBack(1050, 1000), 1050, 1000, 1000, 1050, 0,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.motion.offsetAt(0), c.start);
    EXPECT_EQ(c.motion.restingOffset(), c.rest);
    if (c.doneAt >= 0) {
      EXPECT_FALSE(c.motion.isDone(c.doneAt - 1e-6));
      EXPECT_TRUE(c.motion.isDone(c.doneAt + 1e-6));
    }
    double farthest = c.start, previous = c.start, t = 0;
    for (; !c.motion.isDone(t) && t < 5; t += kFrame) {
      double offset = c.motion.offsetAt(t);
      ASSERT_GE(offset, c.low - 1e-9) << "at " << t;
      ASSERT_LE(offset, c.high + 1e-9) << "at " << t;
      ASSERT_LE(std::abs(offset - previous), kScrollMaxSpeed * kFrame) << "a jump at " << t;
      if (std::abs(offset - c.rest) > std::abs(farthest - c.rest)) farthest = offset;
      previous = offset;
    }
    EXPECT_LT(t, 5) << "never came to rest";
    EXPECT_EQ(c.motion.offsetAt(t), c.rest);
    EXPECT_EQ(c.motion.offsetAt(t + 10), c.rest);
    EXPECT_LE(std::abs(previous - c.rest), 1.0) << "the last step lands on the rest";
    if (c.passes > 0) {
      EXPECT_GE(std::abs(farthest - c.rest), c.passes);
    }
  }

  // A drag past an edge shows less than the excess, never a whole view's length, and inverts.
  for (double offset : {-5000.0, -50.0, -1.0, 0.0, 400.0, 900.0, 901.0, 1000.0, 90000.0}) {
    double shown = rubberBand(offset, 0, 900, 100);
    if (offset >= 0 && offset <= 900) {
      EXPECT_EQ(shown, offset);
    } else {
      double excess = offset < 0 ? -offset : offset - 900;
      double shownExcess = offset < 0 ? -shown : shown - 900;
      EXPECT_GT(shownExcess, 0) << offset;
      EXPECT_LT(shownExcess, std::min(excess, 100.0)) << offset;
    }
    if (std::abs(offset) < 10000) {
      EXPECT_NEAR(rubberBandInverse(shown, 0, 900, 100), offset, 1e-6);
    }
  }
}

// A view in the content that writes down the phases of the touches it gets.
class Recorder : public View {
 public:
  using View::View;
  void touchesBegan(const TouchSet&, const Event*) override { phases += "began "; }
  void touchesMoved(const TouchSet&, const Event*) override { phases += "moved "; }
  void touchesEnded(const TouchSet&, const Event*) override { phases += "ended "; }
  void touchesCancelled(const TouchSet&, const Event*) override { phases += "cancelled "; }
  std::string phases;
};

// A 200 x 100 scroll view at screen (100..300, 120..220) over content 1000 points tall: a grey
// page whose top holds a recorder (screen y 120..170).
class ScrollViewTest : public ::testing::Test {
 protected:
  ScrollViewTest() {
    View* root = testing_support::addWhiteRoot(h);
    scroller = root->addSubview(std::make_unique<ScrollView>(Size{200, 100}));
    scroller->setFrame({{100, 100}, {200, 100}});
    scroller->setContentSize({200, 1000});
    View* page = scroller->contentView()->addSubview(std::make_unique<View>(Size{200, 1000}));
    page->setCenter({100, 500});
    page->setBackgroundColor(kGrey);
    row = page->addSubview(std::make_unique<Recorder>(Size{200, 50}));
    row->setCenter({100, 25});
    h.shot("");
  }

  double offset() const { return scroller->contentOffset().y; }
  // Settles everything (momentum, springs, the indicator's fade).
  void settle() { h.wait(5); }

  const Color kGrey = Color::rgba(0.8, 0.8, 0.8);
  Headless h;
  ScrollView* scroller;
  Recorder* row;
};

TEST_F(ScrollViewTest, AThrowSlowsDownAndRestsWithTheIndicatorShownOnlyMeanwhile) {
  // The bar is 24 points long and runs down 70 points of track as the offset goes to 900.
  auto indicator = [&] { return h.colorAt({295, 120 + 3 + 70 * offset() / 900 + 12}); };
  EXPECT_COLOR(kGrey, indicator()) << "no indicator at rest";
  h.drag(200, 210, 200, 150, 0.05);  // 1200 points/s upwards
  double released = offset();
  h.wait(0.1);
  double soon = offset();
  h.wait(0.1);
  EXPECT_GT(soon, released);
  EXPECT_LT(offset() - soon, soon - released) << "it slows down";
  EXPECT_LT(indicator().r, kGrey.r - 0.2) << "the indicator shows while it moves";
  // A touch while it moves stops it where it is and presses nothing.
  h.down(200, 145);
  double caught = offset();
  h.wait(0.5);
  h.up(200, 145);
  h.wait(0.5);
  EXPECT_NEAR(offset(), caught, 0.5);
  EXPECT_EQ(row->phases, "");

  h.drag(200, 210, 200, 150, 0.05);
  settle();
  EXPECT_EQ(offset(), std::round(offset()));
  EXPECT_LT(offset(), 900);
  EXPECT_COLOR(kGrey, indicator());
  EXPECT_EQ(h.app().nextWakeTime(), INFINITY) << "nothing left to wake for";
  scroller->setContentOffset({0, 5000});
  EXPECT_EQ(offset(), 900) << "kept within the edges";
}

}  // namespace
