// Pixels of the drawn transitions: flips and curls part of the way through, the old picture
// during the delay, the plain view after the end, and sharp pictures at double density.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kit/Renderer.h"
#include "kit/Screen.h"
#include "kit/View.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

constexpr Color kOld = {1, 0, 0, 1};
constexpr Color kNew = {0, 0, 1, 1};

bool near(Color a, Color b, double tolerance = 3.0 / 255) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance && std::abs(a.a - b.a) <= tolerance;
}

std::string describe(Color c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
         ", " + std::to_string(c.a) + ")";
}

#define EXPECT_COLOR(expected, actual)                                        \
  do {                                                                        \
    Color seen = (actual);                                                    \
    EXPECT_TRUE(near(expected, seen)) << #actual << " is " << describe(seen); \
  } while (0)

// A 300 x 400 card on a white screen: a red page showing, a blue page hidden, each with a thin
// black stripe, ready for a transition that swaps them.
class TransitionTest : public ::testing::Test {
 protected:
  void build(Headless& h) {
    auto root = std::make_unique<View>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
    root->setCenter({kScreenWidth / 2, kStatusBarHeight + (kScreenHeight - kStatusBarHeight) / 2});
    root->backgroundColor = Color::white();
    View* rootView = h.app().screen().windowLayer()->addSubview(std::move(root));
    card = rootView->addSubview(std::make_unique<View>(Size{300, 400}));
    card->setCenter({384, 400});
    oldPage = addPage(kOld);
    newPage = addPage(kNew);
    newPage->setHidden(true);
  }

  View* addPage(Color color) {
    View* page = card->addSubview(std::make_unique<View>(Size{300, 400}));
    page->backgroundColor = color;
    auto stripe = std::make_unique<View>(Size{1, 400});
    stripe->setCenter({100.5, 200});
    stripe->backgroundColor = Color::black();
    page->addSubview(std::move(stripe));
    return page;
  }

  void swapPages(AnimationTransition kind, double delay, double duration) {
    View::beginAnimations("swap", nullptr);
    View::setAnimationDelay(delay);
    View::setAnimationDuration(duration);
    View::setAnimationTransition(kind, card, true);
    oldPage->setHidden(true);
    newPage->setHidden(false);
    View::commitAnimations();
  }

  // A point of the card in screen points.
  static Point at(double x, double y) { return {384 - 150 + x, kStatusBarHeight + 200 + y}; }

  Color colorAt(Headless& h, double x, double y) { return h.renderer().colorAt(at(x, y)); }

  View* card = nullptr;
  View* oldPage = nullptr;
  View* newPage = nullptr;
};

}  // namespace

TEST_F(TransitionTest, FlipFromRightTurnsTheOldPictureAwayAndTheNewOneIn) {
  Headless h(1);
  build(h);
  swapPages(AnimationTransition::FlipFromRight, 0, 1);
  std::string out = testing_support::outputDirectory();

  // A third of the way: the old page has narrowed about the centre line over black, its right
  // edge coming towards the viewer stands out above the card, the far left edge is shorter.
  h.wait(0.3);
  ASSERT_TRUE(h.shot(out + "/transition_flip_030.png"));
  Color oldShaded = colorAt(h, 150, 200);
  EXPECT_GT(oldShaded.r, 0.5);
  EXPECT_LT(oldShaded.b, 0.05);
  EXPECT_COLOR(Color::black(), colorAt(h, 20, 200));
  EXPECT_GT(colorAt(h, 260, -8).r, 0.5);
  EXPECT_LT(colorAt(h, 260, -8).g, 0.1);
  EXPECT_COLOR(Color::white(), colorAt(h, 60, -8));
  EXPECT_COLOR(Color::black(), colorAt(h, 60, 5));

  // Halfway the card is edge-on: black where it stood.
  h.wait(0.2);
  ASSERT_TRUE(h.shot(out + "/transition_flip_050.png"));
  for (double x : {20.0, 100.0, 140.0, 160.0, 200.0, 280.0}) {
    EXPECT_COLOR(Color::black(), colorAt(h, x, 200));
  }
  EXPECT_COLOR(Color::white(), colorAt(h, 150, -8));

  // Later the new page turns in, now with its left edge nearer.
  h.wait(0.2);
  ASSERT_TRUE(h.shot(out + "/transition_flip_070.png"));
  Color newShaded = colorAt(h, 150, 200);
  EXPECT_GT(newShaded.b, 0.5);
  EXPECT_LT(newShaded.r, 0.05);
  EXPECT_GT(colorAt(h, 40, -8).b, 0.5);
  EXPECT_COLOR(Color::white(), colorAt(h, 240, -8));

  // After the end the card is drawn plainly again.
  h.wait(0.35);
  ASSERT_TRUE(h.shot(out + "/transition_flip_end.png"));
  EXPECT_COLOR(kNew, colorAt(h, 5, 5));
  EXPECT_COLOR(kNew, colorAt(h, 295, 395));
  EXPECT_COLOR(Color::white(), colorAt(h, 260, -8));
}

TEST_F(TransitionTest, CurlUpPeelsTheOldPictureFromTheBottom) {
  Headless h(1);
  build(h);
  swapPages(AnimationTransition::CurlUp, 0.5, 1);
  std::string out = testing_support::outputDirectory();

  // During the delay the old picture stands in, though the model has already changed.
  h.wait(0.25);
  ASSERT_TRUE(h.shot(out + "/transition_curl_delay.png"));
  EXPECT_TRUE(oldPage->isHidden());
  EXPECT_COLOR(kOld, colorAt(h, 150, 10));
  EXPECT_COLOR(kOld, colorAt(h, 150, 390));

  // Halfway: the new page below, the old one above, the pale back of the peeled part between.
  h.wait(0.75);
  ASSERT_TRUE(h.shot(out + "/transition_curl_050.png"));
  for (double y : {250.0, 300.0, 395.0}) EXPECT_COLOR(kNew, colorAt(h, 150, y));
  for (double y : {5.0, 40.0}) EXPECT_COLOR(kOld, colorAt(h, 150, y));
  // Just above the fold the back shows: lighter than the old red, not the new blue.
  Color back = colorAt(h, 150, 170);
  EXPECT_GT(back.r, 0.8);
  EXPECT_GT(back.g, 0.4);
  EXPECT_LT(back.b, back.r);
  // Nothing of the curl leaves the card.
  EXPECT_COLOR(Color::white(), colorAt(h, 150, -3));
  EXPECT_COLOR(Color::white(), colorAt(h, -3, 150));

  h.wait(0.6);
  ASSERT_TRUE(h.shot(out + "/transition_curl_end.png"));
  EXPECT_COLOR(kNew, colorAt(h, 150, 10));
  EXPECT_COLOR(kNew, colorAt(h, 150, 390));
}

TEST_F(TransitionTest, PicturesStaySharpAtDoubleDensity) {
  Headless h(2);
  build(h);
  swapPages(AnimationTransition::CurlUp, 0.5, 1);
  // The stripe covers 100..101 points: two device pixels, with no blur on either side, both in
  // the snapshot shown during the delay and in the live pictures while the page curls.
  auto expectSharpStripe = [&](double y, Color page) {
    EXPECT_COLOR(Color::black(), colorAt(h, 100.25, y));
    EXPECT_COLOR(Color::black(), colorAt(h, 100.75, y));
    EXPECT_COLOR(page, colorAt(h, 99.75, y));
    EXPECT_COLOR(page, colorAt(h, 101.25, y));
  };
  h.wait(0.25);
  h.shot("");
  expectSharpStripe(200, kOld);
  h.wait(0.75);
  ASSERT_TRUE(h.shot(testing_support::outputDirectory() + "/transition_curl_050@2x.png"));
  expectSharpStripe(30, kOld);
  expectSharpStripe(350, kNew);
}
