// Keys of a physical keyboard, delivered to the field that holds the keyboard. They take the same
// path as the on-screen keys: the field's edit calls, which ask the delegate first.

#include "kit/app/Application.h"
#include "kit/text/TextBuffer.h"
#include "kit/text/TextField.h"

namespace kit {

void Application::textInput(const std::string& text) {
  lastInputTime_ = clock_.now();
  TextField* field = firstResponder();
  if (!field) return;
  // One keystroke for each grapheme cluster, so that a character composed by an input method (a
  // letter with its accent, an emoji sequence) arrives as one.
  TextBuffer typed;
  typed.setText(text);
  for (size_t at = 0; at < typed.length();) {
    // A delegate may move the focus while it is asked; the rest is not for another field.
    if (firstResponder() != field) break;
    size_t next = typed.nextStop(at);
    field->insertText(std::string(typed.substring({at, next - at})));
    at = next;
  }
}

void Application::keyDown(Key key) {
  lastInputTime_ = clock_.now();
  TextField* field = firstResponder();
  if (!field) return;
  switch (key) {
    case Key::Backspace:
      field->deleteBackward();
      break;
    case Key::Return:
      field->returnKey();
      break;
    case Key::Tab:
    case Key::Escape:
      break;
  }
}

void Application::paste(const std::string& text) {
  lastInputTime_ = clock_.now();
  if (TextField* field = firstResponder()) field->paste(text);
}

}  // namespace kit
