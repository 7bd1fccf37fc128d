// Keys of a physical keyboard, delivered to the field that holds the keyboard. They take the same
// path as the on-screen keys: the field's edit calls, which ask the delegate first.

#include <pango/pango.h>

#include <vector>

#include "Application.h"
#include "TextField.h"

namespace kit {

namespace {

// Splits text into grapheme clusters, so that a character composed by an input method (a letter
// with its accent, an emoji sequence) arrives as one keystroke.
std::vector<std::string> graphemes(const std::string& text) {
  std::vector<std::string> result;
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    result.push_back(text);
    return result;
  }
  auto count = static_cast<size_t>(g_utf8_strlen(text.data(), static_cast<gssize>(text.size())));
  std::vector<PangoLogAttr> attrs(count + 1);
  pango_get_log_attrs(text.data(), static_cast<int>(text.size()), -1,
                      pango_language_from_string("en"), attrs.data(),
                      static_cast<int>(attrs.size()));
  const char* start = text.data();
  const char* p = text.data();
  for (size_t i = 1; i <= count; ++i) {
    p = g_utf8_next_char(p);
    if (i == count || attrs[i].is_cursor_position) {
      result.emplace_back(start, p);
      start = p;
    }
  }
  return result;
}

}  // namespace

void Application::textInput(const std::string& text) {
  TextField* field = firstResponder();
  if (!field) return;
  for (const std::string& character : graphemes(text)) {
    // A delegate may move the focus while it is asked; the rest is not for another field.
    if (firstResponder() != field) break;
    field->insertText(character);
  }
}

void Application::keyDown(Key key) {
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
  if (TextField* field = firstResponder()) field->paste(text);
}

}  // namespace kit
