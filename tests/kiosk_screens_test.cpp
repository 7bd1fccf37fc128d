// What a person sees: screenshots of the form, the signals, the thank-you screen and the staff
// screen, written to build/tests/output/screens and probed at a few telling points.

#include <gtest/gtest.h>

#include "admin/AdminView.h"
#include "kit/text/TextField.h"
#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;
using testing_support::StaffPoints;

namespace {

std::string shotPath(const std::string& name) {
  return testing_support::outputDirectory("screens") + "/" + name;
}

bool isWhite(kit::Color c) {
  return c.r > 0.95 && c.g > 0.95 && c.b > 0.95;
}
bool isBlack(kit::Color c) {
  return c.r < 0.05 && c.g < 0.05 && c.b < 0.05;
}
bool isRed(kit::Color c) {
  return c.r > 0.7 && c.g < 0.35 && c.b < 0.3;
}
bool isOrange(kit::Color c) {
  return c.r > 0.8 && c.g > 0.3 && c.g < 0.65 && c.b < 0.35;
}
bool isDarkGreen(kit::Color c) {
  return c.g > c.r && c.g > c.b && c.g < 0.4;
}

// Whether any point of a 1-point grid over `area` satisfies `test` (for thin text).
template <class Test>
bool anyPoint(kit::Headless& h, kit::Rect area, Test test) {
  h.shot("");
  for (double y = area.minY(); y < area.maxY(); y += 1) {
    for (double x = area.minX(); x < area.maxX(); x += 1) {
      if (test(h.renderer().colorAt({x, y}))) return true;
    }
  }
  return false;
}

}  // namespace

TEST(KioskScreens, TheFormItsAnswersAndItsSignalsLookRight) {
  Kiosk k;
  ASSERT_TRUE(k.h().shot(shotPath("form-empty.png")));
  EXPECT_TRUE(isBlack(k.h().colorAt({100, 10})));      // status bar
  EXPECT_TRUE(isDarkGreen(k.h().colorAt({300, 40})));  // brand header
  EXPECT_TRUE(isWhite(k.h().colorAt({340, 248})));     // inside the first name field
  EXPECT_TRUE(isOrange(k.h().colorAt({625, 950})));    // the submit button
  kit::Color paper = k.h().colorAt({300, 479});        // an answer button's centre, off
  EXPECT_FALSE(isOrange(paper));

  k.tapAt(FormPoints::answer(1));
  k.fill(FormPoints::firstName, "Anna");
  k.advance(0.5);
  EXPECT_TRUE(isOrange(k.h().colorAt({300, 479})));  // the dot of an answer that is on
  ASSERT_TRUE(k.h().shot(shotPath("form-keyboard.png")));
  k.hideKeyboardKey();

  // Rejected: at 0.6 s every marker rests at its lowest point, the labels are fully in.
  k.tapAt(FormPoints::submit);
  k.advance(0.6);
  ASSERT_TRUE(k.h().shot(shotPath("form-signals.png")));
  EXPECT_TRUE(isRed(k.h().colorAt({78, 585})));   // r2's tag
  EXPECT_TRUE(isRed(k.h().colorAt({78, 760})));   // r4's tag
  EXPECT_FALSE(isRed(k.h().colorAt({78, 418})));  // question 1 is answered: no r1
  kit::Rect lastNameLabel{{600, 230}, {70, 20}};  // "*required" over the last name field
  EXPECT_TRUE(anyPoint(k.h(), lastNameLabel, isRed));
  k.advance(3);
  EXPECT_FALSE(isRed(k.h().colorAt({78, 585})));
  EXPECT_FALSE(isRed(k.h().colorAt({78, 555})));  // gone, not merely moved up
  EXPECT_FALSE(anyPoint(k.h(), lastNameLabel, isRed));
}

TEST(KioskScreens, TheThankYouScreenShowsAfterTheFlipAtDoubleDensityToo) {
  Kiosk k(2);
  TolvikViewController& c = k.c();
  k.fillCompleteForm();
  kit::Color before = k.h().colorAt({384, 500});
  k.tapAt(FormPoints::submit);
  k.advance(0.45);
  EXPECT_EQ(k.h().colorAt({384, 500}), before);  // the delay: still the form
  k.advance(1.2);
  ASSERT_TRUE(c.formView->isHidden());
  ASSERT_TRUE(k.h().shot(shotPath("thankyou@2x.png")));
  EXPECT_EQ(k.h().renderer().pixelWidth(), 1536);
  EXPECT_TRUE(isDarkGreen(k.h().colorAt({100, 60})));
  // The thank-you picture sits 20 points up, leaving the bottom 20 points black.
  EXPECT_TRUE(isBlack(k.h().colorAt({384, 1018})));
  EXPECT_FALSE(isBlack(k.h().colorAt({384, 1000})));
}

TEST(KioskScreens, TheStaffScreenCurlsUpSignsInAndCrossFades) {
  Kiosk k;
  AdminView* admin = k.c().admin;
  kit::Color header = k.h().colorAt({300, 40});
  k.tapAt(FormPoints::hiddenTapArea, 3);
  k.advance(0.5);
  ASSERT_TRUE(k.h().shot(shotPath("admin-curl-halfway.png")));
  EXPECT_TRUE(isDarkGreen(k.h().colorAt({100, 600})));  // the staff screen shows below
  EXPECT_EQ(k.h().colorAt({300, 40}), header);          // the top of the form is still there
  k.advance(0.6);

  // The borderless fields lie exactly on the picture's white boxes, 170 x 30 each.
  for (kit::TextField* field : {admin->user, admin->pass}) {
    kit::Rect box{field->convertToAncestor({0, 0}, nullptr), {170, 30}};
    EXPECT_TRUE(isWhite(k.h().colorAt({box.minX() + 3, box.center().y})));  // before the caret
    EXPECT_TRUE(isWhite(k.h().colorAt({box.maxX() - 3, box.center().y})));
    EXPECT_TRUE(isWhite(k.h().colorAt({box.center().x, box.minY() + 2})));
    EXPECT_FALSE(isWhite(k.h().colorAt({box.minX() - 3, box.center().y})));
    EXPECT_FALSE(isWhite(k.h().colorAt({box.center().x, box.maxY() + 3})));
  }
  // The password shows as bullets: its last letter for a moment while typed, but never pasted.
  // Pictures of the field are taken while the caret shows.
  auto password = [&] {
    k.h().shot("");
    kit::Rect box{admin->pass->convertToAncestor({0, 0}, nullptr), admin->pass->bounds().size};
    std::vector<kit::Color> pixels;
    for (double y = box.minY(); y < box.maxY(); ++y) {
      for (double x = box.minX(); x < box.maxX(); ++x) {
        pixels.push_back(k.h().renderer().colorAt({x, y}));
      }
    }
    return pixels;
  };
  k.typeText("kiosk");
  k.fill(StaffPoints::pass, "tamarind");
  auto typed = password();
  k.advance(kit::kSecureRevealDuration + kit::kCaretBlinkInterval / 2);
  auto bullets = password();
  EXPECT_NE(typed, bullets);
  admin->pass->setText("WMWMWMWM");
  EXPECT_EQ(password(), bullets);
  admin->pass->setText("");
  k.h().paste("tamarind");
  EXPECT_EQ(password(), bullets);
  ASSERT_TRUE(k.h().shot(shotPath("admin-signin-keyboard.png")));

  kit::Point cardCorner{590, 330};  // on the signed-in card, outside the sign-in card
  kit::Color before = k.h().colorAt(cardCorner);
  k.tapAt(StaffPoints::signIn);
  k.advance(0.5);
  ASSERT_TRUE(k.h().shot(shotPath("admin-crossfade-halfway.png")));
  kit::Color halfway = k.h().colorAt(cardCorner);
  k.advance(0.6);
  k.hideKeyboardKey();
  ASSERT_TRUE(k.h().shot(shotPath("admin-signedin.png")));
  kit::Color after = k.h().colorAt(cardCorner);
  EXPECT_TRUE(isWhite(after) || after.r > 0.9);  // the light card
  EXPECT_GT(halfway.r, before.r + 0.2);
  EXPECT_LT(halfway.r, after.r - 0.2);

  // The count of stored responses sits on the card, clear of both buttons.
  kit::Rect count = admin->storedResponses->frame();
  for (kit::View* button : admin->loggedInView->subviews()) {
    if (button == admin->storedResponses || button == admin->bg_loggedIn) continue;
    kit::Rect b = button->frame();
    EXPECT_TRUE(count.minY() >= b.maxY() || count.maxY() <= b.minY());
  }
  EXPECT_EQ(admin->storedResponses->text(), "0 responses stored, 273 bytes");
}
