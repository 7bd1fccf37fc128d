#pragma once

#include <vector>

#include "kit/base/Geometry.h"

namespace kit {

class View;

// Cancelled: the touch was taken away from its view (a scroll view claimed it for dragging); no
// ended follows for that view.
enum class TouchPhase { Began, Moved, Ended, Cancelled };

// One finger (or the mouse) on the screen. Its view is the hit view of the touch-down and stays
// so until the touch lifts.
struct Touch {
  View* view = nullptr;
  int tapCount = 1;
  TouchPhase phase = TouchPhase::Began;
  Point locationOnScreen;  // screen points, status bar included
  double timestamp = 0;

  // The location in the coordinates of `inView` (nullptr: screen coordinates).
  Point locationInView(const View* inView) const;
};

// The touches of one event; the kiosk reads any one of them.
class TouchSet {
 public:
  TouchSet() = default;
  explicit TouchSet(std::vector<const Touch*> touches) : touches_(std::move(touches)) {}
  const Touch* anyObject() const { return touches_.empty() ? nullptr : touches_.front(); }
  size_t count() const { return touches_.size(); }
  auto begin() const { return touches_.begin(); }
  auto end() const { return touches_.end(); }

 private:
  std::vector<const Touch*> touches_;
};

// The event that carries a set of touches; nothing in it is read beyond its timestamp.
struct Event {
  double timestamp = 0;
};

}  // namespace kit
