// The keyboard toolbar rises with the on-screen keyboard and falls with it; "prev" and "next"
// step through the six fields in a cycle counted from the last field edited or reached.

#include "app/TolvikViewController.h"
#include "kit/base/Log.h"

using kit::View;

namespace {
constexpr kit::Point kToolbarShown{384, 736};
constexpr kit::Point kToolbarAway{384, 1050};
constexpr double kToolbarDuration = 0.4;
constexpr int kFirstFieldTag = 400;
constexpr int kLastFieldTag = 405;

void moveToolbar(kit::Toolbar* toolbar, kit::Point to) {
  toolbar->beginAnimations("", nullptr);
  View::setAnimationDuration(kToolbarDuration);
  toolbar->setCenter(to);
  View::commitAnimations();
}
}  // namespace

void TolvikViewController::keyboardWillShow(const kit::Notification&) {
  moveToolbar(toolbar, kToolbarShown);
}

void TolvikViewController::keyboardWillHide(const kit::Notification&) {
  moveToolbar(toolbar, kToolbarAway);
}

void TolvikViewController::nextClicked() {
  kit::log("textFieldShouldReturn");
  currTextField += 1;
  if (currTextField == kLastFieldTag + 1) {
    currTextField = kFirstFieldTag;
    view()->viewWithTag(kFirstFieldTag)->becomeFirstResponder();
    return;
  }
  if (View* next = view()->viewWithTag(currTextField)) {
    next->becomeFirstResponder();
  } else {
    hideKeyboard();
  }
}

void TolvikViewController::prevClicked() {
  kit::log("textFieldShouldReturn");
  currTextField -= 1;
  if (currTextField == kFirstFieldTag - 1) {
    currTextField = kLastFieldTag;
    view()->viewWithTag(kLastFieldTag)->becomeFirstResponder();
    return;
  }
  if (View* previous = view()->viewWithTag(currTextField)) {
    previous->becomeFirstResponder();
  } else {
    hideKeyboard();
  }
}

void TolvikViewController::doneClicked() {
  hideKeyboard();
}

void TolvikViewController::hideKeyboard() {
  for (kit::TextField* field : {firstName, lastName, phone, email, gender, age}) {
    if (field->isFirstResponder()) field->resignFirstResponder();
  }
}
