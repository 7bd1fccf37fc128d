#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// A span of characters (Unicode code points) of a text.
struct Range {
  size_t location = 0;
  size_t length = 0;
  size_t end() const { return location + length; }
  bool operator==(const Range&) const = default;
};

// What becomes of a line break (CR LF, CR, LF, U+2028, U+2029) arriving in text: one space, for
// a single line, or one LF. Tabs become spaces either way.
enum class LineBreaks { Spaces, Kept };

// The text under an editing view, apart from any drawing. It is always valid UTF-8 without
// control characters (LF aside, where line breaks are kept), with a caret between grapheme
// clusters. Positions count characters (code points). An edit costs what it changes, not the
// length of the text.
class TextBuffer {
 public:
  explicit TextBuffer(LineBreaks lineBreaks = LineBreaks::Spaces) : lineBreaks_(lineBreaks) {}

  const std::string& text() const { return text_; }
  size_t length() const { return length_; }
  size_t caret() const { return caret_; }

  // What `text` becomes on entry: each byte that starts no valid UTF-8 sequence becomes U+FFFD,
  // line breaks and tabs as above, other control characters (NUL included) are dropped.
  std::string cleaned(std::string_view text) const;

  // Replaces the whole text with `text`, cleaned; the caret goes to the end.
  void setText(std::string_view text);
  // Replaces the characters in `range` (clamped to the text) with `text`, cleaned; the caret goes
  // to the end of the new text (or of the cluster it joins), and the new text's range is
  // returned.
  Range replace(Range range, std::string_view text);
  // Puts the caret on the grapheme stop nearest `position`.
  void setCaret(size_t position);

  // Grapheme stops are where a caret may stand: the start of each grapheme cluster and the end,
  // so that an emoji with its modifiers or a letter with its accents is one step.
  size_t previousStop(size_t position) const;  // the last stop before `position`; 0 at 0
  size_t nextStop(size_t position) const;      // the first stop after it; length() at the end
  size_t nearestStop(size_t position) const;   // ties go to the earlier stop
  // The stops within `range` (clamped), in order.
  std::vector<size_t> stops(Range range) const;

  // The bytes of the characters in `range` (clamped), and the byte offset of a position.
  std::string_view substring(Range range) const;
  size_t byteOffset(size_t position) const;

 private:
  // Stops within [from, to], computed with some text around them for context.
  std::vector<size_t> stopsBetween(size_t from, size_t to) const;

  LineBreaks lineBreaks_;
  std::string text_;
  size_t length_ = 0;
  size_t caret_ = 0;
  size_t caretByte_ = 0;  // byteOffset(caret_), kept so that edits at the caret need no scan
};

}  // namespace kit
