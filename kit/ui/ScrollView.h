#pragma once

#include <optional>
#include <vector>

#include "kit/ui/ScrollMotion.h"
#include "kit/ui/View.h"

namespace kit {

// Named thresholds of scrolling by touch.
inline constexpr double kDragStartDistance = 10;   // points along a scrolling axis: a drag
inline constexpr double kScrollTouchDelay = 0.15;  // seconds a touch on the content is held back

// A window onto content larger than itself, moved by dragging a finger or the mouse. Views that
// scroll go into contentView(), laid out in content coordinates; the content shows only inside
// this view.
//
// A touch on the content goes to the touched view as usual, a moment late (see
// delaysContentTouches), unless it turns into a drag: once the finger has moved kDragStartDistance
// along an axis that scrolls, the scroll view claims the touch (the touched view gets
// touchesCancelled) and the content follows the finger, rubber-banding past the edges. On release
// it keeps moving and slows down, springing back from any edge it runs past. A thin indicator
// shows where the content stands while it moves. A touch-down while the content still moves stops
// it and counts as a drag. Everything runs on the application's clock.
//
// Touches of the content that do not become a drag end here: they go no further up the chain
// (subclasses may pass them on), except for cancellations, which always go on.
class ScrollView : public View {
 public:
  explicit ScrollView(Size size);
  ~ScrollView() override;

  View* contentView() const { return content_; }
  Size contentSize() const { return contentSize_; }
  // The content's extent; an axis scrolls when the content is longer than this view on it.
  void setContentSize(Size size);
  // The content point shown at this view's top-left corner; outside the edges while
  // rubber-banding.
  Point contentOffset() const { return offset_; }
  // Moves the content at once, stopping any motion; kept within the edges.
  void setContentOffset(Point offset);

  // A finger holds the content (from the claim until the touch ends).
  bool isDragging() const { return dragTouch_ != nullptr; }
  // The content moves by itself: a throw slowing down, or springing back from an edge.
  bool isDecelerating() const { return motions_[0] || motions_[1]; }

  // Whether touches on the content reach the touched view only after kScrollTouchDelay (or at
  // once when they end sooner), so that a drag does not first press what lies under the finger.
  bool delaysContentTouches = true;

  // Internal to the kit: the application's touch delivery asks these when a touch begins or moves
  // on this view or its content.
  bool claimsTouchDown() const { return isDragging() || isDecelerating(); }
  bool claimsDrag(const Touch& touch, Point startOnScreen) const;
  void beginDrag(const Touch& touch);

  void touchesBegan(const TouchSet& touches, const Event* withEvent) override;
  void touchesMoved(const TouchSet& touches, const Event* withEvent) override;
  void touchesEnded(const TouchSet& touches, const Event* withEvent) override;
  void touchesCancelled(const TouchSet& touches, const Event* withEvent) override;

 private:
  struct Sample {
    double time;
    Point location;
  };
  bool scrolls(int axis) const;
  double maxOffset(int axis) const;
  void dragTo(const Touch& touch);
  void endDrag(bool withMomentum);
  Point releaseVelocity() const;
  // Called every frame while the content moves by itself; false once it rests.
  bool step(double now);
  void applyOffset();
  void showIndicators();
  void fadeIndicators();

  View* content_;
  View* indicators_[2];  // horizontal, vertical
  Size contentSize_;
  Point offset_;
  const Touch* dragTouch_ = nullptr;
  Point dragStartPoint_;   // in this view's coordinates
  Point dragStartOffset_;  // unbanded: where the finger's movement is counted from
  std::vector<Sample> samples_;
  std::optional<ScrollMotion> motions_[2];
  double motionStart_ = 0;
  bool stepping_ = false;
};

}  // namespace kit
