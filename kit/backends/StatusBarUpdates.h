#pragma once

#include <sys/time.h>

#include <algorithm>
#include <ctime>

#include "kit/app/Application.h"
#include "kit/base/PowerSupply.h"

namespace kit {

// Seconds until the wall clock's minute turns, when the status bar's clock must show the new time.
inline double secondsToNextMinute() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return 60 - local.tm_sec - now.tv_usec / 1e6 + 0.01;
}

// Keeps the status bar true to the world outside the program: drawn again when the wall clock's
// minute turns, and the battery read again every few seconds (a charger plugged in shows within
// that time). A window's run loop calls `update` on each turn and wakes by `nextTime`.
class StatusBarUpdates {
 public:
  static constexpr double kBatteryInterval = 10;  // seconds

  explicit StatusBarUpdates(Application& app)
      : app_(app),
        minuteTurns_(app.clock().now() + secondsToNextMinute()),
        batteryRead_(app.clock().now()) {}

  void update() {
    const double now = app_.clock().now();
    if (now >= minuteTurns_) {
      app_.setNeedsDisplayInRect({{0, 0}, {kScreenWidth, kStatusBarHeight}});
      minuteTurns_ = now + secondsToNextMinute();
    }
    if (now >= batteryRead_) {
      app_.setBattery(readBattery());
      batteryRead_ = now + kBatteryInterval;
    }
  }
  double nextTime() const { return std::min(minuteTurns_, batteryRead_); }

 private:
  Application& app_;
  double minuteTurns_;
  double batteryRead_;
};

}  // namespace kit
