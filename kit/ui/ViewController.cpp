#include "kit/ui/ViewController.h"

namespace kit {

ViewController::ViewController() = default;

ViewController::~ViewController() = default;

View* ViewController::view() {
  if (!view_) {
    loadView();
    if (!view_) ViewController::loadView();
    view_->viewController = this;
    viewDidLoad();
  }
  return view_.get();
}

void ViewController::loadView() {
  view_ = std::make_unique<View>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
  view_->setFrame({{0, kStatusBarHeight}, {kScreenWidth, kScreenHeight - kStatusBarHeight}});
}

bool ViewController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) {
  return orientation == InterfaceOrientation::Portrait;
}

Responder* ViewController::nextResponder() const {
  return view_ ? view_->superview() : nullptr;
}

}  // namespace kit
