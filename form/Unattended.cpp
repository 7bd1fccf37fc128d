// The kiosk left alone between visitors. A visitor who walks away from a started form is asked
// "Still there?" and, without an answer, the form is emptied for the next one; staff who walk
// away from their screen are signed out (never while a mail is being written or sent); the
// thank-you screen returns to the form by itself when the key file asks for it. Time without a
// touch or key counts from the last one. One check looks at the screen and comes back when its
// time may have run out, or at the latest after the shortest of the delays, since a touch can
// change the screen in between.

#include <algorithm>
#include <memory>

#include "admin/AdminView.h"
#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/app/Application.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Animation.h"

namespace {
// Staff screen left untouched this long: signed out, as Return does.
constexpr double kStaffIdleSeconds = 60;
// "Still there?" waits this long for its button before the form is emptied.
constexpr double kStillThereSeconds = 15;
// While a screen is turning, the check comes back this soon.
constexpr double kTransitionRecheck = 0.25;
}  // namespace

void TolvikViewController::checkIdle() {
  kit::Application* app = kit::Application::shared();
  if (!app) return;
  const double now = app->clock().now();
  auto again = [&](double time) { app->postAt(time, *this, [this] { checkIdle(); }); };
  if (app->animator().isTransitionRunning()) {
    again(now + kTransitionRecheck);
    return;
  }

  // How long the screen may stay untouched (0: for ever), from when, and what happens after.
  double allowance = 0;
  double since = std::max(app->lastInputTime(), busySince_);
  void (TolvikViewController::*lapse)() = nullptr;
  if (!stillThereAlive_.expired()) {
    allowance = kStillThereSeconds;
    since = stillThereShownAt_;
    lapse = &TolvikViewController::clearAbandonedForm;
  } else if (!admin->isHidden()) {
    if (modalViewController()) {
      busySince_ = now;
    } else {
      allowance = kStaffIdleSeconds;
      lapse = &TolvikViewController::signOutIdleStaff;
    }
  } else if (!thankyouView->isHidden()) {
    allowance = settings.thankYouReturnAfter;
    lapse = &TolvikViewController::resetForm;
  } else if (settings.stillThereAfter > 0 && formHasVisitorInput()) {
    allowance = settings.stillThereAfter;
    lapse = &TolvikViewController::askStillThere;
  }

  if (allowance > 0 && now >= since + allowance - 1e-9) {
    (this->*lapse)();
    again(now + idleCheckInterval());
  } else if (allowance > 0) {
    again(std::min(since + allowance, now + idleCheckInterval()));
  } else {
    again(now + idleCheckInterval());
  }
}

bool TolvikViewController::formHasVisitorInput() {
  for (kit::TextField* field : {firstName, lastName, phone, email, gender, age}) {
    if (!field->text().empty() || field->isFirstResponder()) return true;
  }
  return !phoneNum.empty() || std::any_of(buttonsArray.begin(), buttonsArray.end(),
                                          [](RadioBtn* b) { return b->btnTouched(); });
}

void TolvikViewController::askStillThere() {
  auto alert = std::make_unique<kit::AlertView>(
      "Still there?",
      "Tap Continue to go on with your answers. Otherwise the form is cleared for the next "
      "visitor in a few seconds.",
      nullptr, "Continue");
  stillThere_ = alert.get();
  stillThereAlive_ = alert->weakReference();
  stillThereShownAt_ = kit::Application::shared()->clock().now();
  kit::AlertView::show(std::move(alert), *view());
}

void TolvikViewController::clearAbandonedForm() {
  kit::log("Form left unanswered: cleared for the next visitor");
  stillThere_->dismiss();
  stillThereAlive_.reset();
  // Any other message still up was for the visitor who has gone.
  dismissAlerts();
  hideKeyboard();
  resetForm();
}

void TolvikViewController::signOutIdleStaff() {
  kit::log("Staff screen left untouched: signed out");
  dismissAlerts();
  admin->returnToMain();
}

void TolvikViewController::dismissAlerts() {
  kit::Screen* screen = view()->screen();
  while (kit::AlertView* alert = screen ? kit::AlertView::visibleAlert(*screen) : nullptr) {
    alert->dismiss();
  }
}

double TolvikViewController::idleCheckInterval() const {
  double interval = kStaffIdleSeconds;
  if (settings.stillThereAfter > 0) {
    interval = std::min({interval, double(settings.stillThereAfter), kStillThereSeconds});
  }
  if (settings.thankYouReturnAfter > 0) {
    interval = std::min(interval, double(settings.thankYouReturnAfter));
  }
  return interval;
}
