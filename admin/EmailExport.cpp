#include "admin/EmailExport.h"

#include <memory>

#include "kit/base/Files.h"
#include "kit/base/Log.h"
#include "kit/ui/AlertView.h"
#include "survey/DataFile.h"

void EmailExport::start() {
  std::string path = survey::dataFilePath();
  std::string error;
  std::optional<std::string> contents = kit::readFile(path, &error);
  if (!contents) {
    // Without its data there is nothing to send: staff are told why, and no composer opens.
    kit::log("Export failed: %s", error.c_str());
    kit::AlertView::show(
        std::make_unique<kit::AlertView>(
            "Export Failed", "The data file could not be read: " + error, nullptr, "OK"),
        *presenter_.view());
    return;
  }

  auto composer = std::make_unique<kit::MailComposeViewController>();
  composer->mailComposeDelegate = this;
  composer->addAttachmentData(*contents, "text/csv", "TolvikData.csv");
  composer->setSubject("Tolvik Event - Form Submission Data");
  composer->setMessageBody("Tolvik data file attached!", true);
  composer->navigationBar()->barStyle = kit::BarStyle::Black;
  presenter_.presentModalViewController(std::move(composer), true);

  kit::log("CSV sent: %s", survey::contentsSummary(*contents).c_str());
}

void EmailExport::didFinishWithResult(kit::MailComposeViewController*,
                                      kit::MailComposeResult result, const std::string&) {
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
}
