// Pixels of the drawn transitions: flips and curls part of the way through (against reference
// pictures), the old picture during the delay, the plain view after the end. The kiosk's own flip
// and curl, at double density too, are probed in kiosk_screens_test.

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kit/backends/headless/Headless.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

constexpr Color kOld = {1, 0, 0, 1};
constexpr Color kNew = {0, 0, 1, 1};

// A 300 x 400 card on a white screen: a red page showing, a blue page hidden, each with a thin
// black stripe, and a transition under way that swaps them.
class TransitionTest : public ::testing::Test {
 protected:
  // Before the swap, `prepare` lets the kit draw the hidden page aside as an idle window loop
  // does; `replace` sets up the same transition a second time straight after the first.
  void swapPages(double scale, AnimationTransition kind, double delay, bool prepare = false,
                 bool replace = false) {
    h.emplace(scale);
    card = testing_support::addWhiteRoot(*h)->addSubview(std::make_unique<View>(Size{300, 400}));
    card->setCenter({384, 400});
    oldPage = addPage(kOld);
    View* newPage = addPage(kNew);
    newPage->setHidden(true);
    h->shot("");
    while (prepare && h->app().prepareWhileIdle()) h->wait(0);

    for (int times = replace ? 2 : 1; times > 0; --times) {
      card->beginAnimations("swap", nullptr);
      View::setAnimationDelay(delay);
      View::setAnimationDuration(1);
      View::setAnimationTransition(kind, card, true);
      oldPage->setHidden(true);
      newPage->setHidden(false);
      View::commitAnimations();
    }
  }

  View* addPage(Color color) {
    View* page = card->addSubview(std::make_unique<View>(Size{300, 400}));
    color.a = pageAlpha;
    page->setBackgroundColor(color);
    View* stripe = page->addSubview(std::make_unique<View>(Size{1, 400}));
    stripe->setCenter({100.5, 200});
    stripe->setBackgroundColor(Color::black());
    return page;
  }

  // Waits `seconds`, then renders, writing the picture to a file when `name` is not empty.
  void shotAfter(double seconds, const std::string& name) {
    h->wait(seconds);
    std::string file = testing_support::outputDirectory() + "/transition_" + name + ".png";
    ASSERT_TRUE(h->shot(name.empty() ? "" : file));
  }

  // The share of pixels around the card (with room for the flip's near edge) that differ from the
  // reference picture tests/reference/transition_NAME.png by more than a little in a channel.
  // Stair-steps along the card's edges alone make some 0.3 % differ.
  double differenceFromReference(const std::string& name) {
    std::string path =
        std::string(TOLVIK_SOURCE_DIR) + "/tests/reference/transition_" + name + ".png";
    cairo_surface_t* reference = cairo_image_surface_create_from_png(path.c_str());
    double share = 1;
    const int x0 = 224, y0 = 140, width = 320, height = 560;
    if (cairo_surface_status(reference) == CAIRO_STATUS_SUCCESS &&
        cairo_image_surface_get_width(reference) == width &&
        cairo_image_surface_get_height(reference) == height) {
      const Renderer& r = h->renderer();
      int differing = 0;
      for (int y = 0; y < height; ++y) {
        const uint8_t* drawn = r.pixels() + static_cast<size_t>(y0 + y) * r.stride() + x0 * 4;
        const uint8_t* expected =
            cairo_image_surface_get_data(reference) +
            static_cast<size_t>(y) * cairo_image_surface_get_stride(reference);
        for (int i = 0; i < width * 4; i += 4) {
          for (int channel = 0; channel < 3; ++channel) {
            if (std::abs(drawn[i + channel] - expected[i + channel]) > 8) {
              ++differing;
              break;
            }
          }
        }
      }
      share = static_cast<double>(differing) / (width * height);
    }
    cairo_surface_destroy(reference);
    return share;
  }

  // The colour at a point of the card, in card coordinates.
  Color colorAt(double x, double y) {
    return h->renderer().colorAt({384 - 150 + x, kStatusBarHeight + 200 + y});
  }

  double pageAlpha = 1;
  std::optional<Headless> h;
  View* card = nullptr;
  View* oldPage = nullptr;
};

}  // namespace

TEST_F(TransitionTest, FlipFromRightTurnsTheOldPictureAwayAndTheNewOneIn) {
  swapPages(1, AnimationTransition::FlipFromRight, 0);
  // A third of the way: the old page narrowed about the centre line over black, its right edge
  // coming towards the viewer standing out above the card, as the reference picture shows it.
  shotAfter(0.3, "flip_030");
  EXPECT_LT(differenceFromReference("flip_030"), 0.0005);
  // Halfway the card is edge-on: black where it stood.
  shotAfter(0.2, "flip_050");
  for (double x : {20.0, 100.0, 140.0, 160.0, 200.0, 280.0}) {
    EXPECT_COLOR(Color::black(), colorAt(x, 200));
  }
  // Later the new page turns in, now with its left edge nearer; after the end, drawn plainly.
  shotAfter(0.2, "flip_070");
  EXPECT_GT(colorAt(40, -8).b, 0.5);
  EXPECT_COLOR(Color::white(), colorAt(240, -8));
  shotAfter(0.35, "flip_end");
  EXPECT_COLOR(kNew, colorAt(5, 5));
}

TEST_F(TransitionTest, CurlUpPeelsTheOldPictureFromTheBottom) {
  swapPages(1, AnimationTransition::CurlUp, 0.5);
  // During the delay the old picture stands in, though the model has already changed.
  shotAfter(0.25, "curl_delay");
  EXPECT_TRUE(oldPage->isHidden());
  EXPECT_COLOR(kOld, colorAt(150, 390));
  // Halfway: the new page below, the old one above, the pale back of the peeled part between.
  shotAfter(0.75, "curl_050");
  EXPECT_LT(differenceFromReference("curl_050"), 0.0005);
  shotAfter(0.6, "curl_end");
  EXPECT_COLOR(kNew, colorAt(150, 10));
  EXPECT_COLOR(kNew, colorAt(150, 390));
}

TEST_F(TransitionTest, FramesAreTheSameWhateverSurfacesThePicturesReuseAndWhenReplacedUndrawn) {
  // Frames early in the transition and past its middle, at double density, with opaque and
  // see-through pages: as first drawn, after the hidden page was drawn aside into a surface that
  // the pictures then reuse, and when the transition replaced one set up a moment before that was
  // never drawn.
  for (auto [kind, alpha] : {std::pair{AnimationTransition::FlipFromRight, 1.0},
                             {AnimationTransition::CurlUp, 1.0},
                             {AnimationTransition::CurlUp, 0.5}}) {
    pageAlpha = alpha;
    std::vector<std::vector<uint8_t>> first;
    for (int way = 0; way < 3; ++way) {
      swapPages(2, kind, 0, way == 1, way == 2);
      for (int frame = 0; frame < 2; ++frame) {
        shotAfter(frame == 0 ? 1.0 / 60 : 0.6, "");
        // Barely started: the old page over the white screen.
        if (frame == 0) {
          EXPECT_COLOR(Color::rgba(1, 1 - pageAlpha, 1 - pageAlpha), colorAt(150, 200));
        }
        const Renderer& r = h->renderer();
        std::vector<uint8_t> pixels(r.pixels(),
                                    r.pixels() + static_cast<size_t>(r.stride()) * r.pixelHeight());
        if (way == 0) {
          first.push_back(std::move(pixels));
        } else {
          EXPECT_TRUE(pixels == first[static_cast<size_t>(frame)])
              << "kind " << static_cast<int>(kind) << ", alpha " << pageAlpha << ", way " << way
              << ", frame " << frame;
        }
      }
    }
  }
}
