#include "kit/ui/Control.h"

namespace kit {

void Control::addAction(std::function<void()> action, ControlEvent forControlEvents) {
  actions_.emplace_back(forControlEvents, std::move(action));
}

void Control::sendActionsForControlEvents(ControlEvent event) {
  // A copy, because an action may add actions or even take this control off the screen.
  auto actions = actions_;
  for (const auto& [registered, action] : actions) {
    if (registered == event && action) action();
  }
}

}  // namespace kit
