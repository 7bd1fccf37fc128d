// Submitting, the thank-you screen, the reset for the next visitor, the one-answer rule and the
// routing of taps by tag, as a visitor and staff would do them.

#include <gtest/gtest.h>

#include <filesystem>

#include "admin/AdminView.h"
#include "kit/ui/AlertView.h"
#include "support/KioskHarness.h"

using testing_support::countOf;
using testing_support::FormPoints;
using testing_support::Kiosk;

TEST(KioskAnswers, QuestionOneTogglesAndQuestionsTwoToFourHoldOneAnswerEach) {
  Kiosk k;
  k.tapAt(FormPoints::answer(0));
  k.tapAt(FormPoints::answer(3));
  EXPECT_TRUE(k.answerOn(0));
  EXPECT_TRUE(k.answerOn(3));
  k.advance(0.4);
  k.tapAt(FormPoints::answer(0));  // on again: off; the others keep their state
  EXPECT_FALSE(k.answerOn(0));
  EXPECT_TRUE(k.answerOn(3));

  k.tapAt(FormPoints::answer(6));
  k.tapAt(FormPoints::answer(9));
  k.advance(0.4);
  k.tapAt(FormPoints::answer(7));
  EXPECT_TRUE(k.answerOn(7));
  EXPECT_FALSE(k.answerOn(6));
  EXPECT_TRUE(k.answerOn(9));  // another group is left alone
  EXPECT_TRUE(k.answerOn(3));
  k.advance(0.4);
  k.tapAt(FormPoints::answer(7));  // a second tap leaves it on
  EXPECT_TRUE(k.answerOn(7));

  // The answer is set when the finger lifts, on the button where the touch began.
  k.h().down(FormPoints::answer(11).x, FormPoints::answer(11).y);
  EXPECT_FALSE(k.answerOn(11));
  k.h().up(FormPoints::answer(11).x, FormPoints::answer(11).y);
  EXPECT_TRUE(k.answerOn(11));
}

TEST(KioskTaps, TapCountsOnEachTagDoOnlyWhatTheyShould) {
  Kiosk k;
  TolvikViewController& c = k.c();
  testing::internal::CaptureStderr();
  k.tapAt(FormPoints::formBackground, 3);  // only hides the keyboard, never opens the admin
  k.advance(1);
  EXPECT_TRUE(c.admin->isHidden());
  k.tapAt({5, 25});  // top-left corner: the form view, outside the hidden area
  k.advance(1);

  // The third tap on the hidden area opens the administration screen as it begins.
  k.h().down(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  k.h().up(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  k.advance(0.1);
  k.h().down(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  k.h().up(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  k.advance(0.1);
  EXPECT_TRUE(c.admin->isHidden());
  k.h().down(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  EXPECT_FALSE(c.admin->isHidden());
  EXPECT_TRUE(c.formView->isHidden());
  k.h().up(FormPoints::hiddenTapArea.x, FormPoints::hiddenTapArea.y);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(countOf(log, "button touch: 10"), 4);
  EXPECT_EQ(countOf(log, "button touch: 300"), 3);
  EXPECT_EQ(countOf(log, "button touch: "), 7);  // beginnings only
  k.advance(1.5);

  // A tap that lands on the administration screen reaches the controller with tag 0.
  testing::internal::CaptureStderr();
  k.tapAt({384, 700});
  EXPECT_EQ(countOf(testing::internal::GetCapturedStderr(), "button touch: 0"), 1);
}

TEST(KioskSubmission, AnAcceptedFormIsStoredThenFlipsToThanksAndADoubleTapResetsIt) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.fillCompleteForm();
  c.rt3->setText("*10 digits required");  // as an earlier rejection would have left it

  // A double tap on Submit: the second tap comes while the flip waits to start and does nothing.
  k.tapAt(FormPoints::submit, 2);
  // One record, on disk before the flip starts.
  std::string file = testing_support::readAll(k.dataFile());
  EXPECT_EQ(file.substr(file.find("\r\n")),
            "\r\nAnna,Berg,(555) 201-3344,anna@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,");
  EXPECT_TRUE(c.formView->isHidden());
  EXPECT_FALSE(c.thankyouView->isHidden());
  k.advance(1.6);

  // A single tap on the thank-you screen does nothing; a double tap resets at its second tap.
  k.tapAt({384, 500});
  k.advance(1);
  EXPECT_TRUE(c.formView->isHidden());
  EXPECT_EQ(c.firstName->text(), "Anna");
  k.tapAt({384, 500}, 2);
  EXPECT_FALSE(c.formView->isHidden());
  EXPECT_TRUE(c.thankyouView->isHidden());
  for (RadioBtn* b : c.buttonsArray) EXPECT_FALSE(b->btnTouched());
  for (kit::TextField* f : {c.firstName, c.lastName, c.phone, c.email, c.gender, c.age}) {
    EXPECT_EQ(f->text(), "");
  }
  EXPECT_EQ(c.phoneNum, "");
  EXPECT_EQ(c.rt3->text(), "*10 digits required");
  k.advance(1.1);

  // The next visitor's record goes after the first.
  k.fillCompleteForm();
  k.tapAt(FormPoints::submit);
  EXPECT_EQ(countOf(testing_support::readAll(k.dataFile()), "\r\nAnna,Berg"), 2);
}
