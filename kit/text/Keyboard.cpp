#include "kit/text/Keyboard.h"

#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "kit/graphics/Drawing.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/ui/Screen.h"

namespace kit {

namespace {

Keyboard* instance = nullptr;

constexpr double kTopPadding = 8;
constexpr double kBottomPadding = 6;
constexpr double kSideMargin = 6;
constexpr double kKeyGapX = 12;
constexpr double kKeyGapY = 10;
constexpr double kKeyRadius = 5;
constexpr double kRowUnits = 11.5;  // widths of a full row, in letter keys
constexpr double kPadKeyWidth = 180;

const Point kShownCenter{kScreenWidth / 2, kScreenHeight - kKeyboardHeight / 2};
const Point kAwayCenter{kScreenWidth / 2, kScreenHeight + kKeyboardHeight / 2};

using Kind = Keyboard::KeyKind;

// One entry of a row: a key, or a gap when the label is empty.
struct Cell {
  std::string label;
  double units;
  Kind kind = Kind::Character;
};

using Row = std::vector<Cell>;

std::vector<Cell> letters(const char* chars) {
  std::vector<Cell> cells;
  for (const char* c = chars; *c; ++c) cells.push_back({std::string(1, *c), 1});
  return cells;
}

Row join(std::initializer_list<std::vector<Cell>> parts) {
  Row row;
  for (const auto& part : parts) row.insert(row.end(), part.begin(), part.end());
  return row;
}

std::vector<Row> letterRows(KeyboardType type) {
  const Cell backspace{"backspace", 1.5, Kind::Backspace};
  const Cell shift{"shift", 1, Kind::Shift};
  const Cell wideShift{"shift", 1.5, Kind::Shift};
  std::vector<Cell> punctuation = type == KeyboardType::EmailAddress
                                      ? std::vector<Cell>{{"@", 1}, {".", 1}}
                                      : std::vector<Cell>{{",", 1}, {".", 1}};
  return {
      join({letters("qwertyuiop"), {backspace}}),
      join({{{"", 0.5}}, letters("asdfghjkl"), {{"return", 2, Kind::Return}}}),
      join({{shift}, letters("zxcvbnm"), punctuation, {wideShift}}),
      {{"123", 1.5, Kind::Symbols},
       {"space", 6.5, Kind::Space},
       {"123", 2, Kind::Symbols},
       {"hide", 1.5, Kind::Hide}},
  };
}

std::vector<Row> symbolRows() {
  auto keys = [](std::initializer_list<const char*> labels) {
    std::vector<Cell> cells;
    for (const char* label : labels) cells.push_back({label, 1});
    return cells;
  };
  return {
      join({keys({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"}),
            {{"backspace", 1.5, Kind::Backspace}}}),
      join({{{"", 0.5}},
            keys({"-", "/", ":", ";", "(", ")", "$", "&", "@"}),
            {{"return", 2, Kind::Return}}}),
      join({keys({"*", ".", ",", "?", "!", "'", "\"", "+", "=", "_"}), {{"#", 1.5}}}),
      {{"ABC", 1.5, Kind::Letters},
       {"space", 6.5, Kind::Space},
       {"ABC", 2, Kind::Letters},
       {"hide", 1.5, Kind::Hide}},
  };
}

bool isLetter(const std::string& label) {
  return label.size() == 1 && std::isalpha(static_cast<unsigned char>(label[0]));
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// --- drawing -------------------------------------------------------------------------------------

// The keycap: light keys type characters, darker ones do something; a pressed key lights up in
// blue so the finger's target is plain to see.
void drawKeyCap(cairo_t* cr, Rect r, bool light, bool pressed) {
  roundedRect(cr, {{r.minX(), r.minY() + 1}, r.size}, kKeyRadius);
  cairo_set_source_rgba(cr, 0.1, 0.12, 0.18, 0.45);
  cairo_fill(cr);
  roundedRect(cr, r, kKeyRadius);
  if (pressed) {
    setVerticalGradient(cr, r, Color::rgba(0.45, 0.62, 0.95), Color::rgba(0.25, 0.44, 0.85));
  } else if (light) {
    setVerticalGradient(cr, r, Color::rgba(0.99, 0.99, 1.0), Color::rgba(0.88, 0.89, 0.91));
  } else {
    setVerticalGradient(cr, r, Color::rgba(0.68, 0.71, 0.77), Color::rgba(0.56, 0.60, 0.67));
  }
  cairo_fill(cr);
}

void drawShiftIcon(cairo_t* cr, Point c, bool filled, Color color) {
  cairo_move_to(cr, c.x, c.y - 11);
  cairo_line_to(cr, c.x + 11, c.y + 1);
  cairo_line_to(cr, c.x + 5, c.y + 1);
  cairo_line_to(cr, c.x + 5, c.y + 10);
  cairo_line_to(cr, c.x - 5, c.y + 10);
  cairo_line_to(cr, c.x - 5, c.y + 1);
  cairo_line_to(cr, c.x - 11, c.y + 1);
  cairo_close_path(cr);
  setColor(cr, color);
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (filled) cairo_fill_preserve(cr);
  cairo_stroke(cr);
}

void drawBackspaceIcon(cairo_t* cr, Point c, Color color) {
  cairo_move_to(cr, c.x - 16, c.y);
  cairo_line_to(cr, c.x - 7, c.y - 10);
  cairo_line_to(cr, c.x + 15, c.y - 10);
  cairo_line_to(cr, c.x + 15, c.y + 10);
  cairo_line_to(cr, c.x - 7, c.y + 10);
  cairo_close_path(cr);
  setColor(cr, color);
  cairo_set_line_width(cr, 1.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  cairo_move_to(cr, c.x - 1, c.y - 5);
  cairo_line_to(cr, c.x + 9, c.y + 5);
  cairo_move_to(cr, c.x + 9, c.y - 5);
  cairo_line_to(cr, c.x - 1, c.y + 5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

// A small keyboard over a downward chevron.
void drawHideIcon(cairo_t* cr, Point c, Color color) {
  setColor(cr, color);
  cairo_set_line_width(cr, 1.4);
  roundedRect(cr, {{c.x - 15, c.y - 13}, {30, 18}}, 2.5);
  cairo_stroke(cr);
  for (int row = 0; row < 2; ++row) {
    for (int col = 0; col < 5; ++col) {
      cairo_rectangle(cr, c.x - 12 + col * 5, c.y - 10 + row * 5, 3, 3);
    }
  }
  cairo_rectangle(cr, c.x - 7, c.y, 14, 2.5);
  cairo_fill(cr);
  cairo_move_to(cr, c.x - 5, c.y + 9);
  cairo_line_to(cr, c.x, c.y + 13);
  cairo_line_to(cr, c.x + 5, c.y + 9);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

const char* padLetters(const std::string& digit) {
  static const char* const kLetters[] = {"",    "",    "ABC",  "DEF", "GHI",
                                         "JKL", "MNO", "PQRS", "TUV", "WXYZ"};
  if (digit.size() != 1 || !std::isdigit(static_cast<unsigned char>(digit[0]))) return "";
  return kLetters[digit[0] - '0'];
}

}  // namespace

Keyboard::Keyboard() : View({kScreenWidth, kKeyboardHeight}) {
  instance = this;
  setCenter(kAwayCenter);
  setHidden(true);
  layOut();
}

Keyboard::~Keyboard() {
  if (instance == this) instance = nullptr;
}

Keyboard* Keyboard::existing() {
  return instance;
}

Keyboard* Keyboard::shared(Screen& screen) {
  if (instance) return instance;
  return screen.keyboardLayer()->addSubview(std::make_unique<Keyboard>());
}

TextField* Keyboard::field() const {
  Screen* shown = screen();
  return shown ? dynamic_cast<TextField*>(shown->firstResponder()) : nullptr;
}

Rect Keyboard::frameOfKey(const std::string& label) {
  if (!instance || !instance->showing_) return {};
  Point origin = instance->frame().origin;
  for (const Key& key : instance->keys_) {
    bool match = key.label == label || (isLetter(label) && upper(key.label) == upper(label));
    if (match) return {{origin.x + key.frame.minX(), origin.y + key.frame.minY()}, key.frame.size};
  }
  return {};
}

void Keyboard::layOut() {
  setNeedsDisplay();
  keys_.clear();
  pressed_ = -1;
  double rowHeight = (kKeyboardHeight - kTopPadding - kBottomPadding - 3 * kKeyGapY) / 4;
  auto rowTop = [rowHeight](int row) { return kTopPadding + row * (rowHeight + kKeyGapY); };

  if (type_ == KeyboardType::NumberPad) {
    static const char* const kPad[4][3] = {
        {"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"hide", "0", "backspace"}};
    double left = (kScreenWidth - 3 * kPadKeyWidth - 2 * kKeyGapX) / 2;
    for (int row = 0; row < 4; ++row) {
      for (int col = 0; col < 3; ++col) {
        std::string label = kPad[row][col];
        Kind kind = label == "hide"        ? Kind::Hide
                    : label == "backspace" ? Kind::Backspace
                                           : Kind::Character;
        keys_.push_back(
            {label,
             kind,
             {{left + col * (kPadKeyWidth + kKeyGapX), rowTop(row)}, {kPadKeyWidth, rowHeight}}});
      }
    }
    return;
  }

  std::vector<Row> rows = page_ == Page::Symbols ? symbolRows() : letterRows(type_);
  double cell = (kScreenWidth - 2 * kSideMargin + kKeyGapX) / kRowUnits;
  for (size_t row = 0; row < rows.size(); ++row) {
    double x = kSideMargin;
    for (const Cell& c : rows[row]) {
      if (!c.label.empty()) {
        keys_.push_back(
            {c.label,
             c.kind,
             {{x, rowTop(static_cast<int>(row))}, {c.units * cell - kKeyGapX, rowHeight}}});
      }
      x += c.units * cell;
    }
  }
}

void Keyboard::show(KeyboardType type) {
  if (type != type_ || !showing_) {
    type_ = type;
    page_ = Page::Letters;
    shift_ = false;
    layOut();
  }
  if (showing_) return;
  showing_ = true;
  setHidden(false);
  beginAnimations("kit.keyboard.show", nullptr);
  setAnimationDuration(kKeyboardAnimationDuration);
  setCenter(kShownCenter);
  commitAnimations();
}

void Keyboard::hide() {
  if (!showing_) return;
  showing_ = false;
  pressed_ = -1;
  beginAnimations("kit.keyboard.hide", nullptr);
  setAnimationDuration(kKeyboardAnimationDuration);
  setAnimationDelegate(this);
  setAnimationDidStop([this](Object*, const std::string&, bool, void*) {
    if (!showing_) setHidden(true);
  });
  setCenter(kAwayCenter);
  commitAnimations();
}

bool Keyboard::isShifted() const {
  if (shift_) return true;
  TextField* typedInto = field();
  return typedInto && typedInto->capitalizesNextCharacter();
}

std::string Keyboard::pressedKey() const {
  return pressed_ >= 0 ? keys_[static_cast<size_t>(pressed_)].label : "";
}

int Keyboard::keyAt(Point p) const {
  // Each key owns half the gap around it, so a touch between two keys still types one.
  for (size_t i = 0; i < keys_.size(); ++i) {
    Rect f = keys_[i].frame;
    Rect area{{f.minX() - kKeyGapX / 2, f.minY() - kKeyGapY / 2},
              {f.size.width + kKeyGapX, f.size.height + kKeyGapY}};
    if (area.contains(p)) return static_cast<int>(i);
  }
  return -1;
}

void Keyboard::setPressed(int key) {
  if (key == pressed_) return;
  // Only the two keys change, each with its shadow.
  for (int changed : {pressed_, key}) {
    if (changed >= 0) setNeedsDisplay(keys_[static_cast<size_t>(changed)].frame.insetBy(-3, -3));
  }
  pressed_ = key;
}

void Keyboard::touchesBegan(const TouchSet& touches, const Event*) {
  if (const Touch* touch = touches.anyObject()) setPressed(keyAt(touch->locationInView(this)));
}

void Keyboard::touchesMoved(const TouchSet& touches, const Event*) {
  if (const Touch* touch = touches.anyObject()) setPressed(keyAt(touch->locationInView(this)));
}

void Keyboard::touchesEnded(const TouchSet& touches, const Event*) {
  const Touch* touch = touches.anyObject();
  int lifted = touch ? keyAt(touch->locationInView(this)) : -1;
  setPressed(-1);
  if (lifted >= 0 && showing_) press(keys_[static_cast<size_t>(lifted)]);
}

void Keyboard::press(const Key& pressedKey) {
  Key key = pressedKey;  // the layout may change under the reference
  TextField* field = this->field();
  switch (key.kind) {
    case Kind::Character:
      if (field) {
        bool shifted = isShifted();
        shift_ = false;
        field->insertText(shifted && isLetter(key.label) ? upper(key.label) : key.label);
      }
      break;
    case Kind::Space:
      if (field) field->insertText(" ");
      break;
    case Kind::Shift:
      shift_ = !shift_;
      break;
    case Kind::Backspace:
      if (field) field->deleteBackward();
      break;
    case Kind::Return:
      if (field) field->returnKey();
      break;
    case Kind::Symbols:
      page_ = Page::Symbols;
      layOut();
      break;
    case Kind::Letters:
      page_ = Page::Letters;
      layOut();
      break;
    case Kind::Hide:
      if (field) field->resignFirstResponder();
      break;
  }
  refreshCaps();
}

void Keyboard::refreshCaps() {
  if (isShifted() != drawnShifted_) setNeedsDisplay();
}

void Keyboard::draw(cairo_t* cr) const {
  Rect all = bounds();
  setVerticalGradient(cr, all, Color::rgba(0.78, 0.80, 0.84), Color::rgba(0.58, 0.61, 0.66));
  cairo_rectangle(cr, 0, 0, all.size.width, all.size.height);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 0, all.size.width, 1);
  cairo_set_source_rgb(cr, 0.38, 0.40, 0.45);
  cairo_fill(cr);

  const Color dark = Color::rgba(0.1, 0.1, 0.12);
  const Color white = Color::white();
  bool shifted = isShifted();
  drawnShifted_ = shifted;
  bool pad = type_ == KeyboardType::NumberPad;
  for (size_t i = 0; i < keys_.size(); ++i) {
    const Key& key = keys_[i];
    bool pressed = static_cast<int>(i) == pressed_;
    bool light = key.kind == Kind::Character || key.kind == Kind::Space ||
                 (key.kind == Kind::Shift && shifted);
    drawKeyCap(cr, key.frame, light, pressed);
    Color ink = pressed ? white : light ? dark : white;
    Point c = key.frame.center();
    switch (key.kind) {
      case Kind::Character: {
        std::string shown = shifted && isLetter(key.label) ? upper(key.label) : key.label;
        if (pad && key.label != "0") {
          Rect top{key.frame.origin, {key.frame.size.width, key.frame.size.height * 0.7}};
          drawTextLine(cr, shown, Font::systemFontOfSize(26), ink, TextAlignment::Center, top);
          Rect bottom{{key.frame.minX(), key.frame.minY() + key.frame.size.height * 0.55},
                      {key.frame.size.width, key.frame.size.height * 0.4}};
          drawTextLine(cr, padLetters(key.label), Font::boldSystemFontOfSize(10),
                       pressed ? white : Color::rgba(0.35, 0.36, 0.4), TextAlignment::Center,
                       bottom);
        } else {
          drawTextLine(cr, shown, Font::systemFontOfSize(pad ? 26 : 24), ink, TextAlignment::Center,
                       key.frame);
        }
        break;
      }
      case Kind::Shift:
        drawShiftIcon(cr, c, shifted, ink);
        break;
      case Kind::Backspace:
        drawBackspaceIcon(cr, c, ink);
        break;
      case Kind::Hide:
        drawHideIcon(cr, c, ink);
        break;
      case Kind::Return:
        drawTextLine(cr, "return", Font::systemFontOfSize(18), ink, TextAlignment::Center,
                     key.frame);
        break;
      case Kind::Symbols:
        drawTextLine(cr, ".?123", Font::systemFontOfSize(18), ink, TextAlignment::Center,
                     key.frame);
        break;
      case Kind::Letters:
        drawTextLine(cr, "ABC", Font::systemFontOfSize(18), ink, TextAlignment::Center, key.frame);
        break;
      case Kind::Space:
        break;
    }
  }
}

}  // namespace kit
