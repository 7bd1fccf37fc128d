// Modal screens: a controller's view shown over the whole screen in the screen's modal layer.

#include <memory>
#include <unordered_map>

#include "kit/ui/Screen.h"
#include "kit/ui/ViewController.h"

namespace kit {

namespace {

constexpr double kSlideDuration = 0.3;  // seconds
const Point kShownCenter{kScreenWidth / 2, kScreenHeight / 2};
const Point kBelowCenter{kScreenWidth / 2, kScreenHeight * 3 / 2};

// Holds a presented controller's view and covers the whole screen, status bar included, so that
// no touch reaches what lies below while it shows.
class ModalContainer : public View {
 public:
  ModalContainer() : View({kScreenWidth, kScreenHeight}) {}
  View* hitTest(Point p) override {
    // Once its controller has gone (with a presenter destroyed while it showed), it blocks nothing.
    if (subviews().empty()) return nullptr;
    return View::hitTest(p);
  }
};

// Who presented each controller on the screen, so that a presented controller can ask to go.
std::unordered_map<const ViewController*, ViewController*>& presenters() {
  static std::unordered_map<const ViewController*, ViewController*> map;
  return map;
}

}  // namespace

void ViewController::presentModalViewController(std::unique_ptr<ViewController> controller,
                                                bool animated) {
  Screen* screen = isViewLoaded() ? view_->screen() : nullptr;
  if (!screen || !controller) return;
  if (modal_) {
    // Already presenting: the new screen goes over the one showing.
    modal_->presentModalViewController(std::move(controller), animated);
    return;
  }
  modal_ = std::move(controller);
  presenters()[modal_.get()] = this;
  View* container = screen->modalLayer()->addSubview(std::make_unique<ModalContainer>());
  container->addSubview(modal_->view());
  modal_->viewWillAppear();
  if (!animated || !modal_) return;
  container->setCenter(kBelowCenter);
  container->beginAnimations("kit.modal.present", nullptr);
  View::setAnimationDuration(kSlideDuration);
  container->setCenter(kShownCenter);
  View::commitAnimations();
}

void ViewController::dismissModalViewControllerAnimated(bool animated) {
  if (!modal_) {
    // A presented controller asking to go is dismissed by its presenter.
    auto found = presenters().find(this);
    if (found != presenters().end()) found->second->dismissModalViewControllerAnimated(animated);
    return;
  }
  if (modal_->modal_) modal_->dismissModalViewControllerAnimated(false);

  presenters().erase(modal_.get());
  // Kept alive until it is off the screen; destroyed from the run loop, never from inside one of
  // its own callbacks, which may be what asked for the dismissal.
  auto going = std::make_shared<std::unique_ptr<ViewController>>(std::move(modal_));
  View* container = (*going)->isViewLoaded() ? (*going)->view()->superview() : nullptr;
  std::weak_ptr<const void> containerAlive;
  if (container) containerAlive = container->weakReference();
  auto finish = [going, container, containerAlive] {
    if (!containerAlive.expired()) container->removeFromSuperview();
    going->reset();
  };

  Screen* screen = container ? container->screen() : nullptr;
  if (!screen && isViewLoaded()) screen = view_->screen();
  if (!screen) return;
  RunLoop& runLoop = screen->runLoop();
  if (!animated || !container) {
    if (container) container->setHidden(true);
    runLoop.post(finish);
    return;
  }
  container->beginAnimations("kit.modal.dismiss", nullptr);
  View::setAnimationDuration(kSlideDuration);
  View::setAnimationDidStop(
      [finish, &runLoop](Object*, const std::string&, bool, void*) { runLoop.post(finish); });
  container->setCenter(kBelowCenter);
  View::commitAnimations();
}

}  // namespace kit
