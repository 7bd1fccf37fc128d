#include "survey/Tables.h"

namespace survey {

std::vector<std::string> questionTexts() {
  return {
      "First Name,Last Name,Phone,Email,Gender,Age,",
      "1)In which outdoor activities do you participate?,",
      "2)Do you currently own Tolvik shoes or boots?,",
      "3)Do you plan on buying new Hiking Boots in the next 6 months?,",
      "4)Do you plan on buying new trail running shoes in the next 6 months?,",
  };
}

std::vector<std::string> answerTexts() {
  return {
      "Trail Running", "Hiking",  "Backpacking", "Mountain Biking",
      "Road Running",  "Camping", "Yes",         "No",
      "Yes",           "No",      "Yes",         "No",
  };
}

std::string headerLine(const std::vector<std::string>& questionsTextArray) {
  std::string line;
  for (const std::string& piece : questionsTextArray) line += piece;
  return line;
}

}  // namespace survey
