#pragma once

// The real kiosk in the headless kit, in a temporary HOME, driven as a visitor would drive it.

#include <memory>
#include <string>

#include "app/TolvikAppDelegate.h"
#include "controls/RadioBtn.h"
#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

namespace testing_support {

// Screen points of the form's pieces (the form view's coordinates are screen points).
struct FormPoints {
  static constexpr kit::Point firstName{224, 242}, lastName{544, 242}, phone{224, 277},
      email{544, 277}, gender{154, 312}, age{314, 312};
  static constexpr kit::Point submit{655, 960};
  static constexpr kit::Point hiddenTapArea{693, 75};
  static constexpr kit::Point formBackground{600, 600};
  static kit::Point answer(int index) {
    constexpr kit::Point centres[] = {{103, 479}, {300, 479}, {103, 517}, {300, 517},
                                      {103, 555}, {300, 555}, {82, 644},  {154, 644},
                                      {82, 732},  {154, 732}, {82, 820},  {154, 820}};
    return centres[index];
  }
};

// Screen points of the staff screen's fields and buttons.
struct StaffPoints {
  static constexpr kit::Point user{445, 268}, pass{445, 310};
  static constexpr kit::Point signIn{500, 360}, signInReturn{308, 360};
  static constexpr kit::Point signedInReturn{314, 260}, emailData{460, 260};
  // The mail composer's bar items and the choices Cancel offers.
  static constexpr kit::Point composerCancel{45, 42}, composerSend{728, 42};
  static constexpr kit::Point deleteDraft{138, 94}, saveDraft{138, 146};
  // The exports card's buttons.
  static constexpr kit::Point sendWaitingMail{485, 584}, copyToDrive{313, 684},
      ejectDrive{520, 684};
};

class Kiosk {
 public:
  explicit Kiosk(double scale = 1) : headless_(std::make_unique<kit::Headless>(scale)) {
    auto delegate = loadMainInterface();
    delegate_ = delegate.get();
    headless_->launch(std::move(delegate));
  }

  kit::Headless& h() { return *headless_; }
  TolvikViewController& c() { return *delegate_->viewController; }
  TolvikAppDelegate& delegate() { return *delegate_; }
  kit::Application& app() { return headless_->app(); }
  double now() { return headless_->clock().now(); }
  std::string dataFile() const { return home_.documents() + "/TolvikData.txt"; }
  const TempHome& home() const { return home_; }

  void tapAt(kit::Point p, int count = 1) { headless_->tap(p.x, p.y, count); }
  void typeText(const std::string& text) { headless_->type(text); }
  void advance(double seconds) { headless_->wait(seconds); }
  // Runs the loop at 60 Hz for exactly `seconds` (the last turn lands on the exact time), so
  // that animation stages can be read at exact times.
  void step(double seconds) {
    double target = now() + seconds;
    while (now() + 1.0 / 60 < target - 1e-9) {
      headless_->clock().advance(1.0 / 60);
      headless_->app().runOnce();
    }
    headless_->clock().advance(target - now());
    headless_->app().runOnce();
  }
  // Taps a field and types into it.
  void fill(kit::Point field, const std::string& text) {
    tapAt(field);
    typeText(text);
  }
  // Taps the centre of a keyboard toolbar item ("prev" 0, "next" 1, "done" 3).
  void tapToolbarItem(size_t index) {
    kit::Rect frame = c().toolbar->frameOfItem(index);
    kit::Point p = c().toolbar->convertToAncestor(frame.center(), nullptr);
    tapAt(p);
  }
  // Puts the keyboard away as a visitor would, with the keyboard's hide key, and lets it slide.
  void hideKeyboardKey() {
    headless_->key("hide");
    advance(0.5);
  }
  // Anna Berg's contact details, typed field by field; the keyboard is put away after.
  void fillContactDetails() {
    fill(FormPoints::firstName, "Anna");
    fill(FormPoints::lastName, "Berg");
    fill(FormPoints::phone, "5552013344");
    fill(FormPoints::email, "anna@example.com");
    fill(FormPoints::gender, "F");
    fill(FormPoints::age, "34");
    hideKeyboardKey();
  }
  // A form that passes: the contact details, Hiking and Camping, then Yes, No, Yes.
  void fillCompleteForm() {
    fillContactDetails();
    for (int answer : {1, 5, 6, 9, 10}) tapAt(FormPoints::answer(answer));
  }
  // A visitor's complete form submitted, the thank-you screen, and staff's double tap that
  // brings the empty form back.
  void submitCompleteForm() {
    fillCompleteForm();
    tapAt(FormPoints::submit);
    advance(1.6);
    tapAt({384, 500}, 2);
    advance(1.1);
  }
  bool answerOn(int index) { return c().buttonsArray.at(index)->btnTouched(); }
  // The hidden triple tap, and the curl up to its end.
  void openStaffScreen() {
    tapAt(FormPoints::hiddenTapArea, 3);
    advance(1.1);
  }
  // Types into the user-name field (it has the keyboard when the screen opens), then the
  // password, and taps "Sign in".
  void signIn(const std::string& user = "kiosk", const std::string& password = "tamarind") {
    typeText(user);
    fill(StaffPoints::pass, password);
    tapAt(StaffPoints::signIn);
  }
  // From the form: the staff screen, the sign-in, and the export's composer slid up.
  void openExport() {
    openStaffScreen();
    signIn();
    advance(1.1);
    tapAt(StaffPoints::emailData);
    advance(0.5);
    // The responses the message says it holds are counted on another thread.
    app().waitForBackgroundWork(10);
  }

 private:
  TempHome home_;  // set before the kiosk starts, removed after it has gone
  std::unique_ptr<kit::Headless> headless_;
  TolvikAppDelegate* delegate_ = nullptr;
};

}  // namespace testing_support
