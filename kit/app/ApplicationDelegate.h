#pragma once

#include "kit/base/Object.h"

namespace kit {

class Application;

class ApplicationDelegate : public Object {
 public:
  // Called once when the run loop is about to start; answering NO ends the program.
  virtual bool didFinishLaunchingWithOptions(Application& application) = 0;
  // The system is short of memory (SDL's low-memory event).
  virtual void didReceiveMemoryWarning(Application&) {}
};

}  // namespace kit
