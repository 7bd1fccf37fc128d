#include "kit/base/Log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

}  // namespace

TEST(Log, LinesCarryTimeProgramAndPid) {
  testing_support::StderrCapture captured;
  kit::log("plain %d %s", 42, "words");
  kit::setLogProgramName("tolvik-kiosk");
  std::string big(20000, 'x');
  kit::log("%s", big.c_str());
  kit::setLogProgramName(nullptr);  // back to the executable's name
  kit::log("default again");
  std::vector<std::string> got = lines(captured.finish());

  ASSERT_EQ(got.size(), 3u);
  std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )";
  std::string pid = "\\[" + std::to_string(getpid()) + "\\] ";
  EXPECT_TRUE(std::regex_match(got[0], std::regex(stamp + "log_test" + pid + "plain 42 words")))
      << got[0];
  EXPECT_TRUE(
      std::regex_match(got[1].substr(0, 60), std::regex(stamp + "tolvik-kiosk" + pid + "x+")));
  EXPECT_EQ(got[1].substr(got[1].find("] ") + 2), big) << "a long message is written whole";
  EXPECT_TRUE(std::regex_match(got[2], std::regex(stamp + "log_test" + pid + "default again")))
      << got[2];
}

TEST(Log, LinesFromSeveralThreadsNeverMix) {
  testing_support::StderrCapture captured;
  auto writer = [](char letter) {
    std::string filler(300, letter);
    for (int i = 0; i < 50; ++i) kit::log("%c %s", letter, filler.c_str());
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  writer('c');
  a.join();
  b.join();
  std::vector<std::string> got = lines(captured.finish());
  ASSERT_EQ(got.size(), 150u);
  for (const std::string& line : got) {
    std::string message = line.substr(line.find("] ") + 2);
    EXPECT_EQ(message, std::string(1, message[0]) + " " + std::string(300, message[0]));
  }
}
