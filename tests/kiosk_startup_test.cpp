// The kiosk as it stands after start-up: the view tree, the data file check, and the controller's
// lifecycle answers.

#include <gtest/gtest.h>

#include <functional>

#include "admin/AdminView.h"
#include "controls/MapScroller.h"
#include "kit/base/NotificationCenter.h"
#include "kit/mail/MailComposeViewController.h"
#include "kit/text/Keyboard.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Animation.h"
#include "support/KioskHarness.h"
#include "survey/Tables.h"

using testing_support::FormPoints;
using testing_support::Kiosk;
using testing_support::StaffPoints;

namespace {

// The header's bytes are pinned in the record tests.
const std::string kHeader = survey::headerLine(survey::questionTexts());

}  // namespace

TEST(KioskStartup, FirstStartBuildsTheWholeFormAndCreatesTheDataFileWithItsHeaderOnly) {
  Kiosk k;
  TolvikViewController& c = k.c();

  EXPECT_EQ(testing_support::readAll(k.dataFile()), kHeader);
  EXPECT_EQ(c.formData, "");
  EXPECT_EQ(c.currTextField, 400);
  EXPECT_EQ(c.phoneNum, "");

  // Thank-you view, form view, administration screen, bottom to top; only the form shows.
  kit::View* root = c.view();
  EXPECT_EQ(root->subviews(), (std::vector<kit::View*>{c.thankyouView, c.formView, c.admin}));
  EXPECT_TRUE(c.thankyouView->isHidden());
  EXPECT_FALSE(c.formView->isHidden());
  EXPECT_TRUE(c.admin->isHidden());

  // What a visitor reads (the keyboards are tried by typing on them); nothing answered or
  // signalled yet.
  kit::TextField* fields[] = {c.firstName, c.lastName, c.phone, c.email, c.gender, c.age};
  const char* placeholders[] = {"First Name", "Last Name",       "Phone",
                                "Email",      "Gender (M or F)", "Age"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(fields[i]->placeholder(), placeholders[i]);
    EXPECT_EQ(fields[i]->text(), "");
  }
  ASSERT_EQ(c.buttonsArray.size(), 12u);
  for (RadioBtn* b : c.buttonsArray) EXPECT_FALSE(b->btnTouched());
  for (kit::View* v :
       std::initializer_list<kit::View*>{c.r1, c.r2, c.r3, c.r4, c.rt1, c.rt2, c.rt3, c.rt4}) {
    EXPECT_EQ(v->alpha(), 0.0);
  }
  std::vector<std::string> titles;
  for (const auto& item : c.toolbar->items()) titles.push_back(item->title);
  EXPECT_EQ(titles, (std::vector<std::string>{"prev", "next", "", "done"}));
}

TEST(KioskStartup, LifecycleAnswersAndMemoryWarningsChangeNothing) {
  Kiosk k;
  TolvikViewController& c = k.c();
  // The screen turns only between the two upright orientations.
  using O = kit::InterfaceOrientation;
  for (auto [turned, shown] : {std::pair{O::LandscapeLeft, O::Portrait},
                               {O::PortraitUpsideDown, O::PortraitUpsideDown},
                               {O::LandscapeRight, O::PortraitUpsideDown},
                               {O::Portrait, O::Portrait}}) {
    k.app().orientationChanged(turned);
    EXPECT_EQ(k.app().screenOrientation(), shown);
  }

  k.fill(FormPoints::firstName, "Anna");
  k.tapAt(FormPoints::answer(1));
  k.app().memoryWarning();
  EXPECT_EQ(c.firstName->text(), "Anna");
  EXPECT_TRUE(k.answerOn(1));
  EXPECT_FALSE(c.formView->isHidden());
}

TEST(KioskStartup, ControllersComeAndGoWithoutLeavingObserversBehind) {
  for (int i = 0; i < 3; ++i) {
    Kiosk k;
    k.tapAt(FormPoints::email);
    k.advance(0.1);
  }
  // Notifications posted after the kiosks have gone reach nobody.
  kit::ManualClock clock;
  kit::Application app(clock);
  kit::NotificationCenter::defaultCenter().postNotificationName(kit::KeyboardWillShowNotification,
                                                                nullptr);
  kit::NotificationCenter::defaultCenter().postNotificationName("ReturnToForm", nullptr);
}

TEST(KioskStartup, StaffNotificationsFromAnyOtherSenderHaveNoEffect) {
  Kiosk k;
  TolvikViewController& c = k.c();
  auto& center = kit::NotificationCenter::defaultCenter();
  k.fill(FormPoints::lastName, "Berg");
  kit::Object stranger;
  testing_support::StderrCapture capture;
  for (const char* name : {"ReturnToForm", "EmailData"}) {
    center.postNotificationName(name, &stranger);
    center.postNotificationName(name, nullptr);
  }
  EXPECT_EQ(c.lastName->text(), "Berg");
  // From the administration screen itself they reach the controller.
  center.postNotificationName("EmailData", c.admin);
  k.app().waitForBackgroundWork(10);  // the log line is counted on another thread
  EXPECT_EQ(testing_support::countOf(capture.finish(), "CSV sent: "), 1);
  center.postNotificationName("ReturnToForm", c.admin);
  EXPECT_EQ(c.lastName->text(), "");
}

// The kiosk quits while something moves: every kind of movement is cut short, and what it held
// goes with the rest, without a crash (the fault suite runs this under the sanitizers).
TEST(KioskStartup, QuittingInTheMiddleOfAnyMovementEndsCleanly) {
  auto composer = [](Kiosk& k) {
    return dynamic_cast<kit::MailComposeViewController*>(k.c().modalViewController());
  };
  auto animating = [](Kiosk& k) { return k.app().animator().isAnimating(); };
  const std::vector<std::pair<const char*, std::function<bool(Kiosk&)>>> cases = {
      {"flip to the thank-you screen",
       [&](Kiosk& k) {
         k.fillCompleteForm();
         k.tapAt(FormPoints::submit);
         k.step(0.9);
         return k.app().animator().isTransitionRunning();
       }},
      {"curl up to the staff screen",
       [&](Kiosk& k) {
         k.tapAt(FormPoints::hiddenTapArea, 3);
         k.step(0.4);
         return k.app().animator().isTransitionRunning();
       }},
      {"keyboard sliding in",
       [&](Kiosk& k) {
         k.tapAt(FormPoints::firstName);
         k.step(0.1);
         return animating(k);
       }},
      {"alert fading in",
       [&](Kiosk& k) {
         kit::AlertView::show(std::make_unique<kit::AlertView>("Sorry", "", nullptr, "OK"),
                              *k.c().view());
         k.step(0.05);
         return animating(k);
       }},
      {"scroll decelerating",
       [&](Kiosk& k) {
         auto* scroller = k.c().view()->addSubview(
             std::make_unique<MapScroller>(kit::Rect{{235, 400}, {298, 300}}));
         scroller->setContentSize({298, 3000});
         k.h().drag(384, 650, 384, 450, 0.05);
         return scroller->isDecelerating();
       }},
      {"composer sliding up",
       [&](Kiosk& k) {
         k.openStaffScreen();
         k.signIn();
         k.advance(1.1);
         k.tapAt(StaffPoints::emailData);
         k.step(0.1);
         return composer(k) && animating(k);
       }},
      {"composer sliding down",
       [&](Kiosk& k) {
         k.openExport();
         k.tapAt(StaffPoints::composerCancel);
         k.tapAt(StaffPoints::deleteDraft);
         k.step(0.1);
         return !composer(k) && animating(k);
       }},
      {"send in progress",
       [&](Kiosk& k) {
         k.openExport();
         k.typeText("office@example.com");
         k.tapAt(StaffPoints::composerSend);
         return composer(k) && composer(k)->isSending();
       }},
  };
  for (const auto& [name, startMoving] : cases) {
    SCOPED_TRACE(name);
    {
      Kiosk k;
      EXPECT_TRUE(startMoving(k)) << "moving when the kiosk quits";
    }
    EXPECT_EQ(kit::Keyboard::existing(), nullptr) << "every view has gone";
  }
}
