// The touch routing: taps that no control takes reach the controller, which hands them to the
// form (answers, the keyboard going, the thank-you screen's reset) or to the staff screen (the
// hidden gesture). It lives above both, so that neither calls into the other.

#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/base/Log.h"

namespace {
constexpr int kFormTag = 10;
constexpr int kThankyouTag = 110;
constexpr int kHiddenTapAreaTag = 300;
constexpr int kFirstAnswerTag = 501;
constexpr int kLastAnswerTag = 599;

bool isAnswerTag(int tag) {
  return tag >= kFirstAnswerTag && tag <= kLastAnswerTag;
}
}  // namespace

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
  answerTapped(static_cast<RadioBtn*>(touch->view));
}
