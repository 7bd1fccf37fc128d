#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>

#include "kit/app/Application.h"
#include "kit/base/Clock.h"
#include "kit/base/Color.h"
#include "kit/ui/Renderer.h"

namespace kit {

// One line of a runner script, parsed: `name` is empty for a blank or comment line.
struct ScriptCommand {
  std::string name;
  double x = 0, y = 0;    // tap, down, move, up, drag's start: screen points
  double x1 = 0, y1 = 0;  // drag's end
  int count = 1;          // tap: how many taps
  double seconds = 0;     // wait, drag
  // type, paste: the text; key: the key's name; shot: the file; a command of the caller's: the
  // rest of the line.
  std::string text;
};
inline constexpr int kMaxTapCount = 100;
inline constexpr double kMaxWait = 3600;  // seconds

// Parses one line; false with the reason in `error` when it is malformed. Commands other than
// the built-in ones are left for the caller.
bool parseScriptLine(std::string line, ScriptCommand& command, std::string& error);

// The application without a window: a manual clock stepped at 60 Hz, input given as calls or as
// a script, screenshots as PNG files. Tests and the replay tool drive the real program with it.
class Headless {
 public:
  explicit Headless(double scale = 1);
  ~Headless();

  Application& app() { return *app_; }
  ManualClock& clock() { return clock_; }
  Renderer& renderer() { return renderer_; }

  bool launch(std::unique_ptr<ApplicationDelegate> delegate);

  // A person's actions, in screen points. Each runs one turn of the run loop after it.
  void tap(double x, double y, int count = 1);  // `count` taps 0.1 s apart
  void down(double x, double y);
  void up(double x, double y);
  void move(double x, double y);  // the finger that is down slides to (x, y)
  // Down at (x0, y0), sliding in a straight line to (x1, y1) over `seconds`, one step a frame,
  // and up there: a slow drag or a quick throw.
  void drag(double x0, double y0, double x1, double y1, double seconds);
  void type(const std::string& text);   // one keystroke per character, into the focused field
  void paste(const std::string& text);  // one edit
  bool key(const std::string& name);    // "backspace", "return", "hide"; false for other names
  // Advances the clock in 1/60 s steps. Work running on other threads (a mail being sent) is
  // first waited for in real time, so that what a script sees does not hang on the machine's speed.
  void wait(double seconds);
  // Waits in real time until no work runs on other threads and its results have been delivered;
  // false when it took longer than a bounded time.
  bool finishBackgroundWork();
  // Renders the screen as it looks now (drawing what changed since the last picture); writes a PNG
  // when `file` is not empty.
  bool shot(const std::string& file);
  Color colorAt(Point screenPoint);  // renders, then reads one pixel

  // Runs a script of the commands tap, down, move, up, drag, type, paste, key, wait and shot, one a
  // line,
  // '#' starting a comment. Commands it does not know go to `extra` (which answers whether it
  // handled them). Stops at the first bad line, reporting it with its number on `errors`; returns
  // 0 on success, else that line's number. At the end it waits for work still running.
  using ExtraCommand = std::function<bool(const std::string& command, std::istringstream& args)>;
  int runScript(std::istream& script, std::ostream& errors, const ExtraCommand& extra = {});

 private:
  ManualClock clock_;
  Renderer renderer_;
  bool drawnOnce_ = false;
  std::unique_ptr<Application> app_;
};

}  // namespace kit
