// The text model under the editing views: UTF-8 decoding and cleaning, edits by range with the
// caret, and grapheme stops, also far into long texts.

#include "kit/text/TextBuffer.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>

#include "kit/base/Utf8.h"

using kit::LineBreaks;
using kit::TextBuffer;
using namespace std::string_literals;

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(Utf8, DecodingAgreesWithGLibAndCleaningMakesEveryInputValid) {
  struct Case {
    std::string bytes;
    bool valid;
    std::string asSingleLine;  // TextBuffer::cleaned with line breaks as spaces
  } cases[] = {
      {"plain ascii", true, "plain ascii"},
      {"J\xC3\xB6rg \xE2\x82\xAC \xF0\x9F\x91\x8D", true,
       "J\xC3\xB6rg \xE2\x82\xAC \xF0\x9F\x91\x8D"},
      {"J\xF6rg", false, "J" + kFFFD + "rg"},                      // Latin-1
      {"\xC0\xAF", false, kFFFD + kFFFD},                          // overlong "/"
      {"\xED\xA0\x80", false, kFFFD + kFFFD + kFFFD},              // a surrogate
      {"\xF4\x90\x80\x80", false, kFFFD + kFFFD + kFFFD + kFFFD},  // past U+10FFFF
      {"ab\xE2\x82", false, "ab" + kFFFD + kFFFD},                 // cut short
      {"\x80x", false, kFFFD + "x"},                               // a stray continuation byte
      {"a\0b\x01\x1B\x7F"s, true, "ab"},                           // C0 controls and DEL
      {"a\xC2\x85\xC2\x9F"
       "b",
       true, "ab"},  // C1 controls
      {"one\r\ntwo\rthree\nfour\tfive", true, "one two three four five"},
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9",
       true, "a b "},  // line and paragraph separators
  };
  TextBuffer singleLine, lines(LineBreaks::Kept);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(kit::utf8::isValid(c.bytes), c.valid);
    if (c.bytes.find('\0') == std::string::npos) {
      EXPECT_EQ(kit::utf8::isValid(c.bytes),
                g_utf8_validate(c.bytes.data(), static_cast<gssize>(c.bytes.size()), nullptr));
    }
    std::string cleaned = singleLine.cleaned(c.bytes);
    EXPECT_EQ(cleaned, c.asSingleLine);
    EXPECT_TRUE(kit::utf8::isValid(cleaned));
    if (c.valid) {
      EXPECT_EQ(kit::utf8::makeValid(c.bytes), c.bytes);
    }
  }
  EXPECT_EQ(lines.cleaned("one\r\ntwo\rthree\n\tfour"), "one\ntwo\nthree\n four");
  EXPECT_EQ(kit::utf8::characterCount("J\xC3\xB6rg \xF0\x9F\x91\x8D"), 6u);
  EXPECT_EQ(kit::utf8::byteOffset("J\xC3\xB6rg", 2), 3u);
  EXPECT_EQ(kit::utf8::byteOffset("J\xC3\xB6rg", 9), 5u);
}

TEST(TextBuffer, ReplaceClampsTheRangeCleansTheTextAndMovesTheCaret) {
  TextBuffer b;
  b.setText("h\xC3\xA9llo\n");
  EXPECT_EQ(b.text(), "h\xC3\xA9llo ");
  EXPECT_EQ(b.length(), 6u);
  EXPECT_EQ(b.caret(), 6u);
  struct Case {
    kit::Range range;
    std::string inserted;
    std::string text;
    size_t caret;
  } cases[] = {
      {{1, 1}, "e", "hello ", 2},
      {{5, 1}, "\xF6", "hello" + kFFFD, 6},
      {{0, 0}, "\0\t"s, " hello" + kFFFD, 1},
      {{3, 100}, "", " he", 3},
      {{100, 5}, "!", " he!", 4},
      {{0, 4}, "", "", 0},
      // Typed one after the other: the next goes after the whole of a multi-byte character.
      {{0, 0}, "\xC3\xA9", "\xC3\xA9", 1},
      {{1, 0}, "t", "\xC3\xA9t", 2},
  };
  for (const Case& c : cases) {
    kit::Range range = b.replace(c.range, c.inserted);
    EXPECT_EQ(b.text(), c.text);
    EXPECT_EQ(b.caret(), c.caret);
    EXPECT_EQ(range.end(), c.caret);
    EXPECT_EQ(b.length(), kit::utf8::characterCount(c.text));
  }
}

TEST(TextBuffer, GraphemeStopsHoldAnywhereInALongText) {
  const std::string accented = "e\xCC\x81";  // 2 code points
  const std::string flags =
      "\xF0\x9F\x87\xB3\xF0\x9F\x87\xB4"                         // NO: 2 code points
      "\xF0\x9F\x87\xB8\xF0\x9F\x87\xAA";                        // SE: 2 code points
  const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";  // 2 code points
  const std::string tail = accented + flags + thumb + "x";
  const std::string start(5000, 'a');
  TextBuffer b;
  b.setText(start + tail);
  const size_t n = 5000;
  // Stops at n (a), n+2 (N O), n+4 (S E), n+6 (thumb), n+8 (x), n+9 (end).
  EXPECT_EQ(b.stops({n - 1, 11}),
            (std::vector<size_t>{n - 1, n, n + 2, n + 4, n + 6, n + 8, n + 9}));
  EXPECT_EQ(b.previousStop(n + 9), n + 8);
  EXPECT_EQ(b.previousStop(n + 8), n + 6);
  EXPECT_EQ(b.previousStop(n + 5), n + 4);
  EXPECT_EQ(b.nextStop(n + 2), n + 4);
  EXPECT_EQ(b.nextStop(n + 9), n + 9);
  EXPECT_EQ(b.previousStop(0), 0u);
  b.setCaret(n + 3);  // inside the second flag: to the nearer stop, the earlier on a tie
  EXPECT_EQ(b.caret(), n + 2);
  b.setCaret(n + 1);
  EXPECT_EQ(b.caret(), n);
  EXPECT_EQ(b.byteOffset(n + 2), n + 3);
  // An edit far from the caret lands where it was asked for.
  b.replace({1, 1}, "Z");
  EXPECT_EQ(b.text().substr(0, 3), "aZa");
  EXPECT_EQ(b.substring({n, 3}), accented + flags.substr(0, 4));

  // A letter typed before an accent joins it: the caret goes after the pair.
  TextBuffer joined;
  joined.setText("\xCC\x81x");
  joined.replace({0, 0}, "e");
  EXPECT_EQ(joined.caret(), 2u);

  // A cluster longer than the stops' context is still found whole from its end.
  TextBuffer zalgo;
  std::string marks;
  for (int i = 0; i < 100; ++i) marks += "\xCC\x81";
  zalgo.setText("ab" + marks + "c");
  EXPECT_EQ(zalgo.previousStop(102), 1u);
  EXPECT_EQ(zalgo.nextStop(1), 102u);
}

}  // namespace
