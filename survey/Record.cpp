#include "survey/Record.h"

#include <algorithm>

namespace survey {

namespace {

constexpr std::size_t kActivityCount = 6;

}  // namespace

std::string csvField(std::string_view typed) {
  if (typed.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(typed);
  std::string quoted = "\"";
  for (char c : typed) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

Record buildRecord(const ContactTexts& contact, const std::vector<bool>& answersOn,
                   const std::vector<std::string>& answersTextArray) {
  std::string text = "\r\n";
  for (const std::string* field : {&contact.firstName, &contact.lastName, &contact.phone,
                                   &contact.email, &contact.gender, &contact.age}) {
    text += csvField(*field);
    text += ',';
  }

  const std::size_t answerCount = std::min(answersOn.size(), answersTextArray.size());
  const std::size_t activityEnd = std::min(answerCount, kActivityCount);

  // The activity names are fixed texts without quotes; the list keeps its trailing comma
  // inside the quotes, as earlier files have it.
  std::string activities;
  for (std::size_t i = 0; i < activityEnd; ++i) {
    if (answersOn[i]) activities += answersTextArray[i] + ",";
  }
  if (!activities.empty()) text += "\"" + activities + "\",";

  Record record;
  record.beforeLastButtons = text;
  for (std::size_t i = activityEnd; i < answerCount; ++i) {
    if (answersOn[i]) text += answersTextArray[i] + ",";
  }
  record.text = std::move(text);
  return record;
}

}  // namespace survey
