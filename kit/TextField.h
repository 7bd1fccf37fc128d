#pragma once

#include <string>

#include "Control.h"
#include "Font.h"

namespace kit {

class TextField;

enum class BorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class KeyboardType { Default = 0, NumberPad = 4, EmailAddress = 7 };
enum class AutocapitalizationType { None = 0, Words = 1, Sentences = 2, AllCharacters = 3 };
enum class AutocorrectionType { Default = 0, No = 1, Yes = 2 };

// A span of characters (Unicode code points) of a text.
struct Range {
  size_t location = 0;
  size_t length = 0;
  bool operator==(const Range&) const = default;
};

class TextFieldDelegate {
 public:
  virtual ~TextFieldDelegate() = default;
  // Asked before every edit: typing is a one-character replacement, deleting an empty one, a
  // paste the whole pasted text. The edit happens only on true.
  virtual bool shouldChangeCharactersInRange(TextField* textField, Range range,
                                             const std::string& replacementString) = 0;
  // The return key; true when the field handled it.
  virtual bool textFieldShouldReturn(TextField*) { return false; }
};

// One line of editable text with a blinking caret and the kit's on-screen keyboard.
class TextField : public Control {
 public:
  explicit TextField(Size size);
  ~TextField() override;

  const std::string& text() const { return text_; }
  // Replaces the text without asking the delegate; the caret goes to the end.
  void setText(const std::string& text);

  std::string placeholder;
  Font font = Font::fontWithName("Helvetica", 17);
  Color textColor = Color::black();
  TextAlignment textAlignment = TextAlignment::Left;
  BorderStyle borderStyle = BorderStyle::None;
  KeyboardType keyboardType = KeyboardType::Default;
  AutocapitalizationType autocapitalizationType = AutocapitalizationType::Sentences;
  // Kept for callers; the kit never corrects what is typed.
  AutocorrectionType autocorrectionType = AutocorrectionType::Default;
  bool secureTextEntry = false;
  TextFieldDelegate* delegate = nullptr;

  // Keyboard focus: taking it ends editing in the field that had it, then begins editing here
  // (editing-did-end there before editing-did-begin here).
  bool canBecomeFirstResponder() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool isFirstResponder() const override;

  // Editing at the caret, each through the delegate; false when refused or not editing.
  bool insertText(const std::string& text);  // typing: one call per character; a paste: one call
  bool deleteBackward();                     // one grapheme cluster
  void returnKey();
  size_t caretPosition() const { return caret_; }  // in code points

  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;

 private:
  bool replace(Range range, const std::string& replacement);
  std::string text_;
  size_t caret_ = 0;
  double caretEpoch_ = 0;  // caret blink phase starts here
};

}  // namespace kit
