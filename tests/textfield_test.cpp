// Text fields: grapheme deletion through the delegate, and long texts, where only the text around
// the caret is laid out. What a visitor's typing leaves in the form's fields (edits, the text
// cleaned, focus moving, refused keys) is tried in the kiosk entry tests, what a password shows
// in the kiosk's screen tests.

#include "kit/text/TextField.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Window.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

using testing_support::Edit;

class TextFieldTest : public ::testing::Test {
 protected:
  TextFieldTest() {
    field = addField({384, 200});
    window->makeKeyAndVisible(h.app().screen());
  }

  TextField* addField(Point center) {
    auto* f = window->addSubview(std::make_unique<TextField>(Size{300, 40}));
    f->setCenter(center);
    f->setBorderStyle(BorderStyle::RoundedRect);
    f->delegate = &delegate;
    return f;
  }

  // Taps the field just after code point `index` of its text, or in its middle.
  void tapField(TextField* f, size_t index = std::string::npos) {
    double x = index == std::string::npos
                   ? f->frame().center().x
                   : f->frame().minX() + 8 + caretOffset(f->text(), f->font(), index) + 1;
    h.tap(x, f->frame().center().y);
  }

  Headless h;
  testing_support::RecordingDelegate delegate;
  std::unique_ptr<Window> window = std::make_unique<Window>();
  TextField* field;
};

TEST_F(TextFieldTest, BackspaceRemovesWholeGraphemeClusters) {
  const std::string accented = "e\xCC\x81";                      // e + combining acute
  const std::string flag = "\xF0\x9F\x87\xB3\xF0\x9F\x87\xB4";   // regional indicators N O
  const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // thumbs up, skin tone
  const std::string zwj = "\xE2\x80\x8D";
  const std::string family = "\xF0\x9F\x91\xA8" + zwj + "\xF0\x9F\x91\xA9" + zwj +
                             "\xF0\x9F\x91\xA7" + zwj + "\xF0\x9F\x91\xA6";
  field->setText("x" + accented + flag + thumb + family);
  field->becomeFirstResponder();
  for (int i = 0; i < 5; ++i) h.key("backspace");
  std::vector<Edit> deletions{{{7, 7}, ""}, {{5, 2}, ""}, {{3, 2}, ""}, {{1, 2}, ""}, {{0, 1}, ""}};
  EXPECT_EQ(delegate.edits, deletions);
  EXPECT_EQ(field->text(), "");

  // A tap never leaves the caret inside a cluster.
  field->setText(family + family);
  tapField(field, 7);
  EXPECT_EQ(field->caretPosition() % 7, 0u) << field->caretPosition();
}

TEST_F(TextFieldTest, LongTextScrollsToKeepTheCaretInsideTheField) {
  field->becomeFirstResponder();
  h.type("the quick brown fox jumps over the lazy dog and keeps on running far away");
  Rect box = field->frame();
  // The x of the blue caret along the field's middle row.
  auto caretX = [&] {
    h.shot("");
    for (double x = box.minX(); x < box.maxX(); ++x) {
      Color c = h.renderer().colorAt({x + 0.5, box.center().y});
      if (c.b > 0.8 && c.r < 0.4) return x;
    }
    return -1.0;
  };
  EXPECT_GT(caretX(), box.maxX() - 20);
  field->setCaretPosition(0);
  EXPECT_GT(caretX(), box.minX());
  EXPECT_LT(caretX(), box.minX() + 20);

  // Only the text around the caret is laid out, wherever it stands in a long text: the caret
  // shows with text on both sides of it, and a tap lands beside the character under the finger.
  std::string numbers;
  for (int i = 0; numbers.size() < 10000; ++i) numbers += std::to_string(i) + " ";
  field->setText(numbers);
  field->setCaretPosition(5000);
  h.type("W");
  EXPECT_EQ(field->caretPosition(), 5001u);
  EXPECT_GT(caretX(), box.minX());
  EXPECT_LT(caretX(), box.maxX());
  h.shot(testing_support::outputDirectory() + "/textfield_long_middle.png");
  double x = caretX();
  h.tap(x + 40, box.center().y);
  EXPECT_GT(field->caretPosition(), 5002u);
  EXPECT_LT(field->caretPosition(), 5015u);
  field->setCaretPosition(field->text().size());
  h.type("!");
  EXPECT_GT(caretX(), box.maxX() - 20);
  h.shot(testing_support::outputDirectory() + "/textfield_long_end.png");
}

}  // namespace
