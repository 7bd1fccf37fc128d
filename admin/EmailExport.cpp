#include "admin/EmailExport.h"

#include <memory>

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
  composer->addAttachmentFile(file, length, "text/csv", "TolvikData.csv");
  composer->setSubject("Tolvik Event - Form Submission Data");
  composer->setMessageBody("Tolvik data file attached!", true);
  composer->navigationBar()->barStyle = kit::BarStyle::Black;
  presenter_.presentModalViewController(std::move(composer), true);

  // Counted on another thread: reading a large file takes longer than a frame.
  kit::Screen* screen = presenter_.view()->screen();
  if (!screen) return;
  screen->runLoop().runInBackground([file, length] {
    return [summary = survey::contentsSummary(*file, length)] {
      kit::log("CSV sent: %s", summary.c_str());
    };
  });
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
