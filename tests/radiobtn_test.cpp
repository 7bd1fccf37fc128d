// The answer button: its two states and the pop, read at chosen clock times.

#include "controls/RadioBtn.h"

#include <gtest/gtest.h>

#include "kit/app/Application.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Screen.h"

namespace {

struct PopFixture : ::testing::Test {
  kit::ManualClock clock;
  kit::Application app{clock};
  RadioBtn button{kit::Size{50, 50}};

  // On the screen, whose animator runs the pop.
  void SetUp() override {
    button.initBtn();
    app.screen().windowLayer()->addSubview(&button);
  }
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

TEST_F(PopFixture, SwitchingOnIsImmediateAndThePopSwellsAndShrinksBackToTheIdentity) {
  // A fresh button is off (its dot hidden) and shows its ring.
  EXPECT_FALSE(button.btnTouched());
  EXPECT_FALSE(button.btn_off->isHidden());

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
  advanceTo(0.5);
  EXPECT_TRUE(button.presentationTransform().isIdentity());
  EXPECT_FALSE(button.btnTouched());

  button.btnOff();  // off again: nothing happens
  EXPECT_FALSE(button.btnTouched());
  EXPECT_FALSE(app.animator().isAnimating());
}
