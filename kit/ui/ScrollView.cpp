#include "kit/ui/ScrollView.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "kit/graphics/Drawing.h"
#include "kit/ui/Screen.h"

namespace kit {

namespace {

constexpr double kVelocityWindow = 0.1;         // seconds of finger movement that set a throw
constexpr double kMaxOvershootFraction = 0.2;   // of the visible extent, for a throw past an edge
constexpr double kIndicatorThickness = 4;       // points
constexpr double kIndicatorInset = 3;           // points from the edges
constexpr double kIndicatorMinLength = 24;      // points, unless squeezed past an edge
constexpr double kIndicatorFadeDelay = 0.4;     // seconds after the content rests
constexpr double kIndicatorFadeDuration = 0.3;  // seconds

double& along(Point& p, int axis) {
  return axis ? p.y : p.x;
}
double along(Size s, int axis) {
  return axis ? s.height : s.width;
}

// The layer that holds the content: hit wherever the scroll view is, whatever the content size.
class ContentView : public View {
 public:
  using View::View;
  bool pointInside(Point) const override { return true; }
};

// A thin dark bar with round ends.
class Indicator : public View {
 public:
  Indicator() : View({kIndicatorThickness, kIndicatorThickness}) {
    userInteractionEnabled = false;
    setAlpha(0);
  }
  void draw(cairo_t* cr) const override {
    Size size = bounds().size;
    roundedRect(cr, bounds(), std::min(size.width, size.height) / 2);
    setColor(cr, Color::rgba(0, 0, 0, 0.45));
    cairo_fill(cr);
  }
};

}  // namespace

ScrollView::ScrollView(Size size) : View(size) {
  clipsToBounds = true;
  content_ = addSubview(std::make_unique<ContentView>(Size{0, 0}));
  content_->setCenter({0, 0});
  for (View*& indicator : indicators_) indicator = addSubview(std::make_unique<Indicator>());
}

ScrollView::~ScrollView() = default;

bool ScrollView::scrolls(int axis) const {
  return along(contentSize_, axis) > along(size_, axis);
}

double ScrollView::maxOffset(int axis) const {
  return std::max(0.0, along(contentSize_, axis) - along(size_, axis));
}

void ScrollView::setContentSize(Size size) {
  contentSize_ = size;
  content_->setFrame({{0, 0}, size});
  setContentOffset(offset_);
}

void ScrollView::setContentOffset(Point offset) {
  for (int axis : {0, 1}) {
    motions_[axis].reset();
    along(offset_, axis) = std::clamp(along(offset, axis), 0.0, maxOffset(axis));
  }
  if (isDragging()) {
    // The finger goes on from here.
    dragStartOffset_ = offset_;
    dragStartPoint_ = samples_.back().location;
  }
  applyOffset();
}

void ScrollView::applyOffset() {
  content_->setCenter({contentSize_.width / 2 - offset_.x, contentSize_.height / 2 - offset_.y});
  if (!isDragging() && !isDecelerating()) return;
  for (int axis : {0, 1}) {
    if (!scrolls(axis)) continue;
    // The bar's length is the visible share of the track, shortened by any overshoot.
    double visible = along(size_, axis);
    double track = visible - 2 * kIndicatorInset;
    double offset = along(offset_, axis);
    double max = maxOffset(axis);
    double overshoot = offset < 0 ? -offset : std::max(0.0, offset - max);
    double length = std::max(kIndicatorMinLength, track * visible / along(contentSize_, axis));
    length = std::max(kIndicatorThickness, length - overshoot);
    double start = kIndicatorInset + std::clamp(offset / max, 0.0, 1.0) * (track - length);
    double across = along(size_, 1 - axis) - kIndicatorInset - kIndicatorThickness;
    indicators_[axis]->setFrame(axis ? Rect{{across, start}, {kIndicatorThickness, length}}
                                     : Rect{{start, across}, {length, kIndicatorThickness}});
  }
}

void ScrollView::showIndicators() {
  for (int axis : {0, 1}) {
    // Setting the alpha outside a block also stops a fade that is under way.
    if (scrolls(axis) && indicators_[axis]->alpha() < 1) indicators_[axis]->setAlpha(1);
  }
}

void ScrollView::fadeIndicators() {
  if (indicators_[0]->alpha() == 0 && indicators_[1]->alpha() == 0) return;
  beginAnimations("", nullptr);
  View::setAnimationDelay(kIndicatorFadeDelay);
  View::setAnimationDuration(kIndicatorFadeDuration);
  for (View* indicator : indicators_) {
    if (indicator->alpha() > 0) indicator->setAlpha(0);
  }
  View::commitAnimations();
}

bool ScrollView::claimsDrag(const Touch& touch, Point startOnScreen) const {
  Point start = convertFromAncestor(startOnScreen, nullptr);
  Point location = touch.locationInView(this);
  for (int axis : {0, 1}) {
    if (scrolls(axis) &&
        std::abs(along(location, axis) - along(start, axis)) >= kDragStartDistance) {
      return true;
    }
  }
  return false;
}

void ScrollView::beginDrag(const Touch& touch) {
  if (isDragging()) return;  // a second finger does not take the content over
  for (auto& motion : motions_) motion.reset();
  dragTouch_ = &touch;
  dragStartPoint_ = touch.locationInView(this);
  for (int axis : {0, 1}) {
    // Content caught past an edge stays where it shows.
    along(dragStartOffset_, axis) =
        rubberBandInverse(along(offset_, axis), 0, maxOffset(axis), along(size_, axis));
  }
  samples_.assign(1, {touch.timestamp, dragStartPoint_});
  showIndicators();
  applyOffset();
}

void ScrollView::dragTo(const Touch& touch) {
  Point location = touch.locationInView(this);
  for (int axis : {0, 1}) {
    if (!scrolls(axis)) continue;
    double offset =
        along(dragStartOffset_, axis) + along(dragStartPoint_, axis) - along(location, axis);
    along(offset_, axis) = rubberBand(offset, 0, maxOffset(axis), along(size_, axis));
  }
  samples_.push_back({touch.timestamp, location});
  std::erase_if(samples_,
                [&](const Sample& s) { return s.time < touch.timestamp - 2 * kVelocityWindow; });
  applyOffset();
}

Point ScrollView::releaseVelocity() const {
  if (samples_.empty()) return {};
  const Sample& last = samples_.back();
  auto first = std::find_if(samples_.begin(), samples_.end(),
                            [&](const Sample& s) { return s.time >= last.time - kVelocityWindow; });
  double span = last.time - first->time;
  if (span < 1e-3) return {};
  // The content moves against the finger's movement.
  return {(first->location.x - last.location.x) / span,
          (first->location.y - last.location.y) / span};
}

void ScrollView::endDrag(bool withMomentum) {
  Point velocity = withMomentum ? releaseVelocity() : Point{};
  dragTouch_ = nullptr;
  samples_.clear();
  for (int axis : {0, 1}) {
    double offset = along(offset_, axis);
    double max = maxOffset(axis);
    if (offset < 0 || offset > max) {
      motions_[axis] = ScrollMotion::springBack(offset, std::clamp(offset, 0.0, max));
    } else if (scrolls(axis) && std::abs(along(velocity, axis)) > kScrollStopSpeed) {
      motions_[axis] = ScrollMotion::fling(offset, along(velocity, axis), 0, max,
                                           along(size_, axis) * kMaxOvershootFraction);
    }
  }
  if (!isDecelerating()) {
    fadeIndicators();
    return;
  }
  Screen* shown = screen();
  motionStart_ = shown ? shown->clock().now() : 0;
  if (shown && !stepping_) {
    stepping_ = true;
    shown->runLoop().addFrameUpdate(*this, [this](double time) { return step(time); });
  }
}

bool ScrollView::step(double time) {
  if (isDecelerating()) {
    double t = time - motionStart_;
    for (int axis : {0, 1}) {
      if (motions_[axis]) along(offset_, axis) = motions_[axis]->offsetAt(t);
    }
    applyOffset();
    for (auto& motion : motions_) {
      if (motion && motion->isDone(t)) motion.reset();
    }
    if (isDecelerating()) return true;
  }
  // At rest, or stopped by a touch or a new offset.
  if (!isDragging()) fadeIndicators();
  stepping_ = false;
  return false;
}

void ScrollView::touchesBegan(const TouchSet&, const Event*) {}

void ScrollView::touchesMoved(const TouchSet& touches, const Event*) {
  for (const Touch* touch : touches) {
    if (touch == dragTouch_) dragTo(*touch);
  }
}

void ScrollView::touchesEnded(const TouchSet& touches, const Event*) {
  for (const Touch* touch : touches) {
    if (touch != dragTouch_) continue;
    dragTo(*touch);
    endDrag(true);
  }
}

void ScrollView::touchesCancelled(const TouchSet& touches, const Event* withEvent) {
  bool own = false;
  for (const Touch* touch : touches) {
    if (touch != dragTouch_) continue;
    own = true;
    endDrag(false);
  }
  // Whoever took the touch-down of a content touch must hear that it is off.
  if (!own) View::touchesCancelled(touches, withEvent);
}

}  // namespace kit
