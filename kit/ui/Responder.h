#pragma once

#include "kit/base/Object.h"
#include "kit/ui/Touch.h"

namespace kit {

// Something that can handle touches. The default handlers pass the touches up the chain:
// a view to its view controller (if it is one's root view) or else its superview, a controller to
// its view's superview.
class Responder : public Object {
 public:
  virtual Responder* nextResponder() const { return nullptr; }
  virtual void touchesBegan(const TouchSet& touches, const Event* withEvent);
  virtual void touchesMoved(const TouchSet& touches, const Event* withEvent);
  virtual void touchesEnded(const TouchSet& touches, const Event* withEvent);
  // The touches will not end here: undo what their touch-down started, without acting.
  virtual void touchesCancelled(const TouchSet& touches, const Event* withEvent);
  // Keyboard focus; only text fields accept it.
  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool becomeFirstResponder() { return false; }
  virtual bool resignFirstResponder() { return true; }
  virtual bool isFirstResponder() const { return false; }
};

}  // namespace kit
