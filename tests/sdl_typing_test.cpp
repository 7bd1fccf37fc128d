// Real key events into a field in a real window: a child process runs the program with a field
// holding the keyboard while this one types into the window with xdotool. The child reports each
// edit its delegate is asked about, and the field's text on exit.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "kit/app/Application.h"
#include "kit/text/TextField.h"
#include "kit/ui/Window.h"
#include "support/SdlChild.h"

using testing_support::run;
using testing_support::SdlChild;

namespace {

class TypingDelegate : public kit::ApplicationDelegate, public kit::TextFieldDelegate {
 public:
  ~TypingDelegate() override { SdlChild::report("text " + field_->text()); }
  bool didFinishLaunchingWithOptions(kit::Application&) override {
    window_ = std::make_unique<kit::Window>();
    window_->backgroundColor = kit::Color::white();
    field_ = window_->addSubview(std::make_unique<kit::TextField>(kit::Size{400, 40}));
    field_->setCenter({384, 200});
    field_->delegate = this;
    window_->makeKeyAndVisible();
    field_->becomeFirstResponder();
    SdlChild::report("launched");
    return true;
  }
  bool shouldChangeCharactersInRange(kit::TextField*, kit::Range range,
                                     const std::string& replacement) override {
    SdlChild::report("edit " + std::to_string(range.location) + " " + std::to_string(range.length) +
                     " " + replacement);
    return replacement != "#";  // a refused key, to see the filter applies to real keys
  }
  bool textFieldShouldReturn(kit::TextField* field) override {
    SdlChild::report("return " + field->text());
    return true;
  }

 private:
  std::unique_ptr<kit::Window> window_;
  kit::TextField* field_ = nullptr;
};

}  // namespace

TEST(SdlTyping, RealKeyEventsReachTheFocusedFieldThroughItsDelegate) {
  if (std::string why = testing_support::whyNoWindowTests(); !why.empty()) GTEST_SKIP() << why;
  SdlChild child("kit-typing-" + std::to_string(getpid()),
                 [] { return std::make_unique<TypingDelegate>(); });
  ASSERT_TRUE(child.waitFor("launched", 20)) << child.lines;
  std::string window = child.findWindow();
  ASSERT_FALSE(window.empty()) << "the window did not appear";

  // Each character is one edit at the caret, the first capitalised; "#" is refused.
  run("xdotool type --window " + window + " --delay 30 'hi yo#u'");
  EXPECT_TRUE(child.waitFor("edit 5 0 u", 10)) << child.lines;
  EXPECT_NE(child.lines.find("edit 0 0 H\n"), std::string::npos) << child.lines;
  EXPECT_NE(child.lines.find("edit 5 0 #\n"), std::string::npos) << child.lines;

  // Backspace deletes the character before the caret; return goes to the delegate.
  run("xdotool key --window " + window + " --delay 30 BackSpace Return");
  EXPECT_TRUE(child.waitFor("edit 5 1 ", 10)) << child.lines;
  EXPECT_TRUE(child.waitFor("return Hi yo", 10)) << child.lines;
  EXPECT_TRUE(child.quit("text Hi yo")) << child.lines;
}
