#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "kit/base/Clock.h"
#include "kit/base/PowerSupply.h"
#include "kit/base/RunLoop.h"
#include "kit/ui/View.h"

namespace kit {

class Animator;
class Window;

// A full-screen layer that only passes touches to its children: where none of them takes a touch,
// the layer below gets it.
class Layer : public View {
 public:
  Layer();
  View* hitTest(Point p) override;
};

// The 768 x 1024 screen, bottom to top: windows, modal screens, the on-screen keyboard, alerts.
// The status bar is drawn over all of them and takes no touches. It is the root of every view
// that shows, and what they belong to: the damage their changes mark, the animator that moves
// them, the responder that has the keyboard, and the run loop they queue work on.
class Screen : public View {
 public:
  Screen(const Clock& clock, RunLoop& runLoop);
  // Running animations go first, while every view still exists, then the views.
  ~Screen() override;

  // Like a layer, the screen itself takes no touch that none of its layers takes.
  View* hitTest(Point p) override;
  Screen* asScreen() override { return this; }
  Layer* windowLayer() const { return windows_; }
  Layer* modalLayer() const { return modals_; }
  Layer* keyboardLayer() const { return keyboard_; }
  Layer* alertLayer() const { return alerts_; }

  const Clock& clock() const { return clock_; }
  RunLoop& runLoop() const { return runLoop_; }
  Animator& animator() const { return *animator_; }

  // The window that receives touches; nullptr once it has gone.
  Window* keyWindow() const { return keyWindowAlive_.expired() ? nullptr : keyWindow_; }
  void setKeyWindow(Window* window);
  // The responder that holds the keyboard, if any (a text field).
  Responder* firstResponder() const {
    return firstResponderAlive_.expired() ? nullptr : firstResponder_;
  }
  void setFirstResponder(Responder* responder) {
    firstResponder_ = responder;
    firstResponderAlive_ = responder ? responder->weakReference() : std::weak_ptr<const void>();
  }

  // Damage: the whole screen must be drawn again, or only a rect of it (in screen points).
  // Views mark theirs through View::setNeedsDisplay, in their own coordinates.
  void setNeedsDisplay() { needsDisplay_ = true; }
  void setNeedsDisplayInRect(Rect screenRect);
  // True when a change is marked or an animation moves now (not while one waits out its delay).
  bool needsDisplay() const;
  struct Damage {
    bool wholeScreen = false;
    std::vector<Rect> rects;  // screen points; none overlaps another by much
    bool isEmpty() const { return !wholeScreen && rects.empty(); }
  };
  // What the next frame must draw, the areas of moving animations included; the damage is then
  // clean. It is taken before drawing, so that damage raised while drawing is not lost.
  Damage takeDamage();
  void didDisplay() {
    needsDisplay_ = false;
    damage_.clear();
  }
  // The screen will change by itself at clock time `time` (a caret blink): it is marked then.
  void setNeedsDisplayAt(double time);
  // Only `rect` of `view` (in its coordinates) changes at `time`, if the view still exists.
  void setNeedsDisplayAt(double time, const View& view, Rect rect);
  // Marks what was due by now from setNeedsDisplayAt.
  void markDueDisplay();
  // The earliest time asked for by setNeedsDisplayAt, infinity when none waits.
  double nextDisplayTime() const;

  // The battery that the status bar shows, or none, drawn as none; a change redraws the bar.
  const std::optional<BatteryState>& battery() const { return battery_; }
  void setBattery(const std::optional<BatteryState>& battery);

 private:
  const Clock& clock_;
  RunLoop& runLoop_;
  std::unique_ptr<Animator> animator_;
  Layer* windows_;
  Layer* modals_;
  Layer* keyboard_;
  Layer* alerts_;
  Window* keyWindow_ = nullptr;
  std::weak_ptr<const void> keyWindowAlive_;
  Responder* firstResponder_ = nullptr;
  std::weak_ptr<const void> firstResponderAlive_;
  bool needsDisplay_ = true;
  std::vector<Rect> damage_;
  struct DisplayTime {
    double time;
    const View* view;  // nullptr: the whole screen
    std::weak_ptr<const void> viewAlive;
    Rect rect;
  };
  std::vector<DisplayTime> displayTimes_;  // from setNeedsDisplayAt, not yet reached
  std::optional<BatteryState> battery_;
};

}  // namespace kit
