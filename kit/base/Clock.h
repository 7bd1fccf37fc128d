#pragma once

namespace kit {

// The one source of time for everything timed: animations, tap counts, the caret blink.
class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since an arbitrary start; never goes backwards.
  virtual double now() const = 0;
};

// Time that moves only when told to; tests and the headless backend advance it.
class ManualClock : public Clock {
 public:
  double now() const override { return now_; }
  void advance(double seconds) { now_ += seconds; }

 private:
  double now_ = 0;
};

// Wall time from the monotonic clock, for the real window.
class SteadyClock : public Clock {
 public:
  SteadyClock();
  double now() const override;

 private:
  double start_;
};

}  // namespace kit
