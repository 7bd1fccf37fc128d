#include "kit/ui/Responder.h"

namespace kit {

void Responder::touchesBegan(const TouchSet& touches, const Event* withEvent) {
  if (Responder* next = nextResponder()) next->touchesBegan(touches, withEvent);
}

void Responder::touchesMoved(const TouchSet& touches, const Event* withEvent) {
  if (Responder* next = nextResponder()) next->touchesMoved(touches, withEvent);
}

void Responder::touchesEnded(const TouchSet& touches, const Event* withEvent) {
  if (Responder* next = nextResponder()) next->touchesEnded(touches, withEvent);
}

void Responder::touchesCancelled(const TouchSet& touches, const Event* withEvent) {
  if (Responder* next = nextResponder()) next->touchesCancelled(touches, withEvent);
}

}  // namespace kit
