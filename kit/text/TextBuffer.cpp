#include "kit/text/TextBuffer.h"

#include <pango/pango.h>

#include <algorithm>
#include <utility>

#include "kit/base/Utf8.h"

namespace kit {

namespace {

// Grapheme boundaries depend on a few characters around them; this much text on each side is
// laid out with the stops asked for. Only a cluster longer than this (dozens of combining marks,
// a long run of flags) may be split at the context's edge.
constexpr size_t kStopContext = 32;

bool isContinuation(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The range's ends, clamped to a text of `length` characters.
std::pair<size_t, size_t> clamped(Range range, size_t length) {
  size_t from = std::min(range.location, length);
  return {from, from + std::min(range.length, length - from)};
}

}  // namespace

std::string TextBuffer::cleaned(std::string_view text) const {
  const char lineBreak = lineBreaks_ == LineBreaks::Kept ? '\n' : ' ';
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    utf8::Decoded d = utf8::decode(text, i);
    char32_t c = d.codePoint;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;  // CR LF is one break
    if (c == '\r' || c == '\n' || c == 0x2028 || c == 0x2029) {
      result += lineBreak;
    } else if (c == '\t') {
      result += ' ';
    } else if (d.valid && !utf8::isControl(c)) {
      result.append(text.substr(i, d.length));
    } else if (!d.valid) {
      utf8::append(result, utf8::kReplacementCharacter);
    }
    i += d.length;
  }
  return result;
}

void TextBuffer::setText(std::string_view text) {
  text_ = cleaned(text);
  length_ = utf8::characterCount(text_);
  caret_ = length_;
  caretByte_ = text_.size();
}

Range TextBuffer::replace(Range range, std::string_view text) {
  std::string inserted = cleaned(text);
  auto [from, to] = clamped(range, length_);
  size_t fromByte = byteOffset(from);
  size_t toByte = byteOffset(to);
  text_.replace(fromByte, toByte - fromByte, inserted);
  size_t count = utf8::characterCount(inserted);
  length_ = length_ - (to - from) + count;
  caret_ = from + count;
  caretByte_ = fromByte + inserted.size();
  // New text may join what follows into one cluster (a letter before an accent): the caret goes
  // after the whole cluster.
  if (caret_ < length_ && stopsBetween(caret_, caret_).empty()) setCaret(nextStop(caret_));
  return {from, count};
}

void TextBuffer::setCaret(size_t position) {
  size_t stop = nearestStop(std::min(position, length_));
  caretByte_ = byteOffset(stop);
  caret_ = stop;
}

size_t TextBuffer::byteOffset(size_t position) const {
  // Walk from the caret, whose byte offset is known, towards the position.
  size_t byte = caretByte_;
  if (position >= caret_) {
    for (size_t at = caret_; at < position && byte < text_.size();) {
      ++byte;
      if (byte == text_.size() || !isContinuation(text_[byte])) ++at;
    }
  } else {
    for (size_t at = caret_; at > position && byte > 0;) {
      --byte;
      if (!isContinuation(text_[byte])) --at;
    }
  }
  return byte;
}

std::string_view TextBuffer::substring(Range range) const {
  auto [from, to] = clamped(range, length_);
  size_t fromByte = byteOffset(from);
  return std::string_view(text_).substr(fromByte, byteOffset(to) - fromByte);
}

std::vector<size_t> TextBuffer::stopsBetween(size_t from, size_t to) const {
  size_t start = from > kStopContext ? from - kStopContext : 0;
  size_t end = std::min(to + kStopContext, length_);
  std::string_view window = substring({start, end - start});
  size_t count = end - start;
  std::vector<PangoLogAttr> attrs(count + 1);
  pango_get_log_attrs(window.data(), static_cast<int>(window.size()), -1,
                      pango_language_from_string("en"), attrs.data(),
                      static_cast<int>(attrs.size()));
  std::vector<size_t> result;
  for (size_t i = from - start; i <= to - start; ++i) {
    // The ends of the text are always stops; the window's own ends are not.
    bool edge = (i == 0 && start == 0) || (i == count && end == length_);
    if (edge || ((i > 0 && i < count) && attrs[i].is_cursor_position)) result.push_back(start + i);
  }
  return result;
}

std::vector<size_t> TextBuffer::stops(Range range) const {
  auto [from, to] = clamped(range, length_);
  return stopsBetween(from, to);
}

size_t TextBuffer::previousStop(size_t position) const {
  position = std::min(position, length_);
  // Look back a little, then further, for a cluster may be long.
  for (size_t span = kStopContext; position > 0; span *= 2) {
    size_t from = position > span ? position - span : 0;
    std::vector<size_t> found = stopsBetween(from, position - 1);
    if (!found.empty()) return found.back();
    if (from == 0) break;
  }
  return 0;
}

size_t TextBuffer::nextStop(size_t position) const {
  for (size_t span = kStopContext; position < length_; span *= 2) {
    size_t to = std::min(position + span, length_);
    std::vector<size_t> found = stopsBetween(position + 1, to);
    if (!found.empty()) return found.front();
    if (to == length_) break;
  }
  return length_;
}

size_t TextBuffer::nearestStop(size_t position) const {
  position = std::min(position, length_);
  if (position == 0 || position == length_ || !stopsBetween(position, position).empty()) {
    return position;
  }
  size_t before = previousStop(position), after = nextStop(position);
  return position - before <= after - position ? before : after;
}

}  // namespace kit
