// The controller's side of the export by e-mail: the data file goes as the attachment of a mail
// composer, to the key file's recipients unless staff type others; when staff leave the composer
// it is dismissed, with an alert only for a result the composer does not define.

#include <memory>

#include "admin/ExportPanel.h"
#include "app/TolvikViewController.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "survey/DataFile.h"

void TolvikViewController::showEmailModalView() {
  std::string path = survey::dataFilePath();
  std::string error;
  std::optional<kit::FileReader> opened = kit::FileReader::open(path, &error);
  if (!opened) {
    // Without its data there is nothing to send: staff are told why, and no composer opens.
    kit::log("Export failed: %s", error.c_str());
    kit::AlertView::show(std::make_unique<kit::AlertView>(
        "Export Failed", "The data file could not be read: " + error, this, "OK"));
    return;
  }

  // What the file holds now goes, however many records are added while the mail is written: the
  // file only grows, so its first bytes stay as they are. They are read as the message is.
  auto file = std::make_shared<const kit::FileReader>(std::move(*opened));
  const std::uint64_t length = file->size();
  auto composer = std::make_unique<kit::MailComposeViewController>();
  composer->mailComposeDelegate = this;
  composer->setToRecipients(kit::mailSettings().recipients);
  // Carried with the message, so that one sent later from the outbox still says what it held. The
  // file is read once for it here, a piece at a time, before the composer shows.
  survey::DataFileScan scan;
  file->read(0, length, [&scan](std::string_view piece) { scan.add(piece); });
  composer->addHeader(kResponsesHeader, std::to_string(scan.responses()));
  composer->addAttachmentFile(file, length, "text/csv", "TolvikData.csv");
  composer->setSubject("Tolvik Event - Form Submission Data");
  composer->setMessageBody("Tolvik data file attached!", true);
  composer->navigationBar()->barStyle = kit::BarStyle::Black;
  presentModalViewController(std::move(composer), true);
  kit::log("CSV sent: %s", survey::contentsSummary(scan).c_str());
}

void TolvikViewController::didFinishWithResult(kit::MailComposeViewController* controller,
                                               kit::MailComposeResult result, const std::string&) {
  if (result == kit::MailComposeResult::Sent) {
    kit::MailMessage sent = controller->message();
    std::vector<std::string> to = sent.toRecipients;
    to.insert(to.end(), sent.ccRecipients.begin(), sent.ccRecipients.end());
    std::uint64_t responses = 0;
    for (const auto& [name, value] : sent.headers) {
      if (name == kResponsesHeader) responses = std::strtoull(value.c_str(), nullptr, 10);
    }
    recordExport("e-mail", kit::joinedAddresses(to), responses);
  }
  switch (result) {
    case kit::MailComposeResult::Cancelled:
    case kit::MailComposeResult::Saved:
    case kit::MailComposeResult::Sent:
    case kit::MailComposeResult::Failed:
      break;
    default:
      kit::AlertView::show(std::make_unique<kit::AlertView>(
          "Email", "Sending Failed - Unknown Error :-(", this, "OK"));
      break;
  }
  dismissModalViewControllerAnimated(true);
  // A failed or cancelled send, or a saved draft, now waits in the outbox; a sent one is the last
  // export.
  showExports();
}
