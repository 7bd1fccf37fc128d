// The kiosk as it stands after start-up: the view tree, the data file check, and the controller's
// lifecycle answers.

#include <gtest/gtest.h>

#include "admin/AdminView.h"
#include "kit/base/NotificationCenter.h"
#include "support/KioskHarness.h"
#include "survey/Tables.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

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
    EXPECT_EQ(fields[i]->placeholder, placeholders[i]);
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
