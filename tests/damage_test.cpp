// Damage: a change redraws only what it touched. Each case draws the kiosk, makes one change,
// draws only the damage over the last frame, and compares that pixel for pixel with a whole
// frame drawn afresh.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "kit/text/Keyboard.h"
#include "kit/text/TextField.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

namespace {

struct Case {
  std::string name;
  std::function<void(Kiosk&)> before;  // brings the kiosk to the frame drawn first
  std::function<void(Kiosk&)> change;
  double maxArea;  // screen points², what the damage may cover at most
};

double area(const std::vector<kit::Rect>& rects) {
  double sum = 0;
  for (const kit::Rect& r : rects) sum += r.area();
  return sum;
}

bool samePixels(const kit::Renderer& a, const kit::Renderer& b) {
  if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return false;
  for (int y = 0; y < a.pixelHeight(); ++y) {
    if (std::memcmp(a.pixels() + y * a.stride(), b.pixels() + y * b.stride(),
                    static_cast<size_t>(a.pixelWidth()) * 4) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

TEST(Damage, ChangesRedrawWhatTheyTouchedAndLittleMore) {
  const Case cases[] = {
      {"caret blink",
       [](Kiosk& k) {
         k.tapAt(FormPoints::firstName);
         k.advance(0.6);
       },
       [](Kiosk& k) { k.advance(kit::kCaretBlinkInterval); }, 150},
      {"key press",
       [](Kiosk& k) {
         k.tapAt(FormPoints::firstName);
         k.advance(0.6);
       },
       [](Kiosk& k) {
         kit::Point q = kit::Keyboard::frameOfKey("q").center();
         k.h().down(q.x, q.y);
       },
       2 * 80 * 60},
      {"markers dropping",
       // A rejected submit: the markers drop in beside the questions, the labels fade in.
       [](Kiosk& k) {
         k.tapAt(FormPoints::submit);
         k.step(0.45);
       },
       [](Kiosk& k) { k.step(1.0 / 60); }, 0.25 * kit::kScreenWidth * kit::kScreenHeight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Kiosk k;
    c.before(k);
    k.h().shot("");
    k.app().takeDamage();  // what the frame just drawn already shows
    c.change(k);
    kit::Application::Damage damage = k.app().takeDamage();
    ASSERT_FALSE(damage.wholeScreen);
    ASSERT_FALSE(damage.rects.empty());
    EXPECT_LE(area(damage.rects), c.maxArea);

    k.h().renderer().renderScreen(k.app().screen(), &damage.rects);
    kit::Renderer whole(1);
    whole.setStatusBarTime([] { return std::string("09:41"); });
    whole.renderScreen(k.app().screen());
    EXPECT_TRUE(samePixels(k.h().renderer(), whole));
  }
}
