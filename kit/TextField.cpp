#include "TextField.h"

#include <cairo.h>
#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Application.h"
#include "Drawing.h"
#include "Keyboard.h"
#include "NotificationCenter.h"
#include "TextDrawing.h"

namespace kit {

namespace {

constexpr double kRoundedRectRadius = 6;
constexpr double kRoundedRectPadding = 8;
// A borderless field usually lies on a box of its own or of a picture under it: its text keeps
// clear of the box's edge.
constexpr double kPlainPadding = 6;
constexpr double kCaretWidth = 2;
const Color kPlaceholderColor = Color::rgba(0.7, 0.7, 0.72);
const Color kCaretColor = Color::rgba(0.16, 0.42, 0.98);
const char* const kBullet = "\xE2\x97\x8F";  // U+25CF, a black circle

size_t codePointCount(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// The byte offset of code point `index` (the end when past it).
size_t byteOffset(const std::string& s, size_t index) {
  size_t seen = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (seen == index) return i;
      ++seen;
    }
  }
  return s.size();
}

std::string substring(const std::string& s, size_t from, size_t to) {
  size_t a = byteOffset(s, from);
  return s.substr(a, byteOffset(s, to) - a);
}

// The code point indices where a caret may stand: the starts of grapheme clusters and the end,
// so that an emoji with modifiers or a letter with combining accents is one step.
std::vector<size_t> caretStops(const std::string& s) {
  std::vector<size_t> stops{0};
  if (s.empty() || !g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) {
    for (size_t i = 1; i <= codePointCount(s); ++i) stops.push_back(i);
    return stops;
  }
  size_t n = codePointCount(s);
  std::vector<PangoLogAttr> attrs(n + 1);
  pango_get_log_attrs(s.data(), static_cast<int>(s.size()), -1, pango_language_from_string("en"),
                      attrs.data(), static_cast<int>(attrs.size()));
  for (size_t i = 1; i < n; ++i) {
    if (attrs[i].is_cursor_position) stops.push_back(i);
  }
  stops.push_back(n);
  return stops;
}

// Upper-cases the first code point of `s` when it is a lower-case letter.
std::string capitalizeFirst(const std::string& s) {
  if (s.empty() || !g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gunichar c = g_utf8_get_char(s.data());
  if (!g_unichar_islower(c)) return s;
  char buffer[8];
  int length = g_unichar_to_utf8(g_unichar_toupper(c), buffer);
  return std::string(buffer, static_cast<size_t>(length)) + s.substr(byteOffset(s, 1));
}

std::string upperCase(const std::string& s) {
  if (!g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gchar* upper = g_utf8_strup(s.data(), static_cast<gssize>(s.size()));
  std::string result(upper);
  g_free(upper);
  return result;
}

double now() {
  Application* app = Application::shared();
  return app ? app->clock().now() : 0;
}

void markNeedsDisplay() {
  if (Application* app = Application::shared()) app->setNeedsDisplay();
}

}  // namespace

TextField::TextField(Size size) : Control(size) {}

TextField::~TextField() {
  Application* app = Application::shared();
  if (!app || app->firstResponder() != this) return;
  app->setFirstResponder(nullptr);
  if (Keyboard* keyboard = Keyboard::existing()) keyboard->hide();
  // Observers may be going away together with this field, so they hear of it on the next turn.
  app->post([] {
    Application* current = Application::shared();
    if (current && !current->firstResponder()) {
      NotificationCenter::defaultCenter().postNotificationName(KeyboardWillHideNotification,
                                                               nullptr);
    }
  });
}

void TextField::setText(const std::string& text) {
  revealUntil_ = -1;
  text_ = text;
  caret_ = codePointCount(text_);
  scrollToCaret();
  markNeedsDisplay();
}

bool TextField::isFirstResponder() const {
  Application* app = Application::shared();
  return app && app->firstResponder() == this;
}

bool TextField::becomeFirstResponder() {
  Application* app = Application::shared();
  if (!app) return false;
  if (app->firstResponder() == this) return true;
  if (TextField* previous = app->firstResponder()) {
    previous->endEditing();
    // An editing-did-end action handed the focus on itself; that choice stands.
    if (app->firstResponder()) return app->firstResponder() == this;
  }
  app->setFirstResponder(this);
  caret_ = codePointCount(text_);
  restartBlink();
  scrollToCaret();
  if (Keyboard* keyboard = Keyboard::shared()) keyboard->show(keyboardType);
  sendActionsForControlEvents(ControlEvent::EditingDidBegin);
  if (app->firstResponder() == this) {
    NotificationCenter::defaultCenter().postNotificationName(KeyboardWillShowNotification, nullptr);
  }
  markNeedsDisplay();
  return true;
}

bool TextField::resignFirstResponder() {
  Application* app = Application::shared();
  if (!app || app->firstResponder() != this) return true;
  endEditing();
  if (!app->firstResponder()) {
    if (Keyboard* keyboard = Keyboard::existing()) keyboard->hide();
    NotificationCenter::defaultCenter().postNotificationName(KeyboardWillHideNotification, nullptr);
  }
  return true;
}

void TextField::endEditing() {
  Application::shared()->setFirstResponder(nullptr);
  revealUntil_ = -1;
  scrollX_ = 0;
  markNeedsDisplay();
  sendActionsForControlEvents(ControlEvent::EditingDidEnd);
}

bool TextField::insertText(const std::string& text) {
  if (text.empty()) return false;
  std::string typed = text;
  if (autocapitalizationType == AutocapitalizationType::AllCharacters) {
    typed = upperCase(typed);
  } else if (capitalizesNextCharacter()) {
    typed = capitalizeFirst(typed);
  }
  if (!replace({caret_, 0}, typed)) return false;
  if (secureTextEntry && caretStops(typed).size() == 2) {
    // One character typed: it shows in clear for a moment, then as a bullet like the rest.
    revealed_ = displayCaret() - 1;
    revealUntil_ = now() + kSecureRevealDuration;
    Application::shared()->setNeedsDisplayAt(revealUntil_);
  }
  return true;
}

bool TextField::paste(const std::string& text) {
  std::string oneLine;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    oneLine += (text[i] == '\r' || text[i] == '\n') ? ' ' : text[i];
  }
  if (oneLine.empty()) return false;
  return replace({caret_, 0}, oneLine);
}

bool TextField::deleteBackward() {
  std::vector<size_t> stops = caretStops(text_);
  auto at = std::lower_bound(stops.begin(), stops.end(), caret_);
  size_t start = at == stops.begin() ? caret_ : *(at - 1);
  return replace({start, caret_ - start}, "");
}

void TextField::returnKey() {
  if (isFirstResponder() && delegate) delegate->textFieldShouldReturn(this);
}

bool TextField::replace(Range range, const std::string& replacement) {
  if (!isFirstResponder()) return false;
  if (delegate && !delegate->shouldChangeCharactersInRange(this, range, replacement)) return false;
  revealUntil_ = -1;
  // The delegate may have set the text meanwhile; the edit still lands inside it.
  size_t length = codePointCount(text_);
  size_t from = std::min(range.location, length);
  size_t to = std::min(range.location + range.length, length);
  text_ = substring(text_, 0, from) + replacement + substring(text_, to, length);
  caret_ = from + codePointCount(replacement);
  restartBlink();
  scrollToCaret();
  markNeedsDisplay();
  return true;
}

void TextField::setCaretPosition(size_t position) {
  revealUntil_ = -1;
  std::vector<size_t> stops = caretStops(text_);
  if (keepsCaretAtEnd) position = stops.back();
  auto nearest = std::min_element(stops.begin(), stops.end(), [position](size_t a, size_t b) {
    return std::llabs(static_cast<long long>(a) - static_cast<long long>(position)) <
           std::llabs(static_cast<long long>(b) - static_cast<long long>(position));
  });
  caret_ = *nearest;
  restartBlink();
  scrollToCaret();
  markNeedsDisplay();
}

bool TextField::capitalizesNextCharacter() const {
  std::string before = substring(text_, 0, caret_);
  size_t end = before.find_last_not_of(" \t");
  bool afterSpace = end == std::string::npos || end + 1 < before.size();
  switch (autocapitalizationType) {
    case AutocapitalizationType::None:
      return false;
    case AutocapitalizationType::AllCharacters:
      return true;
    case AutocapitalizationType::Words:
      return afterSpace;
    case AutocapitalizationType::Sentences:
      if (end == std::string::npos) return true;
      return afterSpace && (before[end] == '.' || before[end] == '!' || before[end] == '?');
  }
  return false;
}

bool TextField::isCaretVisible() const {
  if (!isFirstResponder()) return false;
  double phase = std::fmod(std::max(now() - caretEpoch_, 0.0), 2 * kCaretBlinkInterval);
  return phase < kCaretBlinkInterval;
}

void TextField::restartBlink() {
  caretEpoch_ = now();
}

void TextField::touchesBegan(const TouchSet&, const Event*) {}

void TextField::touchesEnded(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  if (!touch) return;
  Point p = touch->locationInView(this);
  if (!bounds().contains(p)) return;
  if (!becomeFirstResponder()) return;
  std::string shown = displayText();
  size_t index = codePointAtOffset(shown, font, p.x - textStartX());
  if (secureTextEntry) {
    // One bullet stands for one grapheme cluster.
    std::vector<size_t> stops = caretStops(text_);
    index = stops[std::min(index, stops.size() - 1)];
  }
  setCaretPosition(index);
}

std::string TextField::displayText() const {
  if (!secureTextEntry) return text_;
  std::vector<size_t> stops = caretStops(text_);
  bool revealing = now() < revealUntil_ && isFirstResponder();
  std::string shown;
  for (size_t i = 0; i + 1 < stops.size(); ++i) {
    shown += revealing && i == revealed_ ? substring(text_, stops[i], stops[i + 1]) : kBullet;
  }
  return shown;
}

size_t TextField::displayCaret() const {
  if (!secureTextEntry) return caret_;
  std::vector<size_t> stops = caretStops(text_);
  return static_cast<size_t>(std::lower_bound(stops.begin(), stops.end(), caret_) - stops.begin());
}

Rect TextField::textRect() const {
  double padding = borderStyle == BorderStyle::None ? kPlainPadding : kRoundedRectPadding;
  return {{padding, 0}, {std::max(size_.width - 2 * padding, 0.0), size_.height}};
}

double TextField::textStartX() const {
  Rect rect = textRect();
  std::string shown = displayText();
  if (textSize(shown, font).width <= rect.size.width - kCaretWidth) {
    return textLineStart(shown, font, textAlignment, rect);
  }
  return rect.minX() - scrollX_;
}

void TextField::scrollToCaret() {
  Rect rect = textRect();
  std::string shown = displayText();
  double width = textSize(shown, font).width;
  double room = rect.size.width - kCaretWidth;
  if (width <= room) {
    scrollX_ = 0;
    return;
  }
  double caretX = caretOffset(shown, font, displayCaret());
  if (caretX - scrollX_ > room) scrollX_ = caretX - room;
  if (caretX - scrollX_ < 0) scrollX_ = caretX;
  scrollX_ = std::clamp(scrollX_, 0.0, width - room);
}

void TextField::draw(cairo_t* cr) const {
  Rect box = bounds();
  switch (borderStyle) {
    case BorderStyle::RoundedRect: {
      // Drawn as one piece whatever the background colour: white with a thin grey edge.
      roundedRect(cr, {{0.5, 0.5}, {box.size.width - 1, box.size.height - 1}}, kRoundedRectRadius);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_fill_preserve(cr);
      cairo_set_source_rgb(cr, 0.62, 0.63, 0.66);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      break;
    }
    case BorderStyle::Line:
    case BorderStyle::Bezel:
      Control::draw(cr);
      cairo_rectangle(cr, 0.5, 0.5, box.size.width - 1, box.size.height - 1);
      if (borderStyle == BorderStyle::Line) {
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
      } else {
        cairo_set_source_rgb(cr, 0.5, 0.5, 0.52);
      }
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      break;
    case BorderStyle::None:
      Control::draw(cr);
      break;
  }

  Rect rect = textRect();
  cairo_save(cr);
  cairo_rectangle(cr, rect.minX() - 1, 0, rect.size.width + 2, box.size.height);
  cairo_clip(cr);
  double caretX;
  if (text_.empty()) {
    drawTextLine(cr, placeholder, font, kPlaceholderColor, textAlignment, rect);
    // An empty field's caret stands where the first character will go, whatever the placeholder.
    caretX = textLineStart("", font, textAlignment, rect);
    if (textAlignment == TextAlignment::Right) caretX = rect.maxX() - kCaretWidth;
  } else {
    std::string shown = displayText();
    double x = textStartX();
    Size size = textSize(shown, font);
    // A rect as wide as the text, so that it is scrolled and clipped rather than ellipsised.
    drawTextLine(cr, shown, font, textColor, TextAlignment::Left,
                 {{x, rect.minY()}, {size.width + 1, rect.size.height}});
    caretX = x + caretOffset(shown, font, displayCaret());
    if (caretX > rect.maxX() - kCaretWidth) caretX = rect.maxX() - kCaretWidth;
  }
  if (isFirstResponder()) {
    if (isCaretVisible()) {
      double height = std::min(textSize("", font).height, box.size.height - 4);
      cairo_rectangle(cr, std::round(caretX), (box.size.height - height) / 2, kCaretWidth, height);
      cairo_set_source_rgba(cr, kCaretColor.r, kCaretColor.g, kCaretColor.b, kCaretColor.a);
      cairo_fill(cr);
    }
    // Draw again when the caret next turns on or off.
    double elapsed = std::max(now() - caretEpoch_, 0.0);
    double next =
        caretEpoch_ + (std::floor(elapsed / kCaretBlinkInterval) + 1) * kCaretBlinkInterval;
    if (next != blinkRedraw_) {
      blinkRedraw_ = next;
      Application::shared()->setNeedsDisplayAt(next);
    }
  }
  cairo_restore(cr);
}

}  // namespace kit
