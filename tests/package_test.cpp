// The Debian package as a tablet gets it: built with CPack, installed with dpkg, the installed
// kiosk started in kiosk mode inside a Wayland compositor's headless backend as the package's
// user, its screen taken with grim, then purged with the data kept. The session runs in cage,
// as the service runs it, on one output and on two; input comes through sway, whose virtual
// pointer and keyboard cage lacks. Installing needs root; other worktrees on the machine take
// turns through a lock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kit/backends/Letterbox.h"
#include "kit/base/Clock.h"
#include "support/TestSupport.h"

using testing_support::pngColorAt;
using testing_support::readAll;
using testing_support::run;
using testing_support::writeAll;

namespace {

const std::string kDataFile = "/var/lib/tolvik/Documents/TolvikData.txt";

// Runs a shell command; its exit status, and what it printed (both streams) in `output`.
int shell(const std::string& command, std::string* output = nullptr) {
  std::string text = run("(" + command + ") 2>&1; echo \"exit $?\"");
  size_t last = text.rfind("exit ");
  if (output) *output = text.substr(0, last);
  return last == std::string::npos ? -1 : std::atoi(text.c_str() + last + 5);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Why the package tests cannot run here, or "".
std::string whyNot() {
  if (geteuid() != 0) return "installing the package with dpkg needs root";
  for (const char* tool :
       {"cpack", "dpkg", "cage", "sway", "grim", "wtype", "systemd-analyze", "setpriv"}) {
    if (run(std::string("command -v ") + tool).empty()) return std::string(tool) + " is missing";
  }
  return "";
}

// The package built and installed while it lives, then purged (the data stays).
class InstalledPackage {
 public:
  InstalledPackage()
      : lock_(open("/tmp/tolvik-package-test.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0644)) {
    flock(lock_, LOCK_EX);
  }
  ~InstalledPackage() {
    shell("dpkg --purge tolvik-kiosk");
    flock(lock_, LOCK_UN);
    close(lock_);
  }
  // Builds the package into `folder` and installs it; false with what went wrong in `log`.
  bool install(const std::string& folder, std::string& log) {
    if (shell("cd " TOLVIK_BUILD_DIR " && cpack -G DEB -B " + folder, &log) != 0) return false;
    std::string deb = run("ls " + folder + "/tolvik-kiosk_*.deb");
    if (deb.empty()) return false;
    deb.pop_back();
    return shell("dpkg -i " + deb, &log) == 0 && getpwnam("tolvik") != nullptr;
  }

 private:
  int lock_;
};

// A compositor in its headless backend, run as the package's user with a runtime folder of its
// own in `folder`, and the installed kiosk in it; ended when it goes.
class Session {
 public:
  // `compositor` is its command line; `outputs` the number of its 1280 x 720 outputs.
  Session(const std::string& folder, const std::string& compositor, int outputs)
      : folder_(folder), log_(folder + "/session.log") {
    const passwd* user = getpwnam("tolvik");
    std::string runtime = folder + "/runtime";
    std::filesystem::create_directories(runtime);
    EXPECT_EQ(chown(runtime.c_str(), user->pw_uid, user->pw_gid), 0);
    chmod(runtime.c_str(), 0700);
    // The folders on the way, for the user to reach its own.
    for (std::filesystem::path p = folder; p.has_relative_path() && p != "/tmp";
         p = p.parent_path()) {
      chmod(p.c_str(), 0755);
    }
    as_ =
        "cd /var/lib/tolvik && exec setpriv --reuid=tolvik --regid=tolvik --init-groups env -i "
        "HOME=/var/lib/tolvik PATH=/usr/bin:/bin XDG_RUNTIME_DIR=" +
        runtime +
        " WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1"
        " WLR_HEADLESS_OUTPUTS=" +
        std::to_string(outputs) + " ";
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", (as_ + compositor + " >" + log_ + " 2>&1").c_str(), nullptr);
      _exit(127);
    }
    // Up once the kiosk has opened its data file, and its first frames shown.
    kit::SteadyClock clock;
    for (double end = clock.now() + 30; clock.now() < end && !contains(log(), "TolvikData.txt");) {
      usleep(100000);
    }
    usleep(1500000);
    std::string socket = run("ls " + runtime + " | grep -m1 -E '^wayland-[0-9]+$'");
    if (!socket.empty()) socket.pop_back();
    as_ += "WAYLAND_DISPLAY=" + socket + " ";
    kiosk_ = std::atoi(run("pgrep -n -u tolvik -x tolvik-kiosk").c_str());
  }
  ~Session() {
    stop(SIGKILL);
    if (kioskRunning()) kill(kiosk_, SIGKILL);
  }

  std::string log() const { return readAll(log_); }
  // Runs `command` as the session's user, as a client of the compositor.
  int client(const std::string& command, std::string* output = nullptr) {
    return shell(as_ + command, output);
  }
  // The screen as grim takes it, kept as build/tests/output/NAME; "" if grim failed.
  std::string shot(const std::string& name) {
    std::string path = testing_support::outputDirectory() + "/" + name;
    std::string taken = folder_ + "/runtime/" + name;
    if (client("grim " + taken) != 0) return "";
    std::filesystem::copy_file(taken, path, std::filesystem::copy_options::overwrite_existing);
    return path;
  }
  // The session's kiosk: its process id (0 if none showed), and whether it still runs.
  pid_t kiosk() const { return kiosk_; }
  bool kioskRunning() const {
    std::string stat = readAll("/proc/" + std::to_string(kiosk_) + "/stat");
    size_t end = stat.rfind(')');
    return kiosk_ > 0 && end != std::string::npos && stat.substr(end + 2, 1) != "Z";
  }
  // Sends `signal` to `pid` (the compositor by default) and waits up to 10 s for the compositor
  // to end; true if it ended by itself.
  bool stop(int signal, pid_t pid = 0) {
    if (pid_ <= 0) return true;
    kill(pid ? pid : pid_, signal);
    int status = -1;
    kit::SteadyClock clock;
    for (double end = clock.now() + 10;
         clock.now() < end && waitpid(pid_, &status, WNOHANG) == 0;) {
      usleep(100000);
    }
    if (status == -1) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return WIFEXITED(status);
  }

 private:
  std::string folder_, log_, as_;
  pid_t pid_ = -1;
  pid_t kiosk_ = 0;
};

// The screen point at a pixel of a 1280 x 720 output, where the kiosk fits the screen's height.
std::string pixelOf(kit::Point screen) {
  kit::Point p = kit::Letterbox::fit(1280, 720, false).pixel(screen);
  return std::to_string(int(p.x)) + "," + std::to_string(int(p.y));
}

}  // namespace

// The package built and installed once for the tests below, in the order they are written, and
// purged after them.
class Package : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    why_ = whyNot();
    if (!why_.empty()) return;
    package_ = std::make_unique<InstalledPackage>();
    folder_ = std::make_unique<testing_support::TempHome>();
    installed_ = package_->install(folder_->path(), log_);
  }
  static void TearDownTestSuite() {
    package_.reset();
    folder_.reset();
  }
  void SetUp() override {
    if (!why_.empty()) GTEST_SKIP() << why_;
    ASSERT_TRUE(installed_) << log_;
  }

 private:
  static inline std::string why_, log_;
  static inline std::unique_ptr<InstalledPackage> package_;
  static inline std::unique_ptr<testing_support::TempHome> folder_;
  static inline bool installed_ = false;
};

TEST_F(Package, TakesTapsAndTypingThroughTheCompositor) {
  testing_support::TempHome scratch;
  std::string log;
  std::string before = readAll(kDataFile);
  // The taps come from a virtual pointer, the keys from wtype's virtual keyboard: each its own
  // device, which the seat gains and loses, so both wait a moment before they act.
  std::string tap = scratch.path() + "/wayland-tap";
  std::filesystem::copy_file(TOLVIK_BUILD_DIR "/tests/wayland-tap", tap);
  writeAll(scratch.path() + "/sway.conf",
           "default_border none\nexec /usr/bin/tolvik-kiosk --kiosk\n");
  Session sway(scratch.path(), "sway -c " + scratch.path() + "/sway.conf", 1);
  auto taps = [&](std::vector<kit::Point> points) {
    std::string command = tap + " 1280 720";
    for (kit::Point p : points) command += " " + pixelOf(p);
    EXPECT_EQ(sway.client(command, &log), 0) << log;
  };
  auto type = [&](const std::string& text) {
    EXPECT_EQ(sway.client("wtype -s 300 " + text, &log), 0) << log;
  };
  // Hiking; Yes, No, Yes; then the four fields, the keyboard put away, and Submit.
  taps({{300, 479}, {82, 644}, {154, 732}, {82, 820}, {224, 242}});
  type("Anna");
  taps({{544, 242}});
  type("Berg");
  taps({{224, 277}});
  type("5552013344");
  taps({{544, 277}});
  type("anna.berg@example.com");
  taps({{384, 150}, {655, 960}});
  usleep(2000000);  // the flip to the thank-you screen
  sway.shot("package-sway-input.png");
  EXPECT_EQ(readAll(kDataFile).substr(std::min(before.size(), readAll(kDataFile).size())),
            "\r\nAnna,Berg,(555) 201-3344,anna.berg@example.com,,,\"Hiking,\",Yes,No,Yes,")
      << sway.log();
  // The compositor gone, the kiosk ends with one line that says so.
  sway.stop(SIGTERM);
  usleep(500000);
  EXPECT_TRUE(contains(sway.log(), "tolvik-kiosk: the Wayland compositor went away")) << sway.log();
  EXPECT_FALSE(sway.kioskRunning());
}

// Last, as it ends with the purge.
TEST_F(Package, InstallsAndShowsTheFormInCageAsItsServiceWould) {
  testing_support::TempHome scratch;
  std::string log;
  EXPECT_EQ(run("/usr/bin/tolvik-kiosk --version").rfind("tolvik-kiosk ", 0), 0u);
  EXPECT_EQ(std::string(getpwnam("tolvik")->pw_dir), "/var/lib/tolvik");
  EXPECT_TRUE(std::filesystem::is_directory("/var/lib/tolvik/Documents"));

  // The service's command on a tablet's one display, and on two side by side: the portrait screen
  // fitted to the height (540 wide), centred on the whole, black beside it.
  for (int outputs : {1, 2}) {
    SCOPED_TRACE(std::to_string(outputs) + " outputs");
    std::string folder = scratch.path() + "/cage" + std::to_string(outputs);
    std::filesystem::create_directories(folder);
    Session cage(folder, "cage -- /usr/bin/tolvik-kiosk --kiosk", outputs);
    std::string shot = cage.shot("package-cage-" + std::to_string(outputs) + ".png");
    EXPECT_FALSE(shot.empty()) << cage.log();
    double middle = 640.0 * outputs;
    EXPECT_COLOR(kit::Color::black(), pngColorAt(shot, {middle - 280, 360})) << cage.log();
    EXPECT_COLOR(kit::Color::black(), pngColorAt(shot, {middle + 280, 360}));
    kit::Color form = pngColorAt(shot, {middle, 400});
    EXPECT_GT(form.r + form.g + form.b, 0.1) << "the form shows (and the file could be read)";
    // Drawn in shared memory: no GL library in the kiosk.
    ASSERT_TRUE(cage.kioskRunning()) << cage.log();
    std::string maps = readAll("/proc/" + std::to_string(cage.kiosk()) + "/maps");
    for (const char* gl : {"libGL", "libEGL", "_dri.so", "libLLVM"}) {
      EXPECT_FALSE(contains(maps, gl)) << gl;
    }
    // Stopped as the service is: the kiosk ends on SIGTERM, and cage with its last client.
    EXPECT_TRUE(cage.stop(SIGTERM, cage.kiosk()))
        << "cage did not end with the kiosk" << cage.log();
  }
  // The answers are for the kiosk's user alone.
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status("/var/lib/tolvik/Documents").permissions(), perms::owner_all);
  EXPECT_EQ(std::filesystem::status(kDataFile).permissions(),
            perms::owner_read | perms::owner_write);
  // So is the settings file, which may hold the staff password's hash (and root's).
  EXPECT_EQ(std::filesystem::status("/etc/tolvik/kiosk.conf").permissions(),
            perms::owner_read | perms::owner_write | perms::group_read);

  // The service units as systemd reads them, sandboxed as far as the README says (exposure 2.1
  // and 1.2 of 10); the forwarder and the office's set-up beside them.
  EXPECT_EQ(shell("units='/lib/systemd/system/tolvik-kiosk.service "
                  "/lib/systemd/system/tolvik-forward.service' && systemd-analyze verify $units && "
                  "systemd-analyze security --offline=true --threshold=25 $units",
                  &log),
            0)
      << log;
  EXPECT_EQ(run("/usr/bin/tolvik-forward --version").rfind("tolvik-forward ", 0), 0u);
  EXPECT_TRUE(std::filesystem::exists("/usr/share/tolvik-kiosk/collect.sql"));

  // Purged, the visitors' answers stay.
  EXPECT_EQ(shell("dpkg --purge tolvik-kiosk", &log), 0) << log;
  EXPECT_FALSE(std::filesystem::exists("/usr/bin/tolvik-kiosk"));
  EXPECT_FALSE(std::filesystem::exists("/etc/tolvik/kiosk.conf"));
  EXPECT_TRUE(std::filesystem::exists(kDataFile));
}
