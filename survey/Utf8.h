#pragma once

#include <cstddef>
#include <string_view>

namespace survey {

// Text lengths in the entry and validation rules count characters (code points), not bytes.
std::size_t characterCount(std::string_view text);

// The byte offset at which character `index` starts, or text.size() when there are fewer.
std::size_t byteOffsetOfCharacter(std::string_view text, std::size_t index);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

}  // namespace survey
