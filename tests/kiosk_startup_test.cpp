// The kiosk as it stands after start-up: the view tree, the data file check, hit testing at the
// layout's tricky points, and the controller's lifecycle answers.

#include <gtest/gtest.h>

#include <filesystem>

#include "admin/AdminView.h"
#include "kit/base/NotificationCenter.h"
#include "kit/ui/Button.h"
#include "kit/ui/Screen.h"
#include "support/KioskHarness.h"
#include "survey/Tables.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

namespace {

// The header's bytes are pinned in the record tests.
const std::string kHeader = survey::headerLine(survey::questionTexts());

int hitTag(Kiosk& k, kit::Point screenPoint) {
  kit::View* hit = k.app().screen().hitTest(screenPoint);
  return hit ? hit->tag : -1;
}

kit::View* hitView(Kiosk& k, kit::Point screenPoint) {
  return k.app().screen().hitTest(screenPoint);
}

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

TEST(KioskStartup, AStartWithADataFilePresentLeavesItByteForByteUnchanged) {
  testing_support::TempHome home;
  std::string path = home.documents() + "/TolvikData.txt";
  std::filesystem::create_directories(home.documents());
  // Stored by an earlier run: a header, a record, and no line end at the end.
  std::string stored = kHeader + "\r\nAnna,Berg,(555) 201-3344,a@b.c,F,34,\"Hiking,\",Yes,No,Yes,";
  testing_support::writeAll(path, stored);
  {
    kit::Headless h;
    auto delegate = loadMainInterface();
    TolvikViewController* c = delegate->viewController.get();
    h.launch(std::move(delegate));
    EXPECT_EQ(c->formData, stored);
  }
  EXPECT_EQ(testing_support::readAll(path), stored);
}

TEST(KioskStartup, TouchesHitTheRightViewsAtTheLayoutsTrickyPoints) {
  Kiosk k;
  TolvikViewController& c = k.c();

  // The invisible tap area in the form's top right corner, not the form background beside it.
  EXPECT_EQ(hitTag(k, {693, 75}), 300);
  EXPECT_EQ(hitTag(k, {619, 21}), 300);  // just below the status bar
  EXPECT_EQ(hitTag(k, {767, 149}), 300);
  EXPECT_EQ(hitTag(k, {617, 75}), 10);
  EXPECT_EQ(hitTag(k, {693, 151}), 10);

  // Labels and markers take no touches, also while fully visible.
  c.rt1->setAlpha(1.0);
  c.r2->setAlpha(1.0);
  c.r2->setCenter({120, 585});
  EXPECT_EQ(hitView(k, {330, 242}), c.firstName);  // under the first label's text
  EXPECT_EQ(hitView(k, {103, 560}), c.btn4);       // an answer button under the marker
  EXPECT_EQ(hitTag(k, {180, 610}), 10);            // the marker over bare background
  EXPECT_EQ(hitView(k, {655, 960}), c.submit);

  // The answer button takes the touch on its whole 50 x 50 square, not only on its ring; where
  // two squares overlap, the later button lies on top.
  EXPECT_EQ(hitView(k, {300 - 24, 517 - 24}), c.btn3);
  EXPECT_EQ(hitView(k, {300 - 24, 517 + 24}), c.btn5);

  // The thank-you picture takes no touches: the thank-you view gets them.
  c.formView->setHidden(true);
  c.thankyouView->setHidden(false);
  EXPECT_EQ(hitTag(k, {384, 500}), 110);
  EXPECT_EQ(hitTag(k, {10, 1015}), 110);
  EXPECT_EQ(hitTag(k, {693, 75}), 110);  // the tap area lies in the hidden form
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
  for (int i = 0; i < 20; ++i) {
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
  EXPECT_EQ(testing_support::countOf(capture.finish(), "CSV sent: "), 1);
  center.postNotificationName("ReturnToForm", c.admin);
  EXPECT_EQ(c.lastName->text(), "");
}
