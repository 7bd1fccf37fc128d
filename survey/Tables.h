#pragma once

#include <string>
#include <vector>

namespace survey {

// The header pieces: the six contact column titles, then the four questions. Each ends with a
// comma, so joining them gives the data file's header line of ten columns.
std::vector<std::string> questionTexts();

// The twelve answer texts; index i belongs to answer button i (btn0 to btn11): six activities
// for question 1, then "Yes" and "No" for each of questions 2 to 4.
std::vector<std::string> answerTexts();

// The question texts joined with nothing between them; no line end.
std::string headerLine(const std::vector<std::string>& questionsTextArray);

}  // namespace survey
