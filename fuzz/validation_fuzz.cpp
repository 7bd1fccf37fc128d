// Validation of any form: a form passes exactly when every rule holds, and the signals come in
// rule order without repeats.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>

#include "fuzz/FuzzCheck.h"
#include "kit/base/Utf8.h"
#include "survey/Validation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  survey::FormState form;
  for (std::string* text :
       {&form.firstName, &form.lastName, &form.phone, &form.email, &form.phoneNum}) {
    *text = input.ConsumeRandomLengthString(32);
  }
  size_t answers = input.ConsumeIntegralInRange<size_t>(0, 14);
  for (size_t i = 0; i < answers; ++i) form.answersOn.push_back(input.ConsumeBool());

  std::vector<survey::Signal> failed = survey::failedRules(form);
  FUZZ_CHECK(std::is_sorted(failed.begin(), failed.end()));
  FUZZ_CHECK(std::adjacent_find(failed.begin(), failed.end()) == failed.end());
  bool emailOk =
      form.email.find('@') != std::string::npos && form.email.find('.') != std::string::npos;
  FUZZ_CHECK(survey::emailIsValid(form.email) == emailOk);
  auto on = [&](size_t first, size_t last) {
    for (size_t i = first; i <= last && i < form.answersOn.size(); ++i) {
      if (form.answersOn[i]) return true;
    }
    return false;
  };
  size_t digits = kit::utf8::characterCount(form.phoneNum);
  bool passes = !form.firstName.empty() && !form.lastName.empty() && !form.phone.empty() &&
                emailOk && (digits == 0 || digits >= 10) && on(0, 5) && on(6, 7) && on(8, 9) &&
                on(10, 11);
  FUZZ_CHECK(failed.empty() == passes);
  return 0;
}
