// The kiosk in a real window: frames drawn per second while the screen flips over and over, the
// CPU the program uses over 20 s while a field's caret blinks and while nothing happens, and, full
// screen, how soon the staff screen's curl and the flip back show their first frame after the
// touch that starts them. Run it under an X display (Xvfb: the SDL backend) or inside a Wayland
// compositor (say `cage -- build/bench/window_bench`: the Wayland backend); on a display of
// 1536 x 2048 (`Xvfb -screen 0 1536x2048x24`) the full-screen scene draws at scale 2. Each run is
// a child process, so that its peak memory is its own.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/support/KioskScene.h"
#include "kit/app/ApplicationMain.h"

namespace {

using kiosk_scene::Measured;
using kiosk_scene::Scene;

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
    // The display's whole size, at the density it allows.
    if (scene == Scene::StaffAndBack) options.mode = kit::WindowMode::FullScreen;
    int status = kit::applicationMain(options, [&] {
      return std::make_unique<kiosk_scene::SceneDelegate>(
          std::vector<kiosk_scene::Phase>{{scene, seconds}}, [&](const std::vector<Measured>& m) {
            if (write(fds[1], m.data(), sizeof m[0]) != sizeof m[0]) std::abort();
          });
    });
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
  if (scene == Scene::StaffAndBack) {
    state.counters["first_frame_ms"] = 1000 * m.firstFrame;
    state.counters["longest_frame_ms"] = 1000 * m.longestFrame;
    state.counters["curl_first_frame_ms"] = 1000 * m.curlFirstFrame;
    state.counters["flip_first_frame_ms"] = 1000 * m.flipFirstFrame;
    state.counters["first_frame_cpu_ms"] = 1000 * m.firstFrameCpu;
  }
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
// The staff screen's curl and the flip back, three times each, full screen.
void BM_WindowStaffTransitions(benchmark::State& state) {
  runBenchmark(state, Scene::StaffAndBack, 17);
}
BENCHMARK(BM_WindowFlipFrames)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_WindowStaffTransitions)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_WindowFieldFocusedCpu)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_WindowIdleCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
