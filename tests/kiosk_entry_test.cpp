// A visitor typing into the form: the entry rules of each field, the phone number's display, and
// the keyboard toolbar's navigation through the six fields.

#include <gtest/gtest.h>

#include "kit/base/Utf8.h"
#include "kit/text/Keyboard.h"
#include "kit/ui/Screen.h"
#include "support/KioskHarness.h"

using testing_support::countOf;
using testing_support::FormPoints;
using testing_support::Kiosk;
using namespace std::string_literals;

TEST(KioskEntry, PhoneDigitsAreBufferedLimitedToTenAndFormattedWhenEditingEnds) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.fill(FormPoints::phone, "55520133449");
  EXPECT_EQ(c.phoneNum, "5552013344");  // the eleventh digit is refused
  EXPECT_EQ(c.phone->text(), "5552013344");
  k.typeText("a");
  k.typeText(" ");
  k.typeText(std::string(1, '\0'));  // dropped before the rule: not taken for a deletion
  k.h().paste("12");
  EXPECT_EQ(c.phoneNum, "5552013344");
  EXPECT_EQ(c.currTextField, 402);  // refused changes still make the field current

  k.tapAt(FormPoints::email);
  EXPECT_EQ(c.phone->text(), "(555) 201-3344");
  k.tapAt(FormPoints::phone);
  EXPECT_EQ(c.phone->text(), "5552013344");  // raw digits again while editing

  // Deleting back to 7, 6, 4 and 3 digits, ending the editing each time.
  struct Case {
    int deletions;
    const char* shown;
  } cases[] = {{3, "(555) 201-3"}, {1, "(555) 201"}, {2, "(555) 2"}, {1, "555"}};
  for (const Case& step : cases) {
    k.tapAt(FormPoints::phone);
    for (int i = 0; i < step.deletions; ++i) k.h().key("backspace");
    k.tapAt(FormPoints::gender);
    EXPECT_EQ(c.phone->text(), step.shown);
  }
  // Deleting past the last digit is accepted and leaves the buffer empty.
  k.tapAt(FormPoints::phone);
  for (int i = 0; i < 5; ++i) k.h().key("backspace");
  EXPECT_EQ(c.phoneNum, "");
  EXPECT_EQ(c.phone->text(), "");

  // A tap before the digits leaves the caret at the end, so the field always shows the buffer.
  k.typeText("5");
  k.tapAt({FormPoints::phone.x - 130, FormPoints::phone.y});
  k.h().key("backspace");
  EXPECT_EQ(c.phone->text(), "");
  k.typeText("12");
  k.tapAt({FormPoints::phone.x - 130, FormPoints::phone.y});
  k.typeText("3");
  EXPECT_EQ(c.phone->text(), "123");
  EXPECT_EQ(c.phoneNum, "123");
}

TEST(KioskEntry, TypedCommasAndQuotesAreKeptButBytesThatAreNotUtf8AndControlsNeverReachTheFile) {
  Kiosk k;
  k.fillCompleteForm();
  k.fill(FormPoints::firstName, "\xF6\x01");  // a Latin-1 keyboard's letter, a control
  k.tapAt(FormPoints::lastName);
  k.h().paste("\tL\xE9vy\0\r\n"s);
  k.fill(FormPoints::email, ", \"Annie\"");
  k.hideKeyboardKey();
  k.tapAt(FormPoints::submit);
  const std::string file = testing_support::readAll(k.dataFile());
  EXPECT_TRUE(kit::utf8::isValid(file));
  EXPECT_NE(file.find("\r\nAnna\xEF\xBF\xBD,Berg L\xEF\xBF\xBDvy ,(555) 201-3344,"
                      "\"anna@example.com, \"\"Annie\"\"\",F,"),
            std::string::npos)
      << file;
}

TEST(KioskEntry, GenderTakesOneLetterMOrFUpperCasedAndAgeAtMostThreeDigitsEachLogged) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.fill(FormPoints::gender, "m");
  EXPECT_EQ(c.gender->text(), "m");
  testing_support::StderrCapture log;
  k.fill(FormPoints::age, "1234a");  // ends the gender's editing
  EXPECT_EQ(countOf(log.finish(), "zip textfield!"), 5);
  EXPECT_EQ(c.age->text(), "123");
  EXPECT_EQ(c.gender->text(), "M");

  k.fill(FormPoints::gender, "F");
  EXPECT_EQ(c.gender->text(), "M");  // the letter must be deleted first
  k.h().key("backspace");
  k.typeText("x");
  EXPECT_EQ(c.gender->text(), "");
  k.typeText("f");
  EXPECT_EQ(c.gender->text(), "f");
  EXPECT_EQ(c.currTextField, 404);
}

namespace {

// Whether the keyboard toolbar shows above the keyboard, as it does while a field has it.
bool toolbarShows(Kiosk& k) {
  kit::Toolbar* bar = k.c().toolbar;
  kit::Point center = bar->superview()->convertToAncestor(bar->presentationCenter(), nullptr);
  return center.y < kit::kScreenHeight - kit::kKeyboardHeight;
}

}  // namespace

TEST(KioskNavigation, NextAndPrevCycleThroughTheFieldsFromTheLastFieldEdited) {
  Kiosk k;
  TolvikViewController& c = k.c();
  k.tapAt(FormPoints::firstName);
  k.advance(0.5);
  EXPECT_TRUE(toolbarShows(k));

  testing::internal::CaptureStderr();
  k.tapToolbarItem(0);  // prev from first name, where counting starts, wraps to age
  EXPECT_TRUE(c.age->isFirstResponder());
  EXPECT_EQ(c.currTextField, 405);
  k.tapToolbarItem(1);  // next from age wraps to first name
  EXPECT_TRUE(c.firstName->isFirstResponder());
  k.tapToolbarItem(1);
  EXPECT_TRUE(c.lastName->isFirstResponder());
  EXPECT_EQ(countOf(testing::internal::GetCapturedStderr(), "textFieldShouldReturn"), 3);

  // Typing in first name, then touching e-mail without typing: next counts from first name.
  k.tapAt(FormPoints::firstName);
  k.typeText("Anna");
  k.tapAt(FormPoints::email);
  k.tapToolbarItem(1);
  EXPECT_TRUE(c.lastName->isFirstResponder());
  k.advance(0.5);
  EXPECT_TRUE(toolbarShows(k));  // stays up while the keyboard moves between fields

  k.tapToolbarItem(3);  // done
  EXPECT_EQ(k.app().firstResponder(), nullptr);
  k.advance(0.5);
  EXPECT_FALSE(toolbarShows(k));
  // A touch on the form's bare background hides the keyboard too.
  k.tapAt(FormPoints::age);
  k.tapAt(FormPoints::formBackground);
  EXPECT_EQ(k.app().firstResponder(), nullptr);
}

TEST(KioskEntry, AVisitorTypesWithTheOnScreenKeyboardsOfEachField) {
  Kiosk k;
  TolvikViewController& c = k.c();
  auto tapKeys = [&](const std::vector<std::string>& labels) {
    for (const std::string& label : labels) {
      kit::Rect key = kit::Keyboard::frameOfKey(label);
      ASSERT_GT(key.size.width, 0) << label;
      k.tapAt(key.center());
      k.advance(0.4);  // apart, so that no two taps count as one double tap
    }
  };
  k.tapAt(FormPoints::firstName);
  k.advance(0.5);
  tapKeys({"a", "n", "n", "a"});
  EXPECT_EQ(c.firstName->text(), "Anna");  // the first letter of a sentence is capitalised

  k.tapAt(FormPoints::phone);
  k.advance(0.5);
  tapKeys({"5", "5", "5", "2", "0", "1", "3", "3", "4", "4", "9"});
  EXPECT_EQ(c.phoneNum, "5552013344");
  tapKeys({"backspace"});
  EXPECT_EQ(c.phoneNum, "555201334");

  k.tapAt(FormPoints::email);  // ends phone editing, brings the e-mail keyboard
  k.advance(0.5);
  EXPECT_EQ(c.phone->text(), "(555) 201-334");
  tapKeys({"a", "@", "b", ".", "c"});
  EXPECT_EQ(c.email->text(), "a@b.c");

  tapKeys({"hide"});
  EXPECT_FALSE(c.email->isFirstResponder());
  k.advance(0.5);
  EXPECT_FALSE(toolbarShows(k));
}
