// The staff screen as staff use it: the hidden gesture, the sign-in, the signed-in panel with its
// count of stored responses, and the way back to an empty form.

#include <gtest/gtest.h>

#include "admin/AdminView.h"
#include "support/KioskHarness.h"

using testing_support::countOf;
using testing_support::FormPoints;
using testing_support::Kiosk;
using testing_support::StaffPoints;

// Without a password of the kiosk's own, the built-in pair; a wrong pair is told under the fields
// for a few seconds, the signed-in panel tells that the built-in password is in use.
TEST(KioskAdmin, OnlyTheExactUserNameAndPasswordSignIn) {
  struct Case {
    const char* user;
    const char* password;
    bool signsIn;
  } cases[] = {
      {"Kiosk", "tamarind", false},
      {"kiosk ", "tamarind", false},
      {"kiosk", "Tamarind", false},
      {"kiosk", "tamarin", false},
      {"", "", false},
      {"kiosk", "tamarind", true},
  };
  Kiosk k;
  AdminView* admin = k.c().admin;
  k.openStaffScreen();
  for (const Case& t : cases) {
    SCOPED_TRACE(std::string(t.user) + "/" + t.password);
    admin->user->setText("");
    admin->pass->setText("");
    k.tapAt(StaffPoints::user);
    testing_support::StderrCapture capture;
    k.signIn(t.user, t.password);
    k.advance(1.1);
    EXPECT_EQ(countOf(capture.finish(), "log in successful"), t.signsIn ? 1 : 0);
    EXPECT_EQ(admin->loginView->alpha(), t.signsIn ? 0.0 : 1.0);
    EXPECT_EQ(admin->loggedInView->alpha(), t.signsIn ? 1.0 : 0.0);
    // Either way the fields keep what was typed, and the keyboard stays.
    EXPECT_EQ(admin->user->text(), t.user);
    EXPECT_EQ(admin->pass->text(), t.password);
    EXPECT_EQ(k.app().firstResponder(), admin->pass);
    EXPECT_EQ(admin->wrongPair->presentationAlpha(), t.signsIn ? 0.0 : 1.0);
    ASSERT_NE(admin->builtInPasswordNote, nullptr);
    EXPECT_FALSE(admin->builtInPasswordNote->isHidden());
    if (t.signsIn) continue;
    // A second try shows the message again for as long; then it fades.
    k.advance(1.5);
    k.tapAt(StaffPoints::signIn);
    k.advance(2.9);
    EXPECT_EQ(admin->wrongPair->presentationAlpha(), 1.0);
    k.advance(0.7);
    EXPECT_EQ(admin->wrongPair->presentationAlpha(), 0.0);
  }
}

TEST(KioskAdmin, FromAHalfFilledFormToTheStaffScreenAndBackToAnEmptyForm) {
  Kiosk k;
  TolvikViewController& c = k.c();
  AdminView* admin = c.admin;
  k.tapAt(FormPoints::answer(1));
  k.fill(FormPoints::firstName, "An");

  // The user-name field takes the keyboard as the curl starts; a fourth tap during the curl
  // reaches nothing.
  testing_support::StderrCapture opening;
  k.tapAt(FormPoints::hiddenTapArea, 4);
  k.typeText("xyz");
  k.advance(1.1);
  EXPECT_EQ(countOf(opening.finish(), "button touch: "), 3);
  EXPECT_EQ(admin->user->text(), "xyz");
  EXPECT_EQ(c.firstName->text(), "An");

  // Keyboard notifications from the staff fields move only the hidden form's toolbar.
  k.hideKeyboardKey();
  EXPECT_EQ(c.toolbar->center(), (kit::Point{384, 1050}));
  k.tapAt(StaffPoints::pass);
  EXPECT_EQ(c.toolbar->center(), (kit::Point{384, 736}));
  EXPECT_EQ(c.formView->center(), (kit::Point{384, 492}));
  EXPECT_EQ(admin->center(), (kit::Point{384, 512}));

  // Back without signing in: the form is emptied and flips in; the user-name field keeps the
  // keyboard until the flip ends, but keys typed meanwhile reach no field out of sight.
  k.tapAt(StaffPoints::signInReturn);
  EXPECT_TRUE(admin->isHidden());
  EXPECT_EQ(c.firstName->text(), "");
  EXPECT_FALSE(k.answerOn(1));
  k.advance(0.9);
  EXPECT_EQ(k.app().firstResponder(), admin->user);
  k.typeText("Jo");
  k.advance(0.6);
  EXPECT_EQ(k.app().firstResponder(), nullptr);
  EXPECT_EQ(c.toolbar->center(), (kit::Point{384, 1050}));

  // The next opening shows the sign-in panel, empty. Only the visible panel's buttons and
  // fields react; other taps reach the controller with tag 0 and do nothing.
  k.openStaffScreen();
  EXPECT_EQ(admin->user->text(), "");
  testing_support::StderrCapture staff;
  k.tapAt(StaffPoints::signedInReturn);
  k.signIn();
  k.advance(1.1);
  for (kit::Point p : {StaffPoints::signIn, StaffPoints::pass, StaffPoints::signInReturn}) {
    k.tapAt(p);
  }
  k.advance(1.1);
  EXPECT_FALSE(admin->isHidden());
  EXPECT_EQ(k.app().firstResponder(), admin->pass);
  // The export's composer covers the screen until it is left.
  k.tapAt(StaffPoints::emailData);
  k.advance(0.5);
  k.app().waitForBackgroundWork(10);  // the log line is counted on another thread
  std::string log = staff.finish();
  EXPECT_EQ(countOf(log, "button touch: 0"), 4);
  EXPECT_EQ(countOf(log, "log in successful"), 1);
  EXPECT_EQ(countOf(log, "CSV sent: "), 1);
  k.tapAt(StaffPoints::composerCancel);
  k.tapAt(StaffPoints::deleteDraft);
  k.advance(0.5);

  // The signed-in panel's return button goes back the same way.
  k.tapAt(StaffPoints::signedInReturn);
  EXPECT_TRUE(admin->isHidden());
  EXPECT_EQ(admin->loginView->alpha(), 1.0);
  EXPECT_EQ(admin->loggedInView->alpha(), 0.0);
  EXPECT_EQ(admin->pass->text(), "");
}

TEST(KioskAdmin, TheSignedInPanelCountsTheStoredResponsesEachTimeItAppears) {
  Kiosk k;
  AdminView* admin = k.c().admin;
  auto countShown = [&] {
    k.openStaffScreen();
    k.signIn();
    std::string shown = admin->storedResponses->text();
    k.tapAt(StaffPoints::signedInReturn);
    k.advance(1.1);
    return shown;
  };
  EXPECT_EQ(countShown(), "0 responses stored, 273 bytes");
  k.submitCompleteForm();
  EXPECT_EQ(countShown(), "1 response stored, 351 bytes");
  k.submitCompleteForm();
  k.submitCompleteForm();
  EXPECT_EQ(countShown(), "3 responses stored, 507 bytes");
  // Records written by others, one with a line break inside a quoted field.
  std::string more;
  for (int i = 0; i < 40; ++i) more += "\r\n\"Lee\r\nAnn\",Berg,(555) 201-3344,a@b.c,F,34,Yes,";
  testing_support::writeAll(k.dataFile(), testing_support::readAll(k.dataFile()) + more);
  EXPECT_EQ(countShown(), "43 responses stored, 2.4\u00a0kB");
}
