#pragma once

#include <memory>
#include <string>

#include "kit/base/Geometry.h"
#include "kit/base/Object.h"

namespace kit {

class AlertView;
class AlertOverlay;
class Screen;
class View;

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
  // Hands the alert to the screen that `overView` shows on (none: the alert goes); the caller
  // keeps no reference.
  static void show(std::unique_ptr<AlertView> alert, const View& overView);
  // The top-most alert on `screen`, or nullptr when none shows.
  static AlertView* visibleAlert(const Screen& screen);
  // Takes the alert away as its button would, but without telling the delegate: for an alert
  // that is no longer needed.
  void dismiss();
  // The button in screen points; empty while the alert is not shown.
  Rect buttonFrame() const;

  std::string title;
  std::string message;
  AlertViewDelegate* delegate;
  std::string cancelButtonTitle;

 private:
  friend class AlertOverlay;
  AlertOverlay* overlay_ = nullptr;  // the dimming view that owns this alert while shown
};

}  // namespace kit
