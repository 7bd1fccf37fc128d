#pragma once

#include <cstddef>
#include <string>

namespace survey {

// A phone number's digits.
inline constexpr std::size_t kPhoneDigits = 10;

// Each rule answers whether a proposed edit of a field may happen; `replacement` is the typed
// character, the pasted text, or "" for a deletion. The rules do not log: the caller logs
// "zip textfield!" for the age field before asking.

// The phone field keeps its digits in `phoneNum` (at most ten). One digit is appended and
// accepted while the buffer holds at most 9; a deletion removes the last digit and is accepted,
// also when the buffer is already empty. Anything else is refused, including several digits at
// once.
bool phoneShouldChange(std::string& phoneNum, const std::string& replacement);

// "M" or "F" in either case is accepted only into an empty field; a deletion is accepted;
// anything else is refused.
bool genderShouldChange(const std::string& genderText, const std::string& replacement);

// One digit is accepted while the field holds at most 2 characters; a deletion is accepted;
// anything else is refused.
bool ageShouldChange(const std::string& ageText, const std::string& replacement);

// The name and e-mail fields take any text, but never a first character that a spreadsheet
// takes as the start of a formula (=, +, -, @): the edit of `text` that replaces the characters
// from `location` on, `length` of them, by `replacement` is refused when the result would start
// with one. Such a character later in the text is taken.
bool textShouldChange(const std::string& text, std::size_t location, std::size_t length,
                      const std::string& replacement);

// The phone field's text when its editing ends: 0 to 3 digits leave `currentText` as it is,
// 4 to 6 give "(555) 201", 7 to 10 give "(555) 201-3344".
std::string formattedPhone(const std::string& phoneNum, const std::string& currentText);

// ASCII letters upper-cased; every other byte unchanged. The gender rule and display only ever
// meet m, f, M and F.
std::string upperCased(const std::string& text);

}  // namespace survey
