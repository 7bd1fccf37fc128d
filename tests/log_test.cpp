#include "kit/Log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace {

// Sends standard error to a file while it lives; `text()` reads what was written.
class CapturedStderr {
 public:
  CapturedStderr()
      : path_(testing_support::outputDirectory() + "/log-" + std::to_string(getpid())) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    std::FILE* file = std::fopen(path_.c_str(), "w");
    dup2(fileno(file), STDERR_FILENO);
    std::fclose(file);
  }
  ~CapturedStderr() {
    restore();
    std::remove(path_.c_str());
  }
  std::string text() {
    restore();
    return testing_support::readAll(path_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

}  // namespace

TEST(Log, LinesCarryTimeProgramAndPid) {
  CapturedStderr captured;
  kit::log("plain %d %s", 42, "words");
  kit::setLogProgramName("tolvik-kiosk");
  kit::log("named");
  std::string big(100000, 'x');
  kit::log("%s", big.c_str());
  kit::setLogProgramName(nullptr);  // back to the executable's name
  kit::log("default again");
  std::vector<std::string> got = lines(captured.text());

  ASSERT_EQ(got.size(), 4u);
  std::string pid = std::to_string(getpid());
  std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
  EXPECT_TRUE(
      std::regex_match(got[0], std::regex(stamp + "log_test\\[" + pid + "\\] plain 42 words")))
      << got[0];
  EXPECT_TRUE(std::regex_match(got[1], std::regex(stamp + "tolvik-kiosk\\[" + pid + "\\] named")))
      << got[1];
  EXPECT_TRUE(std::regex_match(got[2].substr(0, 40), std::regex(stamp + "tolvik-kiosk.*")));
  EXPECT_EQ(got[2].substr(got[2].find("] ")), "] " + big) << "a long message is written whole";
  EXPECT_TRUE(got[3].find(" log_test[" + pid + "] default again") != std::string::npos) << got[3];
}

TEST(Log, LinesFromSeveralThreadsNeverMix) {
  CapturedStderr captured;
  auto writer = [](char letter) {
    std::string filler(300, letter);
    for (int i = 0; i < 200; ++i) kit::log("%c %s", letter, filler.c_str());
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  writer('c');
  a.join();
  b.join();
  std::vector<std::string> got = lines(captured.text());
  ASSERT_EQ(got.size(), 600u);
  for (const std::string& line : got) {
    size_t start = line.find("] ") + 2;
    char letter = line[start];
    EXPECT_EQ(line.substr(start), std::string(1, letter) + " " + std::string(300, letter));
  }
}
