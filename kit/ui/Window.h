#pragma once

#include "kit/ui/View.h"

namespace kit {

// The application's full-screen view: 768 x 1024 at the screen's origin. Controllers' root views
// are added to it.
class Window : public View {
 public:
  Window();
  ~Window() override;
  // Puts the window on the screen and makes it the one that receives touches.
  void makeKeyAndVisible();
  Responder* nextResponder() const override { return nullptr; }
};

}  // namespace kit
