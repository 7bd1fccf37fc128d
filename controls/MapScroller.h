#pragma once

#include "kit/ui/ScrollView.h"

// A scroll view that hands the touches of its content on to its next responder (its superview,
// or the controller whose view it is) unless it is dragging them, so that the owner sees taps on
// the rows inside it.
class MapScroller : public kit::ScrollView {
 public:
  explicit MapScroller(kit::Rect frame);

  // While dragging, the scroll view's own handling; otherwise the same touches and event go to
  // the next responder, and the scroll view does not see them.
  void touchesBegan(const kit::TouchSet& touches, const kit::Event* withEvent) override;
  void touchesEnded(const kit::TouchSet& touches, const kit::Event* withEvent) override;
};
