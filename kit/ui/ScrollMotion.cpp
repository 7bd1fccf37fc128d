#include "kit/ui/ScrollMotion.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

constexpr double kSpringStep = 1.0 / 240;  // seconds, in the search for a spring's rest
constexpr double kLongestSpring = 10;      // seconds

// The shown excess for a dragged excess `x` beyond an edge: grows ever more slowly towards
// `dimension`.
double band(double x, double dimension) {
  return (1 - 1 / (x * kRubberBandStiffness / dimension + 1)) * dimension;
}

double unband(double shown, double dimension) {
  double y = std::min(shown / dimension, 0.999);
  return (1 / (1 - y) - 1) * dimension / kRubberBandStiffness;
}

}  // namespace

ScrollMotion ScrollMotion::fling(double offset, double velocity, double minOffset, double maxOffset,
                                 double maxOvershoot) {
  if (offset < minOffset || offset > maxOffset) {
    return springBack(offset, std::clamp(offset, minOffset, maxOffset));
  }
  ScrollMotion m;
  velocity = std::clamp(velocity, -kScrollMaxSpeed, kScrollMaxSpeed);
  m.start_ = offset;
  m.velocity_ = velocity;
  m.restingOffset_ = offset;
  double speed = std::abs(velocity);
  if (speed <= kScrollStopSpeed) return m;

  double direction = velocity > 0 ? 1 : -1;
  double stopTime = std::log(speed / kScrollStopSpeed) / kScrollDeceleration;
  double glide = (velocity - direction * kScrollStopSpeed) / kScrollDeceleration;
  double edge = velocity > 0 ? maxOffset : minOffset;
  double toEdge = edge - offset;
  if (std::abs(glide) < std::abs(toEdge)) {
    m.doneTime_ = stopTime;
    m.restingOffset_ = std::clamp(std::round(offset + glide), minOffset, maxOffset);
    return m;
  }
  // The edge comes first: the spring takes over there with the speed left.
  double edgeTime = -std::log(1 - kScrollDeceleration * toEdge / velocity) / kScrollDeceleration;
  m.springStart_ = edgeTime;
  m.edge_ = edge;
  m.restingOffset_ = edge;
  if (maxOvershoot <= 0) {
    m.doneTime_ = edgeTime;
    return m;
  }
  m.springV0_ = velocity * std::exp(-kScrollDeceleration * edgeTime);
  // A spring from the edge at speed v peaks v / (rate * e) past it.
  m.springRate_ =
      std::max(kScrollSpringRate, std::abs(m.springV0_) / (std::exp(1.0) * maxOvershoot));
  m.settleSpring();
  return m;
}

ScrollMotion ScrollMotion::springBack(double offset, double edge) {
  ScrollMotion m;
  m.start_ = offset;
  m.springStart_ = 0;
  m.edge_ = edge;
  m.springX0_ = offset - edge;
  m.restingOffset_ = edge;
  m.settleSpring();
  return m;
}

double ScrollMotion::offsetAt(double t) const {
  if (t <= 0) return start_;
  if (isDone(t)) return restingOffset_;
  if (t >= springStart_) return springOffset(t);
  return start_ + velocity_ * (1 - std::exp(-kScrollDeceleration * t)) / kScrollDeceleration;
}

double ScrollMotion::springOffset(double t) const {
  // Critically damped: no oscillation, at most one turn before it closes in on the edge.
  double tau = t - springStart_;
  double x =
      (springX0_ + (springV0_ + springRate_ * springX0_) * tau) * std::exp(-springRate_ * tau);
  return edge_ + x;
}

void ScrollMotion::settleSpring() {
  // Past its one turn the spring only closes in, so the first time it is near enough stands.
  double w = springRate_;
  double turn = springV0_ + w * springX0_ == 0 ? 0 : springV0_ / (w * (springV0_ + w * springX0_));
  double tau = std::max(0.0, turn);
  while (tau < kLongestSpring &&
         std::abs(springOffset(springStart_ + tau) - edge_) > kScrollRestDistance) {
    tau += kSpringStep;
  }
  doneTime_ = springStart_ + tau;
}

double rubberBand(double offset, double minOffset, double maxOffset, double dimension) {
  if (dimension <= 0) return std::clamp(offset, minOffset, maxOffset);
  if (offset < minOffset) return minOffset - band(minOffset - offset, dimension);
  if (offset > maxOffset) return maxOffset + band(offset - maxOffset, dimension);
  return offset;
}

double rubberBandInverse(double shown, double minOffset, double maxOffset, double dimension) {
  if (dimension <= 0) return std::clamp(shown, minOffset, maxOffset);
  if (shown < minOffset) return minOffset - unband(minOffset - shown, dimension);
  if (shown > maxOffset) return maxOffset + unband(shown - maxOffset, dimension);
  return shown;
}

}  // namespace kit
