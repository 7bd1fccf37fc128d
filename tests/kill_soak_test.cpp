// The real kiosk killed with SIGKILL at random moments while visitors submit, through the headless
// runner, starting with and without a data file. After every kill: no torn record, no lost
// record whose thank-you was shown, nothing left beside the data file. TOLVIK_SOAK_KILLS sets
// the number of kills (default 20).

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <thread>

#include "support/TestSupport.h"
#include "survey/Record.h"
#include "survey/Tables.h"

extern char** environ;

namespace {

using testing_support::countOf;
using testing_support::readAll;
using testing_support::TempHome;

constexpr int kVisitors = 6;

std::string recordOf(int visitor) {
  survey::ContactTexts contact{
      "Visitor" + std::to_string(visitor), "Berg", "(555) 201-3344", "anna@example.com", "F", "34"};
  std::vector<bool> on{false, true,  false, false, false, true,
                       true,  false, false, true,  true,  false};
  return survey::buildRecord(contact, on, survey::answerTexts()).text;
}

// Visitors one after another; staff double-tap each thank-you screen, which the log shows as
// touches of the thank-you view (tag 110).
std::string writeScript(const std::string& folder) {
  std::string path = folder + "/visitors.txt";
  std::ofstream script(path);
  for (int v = 1; v <= kVisitors; ++v) {
    script << testing_support::visitorScript(
        {"Visitor" + std::to_string(v), "Berg", "5552013344", "anna@example.com", "F", "34"});
  }
  return path;
}

// Runs the runner on the script with HOME at `home` and reads its log as it is written. After
// log line `killAtLine` (if the run gets that far), and `delay` seconds more, it is killed.
// Returns the log.
std::string runAndKill(const std::string& script, const std::string& home, int killAtLine,
                       double delay = 0) {
  std::string tool = std::string(TOLVIK_BUILD_DIR) + "/tolvik-replay";
  std::string homeVariable = "HOME=" + home;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0) env.push_back(*e);
  }
  env.push_back(homeVariable.data());
  env.push_back(nullptr);
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  char* argv[] = {tool.data(), const_cast<char*>(script.c_str()), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv, env.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  std::string log;
  char buffer[4096];
  ssize_t n;
  bool killed = false;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
    log.append(buffer, static_cast<size_t>(n));
    if (!killed && countOf(log, "\n") >= killAtLine) {
      std::this_thread::sleep_for(std::chrono::duration<double>(delay));
      kill(pid, SIGKILL);
      killed = true;
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return log;
}

TEST(KillSoak, NoTornNoLostRecordAndNothingLeftBesideTheDataFile) {
  const int kills =
      std::getenv("TOLVIK_SOAK_KILLS") ? std::atoi(std::getenv("TOLVIK_SOAK_KILLS")) : 20;
  TempHome scratch;
  const std::string script = writeScript(scratch.path());
  const std::string header = survey::headerLine(survey::questionTexts());
  const std::string earlier = header + recordOf(0);

  // A whole run, unkilled, counts the log lines at which kills may come.
  int lines = 0;
  {
    TempHome home;
    std::filesystem::create_directory(home.documents());
    lines = countOf(runAndKill(script, home.path(), std::numeric_limits<int>::max()), "\n");
    ASSERT_EQ(readAll(home.documents() + "/TolvikData.txt").size(),
              header.size() + kVisitors * recordOf(1).size());
  }

  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (int k = 0; k < kills; ++k) {
    TempHome home;
    const std::string folder = home.documents(), path = folder + "/TolvikData.txt";
    std::filesystem::create_directory(folder);
    const bool withFile = k % 2 == 1;
    if (withFile) testing_support::writeAll(path, earlier);
    // Every third kill comes about when the data file is created: right after the start-up's
    // first log lines. The others come anywhere, a little after a log line.
    int killAtLine = std::uniform_int_distribution<int>(0, k % 3 == 0 ? 2 : lines)(random);
    double killAfter = std::uniform_real_distribution<double>(0, 0.002)(random);
    const std::string log = runAndKill(script, home.path(), killAtLine, killAfter);
    SCOPED_TRACE("kill " + std::to_string(k) + " at line " + std::to_string(killAtLine));

    // Whole records only, in order, and every visitor whose thank-you was seen among them.
    std::string expected = withFile ? earlier : header;
    int stored = 0;
    if (std::filesystem::exists(path)) {
      const std::string file = readAll(path);
      while (stored < kVisitors && file.size() > expected.size()) {
        expected += recordOf(++stored);
      }
      EXPECT_EQ(file, expected);
    } else {
      EXPECT_FALSE(withFile);
    }
    EXPECT_LE(countOf(log, "button touch: 110") / 2, stored) << log;

    for (auto& entry : std::filesystem::directory_iterator(folder)) {
      EXPECT_EQ(entry.path().filename(), "TolvikData.txt");
    }
  }
}

}  // namespace
