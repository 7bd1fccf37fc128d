#pragma once

#include <string>
#include <vector>

namespace survey {

// What validation looks at: the four required field texts, the phone digit buffer and the
// on/off state of the twelve answer buttons (missing entries count as off).
struct FormState {
  std::string firstName, lastName, phone, email, phoneNum;
  std::vector<bool> answersOn;
};

// The signal each failed rule calls for: a required label beside a field (PhoneDigitsLabel and
// EmailAddressLabel are the phone and e-mail labels with their replacing texts) or a required
// marker beside a question.
enum class Signal {
  FirstNameLabel,
  LastNameLabel,
  PhoneLabel,
  EmailLabel,
  PhoneDigitsLabel,
  EmailAddressLabel,
  Question1Marker,
  Question2Marker,
  Question3Marker,
  Question4Marker,
};

// Every failed rule's signal, in rule order; empty when the form may be stored. An empty phone
// with 1 to 9 digits still in the buffer fails both PhoneLabel and PhoneDigitsLabel.
std::vector<Signal> failedRules(const FormState& form);

// True when the text holds at least one "@" and at least one ".", in any order.
bool emailIsValid(const std::string& email);

}  // namespace survey
