// The UTF-8 helpers against GLib's, and the text buffer under any edits: its text stays valid
// UTF-8 without control characters, its length and caret agree with the text, and the caret
// stands on a grapheme stop.

#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "kit/base/Utf8.h"
#include "kit/text/TextBuffer.h"

namespace {

void checkBuffer(const kit::TextBuffer& buffer, kit::LineBreaks lineBreaks) {
  const std::string& text = buffer.text();
  FUZZ_CHECK(kit::utf8::isValid(text));
  FUZZ_CHECK(buffer.length() == kit::utf8::characterCount(text));
  FUZZ_CHECK(buffer.caret() <= buffer.length());
  FUZZ_CHECK(buffer.byteOffset(buffer.caret()) == kit::utf8::byteOffset(text, buffer.caret()));
  for (size_t i = 0; i < text.size();) {
    kit::utf8::Decoded d = kit::utf8::decode(text, i);
    FUZZ_CHECK(!kit::utf8::isControl(d.codePoint) ||
               (d.codePoint == '\n' && lineBreaks == kit::LineBreaks::Kept));
    i += d.length;
  }
  size_t caret = buffer.caret();
  FUZZ_CHECK(caret == 0 || buffer.nextStop(buffer.previousStop(caret)) == caret);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  bool valid = kit::utf8::isValid(bytes);
  if (bytes.find('\0') == std::string::npos) {
    FUZZ_CHECK(valid == static_cast<bool>(g_utf8_validate(bytes.data(), bytes.size(), nullptr)));
    gchar* made = g_utf8_make_valid(bytes.data(), bytes.size());
    FUZZ_CHECK(kit::utf8::makeValid(bytes) == made);
    g_free(made);
  }
  if (valid) FUZZ_CHECK(kit::utf8::makeValid(bytes) == bytes);

  FuzzedDataProvider input(data, size);
  kit::LineBreaks lineBreaks =
      input.ConsumeBool() ? kit::LineBreaks::Kept : kit::LineBreaks::Spaces;
  kit::TextBuffer buffer(lineBreaks);
  buffer.setText(input.ConsumeRandomLengthString(64));
  checkBuffer(buffer, lineBreaks);
  while (input.remaining_bytes() > 0) {
    size_t location = input.ConsumeIntegralInRange<size_t>(0, buffer.length() + 2);
    size_t length = input.ConsumeIntegralInRange<size_t>(0, 8);
    if (input.ConsumeBool()) {
      buffer.setCaret(location);
    } else {
      buffer.replace({location, length}, input.ConsumeRandomLengthString(16));
    }
    checkBuffer(buffer, lineBreaks);
  }
  return 0;
}
