// Full-frame rendering of the gallery's core page, against the memory floor: one plain copy of a
// frame's bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "kit/Application.h"
#include "kit/Renderer.h"
#include "kit/Window.h"
#include "kit/backends/headless/Headless.h"
#include "tools/gallery/Pages.h"

namespace {

constexpr size_t kFrameBytes = 768 * 1024 * 4;

class CorePageDelegate : public kit::ApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    page_ = makeCorePage();
    window_->addSubview(page_->view());
    window_->makeKeyAndVisible();
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
  std::unique_ptr<kit::ViewController> page_;
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

void BM_RenderCorePage(benchmark::State& state) {
  double scale = static_cast<double>(state.range(0));
  kit::Headless headless(scale);
  headless.launch(std::make_unique<CorePageDelegate>());
  kit::Renderer& renderer = headless.renderer();
  renderer.renderScreen(headless.app().screen());  // pictures and fonts loaded outside the timing
  for (auto _ : state) {
    renderer.renderScreen(headless.app().screen());
    benchmark::DoNotOptimize(renderer.pixels());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * renderer.stride() *
                          renderer.pixelHeight());
}
BENCHMARK(BM_RenderCorePage)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
