#pragma once

namespace kit {

// Tunables of scrolling by finger, with their units.
inline constexpr double kScrollDeceleration = 2.0;  // 1/s: a fling's speed falls as e^(-2t)
inline constexpr double kScrollStopSpeed = 10;      // points/s: slower than this, a fling stops
inline constexpr double kScrollMaxSpeed = 6000;     // points/s: faster throws are taken as this
inline constexpr double kScrollSpringRate = 12;     // 1/s: of the spring that pulls back to an edge
inline constexpr double kScrollRestDistance = 0.25;   // points: a spring this close has arrived
inline constexpr double kRubberBandStiffness = 0.55;  // how hard a drag past an edge pulls back

// How one axis of a scroll view's content moves by itself after the finger lifts, as a function of
// the time `t` in seconds since the release. Offsets are in points; the edges are the least and
// the greatest offset the content may rest at.
class ScrollMotion {
 public:
  // A throw at `velocity` points/s that slows down. If it reaches an edge with speed left, it runs
  // past it by at most `maxOvershoot` points and springs back to rest exactly on the edge;
  // otherwise it rests where it stops, on a whole point. Starting past an edge, it springs back.
  static ScrollMotion fling(double offset, double velocity, double minOffset, double maxOffset,
                            double maxOvershoot);
  // From `offset` (past an edge, where a drag left it) back to `edge`, never beyond it.
  static ScrollMotion springBack(double offset, double edge);

  double offsetAt(double t) const;
  bool isDone(double t) const { return t >= doneTime_; }
  double restingOffset() const { return restingOffset_; }

 private:
  ScrollMotion() = default;
  // The spring part: from offset edge + x0 with velocity v0 at `springStart_`.
  double springOffset(double t) const;
  void settleSpring();

  double start_ = 0;            // offset at the release
  double velocity_ = 0;         // at the release
  double springStart_ = 1e300;  // when the spring takes over (the time the edge is reached)
  double edge_ = 0;
  double springX0_ = 0;
  double springV0_ = 0;
  double springRate_ = kScrollSpringRate;
  double doneTime_ = 0;
  double restingOffset_ = 0;
};

// Where content dragged to `offset` is shown: inside [minOffset, maxOffset] the finger's offset,
// beyond it less and less of the excess, never more than `dimension` (the visible extent).
double rubberBand(double offset, double minOffset, double maxOffset, double dimension);
// The drag offset that rubberBand shows at `shown`; its inverse.
double rubberBandInverse(double shown, double minOffset, double maxOffset, double dimension);

}  // namespace kit
