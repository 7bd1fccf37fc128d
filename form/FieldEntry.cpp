// The controller's entry filter: every proposed change to a field passes the rule of its field,
// and the phone and gender fields are formatted when their editing ends.

#include "app/TolvikViewController.h"
#include "kit/base/Log.h"
#include "survey/EntryRules.h"

namespace {
constexpr int kPhoneTag = 402;
constexpr int kGenderTag = 404;
constexpr int kAgeTag = 405;
}  // namespace

bool TolvikViewController::shouldChangeCharactersInRange(kit::TextField* textField,
                                                         kit::Range range,
                                                         const std::string& replacementString) {
  currTextField = textField->tag;
  switch (textField->tag) {
    case kGenderTag:
      return survey::genderShouldChange(textField->text(), replacementString);
    case kPhoneTag:
      return survey::phoneShouldChange(phoneNum, replacementString);
    case kAgeTag:
      kit::log("zip textfield!");
      return survey::ageShouldChange(textField->text(), replacementString);
    default:
      return survey::textShouldChange(textField->text(), range.location, range.length,
                                      replacementString);
  }
}

void TolvikViewController::formatGender() {
  gender->setText(survey::upperCased(gender->text()));
}

void TolvikViewController::formatPhone() {
  phone->setText(survey::formattedPhone(phoneNum, phone->text()));
}

void TolvikViewController::clearFormatPhone() {
  phone->setText(phoneNum);
}
