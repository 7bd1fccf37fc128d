// What a person sees: screenshots of the form, the signals, the thank-you screen and the staff
// pictures, written to build/tests/output/screens and probed at a few telling points.

#include <gtest/gtest.h>

#include <filesystem>

#include "kit/Button.h"
#include "kit/ImageView.h"
#include "kit/Window.h"
#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

namespace {

std::string shotPath(const std::string& name) {
  std::string dir = testing_support::outputDirectory() + "/screens";
  std::filesystem::create_directories(dir);
  return dir + "/" + name;
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

TEST(KioskScreens, TheHiddenTripleTapCurlsTheFormUpOverTheStaffScreen) {
  Kiosk k;
  kit::Color header = k.h().colorAt({300, 40});
  k.tapAt(FormPoints::hiddenTapArea, 3);
  k.advance(0.5);
  ASSERT_TRUE(k.h().shot(shotPath("admin-curl-halfway.png")));
  EXPECT_TRUE(isBlack(k.h().colorAt({100, 1000})));  // the black staff screen shows below
  EXPECT_EQ(k.h().colorAt({300, 40}), header);       // the top of the form is still there
  k.advance(0.6);
  EXPECT_TRUE(isBlack(k.h().colorAt({300, 40})));
}

TEST(KioskScreens, TheStaffPicturesLeaveRoomForTheirFieldsAndButtons) {
  // The sign-in and signed-in pictures as the staff screen will show them: panel coordinates
  // are screen points, the two borderless fields lie on white boxes of the picture.
  kit::Headless h;
  kit::Window window;
  window.makeKeyAndVisible();
  auto panel = [&](const char* background) {
    auto view = std::make_unique<kit::ImageView>(kit::Size{768, 1024});
    view->setCenter({384, 512});
    view->setImage(kit::Image::imageNamed(background));
    return window.addSubview(std::move(view));
  };
  auto button = [&](kit::View* parent, const char* picture, kit::Size size, kit::Point centre) {
    auto b = std::make_unique<kit::Button>(size);
    b->setBackgroundImage(kit::Image::imageNamed(picture), kit::ControlState::Normal);
    b->setCenter(centre);
    parent->addSubview(std::move(b));
  };
  kit::View* signIn = panel("bg_admin.png");
  button(signIn, "btn_signin.png", {71, 34}, {500, 360});
  button(signIn, "btn_return.png", {136, 34}, {308, 360});
  ASSERT_TRUE(h.shot(shotPath("admin-signin.png")));
  EXPECT_TRUE(isWhite(h.colorAt({445, 268})));  // user name box
  EXPECT_TRUE(isWhite(h.colorAt({445, 310})));  // password box

  signIn->setHidden(true);
  kit::View* signedIn = panel("bg_admin_loggedin.png");
  button(signedIn, "btn_return.png", {136, 34}, {314, 260});
  button(signedIn, "btn_submitsurveydata.png", {136, 34}, {460, 260});
  ASSERT_TRUE(h.shot(shotPath("admin-signedin.png")));
  EXPECT_FALSE(isWhite(h.colorAt({384, 600})) && isWhite(h.colorAt({384, 100})));
}
