#pragma once

// Internal to the kit: the on-screen keyboard. Text fields bring it up and put it away; the kiosk
// never addresses it. Tests and scripts find keys with frameOfKey.

#include <string>
#include <vector>

#include "kit/text/TextField.h"
#include "kit/ui/View.h"

namespace kit {

class Screen;
class TextField;

inline constexpr double kKeyboardHeight = 264;              // points, portrait
inline constexpr double kKeyboardAnimationDuration = 0.25;  // seconds to slide in or out

// The keyboard of the screen's keyboard layer, drawn at the bottom of the screen. Its keys act
// on the screen's first responder through the same calls as a physical keyboard.
class Keyboard : public View {
 public:
  Keyboard();
  ~Keyboard() override;

  // The keyboard, made (hidden, below the screen) in `screen`'s keyboard layer on first use.
  static Keyboard* shared(Screen& screen);
  // The keyboard if one has been made, else nullptr.
  static Keyboard* existing();
  // The key with `label` in screen points, on the page showing now; an empty rect when the
  // keyboard is away or has no such key. Letters match either case; the other keys are named
  // "shift", "backspace", "return", "space", "123", "ABC" and "hide".
  static Rect frameOfKey(const std::string& label);

  // Shows the layout for `type` on its first page, sliding in when away. Showing again only
  // switches the layout.
  void show(KeyboardType type);
  // Slides out below the screen, then hides.
  void hide();
  bool isShowing() const { return showing_; }
  KeyboardType keyboardType() const { return type_; }
  // Letters come out upper case: shift was tapped, or the field capitalises the next letter.
  bool isShifted() const;
  // The label of the key under a touch now, or "" (press feedback).
  std::string pressedKey() const;

  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesMoved(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;
  // The field's text or focus changed: the caps are drawn again if the shift state moved.
  void refreshCaps();

  enum class KeyKind { Character, Shift, Backspace, Return, Space, Symbols, Letters, Hide };
  struct Key {
    std::string label;
    KeyKind kind = KeyKind::Character;
    Rect frame;
  };
  const std::vector<Key>& keys() const { return keys_; }

 private:
  // The field the keys type into: the first responder of the screen the keyboard is on.
  TextField* field() const;
  enum class Page { Letters, Symbols };
  void layOut();
  int keyAt(Point p) const;
  void setPressed(int key);
  void press(const Key& key);

  KeyboardType type_ = KeyboardType::Default;
  Page page_ = Page::Letters;
  bool showing_ = false;
  bool shift_ = false;
  int pressed_ = -1;
  mutable bool drawnShifted_ = false;  // the caps in the last frame
  std::vector<Key> keys_;
};

}  // namespace kit
