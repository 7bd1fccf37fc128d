// The form's life: submitting a response, the thank-you screen, the reset for the next visitor,
// and the one-answer rule of questions 2 to 4.

#include <memory>

#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "survey/DataFile.h"

using kit::View;

namespace {
constexpr int kMultipleChoiceGroup = 501;
constexpr double kFlipDuration = 1.0;
constexpr double kThankyouDelay = 0.5;
}  // namespace

void TolvikViewController::submitForm() {
  if (!contentIsGood()) return;

  std::string path = survey::dataFilePath();
  kit::FileStatus stored = writeContents(appendFormData(), path);
  if (!stored) {
    // The visitor's answers stay on the form so that nothing is lost; staff are asked for.
    kit::log("Record not saved: %s", stored.error.c_str());
    kit::AlertView::show(
        std::make_unique<kit::AlertView>(
            "Sorry", "Your answers could not be saved. Please ask a member of staff for help.",
            nullptr, "OK"),
        *view());
    return;
  }

  view()->beginAnimations("", nullptr);
  View::setAnimationDelay(kThankyouDelay);
  View::setAnimationDuration(kFlipDuration);
  View::setAnimationTransition(kit::AnimationTransition::FlipFromRight, view()->superview(), true);
  formView->setHidden(true);
  thankyouView->setHidden(false);
  View::commitAnimations();
}

void TolvikViewController::resetForm() {
  for (RadioBtn* button : buttonsArray) button->btnOff();
  for (kit::TextField* field : {firstName, lastName, phone, email, gender, age}) {
    field->setText("");
  }
  phoneNum = "";

  view()->beginAnimations("", nullptr);
  View::setAnimationDuration(kFlipDuration);
  View::setAnimationTransition(kit::AnimationTransition::FlipFromRight, view()->superview(), true);
  formView->setHidden(false);
  thankyouView->setHidden(true);
  View::commitAnimations();
}

void TolvikViewController::answerTapped(RadioBtn* button) {
  // A multiple-choice answer turns on and off; any other turns on, and the others of its
  // question off.
  if (button->tag == kMultipleChoiceGroup) {
    if (button->btnTouched()) {
      button->btnOff();
    } else {
      button->btnOn();
    }
  } else {
    button->btnOn();
  }
  updateButtons(button);
}

void TolvikViewController::updateButtons(RadioBtn* b) {
  if (b->tag == kMultipleChoiceGroup) return;
  for (RadioBtn* other : buttonsArray) {
    if (other->tag == b->tag && other != b) other->btnOff();
  }
}
