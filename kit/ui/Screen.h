#pragma once

#include "kit/ui/View.h"

namespace kit {

// A full-screen layer that only passes touches to its children: where none of them takes a touch,
// the layer below gets it.
class Layer : public View {
 public:
  Layer();
  View* hitTest(Point p) override;
};

// The 768 x 1024 screen, bottom to top: windows, modal screens, the on-screen keyboard, alerts.
// The status bar is drawn over all of them and takes no touches.
class Screen : public View {
 public:
  Screen();
  // Like a layer, the screen itself takes no touch that none of its layers takes.
  View* hitTest(Point p) override;
  Layer* windowLayer() const { return windows_; }
  Layer* modalLayer() const { return modals_; }
  Layer* keyboardLayer() const { return keyboard_; }
  Layer* alertLayer() const { return alerts_; }

 private:
  Layer* windows_;
  Layer* modals_;
  Layer* keyboard_;
  Layer* alerts_;
};

}  // namespace kit
