#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/app/ApplicationDelegate.h"
#include "kit/base/Clock.h"
#include "kit/base/Geometry.h"
#include "kit/base/PowerSupply.h"
#include "kit/base/RunLoop.h"
#include "kit/ui/Screen.h"
#include "kit/ui/ViewController.h"

namespace kit {

class Animator;
class TextField;
class View;
class Window;

// Named thresholds of tap counting: a touch-down within this time and distance of the previous
// one counts one more tap; otherwise the streak starts again at 1.
inline constexpr double kMultiTapInterval = 0.35;  // seconds
inline constexpr double kMultiTapDistance = 20;    // points

// The program's one application: it owns the run loop and the screen (with its windows, overlays
// and animator), delivers touches and keys, and turns the run loop. Views reach what they need
// through their screen; only entry points and backends reach the application through `shared()`.
class Application {
 public:
  explicit Application(Clock& clock);
  // Teardown in order of ownership: queued work, then running animations, then the delegate with
  // its windows and controllers, then the views left on the screen.
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  static Application* shared();
  Clock& clock() const { return clock_; }

  // Takes the delegate and sends it didFinishLaunchingWithOptions.
  bool launch(std::unique_ptr<ApplicationDelegate> delegate);
  ApplicationDelegate* delegate() const { return delegate_.get(); }

  // The whole screen: the key window, modal screens, the keyboard and alerts above it.
  Screen& screen() const { return *screen_; }
  RunLoop& runLoop() const { return *runLoop_; }
  Window* keyWindow() const { return screen_->keyWindow(); }
  void setKeyWindow(Window* window) { screen_->setKeyWindow(window); }

  // Input in screen points (status bar included). `finger` tells touches apart. A touch that
  // begins while a transition runs (from its commit, delay included, to its end) is not delivered
  // at all; touches already down go on to their end.
  void touchDown(Point screenPoint, int finger = 0);
  void touchMoved(Point screenPoint, int finger = 0);
  void touchUp(Point screenPoint, int finger = 0);
  // The touch ends without effect: the system took it over (a compositor's gesture).
  void touchCancelled(int finger);
  // Text typed on a physical keyboard (one or more characters, already composed).
  void textInput(const std::string& text);
  enum class Key { Backspace, Return, Tab, Escape };
  void keyDown(Key key);
  void paste(const std::string& text);

  // The display turned; the root controller decides. Portrait upside down turns the screen.
  void orientationChanged(InterfaceOrientation orientation);
  InterfaceOrientation screenOrientation() const { return orientation_; }
  void memoryWarning();

  // One turn of the run loop at the clock's current time: ends finished animation blocks (their
  // did-stop callbacks run here) and runs queued tasks.
  void runOnce();
  // Queues `task` for the next turn of the run loop.
  void post(std::function<void()> task) { runLoop_->post(std::move(task)); }
  // Queues `task` for the first turn of the run loop at or after clock time `time`, which the loop
  // wakes for; it is dropped if `owner` has gone by then.
  void postAt(double time, const Object& owner, std::function<void()> task) {
    runLoop_->postAt(time, owner, std::move(task));
  }
  // The clock time of the last touch or key, or of the launch before any: how long the screen
  // has been left alone.
  double lastInputTime() const { return lastInputTime_; }

  // Runs `work` on a thread of its own, at a lower priority than the main thread; the function it
  // returns then runs on the main thread, on a turn of the run loop. While work is in flight the
  // run loop keeps turning at frame pace.
  void runInBackground(std::function<std::function<void()>()> work) {
    runLoop_->runInBackground(std::move(work));
  }
  size_t backgroundWorkInFlight() const { return runLoop_->backgroundWorkInFlight(); }
  // Blocks (in real time, at most `timeoutSeconds`) until no work is in flight, then runs one
  // turn so that the finished work reports; false on timeout.
  bool waitForBackgroundWork(double timeoutSeconds);

  // True when the screen may look different from the last frame drawn: after a change, and while
  // an animation or a frame update moves (not while an animation waits out its delay).
  bool needsDisplay() const;
  // Damage: the whole screen must be drawn again, or only a rect of it (in screen points).
  // Views ask through View::setNeedsDisplay, in their own coordinates.
  void setNeedsDisplay() { screen_->setNeedsDisplay(); }
  void setNeedsDisplayInRect(Rect screenRect) { screen_->setNeedsDisplayInRect(screenRect); }
  using Damage = Screen::Damage;
  // What the next frame must draw, the areas of moving animations included; the damage is then
  // clean. It is taken before drawing, so that damage raised while drawing is not lost.
  Damage takeDamage();
  // The screen will change by itself at clock time `time` (a caret blink): the run loop wakes
  // then and the frame is drawn again.
  void setNeedsDisplayAt(double time) { screen_->setNeedsDisplayAt(time); }
  // Only `rect` of `view` (in its coordinates) changes at `time`, if the view still exists.
  void setNeedsDisplayAt(double time, const View& view, Rect rect) {
    screen_->setNeedsDisplayAt(time, view, rect);
  }
  void didDisplay() { screen_->didDisplay(); }
  // The earliest clock time at which something changes by itself (an animation starting to move
  // or ending, a caret blink, a queued task, a touch held back by a scroll view): now while an
  // animation or a frame update moves, infinity when nothing will. The SDL loop sleeps until
  // then, or until the next frame is due.
  double nextWakeTime() const;
  // Work the window loops give the kit when there is nothing to draw and no input waits: the
  // pictures of screens that are hidden now decoded (on another thread) and each such screen
  // drawn once aside, so that the transition that reveals one starts within a frame. One step a
  // call; true when more is left, so that the loop calls again once it has looked for input.
  bool prepareWhileIdle();
  // Calls `update` with the clock's time on every turn of the run loop, until it returns false or
  // `owner` is destroyed; meanwhile the loop wakes every frame. For motion computed from the time,
  // such as a scroll view's momentum.
  void addFrameUpdate(const Object& owner, std::function<bool(double now)> update) {
    runLoop_->addFrameUpdate(owner, std::move(update));
  }

  // The battery that the status bar shows, or none, drawn as none. The backend reads the system's
  // (headless: a full one); a change redraws the status bar.
  const std::optional<BatteryState>& battery() const { return screen_->battery(); }
  void setBattery(const std::optional<BatteryState>& battery) { screen_->setBattery(battery); }

  Animator& animator() const { return screen_->animator(); }

  // The field that holds the keyboard, if any.
  TextField* firstResponder() const;

 private:
  struct TouchState;
  void deliverHeldBackTouches();
  Clock& clock_;
  // Declared in the order of teardown, last first: the run loop outlives the screen, whose views
  // may still queue work as they go.
  std::unique_ptr<RunLoop> runLoop_;
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<ApplicationDelegate> delegate_;
  InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
  double lastInputTime_ = 0;
  std::vector<std::unique_ptr<TouchState>> touches_;
  // What prepareWhileIdle has done: pictures being decoded, and the hidden views drawn aside at
  // the render scale of the time.
  bool decoding_ = false;
  struct Prepared {
    const View* view;
    std::weak_ptr<const void> alive;
  };
  std::vector<Prepared> prepared_;
  double preparedScale_ = 0;
  // Tap streak.
  double lastTapTime_ = -1e9;
  Point lastTapPoint_;
  int lastTapCount_ = 0;
};

}  // namespace kit
