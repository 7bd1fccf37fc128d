#pragma once

#include <memory>

#include "kit/ui/View.h"

namespace kit {

enum class InterfaceOrientation {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeLeft = 3,
  LandscapeRight = 4,
};

// Owns a root view that is built on the first request for it: loadView, then viewDidLoad, once.
class ViewController : public Responder {
 public:
  ViewController();
  ~ViewController() override;

  View* view();
  bool isViewLoaded() const { return view_ != nullptr; }

  // Makes the root view; the default is a plain view filling the screen below the status bar.
  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewDidUnload() {}
  // The root view has just been put on the screen by a presentation, before it slides in: the
  // place to give a field the keyboard, which takes a field on the screen.
  virtual void viewWillAppear() {}
  virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation);
  virtual void didReceiveMemoryWarning() {}

  // Shows `controller`'s view over the whole screen, above every window, taking every touch
  // while it shows; animated, it slides up from the bottom edge. Dismissing slides it down and
  // destroys it from the run loop once it is gone.
  void presentModalViewController(std::unique_ptr<ViewController> controller, bool animated);
  void dismissModalViewControllerAnimated(bool animated);
  ViewController* modalViewController() const { return modal_.get(); }

  Responder* nextResponder() const override;

 protected:
  std::unique_ptr<View> view_;

 private:
  std::unique_ptr<ViewController> modal_;
};

}  // namespace kit
