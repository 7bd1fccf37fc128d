#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kit/app/ApplicationDelegate.h"
#include "kit/base/Clock.h"
#include "kit/base/Geometry.h"
#include "kit/base/PowerSupply.h"
#include "kit/ui/ViewController.h"

namespace kit {

class Animator;
class Screen;
class TextField;
class View;
class Window;

// Named thresholds of tap counting: a touch-down within this time and distance of the previous
// one counts one more tap; otherwise the streak starts again at 1.
inline constexpr double kMultiTapInterval = 0.35;  // seconds
inline constexpr double kMultiTapDistance = 20;    // points
// The time between frames while something moves, where the display does not set it.
inline constexpr double kFrameInterval = 1.0 / 60;  // seconds

// The run loop's state: the clock, the screen with its windows and overlays, touch delivery,
// animations and tasks queued for the next turn. One exists at a time; kit calls reach it through
// `shared()`.
class Application {
 public:
  explicit Application(Clock& clock);
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
  Window* keyWindow() const { return keyWindow_; }
  void setKeyWindow(Window* window);

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
  void post(std::function<void()> task);
  // Queues `task` for the first turn of the run loop at or after clock time `time`, which the loop
  // wakes for; it is dropped if `owner` has gone by then.
  void postAt(double time, const Object& owner, std::function<void()> task);
  // The clock time of the last touch or key, or of the launch before any: how long the screen
  // has been left alone.
  double lastInputTime() const { return lastInputTime_; }

  // Runs `work` on a thread of its own, at a lower priority than the main thread; the function it
  // returns then runs on the main thread, on a turn of the run loop. While work is in flight the
  // run loop keeps turning at frame pace.
  void runInBackground(std::function<std::function<void()>()> work);
  size_t backgroundWorkInFlight() const;
  // Blocks (in real time, at most `timeoutSeconds`) until no work is in flight, then runs one
  // turn so that the finished work reports; false on timeout.
  bool waitForBackgroundWork(double timeoutSeconds);

  // True when the screen may look different from the last frame drawn: after a change, and while
  // an animation or a frame update moves (not while an animation waits out its delay).
  bool needsDisplay() const;
  // Damage: the whole screen must be drawn again, or only a rect of it (in screen points).
  // Views ask through View::setNeedsDisplay, in their own coordinates.
  void setNeedsDisplay() { needsDisplay_ = true; }
  void setNeedsDisplayInRect(Rect screenRect);
  struct Damage {
    bool wholeScreen = false;
    std::vector<Rect> rects;  // screen points; none overlaps another by much
    bool isEmpty() const { return !wholeScreen && rects.empty(); }
  };
  // What the next frame must draw, the areas of moving animations included; the damage is then
  // clean. It is taken before drawing, so that damage raised while drawing is not lost.
  Damage takeDamage();
  // The screen will change by itself at clock time `time` (a caret blink): the run loop wakes
  // then and the frame is drawn again.
  void setNeedsDisplayAt(double time);
  // Only `rect` of `view` (in its coordinates) changes at `time`, if the view still exists.
  void setNeedsDisplayAt(double time, const View& view, Rect rect);
  void didDisplay() {
    needsDisplay_ = false;
    damage_.clear();
  }
  // The earliest clock time at which something changes by itself (an animation starting to move
  // or ending, a caret blink, a queued task, a touch held back by a scroll view): now while an
  // animation or a frame update moves, infinity when nothing will. The SDL loop sleeps until
  // then, or until the next frame is due.
  double nextWakeTime() const;
  // Calls `update` with the clock's time on every turn of the run loop, until it returns false or
  // `owner` is destroyed; meanwhile the loop wakes every frame. For motion computed from the time,
  // such as a scroll view's momentum.
  void addFrameUpdate(const Object& owner, std::function<bool(double now)> update);

  // The battery that the status bar shows, or none, drawn as none. The backend reads the system's
  // (headless: a full one); a change redraws the status bar.
  const std::optional<BatteryState>& battery() const { return battery_; }
  void setBattery(const std::optional<BatteryState>& battery);

  Animator& animator() const { return *animator_; }

  // The field that holds the keyboard, if any.
  TextField* firstResponder() const { return firstResponder_; }
  void setFirstResponder(TextField* field) { firstResponder_ = field; }

 private:
  struct TouchState;
  void redrawFor(const View* touched);
  void runTimedTasks();
  Clock& clock_;
  std::unique_ptr<ApplicationDelegate> delegate_;
  std::unique_ptr<Screen> screen_;
  std::unique_ptr<Animator> animator_;
  Window* keyWindow_ = nullptr;
  TextField* firstResponder_ = nullptr;
  InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
  bool needsDisplay_ = true;
  std::vector<Rect> damage_;
  struct DisplayTime {
    double time;
    const View* view;  // nullptr: the whole screen
    std::weak_ptr<const void> viewAlive;
    Rect rect;
  };
  std::vector<DisplayTime> displayTimes_;  // from setNeedsDisplayAt, not yet reached
  std::vector<std::function<void()>> tasks_;
  struct TimedTask {
    double time;
    std::weak_ptr<const void> ownerAlive;
    std::function<void()> task;
  };
  std::vector<TimedTask> timedTasks_;
  double lastInputTime_ = 0;
  std::optional<BatteryState> battery_;
  struct FrameUpdate;
  void deliverHeldBackTouches();
  std::vector<std::unique_ptr<TouchState>> touches_;
  std::vector<FrameUpdate> frameUpdates_;
  // Background work: threads, and what they hand back to the main thread.
  mutable std::mutex backgroundMutex_;
  std::condition_variable backgroundDone_;
  std::vector<std::thread> backgroundThreads_;
  std::vector<std::function<void()>> backgroundResults_;
  size_t backgroundInFlight_ = 0;
  // Tap streak.
  double lastTapTime_ = -1e9;
  Point lastTapPoint_;
  int lastTapCount_ = 0;
};

}  // namespace kit
