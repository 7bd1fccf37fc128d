// The exports as staff use them: by e-mail with a real SMTP server on loopback behind the system's
// sendmail (msmtp): what leaves is byte for byte the data file, however large or odd its
// records; leaving the composer any way dismisses it, and only an unknown result shows the
// controller's alert. Mail that does not go waits in the outbox. A copy to a USB stick goes to a
// loop-mounted drive image.

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>

#include "admin/AdminView.h"
#include "admin/ExportPanel.h"
#include "kit/mail/Outbox.h"
#include "kit/ui/AlertView.h"
#include "support/KioskHarness.h"
#include "support/MailSupport.h"
#include "survey/DataFile.h"

using kit::AlertView;
using kit::MailComposeResult;
using testing_support::Kiosk;
using testing_support::parseMail;
using testing_support::SmtpServer;
using testing_support::StaffPoints;

namespace {

kit::MailComposeViewController* composerOf(Kiosk& k) {
  return dynamic_cast<kit::MailComposeViewController*>(k.c().modalViewController());
}

// In the export's composer: types a recipient and sends; returns the attachment the server
// received.
std::string send(Kiosk& k, SmtpServer& server) {
  size_t before = server.messages().size();
  EXPECT_NE(composerOf(k), nullptr);
  k.typeText("office@example.com");
  k.tapAt(StaffPoints::composerSend);
  k.advance(0.5);
  EXPECT_EQ(composerOf(k), nullptr) << "dismissed once sent";
  EXPECT_EQ(AlertView::visibleAlert(k.app().screen()), nullptr);
  std::vector<std::string> received = server.messages();
  if (received.size() != before + 1) return "(nothing received)";
  testing_support::ReceivedMail mail = parseMail(received.back());
  EXPECT_EQ(mail.attachmentName, "TolvikData.csv");
  EXPECT_EQ(mail.attachmentType, "text/csv");
  return mail.attachmentBytes;
}

// Back to the form from the signed-in panel.
void returnToForm(Kiosk& k) {
  k.tapAt(StaffPoints::signedInReturn);
  k.advance(1.5);
}

TEST(KioskExport, MegabytesOfOddRecordsTravelByteForByteAsTheyWereWhenTheExportStarted) {
  Kiosk k;
  SmtpServer server;
  // A header and 5 MB of records (eighty times the largest buffer on the way) with quotes, commas,
  // line breaks and non-ASCII text. How much memory a larger export takes is export_bench's to say.
  std::string data = "First Name,Last Name,Phone,Email,Gender,Age,Q1,Q2,Q3,Q4,";
  for (int i = 0; data.size() < 5'000'000; ++i) {
    data += "\r\n\u00c5sa " + std::to_string(i) +
            ",\"O\"\"Brien, Jr.\",(555) 201-3344,asa@example.com,F,34,\"Hiking,\nCamping,\","
            "Yes,Nej \u2013 \u2713,Yes,";
  }
  testing_support::writeAll(k.dataFile(), data);
  k.openExport();
  // A record stored after the export started is not part of it.
  std::ofstream(k.dataFile(), std::ios::app | std::ios::binary) << "\r\nLate,Lund,,,,,";
  std::string sent = send(k, server);
  EXPECT_TRUE(sent == data) << sent.size() << " bytes sent of " << data.size();
  ExportPanel* exports = k.c().admin->exports;
  EXPECT_NE(exports->lastExport->text().find(": " + std::to_string(survey::countResponses(data)) +
                                             " responses, e-mail to office@example.com"),
            std::string::npos)
      << exports->lastExport->text();

  // A visitor later, then an export with every record; the file itself is never changed.
  returnToForm(k);
  k.submitCompleteForm();
  std::string grown = testing_support::readAll(k.dataFile());
  ASSERT_GT(grown.size(), data.size());
  k.openExport();
  EXPECT_EQ(exports->storedSince->text(), "2 responses stored since");
  sent = send(k, server);
  EXPECT_TRUE(sent == grown) << sent.size() << " bytes sent of " << grown.size();
  EXPECT_TRUE(testing_support::readAll(k.dataFile()) == grown);
}

TEST(KioskExport, CancelFailureAndUnknownResultsAllDismissTheComposer) {
  Kiosk k;
  SmtpServer server;
  std::string data = testing_support::readAll(k.dataFile());
  struct Case {
    const char* name;
    MailComposeResult expected;
  } cases[] = {{"delete draft", MailComposeResult::Cancelled},
               {"save draft", MailComposeResult::Saved},
               {"server down", MailComposeResult::Failed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::StderrCapture capture;
    k.openExport();
    ASSERT_NE(composerOf(k), nullptr);
    k.typeText("office@example.com");
    if (c.expected == MailComposeResult::Failed) {
      server.stop();
      k.tapAt(StaffPoints::composerSend);
      k.advance(0.5);
      // The composer's own alert, with the transport's words, and no alert of the controller's.
      AlertView* alert = AlertView::visibleAlert(k.app().screen());
      ASSERT_NE(alert, nullptr);
      EXPECT_EQ(alert->title, "Message Not Sent");
      EXPECT_NE(alert->message.find("cannot connect"), std::string::npos) << alert->message;
      kit::Point ok = alert->buttonFrame().center();
      k.tapAt(ok);
    } else if (c.expected == MailComposeResult::Saved) {
      k.tapAt(StaffPoints::composerCancel);
      k.tapAt(StaffPoints::saveDraft);
      // Once written (on another thread), the composer goes, and an alert says where it waits.
      ASSERT_TRUE(k.app().waitForBackgroundWork(10));
      AlertView* alert = AlertView::visibleAlert(k.app().screen());
      ASSERT_NE(alert, nullptr);
      EXPECT_EQ(alert->title, "Draft Saved");
      k.tapAt(alert->buttonFrame().center());
    } else {
      // A tap beside Cancel's choices goes back to editing.
      k.tapAt(StaffPoints::composerCancel);
      k.tapAt({600, 700});
      ASSERT_NE(composerOf(k), nullptr);
      k.tapAt(StaffPoints::composerCancel);
      k.tapAt(StaffPoints::deleteDraft);
    }
    k.advance(0.5);
    EXPECT_EQ(composerOf(k), nullptr);
    EXPECT_EQ(AlertView::visibleAlert(k.app().screen()), nullptr);
    EXPECT_FALSE(k.c().admin->isHidden()) << "the signed-in panel is still there";
    EXPECT_EQ(testing_support::readAll(k.dataFile()), data);
    k.app().waitForBackgroundWork(10);  // the log line is counted on another thread
    std::string log = capture.finish();
    EXPECT_EQ(testing_support::countOf(
                  log, "CSV sent: 0 records, " + std::to_string(data.size()) + " bytes\n"),
              1)
        << log;
    returnToForm(k);
  }
  EXPECT_TRUE(server.messages().empty());
  auto drafts = std::filesystem::directory_iterator(k.home().documents() + "/Drafts");
  ASSERT_NE(drafts, std::filesystem::directory_iterator());
  // A draft holds the records: it and its folder are for the kiosk's user alone.
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status(k.home().documents() + "/Drafts").permissions(),
            perms::owner_all);
  EXPECT_EQ(drafts->status().permissions(), perms::owner_read | perms::owner_write);
  EXPECT_EQ(parseMail(testing_support::readAll(drafts->path())).attachmentBytes, data);

  // A result the composer does not define: the controller's alert, and the composer goes too.
  k.openExport();
  composerOf(k)->mailComposeDelegate->didFinishWithResult(composerOf(k),
                                                          static_cast<MailComposeResult>(4), "");
  k.advance(0.5);
  EXPECT_EQ(composerOf(k), nullptr);
  AlertView* alert = AlertView::visibleAlert(k.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title, "Email");
  EXPECT_EQ(alert->message, "Sending Failed - Unknown Error :-(");
  EXPECT_EQ(alert->cancelButtonTitle, "OK");
}

TEST(KioskExport, AnUnreadableDataFileIsReportedAndOpensNoComposer) {
  Kiosk k;
  std::filesystem::remove(k.dataFile());
  std::filesystem::create_directory(k.dataFile());  // unreadable as a file, even for root
  testing_support::StderrCapture capture;
  k.openExport();
  EXPECT_EQ(composerOf(k), nullptr);
  AlertView* alert = AlertView::visibleAlert(k.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title, "Export Failed");
  EXPECT_NE(alert->message.find("The data file could not be read: "), std::string::npos);
  std::string log = capture.finish();
  EXPECT_NE(log.find("Export failed: "), std::string::npos) << log;
  EXPECT_EQ(log.find("CSV sent: "), std::string::npos);
}

}  // namespace

namespace {

// Sends what the export's composer holds to `to`; when the send fails, the alert is read and
// closed. Returns the alert's message, or "" when the composer went without one.
std::string sendTo(Kiosk& k, const std::string& to) {
  k.tapAt(StaffPoints::emailData);
  k.advance(0.5);
  if (!to.empty()) k.typeText(to);
  k.tapAt(StaffPoints::composerSend);
  k.advance(0.5);
  AlertView* alert = AlertView::visibleAlert(k.app().screen());
  if (!alert) return "";
  EXPECT_EQ(alert->title, "Message Not Sent");
  std::string message = alert->message;
  k.tapAt(alert->buttonFrame().center());
  k.advance(0.5);
  return message;
}

TEST(KioskExport, MailThatDoesNotGoWaitsInTheOutboxUntilTheTransportTakesIt) {
  // Waiting mail is tried again every five minutes by itself; the export goes to the office
  // unless staff type otherwise.
  kit::MailSettings before = kit::mailSettings(), retrying = before;
  retrying.retryMinutes = 5;
  retrying.recipients = {"office@example.com"};
  kit::setMailSettings(retrying);
  Kiosk k;
  SmtpServer server;
  server.stop();
  k.submitCompleteForm();
  std::string data = testing_support::readAll(k.dataFile());
  ExportPanel* exports = k.c().admin->exports;
  auto waitingShown = [&] {
    return exports->waiting->text() + " | " + exports->waitingError->text();
  };
  auto exportShown = [&] {
    return exports->lastExport->text() + " | " + exports->storedSince->text();
  };

  // The server is down: the message is kept, and the composer says so.
  k.openStaffScreen();
  k.signIn();
  k.advance(1.1);
  EXPECT_EQ(waitingShown(), "No mail waiting | ");
  EXPECT_EQ(exportShown(), "No export yet | 1 response stored, none exported");
  std::string said = sendTo(k, "");
  retrying.recipients.clear();
  kit::setMailSettings(retrying);
  EXPECT_NE(said.find("cannot connect"), std::string::npos) << said;
  EXPECT_NE(said.find("It waits in the outbox"), std::string::npos) << said;
  EXPECT_EQ(composerOf(k), nullptr);
  EXPECT_EQ(kit::outbox::waiting().size(), 1u);
  EXPECT_NE(waitingShown().find("1 message waiting | Not sent: "), std::string::npos)
      << waitingShown();
  EXPECT_FALSE(exports->sendWaiting->isHidden());

  // The server is back, and refuses a recipient: that message waits too, with the server's words
  // naming the address at fault.
  server.start();
  said = sendTo(k, "nobody@refused.example");
  EXPECT_NE(said.find("nobody@refused.example"), std::string::npos) << said;
  EXPECT_NE(said.find("Recipient address rejected"), std::string::npos) << said;
  EXPECT_EQ(waitingShown().rfind("2 messages waiting", 0), 0u) << waitingShown();

  // Sent on request, one by one: the first is taken once and leaves the outbox; the refused one
  // stays with its error.
  k.tapAt(StaffPoints::sendWaitingMail);
  k.advance(0.5);
  ASSERT_EQ(server.messages().size(), 1u);
  testing_support::ReceivedMail mail = parseMail(server.messages()[0]);
  EXPECT_EQ(mail.to, "office@example.com");
  EXPECT_EQ(mail.attachmentBytes, data);
  std::vector<kit::WaitingMessage> left = kit::outbox::waiting();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].to, "nobody@refused.example");
  EXPECT_NE(waitingShown().find("1 message waiting | Not sent: "), std::string::npos)
      << waitingShown();
  EXPECT_NE(waitingShown().find("refused.example"), std::string::npos) << waitingShown();
  // The one taken is the last export, kept for the kiosk's user alone.
  EXPECT_NE(exportShown().find(": 1 response, e-mail to office@example.com | "
                               "No responses stored since"),
            std::string::npos)
      << exportShown();
  EXPECT_EQ(std::filesystem::status(k.home().documents() + "/TolvikData.exported").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  // Down again for one more; back up, the kiosk sends it by itself within five minutes.
  server.stop();
  sendTo(k, "events@example.org");
  server.start();
  k.advance(5 * 60);
  k.advance(0.1);  // the send that began meanwhile reports
  EXPECT_EQ(server.messages().size(), 2u);
  EXPECT_EQ(kit::outbox::waiting().size(), 1u) << "the refused one only";
  EXPECT_EQ(server.messages().size(), 2u) << "nothing twice";
  EXPECT_NE(exportShown().find("e-mail to events@example.org"), std::string::npos) << exportShown();
  kit::setMailSettings(before);
}

}  // namespace

namespace {

// A USB stick for the test: an image with a file system, loop-mounted under /media where udisks2
// mounts one, so that GIO's volume monitor shows it as a removable drive. FAT where the kernel
// has it, else ext2. Unmounted and gone with the object.
class LoopDrive {
 public:
  LoopDrive(const std::string& label, int kilobytes) {
    std::string folder = "/media/tolvik-test-XXXXXX";
    if (!mkdtemp(folder.data())) return;
    folder_ = folder;
    image_ = folder_ + ".img";
    mountPoint_ = folder_ + "/" + label;
    std::filesystem::create_directory(mountPoint_);
    testing_support::writeAll(image_, "");
    std::filesystem::resize_file(image_, kilobytes * 1024);
    bool fat =
        !testing_support::run("grep -qw vfat /proc/filesystems && command -v mkfs.vfat").empty();
    std::string make = fat ? "mkfs.vfat -n " + label + " " : "mke2fs -q -L " + label + " ";
    ok_ = std::system(
              (make + image_ + " >/dev/null 2>&1 && mount -o loop " + image_ + " " + mountPoint_)
                  .c_str()) == 0;
  }
  ~LoopDrive() {
    if (folder_.empty()) return;
    std::system(("umount " + mountPoint_ + " 2>/dev/null").c_str());
    std::filesystem::remove_all(folder_);
    std::filesystem::remove(image_);
  }
  bool ok() const { return ok_; }
  const std::string& path() const { return mountPoint_; }
  // The names of the files on it, beside what the file system keeps.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(mountPoint_)) {
      if (entry.path().filename() != "lost+found") names.push_back(entry.path().filename());
    }
    // Shortest first: "name.csv" before "name-2.csv".
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
  }

 private:
  std::string folder_, image_, mountPoint_;
  bool ok_ = false;
};

// Turns the run loop until `done`, for at most 10 s of real time: the system's events come then.
bool turnUntil(Kiosk& k, const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    k.advance(0.25);
    usleep(50000);
  }
  return done();
}

TEST(KioskExport, ACopyToAUsbStickIsNamedCheckedNeverOverwritesAndEjects) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a drive image needs root";
  Kiosk k;
  k.submitCompleteForm();
  const std::string data = testing_support::readAll(k.dataFile());
  ExportPanel* exports = k.c().admin->exports;
  k.openStaffScreen();
  k.signIn();
  k.advance(1.1);
  EXPECT_TRUE(exports->copy->isHidden()) << "no drive yet";

  std::optional<LoopDrive> stick(std::in_place, "EVENTS", 2048);
  ASSERT_TRUE(stick->ok());
  ASSERT_TRUE(turnUntil(k, [&] { return !exports->copy->isHidden(); }));
  EXPECT_EQ(exports->copyTitle->text(), "Copy to EVENTS");
  // Twice in the same minute: the second copy takes a name of its own.
  for (int copy = 0; copy < 2; ++copy) {
    exports->status->setText("");
    k.tapAt(StaffPoints::copyToDrive);
    ASSERT_TRUE(turnUntil(k, [&] { return !k.c().driveBusy; }));
    EXPECT_EQ(exports->status->text(), "Copied 1 response to EVENTS");
  }
  k.h().shot(testing_support::outputDirectory() + "/usb-copied.png");
  std::vector<std::string> files = stick->files();
  ASSERT_EQ(files.size(), 2u);
  const std::string stem = "TolvikData-" + std::string(g_get_host_name());
  EXPECT_TRUE(std::regex_match(files[0], std::regex(stem + "-\\d{4}-\\d\\d-\\d\\d-\\d{4}\\.csv")))
      << files[0];
  EXPECT_EQ(files[1], files[0].substr(0, files[0].size() - 4) + "-2.csv");
  for (const std::string& name : files) {
    EXPECT_EQ(testing_support::readAll(stick->path() + "/" + name), data) << name;
  }
  EXPECT_NE(exports->lastExport->text().find(": 1 response, USB stick to EVENTS"),
            std::string::npos)
      << exports->lastExport->text();

  // Ejected from the card: gone from the system and from the card.
  k.tapAt(StaffPoints::ejectDrive);
  ASSERT_TRUE(turnUntil(k, [&] { return !k.c().driveBusy && exports->copy->isHidden(); }));
  EXPECT_EQ(exports->status->text(), "EVENTS can be taken out now.");
  EXPECT_EQ(testing_support::run("findmnt -n " + stick->path()), "");
  stick.reset();

  // A drive too small for the data file: what failed is said, and nothing is left on it.
  testing_support::writeAll(k.dataFile(), data + std::string(1 << 20, 'x'));
  LoopDrive tiny("TINY", 512);
  ASSERT_TRUE(tiny.ok());
  ASSERT_TRUE(turnUntil(k, [&] { return exports->copyTitle->text() == "Copy to TINY"; }));
  k.tapAt(StaffPoints::copyToDrive);
  ASSERT_TRUE(turnUntil(k, [&] { return !k.c().driveBusy; }));
  EXPECT_NE(exports->status->text().find("No space left on device"), std::string::npos)
      << exports->status->text();
  EXPECT_TRUE(tiny.files().empty());
  k.h().shot(testing_support::outputDirectory() + "/usb-full.png");
}

}  // namespace
