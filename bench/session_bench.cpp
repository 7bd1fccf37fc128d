// The kiosk session as a tablet runs it: the kiosk full screen as the Wayland client of cage on
// one headless output (1280 x 720), run as an unprivileged user with a runtime folder of its own,
// against the same kiosk in an X11 window (SDL) under Xvfb in the same run. Each is left alone
// for 20 s, then a field's caret blinks with the keyboard up for 20 s, then the screen flips over
// and over for 4 s. Counters: the peak memory (VmHWM) of each and their ratio, the GL libraries
// mapped into the Wayland kiosk, the CPU it uses left alone and while the caret blinks, the
// frames per second of the flip. Then the flip at scale 2 on an output of 1536 x 2048 pixels at
// scale 2 (sway's headless backend: cage's outputs have one size): the frames per second and the
// longest wait between two frames. The kiosk runs in this program, started again with --scene;
// a session whose compositor or X server is missing is skipped.

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

// What one kiosk measured of itself, written at the end of its scenes.
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

// The libraries that would draw through GL, mapped into this process.
int glLibrariesMapped() {
  std::istringstream maps(readFile("/proc/self/maps"));
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

long peakKb() {
  std::string status = readFile("/proc/self/status");
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
          out << "peak " << peakKb() << "\ngl " << glLibrariesMapped() << '\n';
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

  // Runs `command` as the sandbox's user with `env` added, until the kiosk has written
  // `report`; the session is then ended if it did not end by itself. False (with the session's
  // output in `log`) if no report came.
  bool run(const std::string& env, const std::string& command, const std::string& report,
           Report& result, std::string& log) {
    std::string logFile = path_ + "/session.log";
    pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      std::string line = "exec " + as_ + env + " " + command + " >" + logFile + " 2>&1";
      execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
      _exit(127);
    }
    setpgid(pid, pid);
    kit::SteadyClock clock;
    int status = 0;
    bool ended = false;
    for (double end = clock.now() + kSessionTimeout;
         clock.now() < end && !std::filesystem::exists(report);) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        break;
      }
      usleep(100000);
    }
    for (double end = clock.now() + 2; !ended && clock.now() < end; usleep(100000)) {
      ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) {
      kill(-pid, SIGTERM);
      usleep(500000);
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    log = readFile(logFile);
    bool parsed = parse(report, result);
    std::filesystem::remove(report);
    return parsed;
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
  std::string report = sandbox.path() + "/home/report";
  std::string kiosk = Sandbox::kiosk(report, 20, 20, 4);
  Report wayland, x11;
  std::string log;
  for (auto _ : state) {
    if (!sandbox.run(kHeadless, "cage -- " + kiosk, report, wayland, log) ||
        wayland.phases.size() != 3) {
      state.SkipWithError(("the kiosk did not run in cage: " + log).c_str());
      return;
    }
    if (!sandbox.run("", "xvfb-run -a -s '-screen 0 1280x720x24' " + kiosk, report, x11, log) ||
        x11.phases.size() != 3) {
      state.SkipWithError(("the kiosk did not run under Xvfb: " + log).c_str());
      return;
    }
  }
  state.counters["vmhwm_MiB"] = wayland.peakKb / 1024.0;
  state.counters["x11_vmhwm_MiB"] = x11.peakKb / 1024.0;
  state.counters["vmhwm_ratio"] = double(wayland.peakKb) / x11.peakKb;
  state.counters["gl_libs_mapped"] = wayland.glLibraries;
  state.counters["idle_cpu_percent"] = percent(wayland.phases[0]);
  state.counters["caret_cpu_percent"] = percent(wayland.phases[1]);
  state.counters["flip_fps"] = wayland.phases[2].frames / wayland.phases[2].seconds;
  state.counters["x11_idle_cpu_percent"] = percent(x11.phases[0]);
  state.counters["x11_caret_cpu_percent"] = percent(x11.phases[1]);
  state.counters["x11_flip_fps"] = x11.phases[2].frames / x11.phases[2].seconds;
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
  state.counters["longest_frame_ms"] = 1000 * flip.longestFrame;
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
