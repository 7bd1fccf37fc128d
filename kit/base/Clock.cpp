#include "kit/base/Clock.h"

#include <chrono>

namespace kit {

namespace {
double monotonicSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

SteadyClock::SteadyClock() : start_(monotonicSeconds()) {}

double SteadyClock::now() const {
  return monotonicSeconds() - start_;
}

}  // namespace kit
