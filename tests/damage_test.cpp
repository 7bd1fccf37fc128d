// Damage: a change redraws only what it touched, and every change is redrawn. Each case draws the
// kiosk, makes one change, draws only the damage over the last frame, and compares that pixel for
// pixel with a whole frame drawn afresh; a whole journey is checked the same way at every step.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "admin/AdminView.h"
#include "kit/text/Keyboard.h"
#include "kit/text/TextField.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;
using testing_support::StaffPoints;

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

// The rows where the frame drawn from damage differs from a whole frame drawn afresh ("" when
// none does): a view that changed its look without marking it leaves its old pixels.
std::string staleRows(Kiosk& k) {
  k.h().shot("");  // the damage drawn over the last frame
  const kit::Renderer& a = k.h().renderer();
  kit::Renderer whole(1);
  whole.setStatusBarTime([] { return std::string("09:41"); });
  whole.renderScreen(k.app().screen());
  int first = -1, last = -1;
  for (int y = 0; y < a.pixelHeight(); ++y) {
    if (std::memcmp(a.pixels() + y * a.stride(), whole.pixels() + y * whole.stride(),
                    static_cast<size_t>(a.pixelWidth()) * 4) != 0) {
      if (first < 0) first = y;
      last = y;
    }
  }
  return first < 0 ? "" : "rows " + std::to_string(first) + " to " + std::to_string(last);
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

      // A tapped answer and a pressed button redraw themselves alone.
      {"answer tapped", [](Kiosk&) {}, [](Kiosk& k) { k.tapAt(FormPoints::answer(7)); },
       2 * 90 * 90},
      {"submit pressed", [](Kiosk&) {},
       [](Kiosk& k) {
         k.h().down(FormPoints::submit.x, FormPoints::submit.y);
         k.advance(0.2);
       },
       100 * 50},
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
    EXPECT_EQ(staleRows(k), "");
  }
}

TEST(Damage, EveryStepOfAJourneyRedrawsAllThatChanged) {
  using Step = std::pair<const char*, std::function<void(Kiosk&)>>;
  auto frames = [](Kiosk& k, int n) {
    for (int i = 0; i < n; ++i) k.step(1.0 / 60);
  };
  // A finger put down or lifted at a point, or at a key of the keyboard showing then.
  auto press = [](kit::Point at, bool down, const char* key = nullptr) {
    return [at, down, key](Kiosk& k) {
      kit::Point p = key ? kit::Keyboard::frameOfKey(key).center() : at;
      down ? k.h().down(p.x, p.y) : k.h().up(p.x, p.y);
      k.advance(0.1);
    };
  };
  const Step steps[] = {
      {"first name", [](Kiosk& k) { k.fill(FormPoints::firstName, "Anna"); }},
      {"keyboard up", [](Kiosk& k) { k.advance(0.5); }},
      {"next field", [](Kiosk& k) { k.tapToolbarItem(1); }},
      {"key held", press({}, true, "b")},
      {"key let go", press({}, false, "b")},
      {"keyboard down", [](Kiosk& k) { k.hideKeyboardKey(); }},
      {"answer held", press(FormPoints::answer(1), true)},
      {"answer let go", press(FormPoints::answer(1), false)},
      {"other answer", [](Kiosk& k) { k.tapAt(FormPoints::answer(0)); }},
      {"yes and no",
       [](Kiosk& k) {
         for (int a : {6, 9, 10}) k.tapAt(FormPoints::answer(a));
       }},
      {"rejected submit",
       [&](Kiosk& k) {
         k.tapAt(FormPoints::submit);
         frames(k, 6);
       }},
      {"markers in", [](Kiosk& k) { k.advance(1.5); }},
      {"markers say why",
       [](Kiosk& k) {
         k.fill(FormPoints::phone, "555");
         k.fill(FormPoints::email, "anna");
         k.hideKeyboardKey();
         k.tapAt(FormPoints::submit);
         k.advance(1.5);
       }},
      {"accepted submit",
       [&](Kiosk& k) {
         k.fill(FormPoints::phone, "2013344");
         k.fill(FormPoints::email, "@example.com");
         k.hideKeyboardKey();
         k.tapAt(FormPoints::submit);
         frames(k, 20);
       }},
      {"thank you", [](Kiosk& k) { k.advance(1.6); }},
      {"form again",
       [&](Kiosk& k) {
         k.tapAt({384, 500}, 2);
         frames(k, 20);
       }},
      {"staff curl",
       [&](Kiosk& k) {
         k.advance(1.1);
         k.tapAt(FormPoints::hiddenTapArea, 3);
         frames(k, 25);
       }},
      {"staff screen", [](Kiosk& k) { k.advance(1.1); }},
      {"wrong pair",
       [](Kiosk& k) {
         k.signIn("kiosk", "wrong");
         k.advance(0.5);
       }},
      {"signed in",
       [](Kiosk& k) {
         k.c().admin->user->setText("");
         k.c().admin->pass->setText("");
         k.tapAt(StaffPoints::user);
         k.signIn();
         k.advance(1.1);
       }},
      {"office line", [](Kiosk& k) { k.advance(2); }},
      {"composer",
       [](Kiosk& k) {
         k.tapAt(StaffPoints::emailData);
         k.advance(0.5);
         k.app().waitForBackgroundWork(10);
       }},
      {"subject typed", [](Kiosk& k) { k.typeText("x"); }},
      {"composer cancelled",
       [](Kiosk& k) {
         k.tapAt(StaffPoints::composerCancel);
         k.advance(0.5);
       }},
      {"draft kept",
       [](Kiosk& k) {
         k.tapAt(StaffPoints::saveDraft);
         k.app().waitForBackgroundWork(10);
         k.advance(0.5);
       }},
      {"alert gone",
       [](Kiosk& k) {
         k.tapAt({384, 557});
         k.advance(0.5);
       }},
      {"waiting mail tried",
       [](Kiosk& k) {
         k.tapAt(StaffPoints::sendWaitingMail);
         k.app().waitForBackgroundWork(10);
         k.advance(0.1);
       }},
  };
  Kiosk k;
  k.h().shot("");
  for (const auto& [name, step] : steps) {
    step(k);
    EXPECT_EQ(staleRows(k), "") << "after " << name;
  }
}
