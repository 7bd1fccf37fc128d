// Drawing the kiosk's own screens, each at scale 1 and 2 (the number after the last "/"), beside
// the memory floor of that scale: one plain copy of a frame's bytes. Whole frames of the form at
// rest and with the keyboard up, one frame of the submit flip and of the staff curl (averaged over
// the transition, its two pictures included), and the few pixels a caret blink redraws.

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/TolvikAppDelegate.h"
#include "bench/support/BenchHome.h"
#include "kit/app/Application.h"
#include "kit/backends/headless/Headless.h"
#include "kit/text/TextField.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Renderer.h"

namespace {

constexpr size_t kFrameBytes = 768 * 1024 * 4;

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The kiosk launched headless at `scale`, its first frame drawn.
struct Kiosk {
  BenchHome home;
  kit::Headless headless;
  TolvikViewController* controller;

  explicit Kiosk(double scale) : headless(scale) {
    auto delegate = loadMainInterface();
    controller = delegate->viewController.get();
    headless.launch(std::move(delegate));
    headless.shot("");
  }
  void render() {
    headless.renderer().renderScreen(headless.app().screen());
    headless.app().didDisplay();
    benchmark::DoNotOptimize(headless.renderer().pixels());
  }
};

// The bytes of a frame at `scale` copied once: the least any full-frame render can cost.
void BM_MemcpyFrame(benchmark::State& state) {
  size_t bytes = kFrameBytes * static_cast<size_t>(state.range(0) * state.range(0));
  std::vector<unsigned char> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpyFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The whole form drawn again, at rest or with a field's keyboard up.
void renderWholeForm(benchmark::State& state, bool keyboardUp) {
  Kiosk kiosk(static_cast<double>(state.range(0)));
  if (keyboardUp) {
    kiosk.controller->firstName->becomeFirstResponder();
    kiosk.headless.wait(0.5);
  }
  for (auto _ : state) {
    kiosk.headless.app().setNeedsDisplay();
    kiosk.render();
  }
}
void BM_FormAtRest(benchmark::State& state) {
  renderWholeForm(state, false);
}
void BM_FormKeyboardUp(benchmark::State& state) {
  renderWholeForm(state, true);
}
BENCHMARK(BM_FormAtRest)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FormKeyboardUp)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The frame of a caret blink in a focused field: only the caret's damage drawn.
void BM_CaretBlinkRedraw(benchmark::State& state) {
  Kiosk kiosk(static_cast<double>(state.range(0)));
  kiosk.controller->firstName->becomeFirstResponder();
  kiosk.headless.wait(0.5);
  kiosk.render();
  kiosk.headless.app().takeDamage();
  double area = 0;
  for (auto _ : state) {
    state.PauseTiming();
    kiosk.headless.wait(kit::kCaretBlinkInterval);
    state.ResumeTiming();
    kit::Application::Damage damage = kiosk.headless.app().takeDamage();
    kiosk.headless.renderer().renderScreen(kiosk.headless.app().screen(), &damage.rects);
    state.PauseTiming();
    area = 0;
    for (const kit::Rect& r : damage.rects) area += r.area();
    if (damage.wholeScreen) area = kit::kScreenWidth * kit::kScreenHeight;
    state.ResumeTiming();
  }
  state.counters["damage_pt2"] = area;
}
BENCHMARK(BM_CaretBlinkRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Frames of a transition between the form and the thank-you screen, one transition after
// another, one frame interval apart.
void renderTransitionFrames(benchmark::State& state, kit::AnimationTransition kind) {
  Kiosk kiosk(static_cast<double>(state.range(0)));
  TolvikViewController* c = kiosk.controller;
  double slowest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!kiosk.headless.app().animator().isAnimating()) {
      kiosk.headless.app().screen().beginAnimations("", nullptr);
      kit::View::setAnimationDuration(1);
      kit::View::setAnimationTransition(kind, c->view()->superview(), true);
      bool formShown = !c->formView->isHidden();
      c->formView->setHidden(formShown);
      c->thankyouView->setHidden(!formShown);
      kit::View::commitAnimations();
    }
    kiosk.headless.wait(kit::kFrameInterval);
    state.ResumeTiming();
    double started = threadCpuSeconds();
    kiosk.render();
    slowest = std::max(slowest, threadCpuSeconds() - started);
  }
  // The dearest frame, its pictures included: the first or second of a transition.
  state.counters["slowest_frame_us"] = slowest * 1e6;
}
void BM_KioskFlipFrame(benchmark::State& state) {
  renderTransitionFrames(state, kit::AnimationTransition::FlipFromRight);
}
void BM_KioskCurlFrame(benchmark::State& state) {
  renderTransitionFrames(state, kit::AnimationTransition::CurlUp);
}
BENCHMARK(BM_KioskFlipFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KioskCurlFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
