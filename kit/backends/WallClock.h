#pragma once

#include <sys/time.h>

#include <ctime>

namespace kit {

// Seconds until the wall clock's minute turns, when the status bar's clock must show the new time.
inline double secondsToNextMinute() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return 60 - local.tm_sec - now.tv_usec / 1e6 + 0.01;
}

}  // namespace kit
