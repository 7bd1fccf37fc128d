// The kiosk in a real window: frames drawn per second while the screen flips over and over, and
// the CPU the program uses over 20 s while a field's caret blinks and while nothing happens. Run it
// under an X display (Xvfb: the SDL backend) or inside a Wayland compositor (say `cage --
// build/bench/window_bench`: the Wayland backend). Each run is a child process, so that its peak
// memory is its own.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/TolvikAppDelegate.h"
#include "kit/app/Application.h"
#include "kit/app/ApplicationMain.h"
#include "kit/text/TextField.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"

namespace {

enum class Scene { Flipping, FieldFocused, Idle };

constexpr double kSettle = 1.0;  // seconds after launch before counting starts

// The frames drawn: a point-sized view on top of the screen is drawn once in every frame that
// covers it.
long gFrames = 0;
class FrameCounter : public kit::View {
 public:
  FrameCounter() : View({1, 1}) {}
  void draw(cairo_t*) const override { ++gFrames; }
};

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// What the child measured, sent to the parent through a pipe.
struct Measured {
  long frames = 0;
  double seconds = 0;
  double cpu = 0;
};

// The kiosk's own delegate, plus the scene and the measurement around it.
class SceneDelegate : public kit::ApplicationDelegate {
 public:
  SceneDelegate(Scene scene, double seconds, int reportFd)
      : kiosk_(loadMainInterface()), scene_(scene), seconds_(seconds), reportFd_(reportFd) {}

  bool didFinishLaunchingWithOptions(kit::Application& app) override {
    if (!kiosk_->didFinishLaunchingWithOptions(app)) return false;
    auto counter = std::make_unique<FrameCounter>();
    counter->setCenter({384, 600});
    // Above the window, which the flip turns as a picture.
    app.screen().alertLayer()->addSubview(std::move(counter));
    TolvikViewController* c = kiosk_->viewController.get();
    if (scene_ == Scene::FieldFocused) c->firstName->becomeFirstResponder();
    after(kSettle, [this, &app] {
      start_ = {gFrames, app.clock().now(), cpuSeconds()};
      if (scene_ == Scene::Flipping) flip();
      after(seconds_, [this, &app] {
        Measured m{gFrames - start_.frames, app.clock().now() - start_.seconds,
                   cpuSeconds() - start_.cpu};
        if (write(reportFd_, &m, sizeof m) != sizeof m) std::abort();
        kill(getpid(), SIGTERM);  // ends the program as its service would
      });
    });
    return true;
  }

 private:
  // A block that changes nothing: a timer.
  void after(double seconds, std::function<void()> then) {
    kiosk_->window->beginAnimations("", nullptr);
    kit::View::setAnimationDuration(seconds);
    kit::View::setAnimationDelegate(this);
    kit::View::setAnimationDidStop(
        [then](kit::Object*, const std::string&, bool, void*) { then(); });
    kit::View::commitAnimations();
  }

  // The submit flip between form and thank-you screen, back and forth.
  void flip() {
    TolvikViewController* c = kiosk_->viewController.get();
    kiosk_->window->beginAnimations("", nullptr);
    kit::View::setAnimationDuration(1);
    kit::View::setAnimationTransition(kit::AnimationTransition::FlipFromRight,
                                      c->view()->superview(), true);
    bool formShown = !c->formView->isHidden();
    c->formView->setHidden(formShown);
    c->thankyouView->setHidden(!formShown);
    kit::View::setAnimationDelegate(this);
    kit::View::setAnimationDidStop(
        [this](kit::Object*, const std::string&, bool, void*) { flip(); });
    kit::View::commitAnimations();
  }

  std::unique_ptr<TolvikAppDelegate> kiosk_;
  Scene scene_;
  double seconds_;
  int reportFd_;
  Measured start_;
};

// Runs one scene in a child process; false if it could not.
bool runScene(Scene scene, double seconds, Measured& measured, long& peakKb) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string home = (std::filesystem::temp_directory_path() /
                        ("tolvik-window-bench-" + std::to_string(getpid())))
                           .string();
    std::filesystem::create_directories(home + "/Documents");
    setenv("HOME", home.c_str(), 1);
    kit::WindowOptions options;
    options.title = "tolvik-window-bench";
    int status = kit::applicationMain(
        options, [&] { return std::make_unique<SceneDelegate>(scene, seconds, fds[1]); });
    std::filesystem::remove_all(home);
    _exit(status);
  }
  close(fds[1]);
  bool got = read(fds[0], &measured, sizeof measured) == sizeof measured;
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  peakKb = usage.ru_maxrss;
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void runBenchmark(benchmark::State& state, Scene scene, double seconds) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    state.SkipWithError("no display");
    return;
  }
  Measured m;
  long peakKb = 0;
  for (auto _ : state) {
    if (!runScene(scene, seconds, m, peakKb)) {
      state.SkipWithError("the window did not run");
      return;
    }
  }
  state.counters["frames_per_s"] = m.frames / m.seconds;
  state.counters["cpu_percent"] = 100 * m.cpu / m.seconds;
  state.counters["peak_MiB"] = peakKb / 1024.0;
}

void BM_WindowFlipFrames(benchmark::State& state) {
  runBenchmark(state, Scene::Flipping, 4);
}
void BM_WindowFieldFocusedCpu(benchmark::State& state) {
  runBenchmark(state, Scene::FieldFocused, 20);
}
void BM_WindowIdleCpu(benchmark::State& state) {
  runBenchmark(state, Scene::Idle, 20);
}
BENCHMARK(BM_WindowFlipFrames)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_WindowFieldFocusedCpu)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_WindowIdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
