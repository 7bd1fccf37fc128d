#include "kit/ui/Screen.h"

#include <algorithm>
#include <limits>

#include "kit/ui/Animation.h"
#include "kit/ui/Window.h"

namespace kit {

Layer::Layer() : View({kScreenWidth, kScreenHeight}) {}

View* Layer::hitTest(Point p) {
  View* hit = View::hitTest(p);
  return hit == this ? nullptr : hit;
}

Screen::Screen(const Clock& clock, RunLoop& runLoop)
    : View({kScreenWidth, kScreenHeight}),
      clock_(clock),
      runLoop_(runLoop),
      animator_(std::make_unique<Animator>(clock, [this](Rect r) { setNeedsDisplayInRect(r); })) {
  windows_ = addSubview(std::make_unique<Layer>());
  modals_ = addSubview(std::make_unique<Layer>());
  keyboard_ = addSubview(std::make_unique<Layer>());
  alerts_ = addSubview(std::make_unique<Layer>());
}

Screen::~Screen() {
  // What running blocks hold (a controller kept until its dismissal ends) goes while the views
  // and the animator are whole; then the layers with every view on them, top first, while the
  // animator they leave still exists.
  animator_->stop();
  setFirstResponder(nullptr);
  while (!subviews().empty()) subviews().back()->removeFromSuperview();
}

View* Screen::hitTest(Point p) {
  View* hit = View::hitTest(p);
  return hit == this ? nullptr : hit;
}

void Screen::setKeyWindow(Window* window) {
  keyWindow_ = window;
  keyWindowAlive_ = window ? window->weakReference() : std::weak_ptr<const void>();
  setNeedsDisplay();
}

bool Screen::needsDisplay() const {
  return needsDisplay_ || !damage_.empty() || animator_->isMoving(clock_.now());
}

void Screen::setNeedsDisplayInRect(Rect r) {
  if (needsDisplay_ || r.isEmpty()) return;
  // A rect already covered adds nothing; one that covers others replaces them; two that overlap
  // become one when their union is smaller than the two apart. Too many, and it is the whole
  // screen.
  constexpr size_t kMaxRects = 16;
  for (const Rect& d : damage_) {
    if (d.contains(r)) return;
  }
  std::erase_if(damage_, [&r](const Rect& d) { return r.contains(d); });
  for (bool joined = true; joined;) {
    joined = false;
    for (auto it = damage_.begin(); it != damage_.end(); ++it) {
      Rect both = it->united(r);
      if (it->intersects(r) && both.area() < it->area() + r.area()) {
        r = both;
        damage_.erase(it);
        joined = true;
        break;
      }
    }
  }
  damage_.push_back(r);
  if (damage_.size() > kMaxRects) setNeedsDisplay();
}

Screen::Damage Screen::takeDamage() {
  animator_->addMovingDamage();
  Damage damage;
  damage.wholeScreen = needsDisplay_;
  if (!needsDisplay_) damage.rects = damage_;
  didDisplay();
  return damage;
}

void Screen::setNeedsDisplayAt(double time) {
  displayTimes_.push_back({time, nullptr, {}, {}});
}

void Screen::setNeedsDisplayAt(double time, const View& view, Rect rect) {
  displayTimes_.push_back({time, &view, view.weakReference(), rect});
}

void Screen::markDueDisplay() {
  double now = clock_.now();
  std::vector<DisplayTime> due;
  std::erase_if(displayTimes_, [now, &due](const DisplayTime& t) {
    if (t.time > now) return false;
    due.push_back(t);
    return true;
  });
  for (const DisplayTime& t : due) {
    if (!t.view) {
      setNeedsDisplay();
    } else if (!t.viewAlive.expired()) {
      const_cast<View*>(t.view)->setNeedsDisplay(t.rect);
    }
  }
}

double Screen::nextDisplayTime() const {
  double wake = std::numeric_limits<double>::infinity();
  for (const DisplayTime& t : displayTimes_) wake = std::min(wake, t.time);
  return wake;
}

void Screen::setBattery(const std::optional<BatteryState>& battery) {
  if (battery == battery_) return;
  battery_ = battery;
  setNeedsDisplayInRect({{0, 0}, {kScreenWidth, kStatusBarHeight}});
}

}  // namespace kit
