#pragma once

#include "kit/ui/View.h"

namespace kit {

class Screen;

// The application's full-screen view: 768 x 1024 at the screen's origin. Controllers' root views
// are added to it.
class Window : public View {
 public:
  Window();
  // Puts the window on `screen` and makes it the one that receives touches.
  void makeKeyAndVisible(Screen& screen);
  Responder* nextResponder() const override { return nullptr; }
};

}  // namespace kit
