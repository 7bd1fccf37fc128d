// One frame of a thrown list: the run loop's turn that moves the content, then the full render,
// for a scroller of state rows 20 rows tall, at both scales.

#include <benchmark/benchmark.h>

#include "app/TolvikViewController.h"
#include "controls/MapScroller.h"
#include "controls/State.h"
#include "kit/backends/headless/Headless.h"
#include "kit/ui/Window.h"

namespace {

constexpr double kRow = 45;

class ListDelegate : public kit::ApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(kit::Application& app) override {
    window_ = std::make_unique<kit::Window>();
    window_->setBackgroundColor(kit::Color::white());
    scroller =
        window_->addSubview(std::make_unique<MapScroller>(kit::Rect{{235, 62}, {298, 20 * kRow}}));
    scroller->setContentSize({298, 51 * kRow});
    for (int i = 0; i < 51; ++i) {
      auto row = std::make_unique<State>();
      row->initText(TolvikViewController::getFullState(i));
      row->setCenter({149, kRow * (i + 0.5)});
      scroller->contentView()->addSubview(std::move(row));
    }
    window_->makeKeyAndVisible(app.screen());
    return true;
  }
  MapScroller* scroller = nullptr;

 private:
  std::unique_ptr<kit::Window> window_;
};

void BM_ThrownListFrame(benchmark::State& state) {
  kit::Headless headless(static_cast<double>(state.range(0)));
  auto delegate = std::make_unique<ListDelegate>();
  ListDelegate* list = delegate.get();
  headless.launch(std::move(delegate));
  kit::Renderer& renderer = headless.renderer();
  renderer.renderScreen(headless.app().screen());  // pictures and fonts loaded outside the timing
  bool down = true;
  for (auto _ : state) {
    if (!list->scroller->isDecelerating()) {
      // Thrown again, alternately up and down, outside the timing.
      state.PauseTiming();
      down = !down;
      headless.drag(384, down ? 300 : 700, 384, down ? 700 : 300, 0.1);
      state.ResumeTiming();
    }
    headless.clock().advance(kit::kFrameInterval);
    headless.app().runOnce();
    renderer.renderScreen(headless.app().screen());
    benchmark::DoNotOptimize(renderer.pixels());
  }
}
BENCHMARK(BM_ThrownListFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
