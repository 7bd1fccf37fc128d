// The controller's check before a response is stored: every failed rule starts its red label or
// its dropping marker, and only a form with no failure may be stored.

#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "survey/Validation.h"

bool TolvikViewController::contentIsGood() {
  survey::FormState form{firstName->text(), lastName->text(), phone->text(),
                         email->text(),     phoneNum,         {}};
  for (RadioBtn* button : buttonsArray) form.answersOn.push_back(button->btnTouched());

  std::vector<survey::Signal> failures = survey::failedRules(form);
  for (survey::Signal failure : failures) {
    switch (failure) {
      case survey::Signal::FirstNameLabel:
        showReqText(rt1);
        break;
      case survey::Signal::LastNameLabel:
        showReqText(rt2);
        break;
      case survey::Signal::PhoneLabel:
        showReqText(rt3);
        break;
      case survey::Signal::EmailLabel:
        showReqText(rt4);
        break;
      case survey::Signal::PhoneDigitsLabel:
        rt3->setText("*10 digits required");
        showReqText(rt3);
        break;
      case survey::Signal::EmailAddressLabel:
        rt4->setText("*invalid address");
        showReqText(rt4);
        break;
      case survey::Signal::Question1Marker:
        showReq(r1);
        break;
      case survey::Signal::Question2Marker:
        showReq(r2);
        break;
      case survey::Signal::Question3Marker:
        showReq(r3);
        break;
      case survey::Signal::Question4Marker:
        showReq(r4);
        break;
    }
  }
  return failures.empty();
}

bool TolvikViewController::emailIsValid() {
  return survey::emailIsValid(email->text());
}
