// The answer button: its two states and the pop, read at chosen clock times.

#include "controls/RadioBtn.h"

#include <gtest/gtest.h>

#include "kit/Animation.h"
#include "kit/Application.h"

namespace {

struct PopFixture : ::testing::Test {
  kit::ManualClock clock;
  kit::Application app{clock};
  RadioBtn button{kit::Size{50, 50}};

  void SetUp() override { button.initBtn(); }
  // Runs the loop at 60 Hz up to `t`, and once exactly at `t`.
  void advanceTo(double t) {
    while (clock.now() + 1.0 / 60 < t) {
      clock.advance(1.0 / 60);
      app.runOnce();
    }
    clock.advance(t - clock.now());
    app.runOnce();
  }
  double scale() { return button.presentationTransform().a; }
};

}  // namespace

TEST_F(PopFixture, AFreshButtonShowsOnlyTheRingAndIsOff) {
  EXPECT_FALSE(button.btnTouched());
  ASSERT_EQ(button.subviews().size(), 2u);
  EXPECT_EQ(button.subviews()[0], button.btn_off);
  EXPECT_EQ(button.subviews()[1], button.btn_on);
  EXPECT_FALSE(button.btn_off->isHidden());
  EXPECT_TRUE(button.btn_on->isHidden());
  // The dot is 15 by 14, the ring 25 by 25, both centred in the 50 x 50 button.
  EXPECT_EQ(button.btn_on->frame(), (kit::Rect{{17.5, 18}, {15, 14}}));
  EXPECT_EQ(button.btn_off->frame(), (kit::Rect{{12.5, 12.5}, {25, 25}}));
  EXPECT_FALSE(button.btn_on->userInteractionEnabled);
}

TEST_F(PopFixture, SwitchingOnIsImmediateAndThePopSwellsAndShrinksBackToTheIdentity) {
  button.btnOn();
  EXPECT_TRUE(button.btnTouched());  // before the pop has run at all
  EXPECT_DOUBLE_EQ(button.transform().a, 1.5);
  EXPECT_DOUBLE_EQ(scale(), 1.0);

  advanceTo(0.025);
  EXPECT_NEAR(scale(), 1.25, 1e-9);  // halfway up
  advanceTo(0.05);
  EXPECT_NEAR(scale(), 1.5, 1e-9);  // the top: the second stage starts here
  EXPECT_TRUE(button.transform().isIdentity());
  advanceTo(0.075);
  EXPECT_NEAR(scale(), 1.25, 1e-9);
  advanceTo(0.1);
  advanceTo(0.2);
  EXPECT_TRUE(button.presentationTransform().isIdentity());
  EXPECT_TRUE(button.transform().isIdentity());
  EXPECT_FALSE(app.animator().isAnimating());
}

TEST_F(PopFixture, OnAgainReplaysThePopAndOffIsImmediateEvenDuringThePop) {
  button.btnOn();
  advanceTo(0.2);
  button.btnOn();
  EXPECT_TRUE(button.btnTouched());
  advanceTo(0.225);
  EXPECT_NEAR(scale(), 1.25, 1e-9);

  button.btnOff();  // while the pop runs
  EXPECT_FALSE(button.btnTouched());
  EXPECT_TRUE(button.btn_on->isHidden());
  advanceTo(0.5);
  EXPECT_TRUE(button.presentationTransform().isIdentity());
  EXPECT_FALSE(button.btnTouched());

  button.btnOff();  // off again: nothing happens
  EXPECT_FALSE(button.btnTouched());
  EXPECT_FALSE(app.animator().isAnimating());
}
