#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "survey/EntryRules.h"
#include "survey/Validation.h"

namespace {

using survey::Signal;

// The digit count, deletions and typing into the real fields are tried in the kiosk entry tests;
// here the characters a visitor cannot easily type.
TEST(SurveyEntryRules, PhoneBufferTakesSingleDigitsOnly) {
  // Signs, spaces, pasted digits and wide digits are refused and change nothing.
  std::string shortNum = "55";
  for (const char* refused : {"+", "-", "0123456789", "\xEF\xBC\x95", "５"}) {
    EXPECT_FALSE(survey::phoneShouldChange(shortNum, refused)) << refused;
  }
  EXPECT_EQ(shortNum, "55");
  EXPECT_TRUE(survey::phoneShouldChange(shortNum, "0"));
  EXPECT_EQ(shortNum, "550");
}

TEST(SurveyEntryRules, GenderTakesOneMOrFInEitherCase) {
  struct Case {
    const char* shown;
    const char* typed;
    bool taken;
  } cases[] = {{"", "M", true},     {"", "f", true},  {"", "m", true},  {"M", "F", false},
               {"m", "m", false},   {"M", "", true},  {"", "", true},   {"", "x", false},
               {"", "X", false},    {"", "1", false}, {"", " ", false}, {"", "MF", false},
               {"", "male", false}, {"", "Ｍ", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(survey::genderShouldChange(c.shown, c.typed), c.taken) << c.shown << "+" << c.typed;
  }
  for (auto [typed, shown] :
       {std::pair{"m", "M"}, {"f", "F"}, {"F", "F"}, {"ab1-z", "AB1-Z"}, {"", ""}}) {
    EXPECT_EQ(survey::upperCased(typed), shown);
  }
}

TEST(SurveyEntryRules, AgeTakesUpToThreeDigits) {
  std::string age;
  for (const char* digit : {"1", "2", "3"}) {
    ASSERT_TRUE(survey::ageShouldChange(age, digit));
    age += digit;
  }
  EXPECT_FALSE(survey::ageShouldChange(age, "4"));
  EXPECT_TRUE(survey::ageShouldChange(age, ""));
  EXPECT_TRUE(survey::ageShouldChange("", ""));
  EXPECT_FALSE(survey::ageShouldChange("", "a"));
  EXPECT_FALSE(survey::ageShouldChange("", "12"));
  // Three characters counted as characters: two two-byte letters still leave room.
  EXPECT_TRUE(survey::ageShouldChange("éé", "5"));
  EXPECT_FALSE(survey::ageShouldChange("ééé", "5"));
}

TEST(SurveyEntryRules, NamesAndEmailNeverStartWithAFormulaCharacter) {
  struct Case {
    const char* shown;
    std::size_t location, length;
    const char* typed;
    bool taken;
  } cases[] = {
      {"", 0, 0, "=", false},
      {"", 0, 0, "+", false},
      {"", 0, 0, "-", false},
      {"", 0, 0, "@", false},
      {"", 0, 0, "=HYPERLINK(\"http://x\")", false},  // a paste
      {"Anna", 0, 0, "=", false},                     // typed in front
      {"-Anna", 0, 1, "", true},                      // can only get better
      {"a-b", 0, 1, "", false},                       // deleting would bring "-" to the front
      {"é-b", 0, 1, "", false},
      {"a-b", 0, 1, "c", true},
      {"Anna", 4, 0, "-", true},  // inside the text they are plain characters
      {"anna", 4, 0, "+events@example.com", true},
      {"Ann", 1, 2, "=", true},
      {"", 0, 0, " =1", true},
      {"", 0, 0, "'", true},
      {"", 0, 0, "", true},
      {"x", 0, 1, "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(survey::textShouldChange(c.shown, c.location, c.length, c.typed), c.taken)
        << c.shown << " [" << c.location << "," << c.length << "] " << c.typed;
  }
}

TEST(SurveyEntryRules, PhoneFormattingByDigitCount) {
  // Every digit count is shown through the real field in the kiosk entry tests. Up to three
  // digits the field keeps whatever it shows; from four on, the digits alone count.
  EXPECT_EQ(survey::formattedPhone("555", "55x5"), "55x5");
  EXPECT_EQ(survey::formattedPhone("555201", "anything"), "(555) 201");
  EXPECT_EQ(survey::formattedPhone("5558761200", "(555) 876-1200"), "(555) 876-1200");
}

survey::FormState completeForm() {
  survey::FormState form{"Anna",         "Berg",       "(555) 201-3344",
                         "anna@berg.se", "5552013344", std::vector<bool>(12, false)};
  form.answersOn[1] = form.answersOn[6] = form.answersOn[9] = form.answersOn[10] = true;
  return form;
}

TEST(SurveyValidation, TheTenRulesInOrder) {
  using S = Signal;
  using Form = survey::FormState;
  struct Case {
    const char* name;
    std::function<void(Form&)> change;  // of a complete form
    std::vector<Signal> failed;
  } cases[] = {
      {"complete", [](Form&) {}, {}},
      {"empty",
       [](Form& f) { f = {"", "", "", "", "", std::vector<bool>(12, false)}; },
       {S::FirstNameLabel, S::LastNameLabel, S::PhoneLabel, S::EmailLabel, S::Question1Marker,
        S::Question2Marker, S::Question3Marker, S::Question4Marker}},
      {"no names",
       [](Form& f) { f.firstName = f.lastName = ""; },
       {S::FirstNameLabel, S::LastNameLabel}},
      // Gender and age are not looked at; a shorter answer list counts the rest as off.
      {"short answer list", [](Form& f) { f.answersOn.resize(10); }, {S::Question4Marker}},
      {"nine digits",
       [](Form& f) {
         f.phoneNum = "555201334";
         f.phone = "(555) 201-334";
       },
       {S::PhoneDigitsLabel}},
      // An emptied phone field with digits left in the buffer fails both phone rules.
      {"emptied phone field",
       [](Form& f) {
         f.phoneNum = "555201334";
         f.phone = "";
       },
       {S::PhoneLabel, S::PhoneDigitsLabel}},
      {"no phone", [](Form& f) { f.phone = f.phoneNum = ""; }, {S::PhoneLabel}},
      {"bad email", [](Form& f) { f.email = "anna@berg"; }, {S::EmailAddressLabel}},
      {"no email", [](Form& f) { f.email = ""; }, {S::EmailLabel}},
      {"no activity", [](Form& f) { f.answersOn[1] = false; }, {S::Question1Marker}},
      {"another activity",
       [](Form& f) {
         f.answersOn[1] = false;
         f.answersOn[5] = true;
       },
       {}},
  };
  for (const Case& c : cases) {
    Form form = completeForm();
    c.change(form);
    EXPECT_EQ(survey::failedRules(form), c.failed) << c.name;
  }

  for (size_t question = 0; question < 3; ++question) {
    survey::FormState unanswered = completeForm();
    unanswered.answersOn[6 + 2 * question] = unanswered.answersOn[7 + 2 * question] = false;
    const Signal marker = static_cast<Signal>(static_cast<int>(Signal::Question2Marker) + question);
    EXPECT_EQ(survey::failedRules(unanswered), std::vector<Signal>{marker});
    unanswered.answersOn[7 + 2 * question] = true;  // "No" counts as an answer too
    EXPECT_TRUE(survey::failedRules(unanswered).empty());
  }
}

TEST(SurveyValidation, EmailNeedsAnAtAndADotInAnyOrder) {
  for (const char* valid : {"anna@berg.se", "first.last@host", "@.", ".@", "a@@b..c"}) {
    EXPECT_TRUE(survey::emailIsValid(valid)) << valid;
  }
  for (const char* invalid : {"", "anna@berg", "anna.berg.se", "@", ".", "anna at berg dot se"}) {
    EXPECT_FALSE(survey::emailIsValid(invalid)) << invalid;
  }
}

}  // namespace
