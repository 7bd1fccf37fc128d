// The kiosk session as a tablet runs it: the kiosk full screen as the Wayland client of cage on
// one headless output (1280 x 720), run as an unprivileged user with a runtime folder of its own,
// against the same kiosk in an X11 window (SDL) under Xvfb in the same run.
// - The kiosk program itself, started as its service starts it and left alone: its peak memory
//   (VmHWM) in each and their ratio, the GL libraries mapped into it under cage, the CPU it uses
//   over 20 s there.
// - The kiosk run by this program (started again with --scene), in each: a field's caret blinking
//   with the keyboard up for 20 s, then the screen flipping over and over for 4 s; the CPU while
//   the caret blinks, the flip's frames per second, longest wait between two frames and CPU per
//   frame, and the ratio of the peak memory with all that.
// - The flip at scale 2, on an output of 1536 x 2048 pixels at scale 2 (sway's headless backend:
//   cage's outputs have one size): the same figures of the flip.
// The frames follow the compositor's frame callbacks. A headless output of wlroots 0.15 seems
// to wait a whole frame's time after it has drawn the last frame: its callbacks come 18 ms apart
// at best, never 16.7, so it asks for about 55 frames a second. The CPU per frame says what the
// kiosk needs of a frame's 16.7 ms. On a busy machine compositor and kiosk both wait for a core.
// A session whose compositor or X server is missing is skipped.

#include <benchmark/benchmark.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/KioskScene.h"
#include "kit/app/ApplicationMain.h"
#include "kit/base/Clock.h"

namespace {

using kiosk_scene::Measured;
using kiosk_scene::Phase;
using kiosk_scene::Scene;

constexpr double kSessionTimeout = 120;  // seconds

// What was measured of one kiosk: by itself at the end of its scenes, or from outside.
struct Report {
  std::vector<Measured> phases;
  long peakKb = 0;  // VmHWM
  int glLibraries = 0;
};

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The libraries that would draw through GL, mapped into a process (its folder in /proc).
int glLibrariesMapped(const std::string& proc) {
  std::istringstream maps(readFile(proc + "/maps"));
  std::vector<std::string> seen;
  for (std::string line; std::getline(maps, line);) {
    size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    std::string file = line.substr(slash);
    for (const char* gl : {"libGL", "libEGL", "libgallium", "libLLVM", "_dri.so"}) {
      if (file.find(gl) != std::string::npos &&
          std::find(seen.begin(), seen.end(), file) == seen.end()) {
        seen.push_back(file);
      }
    }
  }
  return static_cast<int>(seen.size());
}

long peakKb(const std::string& proc) {
  std::string status = readFile(proc + "/status");
  size_t at = status.find("VmHWM:");
  return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

// The kiosk's side: argv is --scene REPORT IDLE CARET FLIP (seconds of each scene).
int runKiosk(char** argv) {
  std::string report = argv[2];
  std::vector<Phase> phases{{Scene::Idle, std::atof(argv[3])},
                            {Scene::FieldFocused, std::atof(argv[4])},
                            {Scene::Flipping, std::atof(argv[5])}};
  std::erase_if(phases, [](const Phase& p) { return p.seconds <= 0; });
  kit::WindowOptions options;
  options.title = "tolvik-session-bench";
  options.kiosk = true;
  return kit::applicationMain(options, [&] {
    return std::make_unique<kiosk_scene::SceneDelegate>(
        phases, [&](const std::vector<Measured>& measured) {
          std::ofstream out(report + ".part");
          for (const Measured& m : measured) {
            out << m.frames << ' ' << m.seconds << ' ' << m.cpu << ' ' << m.longestFrame << '\n';
          }
          out << "peak " << peakKb("/proc/self") << "\ngl " << glLibrariesMapped("/proc/self")
              << '\n';
          out.close();
          std::filesystem::rename(report + ".part", report);
        });
  });
}

bool parse(const std::string& path, Report& report) {
  std::istringstream in(readFile(path));
  std::string word;
  while (in >> word) {
    if (word == "peak") {
      in >> report.peakKb;
    } else if (word == "gl") {
      in >> report.glLibraries;
    } else {
      Measured m;
      m.frames = std::atol(word.c_str());
      in >> m.seconds >> m.cpu >> m.longestFrame;
      report.phases.push_back(m);
    }
  }
  return report.peakKb > 0;
}

// The CPU time a process has used, its threads' included.
double cpuSeconds(pid_t pid) {
  std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  size_t end = stat.rfind(')');
  if (end == std::string::npos) return 0;
  std::istringstream fields(stat.substr(end + 2));
  std::string field;
  double ticks = 0;
  for (int i = 0; i < 13 && fields >> field; ++i) {
    if (i >= 11) ticks += std::atof(field.c_str());  // utime, stime
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The process named `name` in the process group `group`; 0 if none.
pid_t member(pid_t group, const std::string& name) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    pid_t pid = std::atoi(entry.path().filename().c_str());
    if (pid <= 0) continue;
    std::string stat = readFile(entry.path().string() + "/stat");
    size_t open = stat.find('('), end = stat.rfind(')');
    if (open == std::string::npos || end == std::string::npos) continue;
    std::istringstream fields(stat.substr(end + 2));
    std::string state, parent, pgrp;
    fields >> state >> parent >> pgrp;
    if (std::atoi(pgrp.c_str()) == group && stat.substr(open + 1, end - open - 1) == name) {
      return pid;
    }
  }
  return 0;
}

// Whether a session (a child of this process) has ended; it is then reaped.
bool ended(pid_t session) {
  int status = 0;
  return waitpid(session, &status, WNOHANG) == session;
}

bool have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// A folder for the sessions, with a home and a runtime folder of the user they run as: nobody
// when this runs as root, else this program's own user.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tolvik-session-bench-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    chmod(path_.c_str(), 0755);
    std::filesystem::create_directories(path_ + "/home/Documents");
    std::filesystem::create_directories(path_ + "/runtime");
    chmod((path_ + "/runtime").c_str(), 0700);
    std::string env =
        "env -i HOME=" + path_ + "/home PATH=/usr/bin:/bin XDG_RUNTIME_DIR=" + path_ + "/runtime ";
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      uid_t uid = nobody ? nobody->pw_uid : 65534;
      gid_t gid = nobody ? nobody->pw_gid : 65534;
      for (const char* folder : {"/home", "/home/Documents", "/runtime"}) {
        if (chown((path_ + folder).c_str(), uid, gid) != 0) std::perror("chown");
      }
      env = "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(gid) +
            " --clear-groups " + env;
    }
    as_ = env;
  }
  ~Sandbox() { std::filesystem::remove_all(path_); }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& path() const { return path_; }
  // The command line that runs the kiosk's scenes and leaves its report in `report`.
  static std::string kiosk(const std::string& report, double idle, double caret, double flip) {
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return self + " --scene " + report + " " + std::to_string(idle) + " " + std::to_string(caret) +
           " " + std::to_string(flip);
  }

  // Starts `command` as the sandbox's user with `env` added, in a process group of its own
  // (whose id it returns), its output going to the session's log.
  pid_t start(const std::string& env, const std::string& command) {
    pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      std::string line = "exec " + as_ + env + " " + command + " >" + log() + " 2>&1";
      execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
      _exit(127);
    }
    setpgid(pid, pid);
    return pid;
  }
  // Waits up to `seconds` for the session to end by itself, then ends what is left of it.
  static void stop(pid_t session, double seconds) {
    kit::SteadyClock clock;
    int status = 0;
    for (double end = clock.now() + seconds; clock.now() < end; usleep(100000)) {
      if (waitpid(session, &status, WNOHANG) == session) return;
    }
    kill(-session, SIGTERM);
    usleep(500000);
    kill(-session, SIGKILL);
    waitpid(session, &status, 0);
  }
  std::string log() const { return path_ + "/session.log"; }

  // Runs the session until the kiosk has written `report` (or the session ended or timed out),
  // then ends it. False (with the session's output in `log`) if no report came.
  bool run(const std::string& env, const std::string& command, const std::string& report,
           Report& result, std::string& log) {
    pid_t session = start(env, command);
    kit::SteadyClock clock;
    for (double end = clock.now() + kSessionTimeout;
         clock.now() < end && !std::filesystem::exists(report) && !ended(session);) {
      usleep(100000);
    }
    stop(session, 2);
    log = readFile(this->log());
    bool parsed = parse(report, result);
    std::filesystem::remove(report);
    return parsed;
  }

  // Starts the kiosk program in the session, waits until it has opened its data file and settled,
  // then measures it left alone for `seconds`, and ends the session.
  bool watch(const std::string& env, const std::string& command, double seconds, Report& result,
             std::string& log) {
    std::string data = path_ + "/home/Documents/TolvikData.txt";
    std::filesystem::remove(data);
    pid_t session = start(env, command);
    kit::SteadyClock clock;
    for (double end = clock.now() + 30;
         clock.now() < end && !std::filesystem::exists(data) && !ended(session);) {
      usleep(100000);
    }
    usleep(3000000);
    pid_t kiosk = member(session, "tolvik-kiosk");
    bool watched = false;
    if (kiosk > 0) {
      double cpu = cpuSeconds(kiosk);
      double begin = clock.now();
      usleep(static_cast<useconds_t>(seconds * 1e6));
      Measured idle;
      idle.seconds = clock.now() - begin;
      idle.cpu = cpuSeconds(kiosk) - cpu;
      result.phases.push_back(idle);
      std::string proc = "/proc/" + std::to_string(kiosk);
      result.peakKb = peakKb(proc);
      result.glLibraries = glLibrariesMapped(proc);
      watched = result.peakKb > 0;
    }
    stop(session, 0);
    log = readFile(this->log());
    return watched;
  }

 private:
  std::string path_;
  std::string as_;
};

const char* const kHeadless =
    "WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1";

double percent(const Measured& m) {
  return 100 * m.cpu / m.seconds;
}

void BM_KioskSessionAgainstX11(benchmark::State& state) {
  for (const char* tool : {"cage", "Xvfb", "xvfb-run"}) {
    if (!have(tool)) {
      state.SkipWithError((std::string(tool) + " is missing").c_str());
      return;
    }
  }
  Sandbox sandbox;
  const std::string program = TOLVIK_BENCH_BUILD_DIR "/tolvik-kiosk --kiosk";
  const std::string inX11 = "xvfb-run -a -s '-screen 0 1280x720x24' ";
  std::string report = sandbox.path() + "/home/report";
  Report wayland, x11, waylandScenes, x11Scenes;
  std::string log;
  for (auto _ : state) {
    if (!sandbox.watch(kHeadless, "cage -- " + program, 20, wayland, log)) {
      state.SkipWithError(("the kiosk did not run in cage: " + log).c_str());
      return;
    }
    if (!sandbox.watch("", inX11 + program, 2, x11, log)) {
      state.SkipWithError(("the kiosk did not run under Xvfb: " + log).c_str());
      return;
    }
    if (!sandbox.run(kHeadless, "cage -- " + Sandbox::kiosk(report, 0, 20, 4), report,
                     waylandScenes, log) ||
        waylandScenes.phases.size() != 2) {
      state.SkipWithError(("the scenes did not run in cage: " + log).c_str());
      return;
    }
    if (!sandbox.run("", inX11 + Sandbox::kiosk(report, 0, 2, 4), report, x11Scenes, log) ||
        x11Scenes.phases.size() != 2) {
      state.SkipWithError(("the scenes did not run under Xvfb: " + log).c_str());
      return;
    }
  }
  state.counters["vmhwm_MiB"] = wayland.peakKb / 1024.0;
  state.counters["x11_vmhwm_MiB"] = x11.peakKb / 1024.0;
  state.counters["vmhwm_ratio"] = double(wayland.peakKb) / x11.peakKb;
  state.counters["gl_libs_mapped"] = wayland.glLibraries;
  state.counters["idle_cpu_percent"] = percent(wayland.phases[0]);
  state.counters["caret_cpu_percent"] = percent(waylandScenes.phases[0]);
  const Measured& flip = waylandScenes.phases[1];
  state.counters["flip_fps"] = flip.frames / flip.seconds;
  state.counters["flip_longest_frame_ms"] = 1000 * flip.longestFrame;
  state.counters["flip_cpu_ms_per_frame"] = 1000 * flip.cpu / flip.frames;
  state.counters["scenes_vmhwm_ratio"] = double(waylandScenes.peakKb) / x11Scenes.peakKb;
}
BENCHMARK(BM_KioskSessionAgainstX11)->Iterations(1)->Unit(benchmark::kSecond);

void BM_KioskFlipAtScale2(benchmark::State& state) {
  if (!have("sway")) {
    state.SkipWithError("sway is missing");
    return;
  }
  Sandbox sandbox;
  std::string report = sandbox.path() + "/home/report";
  std::string config = sandbox.path() + "/sway.conf";
  std::ofstream(config) << "output HEADLESS-1 mode --custom 1536x2048@60Hz scale 2\n"
                        << "default_border none\n"
                        << "exec " << Sandbox::kiosk(report, 0, 0, 5) << "\n";
  Report wayland;
  std::string log;
  for (auto _ : state) {
    if (!sandbox.run(kHeadless, "sway -c " + config, report, wayland, log) ||
        wayland.phases.size() != 1) {
      state.SkipWithError(("the kiosk did not run in sway: " + log).c_str());
      return;
    }
  }
  const Measured& flip = wayland.phases[0];
  state.counters["flip_fps"] = flip.frames / flip.seconds;
  state.counters["flip_longest_frame_ms"] = 1000 * flip.longestFrame;
  state.counters["flip_cpu_ms_per_frame"] = 1000 * flip.cpu / flip.frames;
  state.counters["vmhwm_MiB"] = wayland.peakKb / 1024.0;
}
BENCHMARK(BM_KioskFlipAtScale2)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--scene") == 0) return runKiosk(argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
