// The entry rules under any sequence of proposed edits: the phone buffer holds at most ten
// digits, the gender field one of m, f, M, F, the age field at most three digits, and the phone
// is formatted with its digits in order.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "survey/EntryRules.h"

namespace {

bool onlyDigits(const std::string& text) {
  return text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::string phoneNum, gender, age;
  while (input.remaining_bytes() > 0) {
    std::string replacement = input.ConsumeRandomLengthString(8);
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0:
        survey::phoneShouldChange(phoneNum, replacement);
        break;
      case 1:
        // The field applies an accepted edit at its end: a deletion removes the last letter.
        if (survey::genderShouldChange(gender, replacement)) {
          gender = replacement.empty() ? gender.substr(0, gender.empty() ? 0 : gender.size() - 1)
                                       : gender + replacement;
        }
        break;
      default:
        if (survey::ageShouldChange(age, replacement)) {
          age = replacement.empty() ? age.substr(0, age.empty() ? 0 : age.size() - 1)
                                    : age + replacement;
        }
        break;
    }
    FUZZ_CHECK(phoneNum.size() <= 10 && onlyDigits(phoneNum));
    FUZZ_CHECK(gender.empty() || gender == "m" || gender == "f" || gender == "M" || gender == "F");
    FUZZ_CHECK(age.size() <= 3 && onlyDigits(age));
    std::string shown = survey::formattedPhone(phoneNum, "typed");
    if (phoneNum.size() <= 3) {
      FUZZ_CHECK(shown == "typed");
    } else {
      std::string digits;
      for (char c : shown) {
        if (c >= '0' && c <= '9') digits += c;
      }
      FUZZ_CHECK(digits == phoneNum && shown[0] == '(');
    }
    FUZZ_CHECK(survey::upperCased(gender) == (gender == "m" ? "M" : gender == "f" ? "F" : gender));
  }
  return 0;
}
