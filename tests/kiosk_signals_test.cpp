// What a visitor sees when the form is rejected: red labels fading in and out over the fields
// and markers dropping, bouncing and floating away beside the questions, at exact clock times.

#include <gtest/gtest.h>

#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

TEST(KioskSignals, AnEmptyFormsLabelsFadeInAndOutAndItsMarkersDropBounceAndFloatAwayInTurn) {
  Kiosk k;
  TolvikViewController& c = k.c();
  kit::Label* labels[] = {c.rt1, c.rt2, c.rt3, c.rt4};
  kit::ImageView* markers[] = {c.r1, c.r2, c.r3, c.r4};
  auto labelsAt = [&](double alpha) {
    for (kit::Label* l : labels) EXPECT_NEAR(l->presentationAlpha(), alpha, 1e-4) << l->text();
  };
  kit::Point start = c.r1->presentationCenter();
  EXPECT_FALSE(c.contentIsGood());
  // The model values change at once: the labels' alpha, the markers' resting points.
  for (kit::Label* l : labels) {
    EXPECT_EQ(l->text(), "*required");
    EXPECT_EQ(l->alpha(), 1.0);
  }
  labelsAt(0);
  const double rest = c.r1->center().y;
  EXPECT_GT(rest, start.y);

  // Each marker starts 0.1 s after the one before it, r1 at once.
  k.step(0.05);
  EXPECT_GT(c.r1->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r2->presentationAlpha(), 0.0);
  k.step(0.075);  // 0.125: halfway in
  labelsAt(0.5);
  EXPECT_NEAR(c.r1->presentationCenter().y, (start.y + rest) / 2, 1e-6);
  EXPECT_GT(c.r2->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r4->presentationAlpha(), 0.0);
  k.step(0.125);  // 0.25: r1 rests and bounces
  labelsAt(1);
  EXPECT_EQ(c.r1->presentationCenter().y, rest);
  k.step(0.1);
  EXPECT_LT(c.r1->presentationCenter().y, rest - 5);
  k.step(0.1);  // 0.45: back at rest for a while
  EXPECT_NEAR(c.r1->presentationCenter().y, rest, 1e-6);
  k.step(1.5);  // 1.95: it starts to rise and fade
  EXPECT_NEAR(c.r1->presentationCenter().y, rest, 1e-6);
  EXPECT_EQ(c.r1->presentationAlpha(), 1.0);
  k.step(0.25);  // 2.2: gone, above where it rested
  EXPECT_EQ(c.r1->presentationAlpha(), 0.0);
  EXPECT_LT(c.r1->presentationCenter().y, rest - 20);
  EXPECT_GT(c.r4->presentationAlpha(), 0.0);
  k.step(0.3 + 1e-6);  // 2.5: r4 too (its stagger of 0.3 s is passed in single precision)
  labelsAt(1);
  for (kit::ImageView* m : markers) EXPECT_EQ(m->presentationAlpha(), 0.0) << m->tag;
  k.step(0.125);
  labelsAt(0.5);
  k.step(0.125);  // 2.75: the labels have faded out
  labelsAt(0);

  // A second showing starts from where the first left the marker.
  double away = c.r1->presentationCenter().y;
  c.showReq(c.r1);
  k.step(0.125);
  EXPECT_NEAR(c.r1->presentationCenter().y, (away + rest) / 2, 1e-6);
}

TEST(KioskSignals, EachFailedRuleShowsItsOwnSignalReplacedTextsStayAndACompleteFormPasses) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.fill(FormPoints::firstName, "Anna");
  k.fill(FormPoints::lastName, "Berg");
  k.fill(FormPoints::phone, "555201334");
  k.fill(FormPoints::email, "anna@example");
  k.hideKeyboardKey();
  for (int answer : {0, 6, 10}) k.tapAt(FormPoints::answer(answer));  // question 3 left open
  EXPECT_FALSE(c.contentIsGood());
  EXPECT_EQ(c.rt3->text(), "*10 digits required");
  EXPECT_EQ(c.rt4->text(), "*invalid address");
  // Each failed rule calls for its own signal only.
  for (kit::View* v : std::initializer_list<kit::View*>{c.r3, c.rt3, c.rt4}) {
    EXPECT_EQ(v->alpha(), 1.0);
  }
  for (kit::View* v : std::initializer_list<kit::View*>{c.r1, c.r2, c.r4, c.rt1, c.rt2}) {
    EXPECT_EQ(v->alpha(), 0.0);
  }
  // A field under its red label still takes the keyboard.
  k.tapAt(c.rt4->superview()->convertToAncestor(c.rt4->center(), nullptr));
  EXPECT_TRUE(c.email->isFirstResponder());
  k.advance(3);

  // Emptied fields show the replaced texts too: nothing sets "*required" back.
  k.tapAt(FormPoints::email);
  for (int i = 0; i < 12; ++i) k.h().key("backspace");
  k.tapAt(FormPoints::phone);
  for (int i = 0; i < 9; ++i) k.h().key("backspace");
  k.hideKeyboardKey();
  EXPECT_EQ(c.phoneNum, "");
  EXPECT_EQ(c.email->text(), "");
  EXPECT_FALSE(c.contentIsGood());
  EXPECT_EQ(c.rt3->text(), "*10 digits required");
  EXPECT_EQ(c.rt4->text(), "*invalid address");
  EXPECT_EQ(c.rt3->alpha(), 1.0);
  EXPECT_EQ(c.rt4->alpha(), 1.0);
  k.advance(3);

  k.fill(FormPoints::phone, "5552013344");
  k.fill(FormPoints::email, "anna@example.com");
  k.hideKeyboardKey();
  k.tapAt(FormPoints::answer(8));
  EXPECT_TRUE(c.contentIsGood());
  for (kit::View* v :
       std::initializer_list<kit::View*>{c.r1, c.r2, c.r3, c.r4, c.rt1, c.rt2, c.rt3, c.rt4}) {
    EXPECT_EQ(v->alpha(), 0.0);
  }
}

TEST(KioskSignals, ASecondRejectedSubmissionWhileSignalsRunEndsWithEverythingInvisible) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.tapAt(FormPoints::submit);
  k.advance(0.3);
  k.tapAt(FormPoints::submit);
  k.advance(0.9);
  k.tapAt(FormPoints::submit);
  k.advance(0.2);
  EXPECT_GT(c.rt1->presentationAlpha(), 0.5);
  k.advance(6);
  for (kit::View* v :
       std::initializer_list<kit::View*>{c.r1, c.r2, c.r3, c.r4, c.rt1, c.rt2, c.rt3, c.rt4}) {
    EXPECT_EQ(v->presentationAlpha(), 0.0);
  }
  EXPECT_FALSE(c.formView->isHidden());
  EXPECT_EQ(testing_support::readAll(k.dataFile()).find("\r\n"), std::string::npos);
}
