// The headless backend: a person's actions as calls and as scripts, and screenshots.

#include "kit/backends/headless/Headless.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kit/ui/Screen.h"
#include "kit/ui/View.h"
#include "support/TestSupport.h"

using namespace kit;
using testing_support::pngSize;

namespace {

// Records the touches it gets.
class TouchRecorder : public View {
 public:
  TouchRecorder() : View(Size{}) {}
  struct Down {
    int tapCount;
    double time;
  };
  void touchesBegan(const TouchSet& touches, const Event*) override {
    for (const Touch* touch : touches) downs.push_back({touch->tapCount, touch->timestamp});
  }
  void touchesMoved(const TouchSet& touches, const Event*) override {
    moves.push_back(touches.anyObject()->locationOnScreen);
  }
  std::vector<Down> downs;
  std::vector<Point> moves;
};

TouchRecorder* addRecorder(Headless& h) {
  return static_cast<TouchRecorder*>(
      testing_support::addWhiteRoot(h, std::make_unique<TouchRecorder>()));
}

}  // namespace

TEST(Headless, ScriptsRunLineByLineAndNameTheirBadLine) {
  Headless h;
  TouchRecorder* view = addRecorder(h);
  std::string shot = testing_support::outputDirectory() + "/headless_script.png";
  std::filesystem::remove(shot);
  std::vector<std::string> extras;  // commands the backend does not know go to the caller
  auto extra = [&](const std::string& command, std::istringstream& args) {
    std::string rest;
    std::getline(args, rest);
    extras.push_back(command + ":" + rest);
    return command == "mark";
  };

  std::istringstream good(
      "# taps, then a pause\n\ntap 100 200 2   # a double tap\n  wait 0.5\n"
      "down 100 200\nmove 110 220\nup 100 200\nmark one two\ndrag 100 200 100 300 0.25\nshot " +
      shot + "\n");
  std::ostringstream errors;
  EXPECT_EQ(0, h.runScript(good, errors, extra));
  EXPECT_EQ("", errors.str());
  ASSERT_EQ(4u, view->downs.size());
  EXPECT_EQ(2, view->downs[1].tapCount);
  EXPECT_EQ(1, view->downs[2].tapCount);
  // A drag moves once a frame, in a straight line, ending where it lifts.
  ASSERT_EQ(16u, view->moves.size());
  EXPECT_EQ((Point{110, 220}), view->moves[0]);
  EXPECT_EQ((Point{100, 300}), view->moves.back());
  EXPECT_NEAR(0.85, h.clock().now(), 1e-9);
  EXPECT_EQ((std::vector<std::string>{"mark:one two"}), extras);
  EXPECT_EQ((std::pair{768, 1024}), pngSize(shot));
  EXPECT_FALSE(h.shot("/nonexistent-folder/shot.png"));

  // Each bad line stops the script there: what came before ran, nothing after.
  const std::pair<std::string, std::string> badLines[] = {{"tap 100", "X Y"},
                                                          {"tap 1 2 0", "tap count"},
                                                          {"tap 1 2 3 4", "too many"},
                                                          {"wait soon", "seconds"},
                                                          {"key fly", "fly"},
                                                          {"jump 3 4", "unknown command 'jump'"},
                                                          {"shot", "file"},
                                                          {"move 1", "X Y"},
                                                          {"drag 1 2 3 4", "X0 Y0 X1 Y1"},
                                                          {"tap 1 2 1e300", "tap count"},
                                                          {"wait 1e12", "seconds"}};
  for (const auto& [line, says] : badLines) {
    size_t before = view->downs.size();
    std::istringstream script("# one tap first\ntap 300 300\n" + line + "\ntap 300 300\n");
    std::ostringstream report;
    EXPECT_EQ(3, h.runScript(script, report, extra)) << line;
    EXPECT_NE(std::string::npos, report.str().find("line 3")) << report.str();
    EXPECT_NE(std::string::npos, report.str().find(says)) << report.str();
    EXPECT_EQ(before + 1, view->downs.size()) << line;
  }
}
