#include "kit/text/TextField.h"

#include <cairo.h>
#include <pango/pango.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kit/base/NotificationCenter.h"
#include "kit/base/Utf8.h"
#include "kit/graphics/Drawing.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/text/Keyboard.h"
#include "kit/ui/Screen.h"

namespace kit {

namespace {

constexpr double kRoundedRectRadius = 6;
constexpr double kRoundedRectPadding = 8;
// A borderless field usually lies on a box of its own or of a picture under it: its text keeps
// clear of the box's edge.
constexpr double kPlainPadding = 6;
const Color kPlaceholderColor = Color::rgba(0.7, 0.7, 0.72);
const char* const kBullet = "\xE2\x97\x8F";  // U+25CF, a black circle

// Characters laid out beyond each side of what must show: more than two field widths of the
// narrowest glyphs.
constexpr size_t kShownMargin = 160;

// The part of the text that is laid out: characters [start, end) as drawn. Secure entry draws
// one bullet for each grapheme cluster, or the cluster itself while it is revealed.
struct Shown {
  std::string text;
  size_t start = 0, end = 0;
  bool secure = false;
  // Secure entry: the text position of each cluster's start (and the end), and the index in
  // `text` where it is drawn.
  std::vector<size_t> stops, offsets;

  // The index in `text` of a text position inside the shown part, and back.
  size_t indexOf(size_t position) const {
    position = std::clamp(position, start, end);
    if (!secure) return position - start;
    auto k = std::lower_bound(stops.begin(), stops.end(), position) - stops.begin();
    return offsets[std::min(static_cast<size_t>(k), offsets.size() - 1)];
  }
  size_t positionOf(size_t index) const {
    if (!secure) return std::min(start + index, end);
    auto k = std::upper_bound(offsets.begin(), offsets.end(), index) - offsets.begin();
    return stops[k > 0 ? static_cast<size_t>(k) - 1 : 0];
  }
};

// The text around characters [from, to]; `revealed` is the start of a cluster secure entry
// shows in clear, or npos.
Shown shownAround(const TextBuffer& buffer, bool secure, size_t from, size_t to,
                  size_t revealed = std::string::npos) {
  Shown shown;
  shown.secure = secure;
  shown.start = from > kShownMargin ? buffer.previousStop(from - kShownMargin + 1) : 0;
  shown.end = to + kShownMargin < buffer.length() ? buffer.nextStop(to + kShownMargin - 1)
                                                  : buffer.length();
  if (!secure) {
    shown.text = buffer.substring({shown.start, shown.end - shown.start});
    return shown;
  }
  shown.stops = buffer.stops({shown.start, shown.end - shown.start});
  size_t offset = 0;
  for (size_t i = 0; i < shown.stops.size(); ++i) {
    shown.offsets.push_back(offset);
    if (i + 1 == shown.stops.size()) break;
    if (shown.stops[i] == revealed) {
      Range cluster{shown.stops[i], shown.stops[i + 1] - shown.stops[i]};
      shown.text += buffer.substring(cluster);
      offset += cluster.length;
    } else {
      shown.text += kBullet;
      offset += 1;
    }
  }
  return shown;
}

// Upper-cases the first code point of `s` when it is a lower-case letter.
std::string capitalizeFirst(const std::string& s) {
  if (s.empty() || !g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gunichar c = g_utf8_get_char(s.data());
  if (!g_unichar_islower(c)) return s;
  char buffer[8];
  int length = g_unichar_to_utf8(g_unichar_toupper(c), buffer);
  return std::string(buffer, static_cast<size_t>(length)) + s.substr(utf8::byteOffset(s, 1));
}

std::string upperCase(const std::string& s) {
  if (!g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gchar* upper = g_utf8_strup(s.data(), static_cast<gssize>(s.size()));
  std::string result(upper);
  g_free(upper);
  return result;
}

}  // namespace

TextField::TextField(Size size) : Control(size) {}

void TextField::changed() {
  setNeedsDisplay();
  // The keyboard's caps follow the field (a capital wanted after a space, say).
  if (Keyboard* keyboard = Keyboard::existing()) keyboard->refreshCaps();
}

TextField::TextField(Size size, LineBreaks lineBreaks) : Control(size), buffer_(lineBreaks) {}

TextField::~TextField() {
  Screen* screen = focusScreen();
  if (!screen || screen->firstResponder() != this) return;
  screen->setFirstResponder(nullptr);
  if (Keyboard* keyboard = Keyboard::existing()) keyboard->hide();
  // Observers may be going away together with this field, so they hear of it on the next turn.
  screen->runLoop().post([screen, alive = screen->weakReference()] {
    if (!alive.expired() && !screen->firstResponder()) {
      NotificationCenter::defaultCenter().postNotificationName(KeyboardWillHideNotification,
                                                               nullptr);
    }
  });
}

Screen* TextField::focusScreen() const {
  if (Screen* shown = screen()) return shown;
  return focusScreenAlive_.expired() ? nullptr : focusScreen_;
}

double TextField::now() const {
  Screen* screen = focusScreen();
  return screen ? screen->clock().now() : 0;
}

struct TextField::Placement {
  Shown shown;
  std::unique_ptr<TextLine> line;
  double x = 0;  // where the shown text starts, in the field
};

void TextField::setText(const std::string& text) {
  revealUntil_ = -1;
  buffer_.setText(text);
  scrollToCaret();
  changed();
}

bool TextField::isFirstResponder() const {
  Screen* screen = focusScreen();
  return screen && screen->firstResponder() == this;
}

bool TextField::becomeFirstResponder() {
  Screen* screen = this->screen();
  if (!screen) return false;
  if (screen->firstResponder() == this) return true;
  if (auto* previous = dynamic_cast<TextField*>(screen->firstResponder())) {
    previous->endEditing();
    // An editing-did-end action handed the focus on itself; that choice stands.
    if (screen->firstResponder()) return screen->firstResponder() == this;
  }
  screen->setFirstResponder(this);
  focusScreen_ = screen;
  focusScreenAlive_ = screen->weakReference();
  buffer_.setCaret(buffer_.length());
  restartBlink();
  scrollToCaret();
  Keyboard::shared(*screen)->show(keyboardType);
  sendActionsForControlEvents(ControlEvent::EditingDidBegin);
  if (screen->firstResponder() == this) {
    NotificationCenter::defaultCenter().postNotificationName(KeyboardWillShowNotification, nullptr);
  }
  changed();
  return true;
}

bool TextField::resignFirstResponder() {
  Screen* screen = focusScreen();
  if (!screen || screen->firstResponder() != this) return true;
  endEditing();
  if (!screen->firstResponder()) {
    if (Keyboard* keyboard = Keyboard::existing()) keyboard->hide();
    NotificationCenter::defaultCenter().postNotificationName(KeyboardWillHideNotification, nullptr);
  }
  return true;
}

void TextField::endEditing() {
  if (Screen* screen = focusScreen()) screen->setFirstResponder(nullptr);
  revealUntil_ = -1;
  scrollAnchor_ = 0;
  scrollX_ = 0;
  changed();
  sendActionsForControlEvents(ControlEvent::EditingDidEnd);
}

bool TextField::insertText(const std::string& text) {
  std::string typed = buffer_.cleaned(text);
  if (typed.empty()) return false;
  if (autocapitalizationType == AutocapitalizationType::AllCharacters) {
    typed = upperCase(typed);
  } else if (capitalizesNextCharacter()) {
    typed = capitalizeFirst(typed);
  }
  if (!replace({buffer_.caret(), 0}, typed)) return false;
  TextBuffer one;
  one.setText(typed);
  if (secureTextEntry_ && one.nextStop(0) == one.length()) {
    // One character typed: it shows in clear for a moment, then as a bullet like the rest.
    revealed_ = buffer_.previousStop(buffer_.caret());
    revealUntil_ = now() + kSecureRevealDuration;
    if (Screen* screen = focusScreen()) screen->setNeedsDisplayAt(revealUntil_, *this, bounds());
  }
  return true;
}

bool TextField::paste(const std::string& text) {
  std::string oneLine = buffer_.cleaned(text);
  if (oneLine.empty()) return false;
  return replace({buffer_.caret(), 0}, oneLine);
}

bool TextField::deleteBackward() {
  size_t caret = buffer_.caret();
  size_t start = buffer_.previousStop(caret);
  return replace({start, caret - start}, "");
}

void TextField::returnKey() {
  if (isFirstResponder() && delegate) delegate->textFieldShouldReturn(this);
}

bool TextField::isShown() const {
  for (const View* view = this; view; view = view->superview()) {
    if (view->isHidden() || view->alpha() < 0.01) return false;
  }
  return true;
}

bool TextField::replace(Range range, const std::string& replacement) {
  // A field on a screen turned away keeps the keyboard for a moment (until a transition ends);
  // keys typed then must not land in text nobody sees.
  if (!isFirstResponder() || !isShown()) return false;
  if (delegate && !delegate->shouldChangeCharactersInRange(this, range, replacement)) return false;
  revealUntil_ = -1;
  // The delegate may have set the text meanwhile; the edit still lands inside it.
  buffer_.replace(range, replacement);
  restartBlink();
  scrollToCaret();
  changed();
  sendActionsForControlEvents(ControlEvent::EditingChanged);
  return true;
}

void TextField::setCaretPosition(size_t position) {
  revealUntil_ = -1;
  buffer_.setCaret(keepsCaretAtEnd ? buffer_.length() : position);
  restartBlink();
  scrollToCaret();
  changed();
}

bool TextField::capitalizesNextCharacter() const {
  std::string_view before =
      std::string_view(buffer_.text()).substr(0, buffer_.byteOffset(buffer_.caret()));
  size_t end = before.find_last_not_of(" \n");
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
      if (before.find('\n', end + 1) != std::string::npos) return true;  // a new line
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
  Placement at = placement();
  setCaretPosition(at.shown.positionOf(at.line->codePointAtOffset(p.x - at.x)));
}

Rect TextField::textRect() const {
  double padding = borderStyle_ == BorderStyle::None ? kPlainPadding : kRoundedRectPadding;
  return {{padding, 0}, {std::max(size_.width - 2 * padding, 0.0), size_.height}};
}

TextField::Placement TextField::placement() const {
  Rect rect = textRect();
  size_t anchor = std::min(scrollAnchor_, buffer_.length());
  bool revealing = now() < revealUntil_ && isFirstResponder();
  Placement at{shownAround(buffer_, secureTextEntry_, anchor, anchor,
                           revealing ? revealed_ : std::string::npos),
               nullptr, 0};
  at.line = std::make_unique<TextLine>(at.shown.text, font_);
  double width = at.line->size().width;
  if (at.shown.start == 0 && at.shown.end == buffer_.length() &&
      width <= rect.size.width - kCaretWidth) {
    at.x = textLineStart(at.shown.text, font_, textAlignment_, rect);
  } else {
    at.x = rect.minX() - at.line->caretOffset(at.shown.indexOf(anchor)) - scrollX_;
  }
  return at;
}

void TextField::scrollToCaret() {
  const size_t caret = buffer_.caret();
  const size_t anchor = std::min(scrollAnchor_, buffer_.length());
  const double room = textRect().size.width - kCaretWidth;
  // A left edge far from the caret has nothing to say about where the caret will show.
  const bool anchorNear = (anchor < caret ? caret - anchor : anchor - caret) <= kShownMargin;
  Shown shown = anchorNear ? shownAround(buffer_, secureTextEntry_, std::min(anchor, caret),
                                         std::max(anchor, caret))
                           : shownAround(buffer_, secureTextEntry_, caret, caret);
  TextLine line(shown.text, font_);
  double width = line.size().width;
  if (shown.start == 0 && shown.end == buffer_.length() && width <= room) {
    scrollAnchor_ = 0;
    scrollX_ = 0;
    return;
  }
  // The left edge in the shown text's coordinates, moved just enough to show the caret.
  double caretX = line.caretOffset(shown.indexOf(caret));
  double left = anchorNear ? line.caretOffset(shown.indexOf(anchor)) + scrollX_
                           : (anchor < caret ? caretX - room : caretX);
  if (caretX - left > room) left = caretX - room;
  if (caretX < left) left = caretX;
  if (shown.end == buffer_.length()) left = std::min(left, width - room);
  if (shown.start == 0) left = std::max(left, 0.0);
  // Held by the character at the edge, so that what is drawn later need not reach back further.
  size_t index = line.codePointAtOffset(left);
  while (index > 0 && line.caretOffset(index) > left) --index;
  scrollAnchor_ = shown.positionOf(index);
  scrollX_ = left - line.caretOffset(index);
}

void TextField::draw(cairo_t* cr) const {
  Rect box = bounds();
  switch (borderStyle_) {
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
      if (borderStyle_ == BorderStyle::Line) {
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
  if (buffer_.text().empty()) {
    drawTextLine(cr, placeholder_, font_, kPlaceholderColor, textAlignment_, rect);
    // An empty field's caret stands where the first character will go, whatever the placeholder.
    caretX = textLineStart("", font_, textAlignment_, rect);
    if (textAlignment_ == TextAlignment::Right) caretX = rect.maxX() - kCaretWidth;
  } else {
    Placement at = placement();
    // A rect as wide as the text, so that it is scrolled and clipped rather than ellipsised.
    drawTextLine(cr, at.shown.text, font_, textColor_, TextAlignment::Left,
                 {{at.x, rect.minY()}, {at.line->size().width + 1, rect.size.height}});
    size_t caret = buffer_.caret();
    caretX =
        caret > at.shown.end ? rect.maxX() : at.x + at.line->caretOffset(at.shown.indexOf(caret));
    if (caretX > rect.maxX() - kCaretWidth) caretX = rect.maxX() - kCaretWidth;
  }
  if (isFirstResponder()) {
    double height = std::min(textSize("", font_).height, box.size.height - 4);
    caretRect_ = {{std::round(caretX), (box.size.height - height) / 2}, {kCaretWidth, height}};
    if (isCaretVisible()) {
      cairo_rectangle(cr, caretRect_.minX(), caretRect_.minY(), kCaretWidth, height);
      cairo_set_source_rgba(cr, kCaretColor.r, kCaretColor.g, kCaretColor.b, kCaretColor.a);
      cairo_fill(cr);
    }
    scheduleCaretBlink();
  }
  cairo_restore(cr);
}

void TextField::scheduleCaretBlink() const {
  double elapsed = std::max(now() - caretEpoch_, 0.0);
  double next = caretEpoch_ + (std::floor(elapsed / kCaretBlinkInterval) + 1) * kCaretBlinkInterval;
  if (next != blinkRedraw_) {
    blinkRedraw_ = next;
    // Only the caret's few pixels change, where it was last drawn.
    if (Screen* screen = focusScreen()) screen->setNeedsDisplayAt(next, *this, caretRect_);
  }
}

}  // namespace kit
