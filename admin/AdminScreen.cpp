// The controller's side of the staff screen: the hidden gesture curls it up; a return from it
// resets the form and flips back.

#include "admin/AdminView.h"
#include "app/TolvikViewController.h"
#include "kit/Log.h"

using kit::View;

namespace {
constexpr double kTransitionDuration = 1.0;
}

void TolvikViewController::showAdmin() {
  kit::log("show admin");
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kTransitionDuration);
  View::setAnimationTransition(kit::AnimationTransition::CurlUp, view()->superview(), true);
  admin->setHidden(false);
  formView->setHidden(true);
  View::commitAnimations();
}

void TolvikViewController::showForm() {
  resetForm();
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kTransitionDuration);
  View::setAnimationTransition(kit::AnimationTransition::FlipFromRight, view()->superview(), true);
  admin->setHidden(true);
  formView->setHidden(false);
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&TolvikViewController::hideAdminKeyboard);
  View::commitAnimations();
}

// The staff screen has no fields yet, so nothing there can hold the keyboard.
void TolvikViewController::hideAdminKeyboard() {}
