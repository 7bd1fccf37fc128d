#pragma once

// UTF-8 for the whole kit and the code above it: decoding, validity, counting and cleaning.
// Positions in text are counted in characters (Unicode code points) unless a name says bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace kit::utf8 {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One step through the bytes: the code point that starts at a byte offset and its length. A byte
// that starts no well-formed sequence (a stray continuation byte, a cut-off, overlong or
// surrogate sequence, a value past U+10FFFF) is invalid and one byte long.
struct Decoded {
  char32_t codePoint = kReplacementCharacter;
  std::size_t length = 1;
  bool valid = false;
};
Decoded decode(std::string_view bytes, std::size_t byteOffset);

void append(std::string& text, char32_t codePoint);

bool isValid(std::string_view bytes);

// The bytes with every invalid byte replaced by U+FFFD, as Pango draws them.
std::string makeValid(std::string_view bytes);

// C0 controls, DEL and C1 controls (general category Cc).
bool isControl(char32_t codePoint);

// The number of characters (code points) of valid text.
std::size_t characterCount(std::string_view text);

// The byte offset at which character `index` starts, or text.size() when there are fewer.
std::size_t byteOffset(std::string_view text, std::size_t index);

// Any bytes (another program's error output) as a short text to show: valid UTF-8, control
// characters gone, blank lines skipped, at most `maxLines` lines of at most `maxCharacters`
// characters each; whatever is cut ends in "…".
std::string excerpt(std::string_view bytes, std::size_t maxLines, std::size_t maxCharacters);

}  // namespace kit::utf8
