// The export by e-mail as staff use it, with a real SMTP server on loopback behind the system's
// sendmail (msmtp): what leaves is byte for byte the data file, however large or odd its
// records; leaving the composer any way dismisses it, and only an unknown result shows the
// controller's alert.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
  EXPECT_EQ(AlertView::visibleAlert(), nullptr);
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

TEST(KioskExport, FiftyMegabytesOfOddRecordsTravelByteForByteAsTheyWereWhenTheExportStarted) {
  Kiosk k;
  SmtpServer server;
  // A header and 50 MB of records with quotes, commas, line breaks and non-ASCII text.
  std::string data = "First Name,Last Name,Phone,Email,Gender,Age,Q1,Q2,Q3,Q4,";
  for (int i = 0; data.size() < 50'000'000; ++i) {
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
  EXPECT_NE(exports->lastExport->text.find(": " + std::to_string(survey::countResponses(data)) +
                                           " responses, e-mail to office@example.com"),
            std::string::npos)
      << exports->lastExport->text;

  // A visitor later, then an export with every record; the file itself is never changed.
  returnToForm(k);
  k.submitCompleteForm();
  std::string grown = testing_support::readAll(k.dataFile());
  ASSERT_GT(grown.size(), data.size());
  k.openExport();
  EXPECT_EQ(exports->storedSince->text, "2 responses stored since");
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
      AlertView* alert = AlertView::visibleAlert();
      ASSERT_NE(alert, nullptr);
      EXPECT_EQ(alert->title, "Message Not Sent");
      EXPECT_NE(alert->message.find("cannot connect"), std::string::npos) << alert->message;
      kit::Point ok = alert->buttonFrame().center();
      k.tapAt(ok);
    } else if (c.expected == MailComposeResult::Saved) {
      k.tapAt(StaffPoints::composerCancel);
      k.tapAt(StaffPoints::saveDraft);
      // The composer goes, and an alert says where the draft waits.
      AlertView* alert = AlertView::visibleAlert();
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
    EXPECT_EQ(AlertView::visibleAlert(), nullptr);
    EXPECT_FALSE(k.c().admin->isHidden()) << "the signed-in panel is still there";
    EXPECT_EQ(testing_support::readAll(k.dataFile()), data);
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
  k.c().didFinishWithResult(composerOf(k), static_cast<MailComposeResult>(4), "");
  k.advance(0.5);
  EXPECT_EQ(composerOf(k), nullptr);
  AlertView* alert = AlertView::visibleAlert();
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
  AlertView* alert = AlertView::visibleAlert();
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
  AlertView* alert = AlertView::visibleAlert();
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
  auto waitingShown = [&] { return exports->waiting->text + " | " + exports->waitingError->text; };
  auto exportShown = [&] { return exports->lastExport->text + " | " + exports->storedSince->text; };

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
