// Text fields: edits through the delegate, grapheme deletion, the caret, focus and its events,
// and what secure entry draws.

#include "kit/TextField.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/Application.h"
#include "kit/NotificationCenter.h"
#include "kit/Renderer.h"
#include "kit/TextDrawing.h"
#include "kit/Window.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

struct Edit {
  Range range;
  std::string replacement;
  bool operator==(const Edit&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Edit& e) {
  return out << "{" << e.range.location << "," << e.range.length << " \"" << e.replacement << "\"}";
}

class RecordingDelegate : public TextFieldDelegate {
 public:
  bool shouldChangeCharactersInRange(TextField*, Range range, const std::string& s) override {
    edits.push_back({range, s});
    return accepts;
  }
  bool textFieldShouldReturn(TextField*) override {
    ++returns;
    return true;
  }
  std::vector<Edit> edits;
  bool accepts = true;
  int returns = 0;
};

// Writes down focus events and keyboard notifications in the order they happen.
class EventLog : public Object {
 public:
  EventLog() {
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        this, [this](const Notification&) { lines.push_back("show"); },
        KeyboardWillShowNotification, nullptr);
    center.addObserver(
        this, [this](const Notification&) { lines.push_back("hide"); },
        KeyboardWillHideNotification, nullptr);
  }
  void watch(TextField* field, const std::string& name) {
    field->addAction([this, name] { lines.push_back(name + " begin"); },
                     ControlEvent::EditingDidBegin);
    field->addAction([this, name] { lines.push_back(name + " end"); }, ControlEvent::EditingDidEnd);
  }
  std::vector<std::string> lines;
};

class TextFieldTest : public ::testing::Test {
 protected:
  TextFieldTest() {
    field = addField({384, 200});
    window->makeKeyAndVisible();
  }

  TextField* addField(Point center, Size size = {300, 40}) {
    auto* f = window->addSubview(std::make_unique<TextField>(size));
    f->setCenter(center);
    f->borderStyle = BorderStyle::RoundedRect;
    f->delegate = &delegate;
    return f;
  }

  // The screen x of the caret stop before code point `index` of the field's text.
  double xOfIndex(TextField* f, size_t index) {
    return f->frame().minX() + 8 + caretOffset(f->text(), f->font, index);
  }

  void tapField(TextField* f) { h.tap(f->frame().center().x, f->frame().center().y); }

  Headless h;
  RecordingDelegate delegate;
  std::unique_ptr<Window> window = std::make_unique<Window>();
  TextField* field;
};

TEST_F(TextFieldTest, TypingDeletingAndPastingAskTheDelegateWithRangeAndReplacement) {
  field->autocapitalizationType = AutocapitalizationType::None;
  tapField(field);
  ASSERT_TRUE(field->isFirstResponder());

  h.type("abc");
  h.key("backspace");
  h.paste("xyz");
  EXPECT_EQ(field->text(), "abxyz");
  EXPECT_EQ(field->caretPosition(), 5u);
  std::vector<Edit> atEnd{
      {{0, 0}, "a"}, {{1, 0}, "b"}, {{2, 0}, "c"}, {{2, 1}, ""}, {{2, 0}, "xyz"}};
  EXPECT_EQ(delegate.edits, atEnd);

  // In the middle: the tap puts the caret between "ab" and "xyz".
  delegate.edits.clear();
  h.tap(xOfIndex(field, 2) + 1, field->frame().center().y);
  EXPECT_EQ(field->caretPosition(), 2u);
  h.type("Q");
  h.key("backspace");
  h.key("backspace");
  h.paste("12");
  std::vector<Edit> inMiddle{{{2, 0}, "Q"}, {{2, 1}, ""}, {{1, 1}, ""}, {{1, 0}, "12"}};
  EXPECT_EQ(delegate.edits, inMiddle);
  EXPECT_EQ(field->text(), "a12xyz");
  EXPECT_EQ(field->caretPosition(), 3u);

  // A paste of several lines is still one edit, on one line.
  delegate.edits.clear();
  h.paste("one\ntwo");
  ASSERT_EQ(delegate.edits.size(), 1u);
  EXPECT_EQ(delegate.edits[0], (Edit{{3, 0}, "one two"}));

  // Return goes to the delegate and changes nothing.
  h.key("return");
  EXPECT_EQ(delegate.returns, 1);
  EXPECT_EQ(field->text(), "a12one twoxyz");
}

TEST_F(TextFieldTest, RefusedEditsLeaveTextCaretAndDelegateAlone) {
  field->setText("hello");
  tapField(field);
  h.tap(xOfIndex(field, 2) + 1, field->frame().center().y);
  ASSERT_EQ(field->caretPosition(), 2u);
  delegate.accepts = false;

  h.type("x");
  h.key("backspace");
  h.paste("yy");
  EXPECT_EQ(field->text(), "hello");
  EXPECT_EQ(field->caretPosition(), 2u);
  std::vector<Edit> asked{{{2, 0}, "x"}, {{1, 1}, ""}, {{2, 0}, "yy"}};
  EXPECT_EQ(delegate.edits, asked);
  EXPECT_EQ(delegate.returns, 0);

  // Without the keyboard nothing is asked at all.
  field->resignFirstResponder();
  EXPECT_FALSE(field->insertText("z"));
  EXPECT_FALSE(field->deleteBackward());
  EXPECT_EQ(delegate.edits.size(), 3u);
}

TEST_F(TextFieldTest, BackspaceRemovesWholeGraphemeClusters) {
  const std::string accented = "e\xCC\x81";                      // e + combining acute
  const std::string flag = "\xF0\x9F\x87\xB3\xF0\x9F\x87\xB4";   // regional indicators N O
  const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs up, skin tone
  const std::string zwj = "\xE2\x80\x8D";
  const std::string family = "\xF0\x9F\x91\xA8" + zwj + "\xF0\x9F\x91\xA9" + zwj +
                             "\xF0\x9F\x91\xA7" + zwj + "\xF0\x9F\x91\xA6";
  field->setText("x" + accented + flag + thumb + family);
  field->becomeFirstResponder();
  ASSERT_EQ(field->caretPosition(), 1u + 2 + 2 + 2 + 7);

  for (int i = 0; i < 5; ++i) h.key("backspace");
  std::vector<Edit> deletions{{{7, 7}, ""}, {{5, 2}, ""}, {{3, 2}, ""}, {{1, 2}, ""}, {{0, 1}, ""}};
  EXPECT_EQ(delegate.edits, deletions);
  EXPECT_EQ(field->text(), "");

  // A tap never leaves the caret inside a cluster.
  field->setText(family + family);
  h.tap(xOfIndex(field, 7) + 1, field->frame().center().y);
  EXPECT_TRUE(field->caretPosition() == 7u || field->caretPosition() == 14u ||
              field->caretPosition() == 0u)
      << field->caretPosition();
}

TEST_F(TextFieldTest, SentencesAreCapitalisedBeforeTheDelegateIsAsked) {
  field->becomeFirstResponder();
  h.type("hi. yo! ok");
  EXPECT_EQ(field->text(), "Hi. Yo! Ok");
  EXPECT_EQ(delegate.edits[0], (Edit{{0, 0}, "H"}));
  EXPECT_EQ(delegate.edits[4], (Edit{{4, 0}, "Y"}));

  // Not inside a word or after a point with no space; a paste is left as it is.
  field->setText("");
  h.type("a.b");
  h.paste(" c");
  EXPECT_EQ(field->text(), "A.b c");

  TextField* plain = addField({384, 300});
  plain->autocapitalizationType = AutocapitalizationType::None;
  plain->becomeFirstResponder();
  h.type("m. x");
  EXPECT_EQ(plain->text(), "m. x");
}

TEST_F(TextFieldTest, CaretBlinksOnTheApplicationClockAndShowsAgainOnEachEdit) {
  field->becomeFirstResponder();
  EXPECT_TRUE(field->isCaretVisible());
  h.wait(0.45);
  EXPECT_TRUE(field->isCaretVisible());
  h.wait(0.1);
  EXPECT_FALSE(field->isCaretVisible());
  h.type("a");
  EXPECT_TRUE(field->isCaretVisible());
  h.wait(0.55);
  EXPECT_FALSE(field->isCaretVisible());
  h.wait(0.5);
  EXPECT_TRUE(field->isCaretVisible());

  // A drawn caret wakes the run loop when it next turns on or off.
  h.wait(0.3);
  h.type("b");
  double typedAt = h.clock().now();
  h.shot("");
  h.app().didDisplay();
  EXPECT_NEAR(h.app().nextWakeTime(), typedAt + kCaretBlinkInterval, 1e-9);

  field->resignFirstResponder();
  EXPECT_FALSE(field->isCaretVisible());
}

TEST_F(TextFieldTest, FocusMovesWithDidEndBeforeDidBeginAndOneShowPerMove) {
  TextField* second = addField({384, 300});
  EventLog log;
  log.watch(field, "first");
  log.watch(second, "second");

  tapField(field);
  tapField(second);
  EXPECT_FALSE(field->isFirstResponder());
  EXPECT_TRUE(second->isFirstResponder());
  EXPECT_EQ(h.app().firstResponder(), second);
  field->becomeFirstResponder();
  h.key("hide");
  EXPECT_EQ(h.app().firstResponder(), nullptr);
  // Nothing holds the keyboard: resigning again says nothing.
  second->resignFirstResponder();
  // Taking it twice is one event.
  second->becomeFirstResponder();
  second->becomeFirstResponder();

  std::vector<std::string> expected{"first begin",  "show",                  // show
                                    "first end",    "second begin", "show",  // move
                                    "second end",   "first begin",  "show",  // move back by call
                                    "first end",    "hide",                  // hide key
                                    "second begin", "show"};
  EXPECT_EQ(log.lines, expected);
}

TEST_F(TextFieldTest, AFieldDestroyedWithTheKeyboardGivesItUpSafely) {
  EventLog log;
  field->becomeFirstResponder();
  field->removeFromSuperview();
  EXPECT_EQ(h.app().firstResponder(), nullptr);
  h.type("abc");
  h.key("backspace");
  h.wait(0.3);
  std::vector<std::string> expected{"show", "hide"};
  EXPECT_EQ(log.lines, expected);
}

// The pixels of a rect of the last rendered screen.
std::vector<uint32_t> pixelsIn(Headless& h, Rect r) {
  const Renderer& renderer = h.renderer();
  std::vector<uint32_t> result;
  for (int y = static_cast<int>(r.minY()); y < static_cast<int>(r.maxY()); ++y) {
    auto row = reinterpret_cast<const uint32_t*>(renderer.pixels() + y * renderer.stride());
    for (int x = static_cast<int>(r.minX()); x < static_cast<int>(r.maxX()); ++x) {
      result.push_back(row[x]);
    }
  }
  return result;
}

TEST_F(TextFieldTest, SecureEntryDrawsBulletsAndNoTypedCharacter) {
  field->secureTextEntry = true;
  Rect box = field->frame();
  std::string dir = testing_support::outputDirectory();

  h.shot(dir + "/textfield_secure_empty.png");
  auto empty = pixelsIn(h, box);
  field->setText("WMWM");
  h.shot(dir + "/textfield_secure_WMWM.png");
  auto secret = pixelsIn(h, box);
  field->setText("il.,");
  h.shot("");
  auto otherSecret = pixelsIn(h, box);
  field->secureTextEntry = false;
  field->setText("WMWM");
  h.shot(dir + "/textfield_plain_WMWM.png");
  auto plain = pixelsIn(h, box);

  EXPECT_NE(secret, empty) << "bullets are drawn";
  EXPECT_EQ(secret, otherSecret) << "only the number of characters shows";
  EXPECT_NE(secret, plain);

  // Typing into a secure field asks the delegate with the real characters.
  field->secureTextEntry = true;
  field->setText("");
  field->becomeFirstResponder();
  h.type("pw");
  EXPECT_EQ(field->text(), "Pw");
}

TEST_F(TextFieldTest, LongTextScrollsToKeepTheCaretInsideTheField) {
  field->autocapitalizationType = AutocapitalizationType::None;
  field->becomeFirstResponder();
  h.type("the quick brown fox jumps over the lazy dog and keeps on running far away");
  Rect box = field->frame();
  auto caretColumns = [&] {
    h.shot("");
    std::vector<int> columns;
    for (int x = static_cast<int>(box.minX()); x < static_cast<int>(box.maxX()); ++x) {
      Color c = h.renderer().colorAt({x + 0.5, box.center().y});
      if (c.b > 0.8 && c.r < 0.4) columns.push_back(x);
    }
    return columns;
  };
  auto atEnd = caretColumns();
  ASSERT_FALSE(atEnd.empty());
  EXPECT_GT(atEnd.front(), box.maxX() - 20);
  EXPECT_LE(atEnd.back(), box.maxX());
  h.shot(testing_support::outputDirectory() + "/textfield_scrolled.png");

  field->setCaretPosition(0);
  auto atStart = caretColumns();
  ASSERT_FALSE(atStart.empty());
  EXPECT_LT(atStart.front(), box.minX() + 20);
}

}  // namespace
