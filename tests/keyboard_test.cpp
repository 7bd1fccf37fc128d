// The on-screen keyboard: shift and the symbols page, keys pressed and slid across. Each keyboard
// type at work in the form's fields (letters, number pad, e-mail), and the hide key, are tried in
// the kiosk entry tests.

#include "kit/text/Keyboard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/text/TextField.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

TEST(Keyboard, ShiftSymbolsPressedKeysAndReturnTypeThroughTheDelegate) {
  Headless h;
  auto window = std::make_unique<Window>();
  window->makeKeyAndVisible(h.app().screen());
  testing_support::RecordingDelegate delegate;
  auto* field = window->addSubview(std::make_unique<TextField>(Size{300, 40}));
  field->setCenter({384, 200});
  field->delegate = &delegate;
  h.tap(384, 200);
  h.wait(kKeyboardAnimationDuration);
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_NE(keyboard, nullptr);
  auto tapKeys = [&](std::initializer_list<const char*> labels) {
    for (const char* label : labels) {
      Point key = Keyboard::frameOfKey(label).center();
      h.tap(key.x, key.y);
      h.wait(0.4);  // apart, so that no two taps make a double tap
    }
  };
  EXPECT_TRUE(keyboard->isShifted()) << "an empty field starts a sentence";
  tapKeys({"h", "i", "space", "shift", "t", "h", "e", "r", "e", ","});
  EXPECT_EQ(field->text(), "Hi There,");
  EXPECT_FALSE(keyboard->isShifted()) << "shift lasts one letter";
  tapKeys({"backspace", "123"});
  h.shot(testing_support::outputDirectory() + "/keyboard_symbols.png");
  EXPECT_EQ(Keyboard::frameOfKey("q"), Rect{}) << "the letters are on the other page";
  tapKeys({"space", "4", "2", "!", "ABC", "q"});
  EXPECT_EQ(field->text(), "Hi There 42!q");
  EXPECT_EQ(delegate.edits.size(), 15u) << "one edit a key";

  // The key under the finger is highlighted, and typed when the finger lifts.
  Point q = Keyboard::frameOfKey("q").center(), w = Keyboard::frameOfKey("w").center();
  h.down(q.x, q.y);
  EXPECT_EQ(keyboard->pressedKey(), "q");
  h.move(w.x, w.y);
  EXPECT_EQ(keyboard->pressedKey(), "w");
  EXPECT_EQ(field->text(), "Hi There 42!q");
  h.up(w.x, w.y);
  EXPECT_EQ(keyboard->pressedKey(), "");
  EXPECT_EQ(field->text(), "Hi There 42!qw");
}

}  // namespace
