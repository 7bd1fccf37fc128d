#pragma once

#include <memory>
#include <string>

#include "kit/graphics/Font.h"
#include "kit/text/TextBuffer.h"
#include "kit/ui/Control.h"

namespace kit {

class Screen;

class TextField;

enum class BorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class KeyboardType { Default = 0, NumberPad = 4, EmailAddress = 7 };
enum class AutocapitalizationType { None = 0, Words = 1, Sentences = 2, AllCharacters = 3 };
enum class AutocorrectionType { Default = 0, No = 1, Yes = 2 };

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

// The caret shows for this long, then hides for as long, starting again at each edit.
inline constexpr double kCaretBlinkInterval = 0.5;  // seconds
// How long secure entry shows the character just typed before it becomes a bullet.
inline constexpr double kSecureRevealDuration = 1.0;  // seconds

// The caret of fields and text views: its width in points and its colour.
inline constexpr double kCaretWidth = 2;
inline const Color kCaretColor = Color::rgba(0.16, 0.42, 0.98);

// One line of editable text with a blinking caret and the kit's on-screen keyboard.
class TextField : public Control {
 public:
  explicit TextField(Size size);
  ~TextField() override;

  // Always valid UTF-8 without control characters: whatever arrives is cleaned first (see
  // TextBuffer), and the delegate is asked about the cleaned text.
  const std::string& text() const { return buffer_.text(); }
  // Replaces the text without asking the delegate; the caret goes to the end.
  void setText(const std::string& text);

  // The field's look: each setter marks the field for redraw when the value changes.
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string text) { setLook(placeholder_, std::move(text)); }
  const Font& font() const { return font_; }
  void setFont(Font font) { setLook(font_, std::move(font)); }
  Color textColor() const { return textColor_; }
  void setTextColor(Color color) { setLook(textColor_, color); }
  TextAlignment textAlignment() const { return textAlignment_; }
  void setTextAlignment(TextAlignment alignment) { setLook(textAlignment_, alignment); }
  BorderStyle borderStyle() const { return borderStyle_; }
  void setBorderStyle(BorderStyle style) { setLook(borderStyle_, style); }
  // Draws a bullet for each character; the character just typed shows for a moment first.
  bool secureTextEntry() const { return secureTextEntry_; }
  void setSecureTextEntry(bool secure) { setLook(secureTextEntry_, secure); }

  KeyboardType keyboardType = KeyboardType::Default;
  AutocapitalizationType autocapitalizationType = AutocapitalizationType::Sentences;
  // Kept for callers; the kit never corrects what is typed.
  AutocorrectionType autocorrectionType = AutocorrectionType::Default;
  // The caret stays at the end of the text: a tap there puts it at the end, so every edit
  // happens at the end.
  bool keepsCaretAtEnd = false;
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
  virtual void returnKey();
  // A paste: the whole text in one edit, never capitalised; line breaks become spaces (kept in a
  // text view).
  bool paste(const std::string& text);
  size_t caretPosition() const { return buffer_.caret(); }  // in code points
  // Moves the caret to the character boundary nearest `position` (clamped to the text).
  void setCaretPosition(size_t position);
  // True when a letter typed now would be capitalised (the keyboard then shows shift).
  bool capitalizesNextCharacter() const;
  // Whether the blinking caret is drawn at the clock's current time.
  bool isCaretVisible() const;

  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void draw(cairo_t* cr) const override;

 protected:
  // For views of many lines: the buffer keeps line breaks.
  TextField(Size size, LineBreaks lineBreaks);
  // The one way an edit reaches the text: only while the field has the keyboard and can be seen.
  // Asks the delegate, replaces, moves the caret after the replacement.
  bool replace(Range range, const std::string& replacement);
  // Keeps the caret in sight after the text or the caret moved.
  virtual void scrollToCaret();
  // Asks for a frame when the blinking caret next turns on or off; called while drawing.
  void scheduleCaretBlink() const;

 private:
  std::string placeholder_;
  Font font_ = Font::fontWithName("Helvetica", 17);
  Color textColor_ = Color::black();
  TextAlignment textAlignment_ = TextAlignment::Left;
  BorderStyle borderStyle_ = BorderStyle::None;
  bool secureTextEntry_ = false;

  // Neither the field nor any view around it is hidden or fully transparent.
  bool isShown() const;
  // Ends editing here without touching the keyboard: the first step of handing focus on.
  void endEditing();
  Rect textRect() const;
  // Where the text around the field's left edge is drawn; only that part is laid out, so that
  // drawing and hit testing cost the same however long the text.
  struct Placement;
  Placement placement() const;
  void restartBlink();
  // The screen the field shows on, or the one it took the focus on while it is off every screen.
  Screen* focusScreen() const;
  // The time on that screen's clock; 0 on none.
  double now() const;

  TextBuffer buffer_;
  Screen* focusScreen_ = nullptr;
  std::weak_ptr<const void> focusScreenAlive_;
  // Secure entry: the grapheme cluster starting at this position shows in clear until
  // `revealUntil_`.
  size_t revealed_ = 0;
  double revealUntil_ = -1;
  double caretEpoch_ = 0;  // caret blink phase starts here
  // Text longer than the field is scrolled: its left edge stands `scrollX_` points right of the
  // caret position before character `scrollAnchor_`.
  size_t scrollAnchor_ = 0;
  double scrollX_ = 0;
  void changed();
  mutable Rect caretRect_;           // where the caret was last drawn
  mutable double blinkRedraw_ = -1;  // the caret's next change, already asked to be drawn
};

}  // namespace kit
