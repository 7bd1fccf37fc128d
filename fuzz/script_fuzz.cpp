// The runner's script parser on any line: it answers (never crashes or hangs), and what it
// accepts is within the runner's bounds.

#include <cmath>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "kit/backends/headless/Headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string script(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    kit::ScriptCommand command;
    std::string error;
    if (kit::parseScriptLine(script.substr(start, end - start), command, error)) {
      FUZZ_CHECK(error.empty());
      FUZZ_CHECK(std::isfinite(command.x) && std::isfinite(command.y) &&
                 std::isfinite(command.x1) && std::isfinite(command.y1));
      FUZZ_CHECK(command.count >= 1 && command.count <= kit::kMaxTapCount);
      FUZZ_CHECK(command.seconds >= 0 && command.seconds <= kit::kMaxWait);
      if (command.name == "type" || command.name == "paste" || command.name == "shot") {
        FUZZ_CHECK(!command.text.empty());
      }
    } else {
      FUZZ_CHECK(!error.empty());
    }
    start = end + 1;
  }
  return 0;
}
