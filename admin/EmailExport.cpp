#include "admin/EmailExport.h"

#include <cstdlib>
#include <memory>

#include "admin/ExportPanel.h"
#include "kit/base/Files.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Screen.h"
#include "survey/DataFile.h"

void EmailExport::start() {
  std::string path = survey::dataFilePath();
  std::string error;
  std::optional<kit::FileReader> opened = kit::FileReader::open(path, &error);
  if (!opened) {
    // Without its data there is nothing to send: staff are told why, and no composer opens.
    kit::log("Export failed: %s", error.c_str());
    kit::AlertView::show(
        std::make_unique<kit::AlertView>(
            "Export Failed", "The data file could not be read: " + error, nullptr, "OK"),
        *presenter_.view());
    return;
  }

  // What the file holds now goes, however many records are added while the mail is written: the
  // file only grows, so its first bytes stay as they are. They are read as the message is.
  auto file = std::make_shared<const kit::FileReader>(std::move(*opened));
  const std::uint64_t length = file->size();
  auto composer = std::make_unique<kit::MailComposeViewController>();
  composer->mailComposeDelegate = this;
  composer->setToRecipients(kit::mailSettings().recipients);
  composer->addAttachmentFile(file, length, "text/csv", "TolvikData.csv");
  composer->setSubject("Tolvik Event - Form Submission Data");
  composer->setMessageBody("Tolvik data file attached!", true);
  composer->navigationBar()->barStyle = kit::BarStyle::Black;
  std::weak_ptr<const void> composerAlive = composer->weakReference();
  counted_.reset();
  kit::MailComposeViewController* shown = composer.get();
  presenter_.presentModalViewController(std::move(composer), true);

  // Counted on another thread: reading a large file takes longer than a frame. The count goes with
  // the message, so that one sent later from the outbox still says what it held.
  kit::Screen* screen = presenter_.view()->screen();
  if (!screen) return;
  screen->runLoop().runInBackground([this, file, length, shown, composerAlive] {
    survey::DataFileScan scan;
    file->read(0, length, [&scan](std::string_view piece) { scan.add(piece); });
    return [this, scan, shown, composerAlive] {
      if (!composerAlive.expired()) {
        shown->addHeader(kResponsesHeader, std::to_string(scan.responses()));
        counted_ = scan.responses();
      }
      kit::log("CSV sent: %s", survey::contentsSummary(scan).c_str());
    };
  });
}

void EmailExport::didFinishWithResult(kit::MailComposeViewController* controller,
                                      kit::MailComposeResult result, const std::string&) {
  std::optional<Sent> sent;
  if (result == kit::MailComposeResult::Sent) {
    kit::MailMessage message = controller->message();
    std::vector<std::string> to = message.toRecipients;
    to.insert(to.end(), message.ccRecipients.begin(), message.ccRecipients.end());
    sent = Sent{kit::joinedAddresses(to), counted_.value_or(0)};
    for (const auto& [name, value] : message.headers) {
      if (name == kResponsesHeader) sent->responses = std::strtoull(value.c_str(), nullptr, 10);
    }
  }
  switch (result) {
    case kit::MailComposeResult::Cancelled:
    case kit::MailComposeResult::Saved:
    case kit::MailComposeResult::Sent:
    case kit::MailComposeResult::Failed:
      break;
    default:
      kit::AlertView::show(std::make_unique<kit::AlertView>(
                               "Email", "Sending Failed - Unknown Error :-(", nullptr, "OK"),
                           *presenter_.view());
      break;
  }
  presenter_.dismissModalViewControllerAnimated(true);
  // A failed or cancelled send, or a saved draft, now waits in the outbox; a sent one is the last
  // export.
  if (finished_) finished_(sent);
}
