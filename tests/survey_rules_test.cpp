#include <gtest/gtest.h>

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
  survey::FormState empty{"", "", "", "", "", std::vector<bool>(12, false)};
  EXPECT_EQ(
      survey::failedRules(empty),
      (std::vector<Signal>{Signal::FirstNameLabel, Signal::LastNameLabel, Signal::PhoneLabel,
                           Signal::EmailLabel, Signal::Question1Marker, Signal::Question2Marker,
                           Signal::Question3Marker, Signal::Question4Marker}));
  EXPECT_TRUE(survey::failedRules(completeForm()).empty());

  // Gender and age are not looked at; a shorter answer list counts the rest as off.
  survey::FormState shortList = completeForm();
  shortList.answersOn.resize(10);
  EXPECT_EQ(survey::failedRules(shortList), std::vector<Signal>{Signal::Question4Marker});

  survey::FormState nineDigits = completeForm();
  nineDigits.phoneNum = "555201334";
  nineDigits.phone = "(555) 201-334";
  EXPECT_EQ(survey::failedRules(nineDigits), std::vector<Signal>{Signal::PhoneDigitsLabel});

  // An emptied phone field with digits left in the buffer fails both phone rules.
  nineDigits.phone = "";
  EXPECT_EQ(survey::failedRules(nineDigits),
            (std::vector<Signal>{Signal::PhoneLabel, Signal::PhoneDigitsLabel}));

  survey::FormState emptyPhone = completeForm();
  emptyPhone.phone = "";
  emptyPhone.phoneNum = "";
  EXPECT_EQ(survey::failedRules(emptyPhone), std::vector<Signal>{Signal::PhoneLabel});

  survey::FormState badEmail = completeForm();
  badEmail.email = "anna@berg";
  EXPECT_EQ(survey::failedRules(badEmail), std::vector<Signal>{Signal::EmailAddressLabel});
  badEmail.email = "";
  EXPECT_EQ(survey::failedRules(badEmail), std::vector<Signal>{Signal::EmailLabel});

  survey::FormState noActivity = completeForm();
  noActivity.answersOn[1] = false;
  EXPECT_EQ(survey::failedRules(noActivity), std::vector<Signal>{Signal::Question1Marker});
  noActivity.answersOn[5] = true;
  EXPECT_TRUE(survey::failedRules(noActivity).empty());

  for (size_t question = 0; question < 3; ++question) {
    survey::FormState unanswered = completeForm();
    unanswered.answersOn[6 + 2 * question] = unanswered.answersOn[7 + 2 * question] = false;
    const Signal marker = static_cast<Signal>(static_cast<int>(Signal::Question2Marker) + question);
    EXPECT_EQ(survey::failedRules(unanswered), std::vector<Signal>{marker});
    unanswered.answersOn[7 + 2 * question] = true;  // "No" counts as an answer too
    EXPECT_TRUE(survey::failedRules(unanswered).empty());
  }

  survey::FormState names = completeForm();
  names.firstName = "";
  names.lastName = "";
  EXPECT_EQ(survey::failedRules(names),
            (std::vector<Signal>{Signal::FirstNameLabel, Signal::LastNameLabel}));
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
