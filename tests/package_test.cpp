// The Debian package as a tablet gets it: built with CPack, installed with dpkg, the installed
// kiosk started in kiosk mode inside the cage compositor (its headless backend) as the package's
// user, its screen taken with grim, the service checked by systemd-analyze, then purged with the
// data kept. Installing needs root; other worktrees on the machine take turns through a lock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kit/base/Clock.h"
#include "support/TestSupport.h"

using testing_support::readAll;
using testing_support::run;

namespace {

// Runs a shell command; its exit status, and what it printed (both streams) in `output`.
int shell(const std::string& command, std::string* output = nullptr) {
  std::string text = run("(" + command + ") 2>&1; echo \"exit $?\"");
  size_t last = text.rfind("exit ");
  if (output) *output = text.substr(0, last);
  return last == std::string::npos ? -1 : std::atoi(text.c_str() + last + 5);
}

}  // namespace

TEST(Package, InstallsAndRunsInCageAsItsServiceWould) {
  if (geteuid() != 0) GTEST_SKIP() << "installing the package with dpkg needs root";
  for (const char* tool :
       {"cpack", "dpkg", "cage", "grim", "Xwayland", "systemd-analyze", "setpriv"}) {
    if (run(std::string("command -v ") + tool).empty()) GTEST_SKIP() << tool << " is not installed";
  }
  int lock = open("/tmp/tolvik-package-test.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0644);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  testing_support::TempHome scratch;
  std::string log;

  // Built and installed.
  ASSERT_EQ(shell("cd " TOLVIK_BUILD_DIR " && cpack -G DEB -B " + scratch.path(), &log), 0) << log;
  std::string deb = run("ls " + scratch.path() + "/tolvik-kiosk_*.deb");
  ASSERT_FALSE(deb.empty()) << log;
  deb.pop_back();
  // Purged again however the test ends.
  struct Removal {
    ~Removal() { shell("dpkg --purge tolvik-kiosk"); }
  } removal;
  ASSERT_EQ(shell("dpkg -i " + deb, &log), 0) << log;
  EXPECT_EQ(run("/usr/bin/tolvik-kiosk --version").rfind("tolvik-kiosk ", 0), 0u);
  const passwd* user = getpwnam("tolvik");
  ASSERT_NE(user, nullptr) << "the package made no user";
  EXPECT_EQ(std::string(user->pw_dir), "/var/lib/tolvik");
  EXPECT_TRUE(std::filesystem::is_directory("/var/lib/tolvik/Documents"));

  // The service's command as the package's user, in cage's headless backend with a runtime
  // folder of its own. Two outputs side by side: cage then composes the frame rather than handing
  // a client's full-output buffer to the headless output, which does not show it.
  std::string runtime = scratch.path() + "/runtime";
  std::filesystem::create_directories(runtime);
  ASSERT_EQ(chown(runtime.c_str(), user->pw_uid, user->pw_gid), 0);
  chmod(runtime.c_str(), 0700);
  chmod(scratch.path().c_str(), 0755);
  std::string cageLog = scratch.path() + "/cage.log";
  std::string environment = "env -i HOME=/var/lib/tolvik XDG_RUNTIME_DIR=" + runtime +
                            " WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1"
                            " WLR_HEADLESS_OUTPUTS=2 PATH=/usr/bin:/bin";
  std::string asUser =
      "cd /var/lib/tolvik && exec setpriv --reuid=tolvik --regid=tolvik --init-groups ";
  pid_t cage = fork();
  if (cage == 0) {
    execl("/bin/sh", "sh", "-c",
          (asUser + environment + " cage -- /usr/bin/tolvik-kiosk --kiosk >" + cageLog + " 2>&1")
              .c_str(),
          nullptr);
    _exit(127);
  }
  kit::SteadyClock clock;
  for (double end = clock.now() + 30; clock.now() < end;) {
    if (readAll(cageLog).find("TolvikData.txt") != std::string::npos) break;
    usleep(100000);
  }
  usleep(1500000);  // the first frames
  std::string shot = testing_support::outputDirectory() + "/package-cage.png";
  std::string grim = runtime + "/shot.png";
  EXPECT_EQ(shell(asUser + environment + " WAYLAND_DISPLAY=wayland-0 grim " + grim, &log), 0)
      << log << readAll(cageLog);
  std::error_code ignored;
  std::filesystem::copy_file(grim, shot, std::filesystem::copy_options::overwrite_existing,
                             ignored);
  // Stopped as the service is: the kiosk ends on SIGTERM, and cage with its last client. (cage
  // itself aborts on SIGTERM, leaving its X server's lock behind.)
  std::string kiosk = run("pgrep -P " + std::to_string(cage) + " -x tolvik-kiosk");
  EXPECT_FALSE(kiosk.empty()) << readAll(cageLog);
  if (!kiosk.empty()) kill(std::atoi(kiosk.c_str()), SIGTERM);
  int status = -1;
  for (double end = clock.now() + 10; clock.now() < end && waitpid(cage, &status, WNOHANG) == 0;) {
    usleep(100000);
  }
  if (status == -1) {
    kill(cage, SIGKILL);
    waitpid(cage, &status, 0);
  }
  EXPECT_TRUE(WIFEXITED(status)) << "cage did not end with the kiosk" << readAll(cageLog);
  // 2560 x 720: the portrait screen fitted to the height (540 wide) and centred; black beside it.
  using testing_support::pngColorAt;
  EXPECT_COLOR(kit::Color::black(), pngColorAt(shot, {200, 360})) << readAll(cageLog);
  EXPECT_COLOR(kit::Color::black(), pngColorAt(shot, {2360, 360}));
  kit::Color form = pngColorAt(shot, {1280, 400});
  EXPECT_GT(form.r + form.g + form.b, 0.1) << "the form shows (and the file could be read)";

  // The service unit as systemd reads it.
  EXPECT_EQ(shell("systemd-analyze verify /lib/systemd/system/tolvik-kiosk.service", &log), 0)
      << log;

  // Purged, the visitors' answers stay.
  EXPECT_EQ(shell("dpkg --purge tolvik-kiosk", &log), 0) << log;
  EXPECT_FALSE(std::filesystem::exists("/usr/bin/tolvik-kiosk"));
  EXPECT_FALSE(std::filesystem::exists("/etc/tolvik/kiosk.conf"));
  EXPECT_TRUE(std::filesystem::exists("/var/lib/tolvik/Documents/TolvikData.txt"));
  flock(lock, LOCK_UN);
  close(lock);
}
