#pragma once

#include "kit/ui/ImageView.h"
#include "kit/ui/View.h"

// An answer button: a ring that shows a dot while on. It handles no touches itself; the root
// controller decides what a tap does from the button's tag (its answer group). Being on is
// exactly the dot not being hidden.
class RadioBtn : public kit::View {
 public:
  using kit::View::View;

  // Builds the ring and the dot; the button starts off. Sent once, right after construction.
  void initBtn();
  // Switches on at once and plays the pop: the whole button swells to 150 % and back.
  void btnOn();
  // Second stage of the pop, the did-stop callback of the first.
  void btnOn2();
  // Switches off at once, without animation.
  void btnOff();
  // Whether the button is on now.
  bool btnTouched() const;

  kit::ImageView* btn_off = nullptr;
  kit::ImageView* btn_on = nullptr;
};
