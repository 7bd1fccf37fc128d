#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace survey {

// The six contact field texts as they show when the record is built.
struct ContactTexts {
  std::string firstName, lastName, phone, email, gender, age;
};

// A typed text as one CSV field: unchanged unless it holds a comma, a double quote, CR or LF;
// then wrapped in double quotes with inner double quotes doubled, so that no typed text can add
// columns or lines.
std::string csvField(std::string_view typed);

struct Record {
  std::string text;
  // The record up to and including the activities column, for the log line
  // "results before last buttons: %@".
  std::string beforeLastButtons;
};

// One data file record: CR LF, the six contact fields each followed by a comma, then the
// activities that are on (answers 0 to 5) as one quoted list that keeps a comma after each
// activity, then a comma; then each answer 6 to 11 that is on, followed by a comma. No activity
// on leaves the activities column out entirely. Logs nothing.
Record buildRecord(const ContactTexts& contact, const std::vector<bool>& answersOn,
                   const std::vector<std::string>& answersTextArray);

}  // namespace survey
