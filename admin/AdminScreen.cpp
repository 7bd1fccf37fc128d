// The controller's side of the staff screen: the hidden gesture curls it up with the keyboard on
// its user-name field; a return from it resets the form and flips back, and the keyboard goes
// once the flip has ended.

#include "admin/AdminView.h"
#include "app/TolvikViewController.h"

using kit::View;

namespace {
constexpr double kTransitionDuration = 1.0;
}

void TolvikViewController::showAdmin() {
  // First the keyboard, so that nothing typed from now on lands in the hidden form.
  admin->showKeyboard();
  view()->beginAnimations("", nullptr);
  View::setAnimationDuration(kTransitionDuration);
  View::setAnimationTransition(kit::AnimationTransition::CurlUp, view()->superview(), true);
  admin->setHidden(false);
  formView->setHidden(true);
  View::commitAnimations();
}

void TolvikViewController::showForm() {
  resetForm();
  view()->beginAnimations("", nullptr);
  View::setAnimationDuration(kTransitionDuration);
  View::setAnimationTransition(kit::AnimationTransition::FlipFromRight, view()->superview(), true);
  admin->setHidden(true);
  formView->setHidden(false);
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::hideAdminKeyboard);
  View::commitAnimations();
}

void TolvikViewController::hideAdminKeyboard() {
  admin->hideKeyboard();
}
