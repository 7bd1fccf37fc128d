#include "survey/EntryRules.h"

#include "kit/base/Utf8.h"

namespace survey {

namespace {

constexpr std::size_t kAgeCharacters = 3;

bool isOneDigit(const std::string& text) {
  return text.size() == 1 && text[0] >= '0' && text[0] <= '9';
}

}  // namespace

bool phoneShouldChange(std::string& phoneNum, const std::string& replacement) {
  if (isOneDigit(replacement)) {
    if (kit::utf8::characterCount(phoneNum) >= kPhoneDigits) return false;
    phoneNum += replacement;
    return true;
  }
  if (replacement.empty()) {
    if (!phoneNum.empty()) {
      phoneNum.erase(kit::utf8::byteOffset(phoneNum, kit::utf8::characterCount(phoneNum) - 1));
    }
    return true;
  }
  return false;
}

bool genderShouldChange(const std::string& genderText, const std::string& replacement) {
  const std::string upper = upperCased(replacement);
  if (upper == "M" || upper == "F") return genderText.empty();
  return replacement.empty();
}

bool ageShouldChange(const std::string& ageText, const std::string& replacement) {
  if (isOneDigit(replacement)) return kit::utf8::characterCount(ageText) < kAgeCharacters;
  return replacement.empty();
}

bool textShouldChange(const std::string& text, std::size_t location, std::size_t length,
                      const std::string& replacement) {
  // Only an edit at the start changes the first character.
  if (location > 0) return true;
  const std::string_view after = std::string_view(text).substr(kit::utf8::byteOffset(text, length));
  const std::string_view start = replacement.empty() ? after : std::string_view(replacement);
  return start.empty() || std::string_view("=+-@").find(start.front()) == std::string_view::npos;
}

std::string formattedPhone(const std::string& phoneNum, const std::string& currentText) {
  const std::size_t digits = kit::utf8::characterCount(phoneNum);
  if (digits <= 3) return currentText;
  const std::size_t areaEnd = kit::utf8::byteOffset(phoneNum, 3);
  const std::string area = phoneNum.substr(0, areaEnd);
  if (digits <= 6) return "(" + area + ") " + phoneNum.substr(areaEnd);
  const std::size_t exchangeEnd = kit::utf8::byteOffset(phoneNum, 6);
  return "(" + area + ") " + phoneNum.substr(areaEnd, exchangeEnd - areaEnd) + "-" +
         phoneNum.substr(exchangeEnd);
}

std::string upperCased(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace survey
