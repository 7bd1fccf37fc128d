// The form's life: submitting a response, the thank-you screen, the reset for the next visitor,
// the one-answer rule of questions 2 to 4, and the touch routing that ties them to taps.

#include <memory>

#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "survey/DataFile.h"

using kit::View;

namespace {
constexpr int kFormTag = 10;
constexpr int kThankyouTag = 110;
constexpr int kHiddenTapAreaTag = 300;
constexpr int kMultipleChoiceGroup = 501;
constexpr int kFirstAnswerTag = 501;
constexpr int kLastAnswerTag = 599;
constexpr double kFlipDuration = 1.0;
constexpr double kThankyouDelay = 0.5;

bool isAnswerTag(int tag) {
  return tag >= kFirstAnswerTag && tag <= kLastAnswerTag;
}
}  // namespace

void TolvikViewController::submitForm() {
  if (!contentIsGood()) return;

  std::string path = survey::dataFilePath();
  kit::FileStatus stored = writeContents(appendFormData(), path);
  if (!stored) {
    // The visitor's answers stay on the form so that nothing is lost; staff are asked for.
    kit::log("Record not saved: %s", stored.error.c_str());
    kit::AlertView::show(std::make_unique<kit::AlertView>(
        "Sorry", "Your answers could not be saved. Please ask a member of staff for help.", nullptr,
        "OK"));
    return;
  }

  View::beginAnimations("", nullptr);
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

  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kFlipDuration);
  View::setAnimationTransition(kit::AnimationTransition::FlipFromRight, view()->superview(), true);
  formView->setHidden(false);
  thankyouView->setHidden(true);
  View::commitAnimations();
}

void TolvikViewController::updateButtons(RadioBtn* b) {
  if (b->tag == kMultipleChoiceGroup) return;
  for (RadioBtn* other : buttonsArray) {
    if (other->tag == b->tag && other != b) other->btnOff();
  }
}

void TolvikViewController::touchesBegan(const kit::TouchSet& touches, const kit::Event*) {
  const kit::Touch* touch = touches.anyObject();
  if (!touch || !touch->view) return;
  int tag = touch->view->tag;
  kit::log("button touch: %i", tag);

  if (isAnswerTag(tag)) {
    hideKeyboard();
  } else if (tag == kFormTag) {
    hideKeyboard();
  } else if (tag == kThankyouTag && touch->tapCount == 2) {
    resetForm();
  } else if (tag == kHiddenTapAreaTag && touch->tapCount == 3 && !formView->isHidden()) {
    showAdmin();
  }
}

void TolvikViewController::touchesEnded(const kit::TouchSet& touches, const kit::Event*) {
  const kit::Touch* touch = touches.anyObject();
  if (!touch || !touch->view || !isAnswerTag(touch->view->tag)) return;
  // Only answer buttons carry answer tags.
  auto* button = static_cast<RadioBtn*>(touch->view);
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
