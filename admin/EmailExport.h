#pragma once

#include <string>

#include "kit/base/Object.h"
#include "kit/mail/MailComposeViewController.h"
#include "kit/ui/ViewController.h"

// The export by e-mail: the data file goes as the attachment of a mail composer presented over
// the kiosk's screen; when staff leave the composer it is dismissed, with an alert only for a
// result the composer does not define. The composer knows it only as its delegate.
class EmailExport : public kit::Object, public kit::MailComposeViewControllerDelegate {
 public:
  // `presenter` shows the composer and outlives this export.
  explicit EmailExport(kit::ViewController& presenter) : presenter_(presenter) {}

  // Opens the composer; staff are told instead when the data file cannot be read.
  void start();
  void didFinishWithResult(kit::MailComposeViewController* controller,
                           kit::MailComposeResult result, const std::string& error) override;

 private:
  kit::ViewController& presenter_;
};
