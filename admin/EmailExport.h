#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "kit/base/Object.h"
#include "kit/mail/MailComposeViewController.h"
#include "kit/ui/ViewController.h"

// The export by e-mail: the data file goes as the attachment of a mail composer presented over
// the kiosk's screen, to the key file's recipients unless staff type others; when staff leave the
// composer it is dismissed, with an alert only for a result the composer does not define. The
// composer knows it only as its delegate.
class EmailExport : public kit::Object, public kit::MailComposeViewControllerDelegate {
 public:
  // A message that went: to whom (To and Cc) and how many responses it held.
  struct Sent {
    std::string to;
    std::uint64_t responses = 0;
  };
  // Told once the composer is dismissed; `sent` is set when the message went.
  using Finished = std::function<void(const std::optional<Sent>& sent)>;

  // `presenter` shows the composer and outlives this export.
  EmailExport(kit::ViewController& presenter, Finished finished)
      : presenter_(presenter), finished_(std::move(finished)) {}

  // Opens the composer; staff are told instead when the data file cannot be read.
  void start();
  void didFinishWithResult(kit::MailComposeViewController* controller,
                           kit::MailComposeResult result, const std::string& error) override;

 private:
  kit::ViewController& presenter_;
  Finished finished_;
  // The responses counted in the export's file, once known: for a message sent before the count
  // reached it.
  std::optional<std::uint64_t> counted_;
};
