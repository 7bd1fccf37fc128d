// Typing into the kiosk's first-name field, filtered by the kiosk, edited and drawn: a keystroke
// into an empty field beside one into a field that already holds 10,000 characters, and a 1 MB
// paste. The cost of a keystroke must not grow with the text already in the field.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/TolvikAppDelegate.h"
#include "kit/backends/headless/Headless.h"

namespace {

constexpr double kFirstNameX = 224, kFirstNameY = 242;

// The real kiosk, headless, in a temporary HOME, with the first-name field holding the keyboard.
struct TypingKiosk {
  std::string home;
  kit::Headless headless;
  TolvikViewController* controller = nullptr;

  TypingKiosk() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tolvik-bench-XXXXXX").string();
    home = mkdtemp(tmpl.data());
    setenv("HOME", home.c_str(), 1);
    auto delegate = loadMainInterface();
    controller = delegate->viewController.get();
    headless.launch(std::move(delegate));
    headless.tap(kFirstNameX, kFirstNameY);
  }
  ~TypingKiosk() { std::filesystem::remove_all(home); }
};

// One keystroke, drawn: typing a letter and deleting one take turns, so that the text keeps
// its length. `range(0)` characters are in the field before.
void BM_KeystrokeIntoFirstName(benchmark::State& state) {
  TypingKiosk kiosk;
  kiosk.headless.paste(std::string(static_cast<size_t>(state.range(0)), 'a'));
  kiosk.headless.shot("");
  bool typeNext = true;
  for (auto _ : state) {
    if (typeNext) {
      kiosk.headless.type("b");
    } else {
      kiosk.headless.key("backspace");
    }
    typeNext = !typeNext;
    kiosk.headless.shot("");
  }
  state.counters["characters"] = static_cast<double>(kiosk.controller->firstName->text().size());
}
BENCHMARK(BM_KeystrokeIntoFirstName)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

// A 1 MB paste into the empty first-name field, drawn.
void BM_PasteOneMegabyte(benchmark::State& state) {
  TypingKiosk kiosk;
  const std::string pasted(1 << 20, 'x');
  for (auto _ : state) {
    kiosk.headless.paste(pasted);
    kiosk.headless.shot("");
    state.PauseTiming();
    kiosk.controller->firstName->setText("");
    kiosk.headless.shot("");
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PasteOneMegabyte)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
