// What a visitor sees when the form is rejected: red labels fading in and out over the fields
// and markers dropping, bouncing and floating away beside the questions, at exact clock times.

#include <gtest/gtest.h>

#include "support/KioskHarness.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

namespace {

std::vector<double> labelAlphas(TolvikViewController& c) {
  return {c.rt1->presentationAlpha(), c.rt2->presentationAlpha(), c.rt3->presentationAlpha(),
          c.rt4->presentationAlpha()};
}

}  // namespace

TEST(KioskSignals, AnEmptyFormFadesAllFourLabelsInAndOutOverTwoAndThreeQuarterSeconds) {
  Kiosk k;
  TolvikViewController& c = k.c();
  EXPECT_FALSE(c.contentIsGood());
  for (kit::Label* l : {c.rt1, c.rt2, c.rt3, c.rt4}) {
    EXPECT_EQ(l->text, "*required");
    EXPECT_EQ(l->alpha(), 1.0);  // the model value changes at once
  }
  EXPECT_EQ(labelAlphas(c), (std::vector<double>{0, 0, 0, 0}));
  k.step(0.125);
  EXPECT_NEAR(c.rt2->presentationAlpha(), 0.5, 1e-9);
  k.step(0.125);  // 0.25: fully in; the hold starts
  EXPECT_EQ(labelAlphas(c), (std::vector<double>{1, 1, 1, 1}));
  k.step(2.25);  // 2.5: the hold ends
  EXPECT_EQ(c.rt4->presentationAlpha(), 1.0);
  k.step(0.125);
  EXPECT_NEAR(c.rt1->presentationAlpha(), 0.5, 1e-9);
  k.step(0.125);  // 2.75
  EXPECT_EQ(labelAlphas(c), (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(c.rt1->center(), (kit::Point{282, 240}));
}

TEST(KioskSignals, MarkersDropInTagOrderBounceRestAndFloatAwayToTheirBaseHeights) {
  Kiosk k;
  TolvikViewController& c = k.c();
  c.contentIsGood();
  kit::ImageView* markers[] = {c.r1, c.r2, c.r3, c.r4};
  const double base[] = {388, 555, 642, 730};
  const double initial[] = {375, 455, 522, 660};

  // Model values: resting point at once.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(markers[i]->center(), (kit::Point{120, base[i] + 30}));
  }
  // Each starts 0.1 x tag seconds after validation; r1 at once.
  k.step(0.05);
  EXPECT_GT(c.r1->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r2->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r2->presentationCenter(), (kit::Point{120, initial[1]}));
  k.step(0.075);  // 0.125: r1 halfway down from its initial centre
  EXPECT_NEAR(c.r1->presentationCenter().y, (375 + 418) / 2.0, 1e-6);
  EXPECT_NEAR(c.r1->presentationAlpha(), 0.5, 1e-9);
  EXPECT_GT(c.r2->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r4->presentationAlpha(), 0.0);

  k.step(0.125);  // 0.25: r1 rests and its bounce starts
  EXPECT_EQ(c.r1->presentationCenter(), (kit::Point{120, 418}));
  k.step(0.1);  // 0.35: top of r1's bounce
  EXPECT_NEAR(c.r1->presentationCenter().y, 403, 1e-6);
  EXPECT_NEAR(c.r2->presentationCenter().y, 585, 1e-6);  // r2's drop ended at 0.35 too
  k.step(0.1);  // 0.45: back at rest; the 1.5 s hold begins
  EXPECT_NEAR(c.r1->presentationCenter().y, 418, 1e-6);
  k.step(1.5);  // 1.95: r1 starts to rise
  EXPECT_NEAR(c.r1->presentationCenter().y, 418, 1e-6);
  EXPECT_EQ(c.r1->presentationAlpha(), 1.0);
  k.step(0.125);
  EXPECT_NEAR(c.r1->presentationCenter().y, 403, 1e-6);
  k.step(0.125);  // 2.2: r1's chain is over
  EXPECT_EQ(c.r1->presentationAlpha(), 0.0);
  EXPECT_EQ(c.r1->presentationCenter(), (kit::Point{120, 388}));
  EXPECT_GT(c.r4->presentationAlpha(), 0.0);
  k.step(0.3 + 1e-6);  // 2.5: r4's too (its stagger of 0.3 s is passed in single precision)
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(markers[i]->presentationAlpha(), 0.0) << i;
    EXPECT_EQ(markers[i]->presentationCenter(), (kit::Point{120, base[i]})) << i;
  }

  // A second showing starts from where the first left the marker.
  c.showReq(c.r1);
  k.step(0.125);
  EXPECT_NEAR(c.r1->presentationCenter().y, (388 + 418) / 2.0, 1e-6);
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
  EXPECT_EQ(c.rt3->text, "*10 digits required");
  EXPECT_EQ(c.rt4->text, "*invalid address");
  // Each failed rule calls for its own signal only.
  for (kit::View* v : std::initializer_list<kit::View*>{c.r3, c.rt3, c.rt4}) {
    EXPECT_EQ(v->alpha(), 1.0);
  }
  for (kit::View* v : std::initializer_list<kit::View*>{c.r1, c.r2, c.r4, c.rt1, c.rt2}) {
    EXPECT_EQ(v->alpha(), 0.0);
  }
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
  EXPECT_EQ(c.rt3->text, "*10 digits required");
  EXPECT_EQ(c.rt4->text, "*invalid address");
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
  const double base[] = {388, 555, 642, 730};
  kit::ImageView* markers[] = {c.r1, c.r2, c.r3, c.r4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(markers[i]->presentationAlpha(), 0.0) << i;
    EXPECT_EQ(markers[i]->center(), (kit::Point{120, base[i]})) << i;
  }
  for (kit::Label* l : {c.rt1, c.rt2, c.rt3, c.rt4}) EXPECT_EQ(l->presentationAlpha(), 0.0);
  EXPECT_FALSE(c.formView->isHidden());
  EXPECT_EQ(testing_support::readAll(k.dataFile()).find("\r\n"), std::string::npos);
}
