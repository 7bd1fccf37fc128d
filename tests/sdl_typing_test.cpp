// Real key events into a field in a real window: a child process runs the program with a field
// holding the keyboard while this one types into the window with xdotool. The child reports on a
// pipe when it is up and when return is pressed, and writes the field's text to a file on exit.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "kit/Application.h"
#include "kit/ApplicationMain.h"
#include "kit/Clock.h"
#include "kit/TextField.h"
#include "kit/Window.h"
#include "support/TestSupport.h"

namespace {

int reportFd = -1;
std::string textFile;

void report(const std::string& line) {
  std::string text = line + "\n";
  ssize_t ignored = write(reportFd, text.data(), text.size());
  (void)ignored;
}

class TypingDelegate : public kit::ApplicationDelegate, public kit::TextFieldDelegate {
 public:
  ~TypingDelegate() override {
    std::ofstream(textFile, std::ios::binary) << field_->text();
    report("wrote");
  }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    window_->backgroundColor = kit::Color::white();
    auto field = std::make_unique<kit::TextField>(kit::Size{400, 40});
    field->setCenter({384, 200});
    field->borderStyle = kit::BorderStyle::RoundedRect;
    field->delegate = this;
    field_ = window_->addSubview(std::move(field));
    window_->makeKeyAndVisible();
    field_->becomeFirstResponder();
    report("launched");
    return true;
  }
  bool shouldChangeCharactersInRange(kit::TextField*, kit::Range range,
                                     const std::string& replacement) override {
    report("edit " + std::to_string(range.location) + " " + std::to_string(range.length) + " " +
           replacement);
    return replacement != "#";  // a refused key, to see the filter applies to real keys
  }
  bool textFieldShouldReturn(kit::TextField* field) override {
    report("return " + field->text());
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
  kit::TextField* field_ = nullptr;
};

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

// Reads the child's report lines until one equals `expected`, or the time is up.
class Reports {
 public:
  explicit Reports(int fd) : fd_(fd) {}

  bool waitFor(const std::string& expected, double seconds) {
    double deadline = clock_.now() + seconds;
    for (;;) {
      size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        lines += line + "\n";
        if (line == expected) return true;
        continue;
      }
      double left = deadline - clock_.now();
      if (left <= 0) return false;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
      char chunk[256];
      ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) return false;  // the child is gone
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  std::string lines;  // everything read so far, for failure messages

 private:
  int fd_;
  std::string buffer_;
  kit::SteadyClock clock_;
};

// An X server of this test's own, so that the clicks of another window test running at the same
// time cannot land on this test's window, nor its keys on theirs.
class PrivateDisplay {
 public:
  PrivateDisplay() {
    if (run("command -v Xvfb").empty()) return;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      close(fds[0]);
      fcntl(fds[1], F_SETFD, 0);  // the server writes its display number here
      std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x1280x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return;
    if (const char* old = std::getenv("DISPLAY")) oldDisplay_ = old;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    active_ = true;
  }
  ~PrivateDisplay() {
    if (active_) setenv("DISPLAY", oldDisplay_.c_str(), 1);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }

 private:
  pid_t pid_ = -1;
  bool active_ = false;
  std::string oldDisplay_;
};

}  // namespace

TEST(SdlTyping, RealKeyEventsReachTheFocusedFieldThroughItsDelegate) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
  if (run("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";

  PrivateDisplay display;
  testing_support::TempHome home;
  textFile = home.path() + "/field.txt";
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  std::string title = "kit-typing-" + std::to_string(getpid());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    close(fds[0]);
    reportFd = fds[1];
    std::string name = title;
    char* argv[] = {name.data(), nullptr};
    int status = kit::applicationMain(1, argv, [] { return std::make_unique<TypingDelegate>(); });
    _exit(status);
  }
  close(fds[1]);
  Reports reports(fds[0]);
  auto killChild = [&] {
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
  };

  ASSERT_TRUE(reports.waitFor("launched", 20)) << reports.lines;
  std::string window =
      run("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$' | head -n1");
  while (!window.empty() && window.back() == '\n') window.pop_back();
  if (window.empty()) {
    killChild();
    FAIL() << "the window did not appear";
  }

  // Each character is one edit at the caret, the first capitalised; "#" is refused.
  run("xdotool type --window " + window + " --delay 30 'hi yo#u'");
  EXPECT_TRUE(reports.waitFor("edit 5 0 u", 10)) << reports.lines;
  EXPECT_NE(reports.lines.find("edit 0 0 H\n"), std::string::npos) << reports.lines;
  EXPECT_NE(reports.lines.find("edit 5 0 #\n"), std::string::npos) << reports.lines;

  // Backspace deletes the character before the caret; return goes to the delegate.
  run("xdotool key --window " + window + " --delay 30 BackSpace Return");
  EXPECT_TRUE(reports.waitFor("edit 5 1 ", 10)) << reports.lines;
  EXPECT_TRUE(reports.waitFor("return Hi yo", 10)) << reports.lines;

  kill(child, SIGTERM);
  bool wrote = reports.waitFor("wrote", 20);
  EXPECT_TRUE(wrote) << reports.lines;
  if (!wrote) {
    killChild();
  } else {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  close(fds[0]);
  EXPECT_EQ(testing_support::readAll(textFile), "Hi yo");
}
