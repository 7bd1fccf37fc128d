#pragma once

#include <functional>
#include <vector>

#include "kit/ui/View.h"

namespace kit {

enum class ControlEvent : unsigned {
  TouchUpInside = 1u << 6,
  EditingDidBegin = 1u << 16,
  EditingChanged = 1u << 17,  // after each edit that was made
  EditingDidEnd = 1u << 18,
};

// A view that sends actions to targets for control events.
class Control : public View {
 public:
  using View::View;

  template <class T>
  void addTarget(T* target, void (T::*action)(), ControlEvent forControlEvents) {
    std::weak_ptr<const void> alive = target->weakReference();
    addAction(
        [target, action, alive] {
          if (!alive.expired()) (target->*action)();
        },
        forControlEvents);
  }
  void addAction(std::function<void()> action, ControlEvent forControlEvents);
  // Runs every action registered for the event, in the order they were added.
  void sendActionsForControlEvents(ControlEvent event);

 private:
  std::vector<std::pair<ControlEvent, std::function<void()>>> actions_;
};

}  // namespace kit
