#pragma once

#include <memory>
#include <string>

#include "Object.h"

namespace kit {

class AlertView;

class AlertViewDelegate {
 public:
  virtual ~AlertViewDelegate() = default;
  virtual void clickedButtonAtIndex(AlertView*, int /*buttonIndex*/) {}
};

// A modal message with one button that closes it. Shown above everything, it dims what lies
// below and takes every touch until its button is tapped. The kit keeps it while it shows.
class AlertView : public Object {
 public:
  AlertView(std::string title, std::string message, AlertViewDelegate* delegate,
            std::string cancelButtonTitle);
  // Hands the alert to the screen; the caller keeps no reference.
  static void show(std::unique_ptr<AlertView> alert);

  std::string title;
  std::string message;
  AlertViewDelegate* delegate;
  std::string cancelButtonTitle;
};

}  // namespace kit
