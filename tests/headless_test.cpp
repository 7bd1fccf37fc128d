// The headless backend: a person's actions as calls and as scripts, the 60 Hz clock, screenshots.

#include "kit/backends/headless/Headless.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kit/Screen.h"
#include "kit/TextField.h"
#include "kit/View.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

// Records the touches it gets.
class TouchRecorder : public View {
 public:
  using View::View;
  struct Down {
    int tapCount;
    double time;
  };
  void touchesBegan(const TouchSet& touches, const Event*) override {
    for (const Touch* touch : touches) downs.push_back({touch->tapCount, touch->timestamp});
  }
  void touchesEnded(const TouchSet& touches, const Event*) override {
    ups += static_cast<int>(touches.count());
  }
  std::vector<Down> downs;
  int ups = 0;
};

// Records each edit a field asks about.
class EditRecorder : public TextFieldDelegate {
 public:
  bool shouldChangeCharactersInRange(TextField*, Range, const std::string& text) override {
    edits.push_back(text);
    return true;
  }
  std::vector<std::string> edits;
};

TouchRecorder* addRecorder(Headless& h) {
  auto view = std::make_unique<TouchRecorder>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
  view->setCenter({kScreenWidth / 2, kStatusBarHeight + (kScreenHeight - kStatusBarHeight) / 2});
  view->backgroundColor = Color::white();
  return h.app().screen().windowLayer()->addSubview(std::move(view));
}

// Width and height from a PNG file's header.
std::pair<int, int> pngSize(const std::string& path) {
  std::string bytes = testing_support::readAll(path);
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    int value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  return {be32(16), be32(20)};
}

}  // namespace

TEST(Headless, TapsAndWaitsRunTheLoopOnASixtyHertzClock) {
  Headless h;
  TouchRecorder* view = addRecorder(h);

  // Three taps 0.1 s apart count 1, 2, 3; no time passes after the last one.
  h.tap(100, 200, 3);
  ASSERT_EQ(3u, view->downs.size());
  EXPECT_EQ(3, view->ups);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(i + 1, view->downs[i].tapCount);
    EXPECT_NEAR(0.1 * i, view->downs[i].time, 1e-9);
  }
  EXPECT_NEAR(0.2, h.clock().now(), 1e-9);

  // A did-stop callback runs from the loop within one frame of its block's end.
  double stoppedAt = -1;
  View::beginAnimations("fade", nullptr);
  View::setAnimationDuration(0.1);
  View::setAnimationDidStop(
      [&](Object*, const std::string&, bool, void*) { stoppedAt = h.clock().now(); });
  view->setAlpha(0.5);
  View::commitAnimations();
  h.wait(0.5);
  EXPECT_NEAR(0.7, h.clock().now(), 1e-9);
  EXPECT_GE(stoppedAt, 0.3 - 1e-9);
  EXPECT_LE(stoppedAt, 0.3 + 1.0 / 60 + 1e-9);

  // Down and up are the two halves of one tap; after a pause the streak starts again.
  h.down(100, 200);
  EXPECT_EQ(4u, view->downs.size());
  EXPECT_EQ(3, view->ups);
  EXPECT_EQ(1, view->downs.back().tapCount);
  h.up(100, 200);
  EXPECT_EQ(4, view->ups);
}

TEST(Headless, KeystrokesPastesAndKeysReachTheFocusedField) {
  Headless h;
  View* root = addRecorder(h);
  EditRecorder recorder;
  auto field = std::make_unique<TextField>(Size{300, 40});
  field->setCenter({200, 100});
  field->delegate = &recorder;
  TextField* name = root->addSubview(std::move(field));
  ASSERT_TRUE(name->becomeFirstResponder());

  // One keystroke per character, multi-byte ones whole.
  h.type("Añ€");
  EXPECT_EQ((std::vector<std::string>{"A", "ñ", "€"}), recorder.edits);
  h.paste("xyz");
  EXPECT_EQ("xyz", recorder.edits.back());
  EXPECT_EQ("Añ€xyz", name->text());
  EXPECT_TRUE(h.key("backspace"));
  EXPECT_EQ("Añ€xy", name->text());
  // In a script, typed text runs to the end of the line, '#' included.
  std::istringstream script("type  #3 \r\n");
  std::ostringstream errors;
  EXPECT_EQ(0, h.runScript(script, errors));
  EXPECT_EQ("Añ€xy #3 ", name->text());
  EXPECT_FALSE(h.key("escape"));
  EXPECT_TRUE(h.key("hide"));
  EXPECT_FALSE(name->isFirstResponder());
  EXPECT_EQ(nullptr, h.app().firstResponder());
}

TEST(Headless, ScriptsRunLineByLineAndNameTheirBadLine) {
  Headless h;
  TouchRecorder* view = addRecorder(h);
  std::string shot = testing_support::outputDirectory() + "/headless_script.png";
  std::filesystem::remove(shot);
  std::vector<std::string> extras;
  auto extra = [&](const std::string& command, std::istringstream& args) {
    if (command != "mark") return false;
    std::string a, b;
    args >> a >> b;
    extras.push_back(a + "+" + b);
    return true;
  };

  std::istringstream good(
      "# taps, then a pause\n"
      "\n"
      "tap 100 200 2   # a double tap\n"
      "  wait 0.5\n"
      "down 100 200\n"
      "up 100 200\n"
      "mark one two\n"
      "shot " +
      shot + "\n");
  std::ostringstream errors;
  EXPECT_EQ(0, h.runScript(good, errors, extra));
  EXPECT_EQ("", errors.str());
  ASSERT_EQ(3u, view->downs.size());
  EXPECT_EQ(2, view->downs[1].tapCount);
  EXPECT_EQ(1, view->downs[2].tapCount);
  EXPECT_NEAR(0.6, h.clock().now(), 1e-9);
  EXPECT_EQ((std::vector<std::string>{"one+two"}), extras);
  EXPECT_EQ((std::pair{768, 1024}), pngSize(shot));

  // Each bad line stops the script there: what came before ran, nothing after.
  struct Case {
    std::string line;
    std::string says;
  };
  for (const Case& bad : std::vector<Case>{{"tap 100", "X Y"},
                                           {"tap 1 2 0", "tap count"},
                                           {"tap 1 2 3 4", "too many"},
                                           {"wait soon", "seconds"},
                                           {"key fly", "fly"},
                                           {"jump 3 4", "unknown command 'jump'"},
                                           {"shot", "file"}}) {
    SCOPED_TRACE(bad.line);
    size_t before = view->downs.size();
    std::istringstream script("# one tap first\ntap 300 300\n" + bad.line + "\ntap 300 300\n");
    std::ostringstream report;
    EXPECT_EQ(3, h.runScript(script, report, extra));
    EXPECT_NE(std::string::npos, report.str().find("line 3")) << report.str();
    EXPECT_NE(std::string::npos, report.str().find(bad.says)) << report.str();
    EXPECT_EQ(before + 1, view->downs.size());
  }
}

TEST(Headless, ShotsAreTakenAtTheBackendsScale) {
  Headless h(2);
  addRecorder(h);
  EXPECT_EQ(2, currentRenderScale());
  std::string shot = testing_support::outputDirectory() + "/headless_scale2.png";
  ASSERT_TRUE(h.shot(shot));
  EXPECT_EQ((std::pair{1536, 2048}), pngSize(shot));
  EXPECT_EQ(Color::white(), h.colorAt({400, 500}));
  EXPECT_EQ(Color::black(), h.colorAt({10, 10}));
  EXPECT_FALSE(h.shot("/nonexistent-folder/shot.png"));
}
