#include "kit/base/Utf8.h"

namespace kit::utf8 {

namespace {

bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

Decoded decode(std::string_view bytes, std::size_t byteOffset) {
  const auto lead = static_cast<unsigned char>(bytes[byteOffset]);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length;
  char32_t value;
  char32_t smallest;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return {};
  }
  if (bytes.size() - byteOffset < length) return {};
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(bytes[byteOffset + k]);
    if (!isContinuation(next)) return {};
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {};
  return {value, length, true};
}

void append(std::string& text, char32_t c) {
  if (c < 0x80) {
    text += static_cast<char>(c);
  } else if (c < 0x800) {
    text += static_cast<char>(0xC0 | (c >> 6));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (c >> 18));
    text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isValid(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    Decoded d = decode(bytes, i);
    if (!d.valid) return false;
    i += d.length;
  }
  return true;
}

std::string makeValid(std::string_view bytes) {
  std::string valid;
  valid.reserve(bytes.size());
  std::size_t runStart = 0;  // valid bytes not yet copied start here
  for (std::size_t i = 0; i < bytes.size();) {
    Decoded d = decode(bytes, i);
    if (d.valid) {
      i += d.length;
      continue;
    }
    valid.append(bytes.substr(runStart, i - runStart));
    append(valid, kReplacementCharacter);
    runStart = ++i;
  }
  valid.append(bytes.substr(runStart));
  return valid;
}

bool isControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += !isContinuation(static_cast<unsigned char>(c));
  return count;
}

std::size_t byteOffset(std::string_view text, std::size_t index) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isContinuation(static_cast<unsigned char>(text[i]))) continue;
    if (seen == index) return i;
    ++seen;
  }
  return text.size();
}

std::string excerpt(std::string_view bytes, std::size_t maxLines, std::size_t maxCharacters) {
  static const char kEllipsis[] = "\u2026";
  std::string text, line;
  std::size_t lines = 0, characters = 0;
  bool lineCut = false;
  auto endLine = [&] {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.empty()) return;
    if (lines > 0) text += '\n';
    text += line;
    if (lineCut) text += kEllipsis;
    ++lines;
    line.clear();
    characters = 0;
    lineCut = false;
  };
  for (std::size_t i = 0; i < bytes.size();) {
    Decoded d = decode(bytes, i);
    i += d.length;
    char32_t c = d.codePoint;
    if (c == '\n' || c == '\r') {
      endLine();
      if (lines == maxLines) {
        // More follows only if something other than blanks is left.
        if (bytes.find_first_not_of(" \t\r\n", i) != std::string_view::npos) text += kEllipsis;
        return text;
      }
      continue;
    }
    if (c == '\t') c = ' ';
    if (isControl(c) || (c == ' ' && line.empty())) continue;
    if (characters == maxCharacters) {
      lineCut = true;
      continue;
    }
    append(line, c);
    ++characters;
  }
  if (lines < maxLines) endLine();
  return text;
}

}  // namespace kit::utf8
