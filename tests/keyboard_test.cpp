// The on-screen keyboards: keys tapped at their places type through the field's delegate, each
// keyboard type has its keys, the keyboard slides and follows the focus.

#include "kit/text/Keyboard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/text/TextField.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

class KeyboardTest : public ::testing::Test {
 protected:
  KeyboardTest() { window->makeKeyAndVisible(); }

  TextField* addField(KeyboardType type, double y = 200) {
    auto* f = window->addSubview(std::make_unique<TextField>(Size{300, 40}));
    f->setCenter({384, y});
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
    h.shot(testing_support::outputDirectory() + "/keyboard_" + name + ".png");
  }

  Headless h;
  testing_support::RecordingDelegate delegate;
  std::unique_ptr<Window> window = std::make_unique<Window>();
};

TEST_F(KeyboardTest, DefaultKeyboardTypesLettersShiftSymbolsSpaceAndBackspace) {
  TextField* field = addField(KeyboardType::Default);
  focus(field);
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_NE(keyboard, nullptr);
  EXPECT_TRUE(keyboard->isShifted()) << "an empty field starts a sentence";
  shot("default_letters");

  tapKeys({"h", "i", "space", "shift", "t", "h", "e", "r", "e", ","});
  EXPECT_EQ(field->text(), "Hi There,");
  EXPECT_FALSE(keyboard->isShifted()) << "shift lasts one letter";
  tapKeys({"backspace", "123"});
  shot("default_symbols");
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{}) << "the letters are on the other page";
  tapKeys({"space", "4", "2", "!", "ABC", "q"});
  EXPECT_EQ(field->text(), "Hi There 42!q");
  // Every key went through the delegate, one character at a time.
  EXPECT_EQ(delegate.edits.size(), 15u);

  // Return is the delegate's business.
  tapKeys({"return"});
  EXPECT_EQ(delegate.returns, 1);
  EXPECT_EQ(field->text(), "Hi There 42!q");
}

TEST_F(KeyboardTest, KeysHighlightWhilePressedAndTypeWhenLifted) {
  TextField* field = addField(KeyboardType::Default);
  field->autocapitalizationType = AutocapitalizationType::None;
  focus(field);
  Keyboard* keyboard = Keyboard::existing();
  Point q = Keyboard::frameOfKey("q").center(), w = Keyboard::frameOfKey("w").center();
  h.down(q.x, q.y);
  EXPECT_EQ(keyboard->pressedKey(), "q");
  shot("pressed_q");

  // Sliding to the next key moves the highlight; the key under the finger is typed on lifting.
  h.app().touchMoved(w);
  EXPECT_EQ(keyboard->pressedKey(), "w");
  EXPECT_EQ(field->text(), "");
  h.up(w.x, w.y);
  EXPECT_EQ(keyboard->pressedKey(), "");
  EXPECT_EQ(field->text(), "w");
}

TEST_F(KeyboardTest, KeyboardSlidesInFollowsTheFieldTypeAndSlidesOut) {
  TextField* number = addField(KeyboardType::NumberPad);
  TextField* email = addField(KeyboardType::EmailAddress, 300);
  email->autocapitalizationType = AutocapitalizationType::None;
  number->becomeFirstResponder();
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_NE(keyboard, nullptr);
  double shownY = kScreenHeight - kKeyboardHeight / 2;
  EXPECT_GT(keyboard->presentationCenter().y, kScreenHeight) << "starts below the screen";
  h.wait(kKeyboardAnimationDuration / 2);
  EXPECT_GT(keyboard->presentationCenter().y, shownY);  // halfway
  h.wait(kKeyboardAnimationDuration / 2);
  EXPECT_EQ(keyboard->presentationCenter().y, shownY);

  // The number pad has digits, backspace and hide, and no letters.
  shot("number_pad");
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{});
  tapKeys({"5", "5", "5", "0", "1", "2", "3", "4", "6", "7", "8", "9", "backspace"});
  EXPECT_EQ(number->text(), "55501234678");

  // Moving to a field of another type switches the layout in place: the email keyboard has @ and
  // a point on its letter page.
  h.tap(email->frame().center().x, email->frame().center().y);
  EXPECT_EQ(keyboard->presentationCenter().y, shownY);
  shot("email");
  tapKeys({"a", "n", "n", "a", "@", "x", ".", "n", "o"});
  EXPECT_EQ(email->text(), "anna@x.no");

  tapKeys({"hide"});
  EXPECT_EQ(h.app().firstResponder(), nullptr);
  h.wait(kKeyboardAnimationDuration / 2);
  EXPECT_GT(keyboard->presentationCenter().y, shownY);
  EXPECT_FALSE(keyboard->isHidden());
  h.wait(kKeyboardAnimationDuration / 2 + 0.02);
  EXPECT_TRUE(keyboard->isHidden());
}

}  // namespace
