#include "survey/Validation.h"

#include "kit/base/Utf8.h"
#include "survey/EntryRules.h"

namespace survey {

namespace {

bool anyOn(const std::vector<bool>& answersOn, std::size_t first, std::size_t last) {
  for (std::size_t i = first; i <= last && i < answersOn.size(); ++i) {
    if (answersOn[i]) return true;
  }
  return false;
}

}  // namespace

std::vector<Signal> failedRules(const FormState& form) {
  std::vector<Signal> failed;
  if (form.firstName.empty()) failed.push_back(Signal::FirstNameLabel);
  if (form.lastName.empty()) failed.push_back(Signal::LastNameLabel);
  if (form.phone.empty()) failed.push_back(Signal::PhoneLabel);
  if (form.email.empty()) failed.push_back(Signal::EmailLabel);
  const std::size_t digits = kit::utf8::characterCount(form.phoneNum);
  if (digits >= 1 && digits < kPhoneDigits) failed.push_back(Signal::PhoneDigitsLabel);
  if (!form.email.empty() && !emailIsValid(form.email)) {
    failed.push_back(Signal::EmailAddressLabel);
  }
  if (!anyOn(form.answersOn, 0, 5)) failed.push_back(Signal::Question1Marker);
  if (!anyOn(form.answersOn, 6, 7)) failed.push_back(Signal::Question2Marker);
  if (!anyOn(form.answersOn, 8, 9)) failed.push_back(Signal::Question3Marker);
  if (!anyOn(form.answersOn, 10, 11)) failed.push_back(Signal::Question4Marker);
  return failed;
}

bool emailIsValid(const std::string& email) {
  return email.find('@') != std::string::npos && email.find('.') != std::string::npos;
}

}  // namespace survey
