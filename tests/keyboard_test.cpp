// The on-screen keyboards: keys tapped at their places type through the field's delegate, each
// keyboard type has its keys, the keyboard slides and follows the focus.

#include "kit/Keyboard.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kit/Application.h"
#include "kit/NotificationCenter.h"
#include "kit/TextField.h"
#include "kit/Window.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

class CountingDelegate : public TextFieldDelegate {
 public:
  bool shouldChangeCharactersInRange(TextField*, Range, const std::string& s) override {
    replacements.push_back(s);
    return true;
  }
  bool textFieldShouldReturn(TextField*) override {
    ++returns;
    return true;
  }
  std::vector<std::string> replacements;
  int returns = 0;
};

class KeyboardTest : public ::testing::Test {
 protected:
  KeyboardTest() { window->makeKeyAndVisible(); }

  TextField* addField(KeyboardType type, Point center) {
    auto* f = window->addSubview(std::make_unique<TextField>(Size{300, 40}));
    f->setCenter(center);
    f->borderStyle = BorderStyle::RoundedRect;
    f->keyboardType = type;
    f->delegate = &delegate;
    return f;
  }

  void focus(TextField* f) {
    h.tap(f->frame().center().x, f->frame().center().y);
    h.wait(kKeyboardAnimationDuration);
  }

  // Taps each key by its label, as a visitor would.
  void tapKeys(std::initializer_list<const char*> labels) {
    for (const char* label : labels) {
      Rect key = Keyboard::frameOfKey(label);
      ASSERT_GT(key.size.width, 0) << "no key " << label;
      h.tap(key.center().x, key.center().y);
    }
  }

  void shot(const std::string& name) {
    h.shot(testing_support::outputDirectory() + "/" + name + ".png");
  }

  Headless h;
  CountingDelegate delegate;
  std::unique_ptr<Window> window = std::make_unique<Window>();
};

TEST_F(KeyboardTest, DefaultKeyboardTypesLettersShiftSymbolsSpaceAndBackspace) {
  TextField* field = addField(KeyboardType::Default, {384, 200});
  focus(field);
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_NE(keyboard, nullptr);
  EXPECT_TRUE(keyboard->isShifted()) << "an empty field starts a sentence";
  shot("keyboard_default_letters");

  tapKeys({"h", "i", "space", "shift", "t", "h", "e", "r", "e", ","});
  EXPECT_EQ(field->text(), "Hi There,");
  EXPECT_FALSE(keyboard->isShifted()) << "shift lasts one letter";

  tapKeys({"backspace", "123"});
  shot("keyboard_default_symbols");
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{}) << "the letters are on the other page";
  tapKeys({"space", "4", "2", "!", "ABC", "q"});
  EXPECT_EQ(field->text(), "Hi There 42!q");
  EXPECT_EQ(Keyboard::frameOfKey("@"), Rect{}) << "no @ on the default letter page";

  // Every key went through the delegate, one character at a time.
  EXPECT_EQ(delegate.replacements.size(), 15u);
  for (const std::string& s : delegate.replacements) EXPECT_LE(s.size(), 1u);

  // Return is the delegate's business; hide gives the keyboard up.
  tapKeys({"return"});
  EXPECT_EQ(delegate.returns, 1);
  EXPECT_EQ(field->text(), "Hi There 42!q");
  tapKeys({"hide"});
  EXPECT_FALSE(field->isFirstResponder());
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{});
  h.wait(kKeyboardAnimationDuration);
  EXPECT_TRUE(keyboard->isHidden());
}

TEST_F(KeyboardTest, EmailKeyboardHasAtAndDotOnItsLetterPage) {
  TextField* field = addField(KeyboardType::EmailAddress, {384, 200});
  field->autocapitalizationType = AutocapitalizationType::None;
  focus(field);
  shot("keyboard_email");
  tapKeys({"a", "n", "n", "a", "@", "x", ".", "n", "o"});
  EXPECT_EQ(field->text(), "anna@x.no");
}

TEST_F(KeyboardTest, NumberPadHasDigitsBackspaceAndHide) {
  TextField* field = addField(KeyboardType::NumberPad, {384, 200});
  focus(field);
  shot("keyboard_number_pad");
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{});
  EXPECT_EQ(Keyboard::frameOfKey("space"), Rect{});
  tapKeys({"5", "5", "5", "0", "1", "2", "3", "4", "6", "7", "8", "9", "backspace"});
  EXPECT_EQ(field->text(), "55501234678");
  tapKeys({"hide"});
  EXPECT_EQ(h.app().firstResponder(), nullptr);
}

TEST_F(KeyboardTest, KeysHighlightWhilePressedAndTypeWhenLifted) {
  TextField* field = addField(KeyboardType::Default, {384, 200});
  field->autocapitalizationType = AutocapitalizationType::None;
  focus(field);
  Keyboard* keyboard = Keyboard::existing();
  Rect q = Keyboard::frameOfKey("q");
  Rect w = Keyboard::frameOfKey("w");

  Point probe{q.minX() + 6, q.minY() + 6};  // away from the letter's ink
  Color before = h.colorAt(probe);
  h.down(q.center().x, q.center().y);
  EXPECT_EQ(keyboard->pressedKey(), "q");
  EXPECT_EQ(field->text(), "");
  EXPECT_NE(h.colorAt(probe), before);
  shot("keyboard_pressed_q");

  // Sliding to the next key moves the highlight; the key under the finger is typed on lifting.
  h.app().touchMoved(w.center());
  EXPECT_EQ(keyboard->pressedKey(), "w");
  h.up(w.center().x, w.center().y);
  EXPECT_EQ(keyboard->pressedKey(), "");
  EXPECT_EQ(field->text(), "w");
  EXPECT_EQ(h.colorAt(probe), before);
}

TEST_F(KeyboardTest, KeyboardSlidesInFollowsTheFieldTypeAndSlidesOut) {
  TextField* number = addField(KeyboardType::NumberPad, {384, 200});
  TextField* email = addField(KeyboardType::EmailAddress, {384, 300});
  std::vector<std::string> notes;
  Object observer;
  for (const std::string& name : {KeyboardWillShowNotification, KeyboardWillHideNotification}) {
    NotificationCenter::defaultCenter().addObserver(
        &observer, [&](const Notification& n) { notes.push_back(n.name); }, name, nullptr);
  }

  number->becomeFirstResponder();
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_NE(keyboard, nullptr);
  double shownY = kScreenHeight - kKeyboardHeight / 2;
  EXPECT_EQ(keyboard->center().y, shownY);
  EXPECT_GT(keyboard->presentationCenter().y, kScreenHeight) << "starts below the screen";
  h.wait(kKeyboardAnimationDuration / 2);
  double halfway = keyboard->presentationCenter().y;
  EXPECT_GT(halfway, shownY);
  EXPECT_LT(halfway, kScreenHeight + kKeyboardHeight / 2);
  h.wait(kKeyboardAnimationDuration / 2);
  EXPECT_EQ(keyboard->presentationCenter().y, shownY);
  EXPECT_EQ(keyboard->keyboardType(), KeyboardType::NumberPad);

  // Moving to a field of another type switches the layout in place.
  h.tap(email->frame().center().x, email->frame().center().y);
  EXPECT_EQ(keyboard->keyboardType(), KeyboardType::EmailAddress);
  EXPECT_EQ(keyboard->presentationCenter().y, shownY);
  EXPECT_GT(Keyboard::frameOfKey("@").size.width, 0);

  h.key("hide");
  h.wait(kKeyboardAnimationDuration / 2);
  EXPECT_GT(keyboard->presentationCenter().y, shownY);
  EXPECT_FALSE(keyboard->isHidden());
  h.wait(kKeyboardAnimationDuration / 2 + 0.02);
  EXPECT_TRUE(keyboard->isHidden());

  std::vector<std::string> expected{KeyboardWillShowNotification, KeyboardWillShowNotification,
                                    KeyboardWillHideNotification};
  EXPECT_EQ(notes, expected);
}

TEST_F(KeyboardTest, PhysicalAndOnScreenKeysTakeTheSamePath) {
  TextField* field = addField(KeyboardType::Default, {384, 200});
  focus(field);
  h.type("a");
  tapKeys({"b"});
  h.app().textInput("cd");
  h.key("backspace");
  tapKeys({"backspace"});
  EXPECT_EQ(field->text(), "Ab");
  std::vector<std::string> expected{"A", "b", "c", "d", "", ""};
  EXPECT_EQ(delegate.replacements, expected);
}

TEST_F(KeyboardTest, RunnerScriptsTypePasteAndPressKeysIntoTheTappedField) {
  TextField* field = addField(KeyboardType::Default, {384, 200});
  std::istringstream script(
      "tap 384 200\n"
      "wait 0.3\n"
      "type hello\n"
      "paste  big world\n"
      "key backspace\n"
      "key return\n"
      "key hide\n"
      "wait 0.3\n");
  std::ostringstream errors;
  EXPECT_EQ(h.runScript(script, errors), 0) << errors.str();
  EXPECT_EQ(field->text(), "Hello big worl");
  EXPECT_EQ(delegate.returns, 1);
  EXPECT_EQ(h.app().firstResponder(), nullptr);
  EXPECT_TRUE(Keyboard::existing()->isHidden());
  std::vector<std::string> expected{"H", "e", "l", "l", "o", " big world", ""};
  EXPECT_EQ(delegate.replacements, expected);
}

}  // namespace
