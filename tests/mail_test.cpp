// The kit's mail: address checks, the MIME message, the sendmail transport against a real SMTP
// server on loopback (msmtp as sendmail), and the composer driven by taps and typing.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "kit/backends/headless/Headless.h"
#include "kit/base/Clock.h"
#include "kit/base/Utf8.h"
#include "kit/mail/MailComposeViewController.h"
#include "kit/mail/MailMessage.h"
#include "kit/mail/MailTransport.h"
#include "kit/mail/Outbox.h"
#include "kit/text/Keyboard.h"
#include "kit/text/TextView.h"
#include "kit/ui/NavigationBar.h"
#include "support/MailSupport.h"
#include "support/TestSupport.h"

using namespace kit;
using testing_support::parseMail;
using testing_support::ReceivedMail;
using testing_support::SmtpServer;
using testing_support::TempHome;

namespace {

MailSettings through(const std::string& sendmail, double timeout = 120) {
  MailSettings settings;
  settings.sendmail = sendmail;
  settings.timeout = timeout;
  return settings;
}

bool isZombie(pid_t pid) {
  std::string stat = testing_support::readAll("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && stat.compare(close, 4, ") Z ") == 0;
}

TEST(MailMessage, AddressesAreCheckedOneByOne) {
  struct Case {
    const char* to;
    const char* cc;
    bool sendable;
  } cases[] = {
      {"anna@example.com", "", true},
      {" anna@example.com , tom.lund+kiosk@mail.example.org; ", "", true},
      {"a_b-c@sub-domain.example.co", "boss@example.com", true},
      {"", "boss@example.com", false},  // nobody in To
      {" , ", "", false},
      {"anna@example", "", false},  // one domain label
      {"anna@@example.com", "", false},
      {"anna@-example.com", "", false},
      {".anna@example.com", "", false},
      {"an..na@example.com", "", false},
      {"an na@example.com", "", false},
      {"anna@example.com", "tom@", false},  // a bad Cc holds Send back too
      {"anna@exämple.com", "", false},
      {"anna@example.com, tom", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(canSendTo(c.to, c.cc), c.sendable) << c.to << " / " << c.cc;
  EXPECT_EQ(parseAddressList(" a@b.se ,, c@d.se;e@f.se "),
            (std::vector<std::string>{"a@b.se", "c@d.se", "e@f.se"}));

  EXPECT_EQ(htmlToText("Tolvik data <b>file</b> attached!"), "Tolvik data file attached!");
  EXPECT_EQ(htmlToText("a &amp; b<br>c &lt;d&gt;<p>e</p>"), "a & b\nc <d>e");
  std::string typed = "Rows & \"quotes\" <here>\nnext line";
  EXPECT_EQ(htmlToText(textToHtml(typed)), typed);
  EXPECT_EQ(readableSize(12), "12 bytes");
  EXPECT_EQ(readableSize(2500), "2.5 KB");
  EXPECT_EQ(readableSize(3400000), "3.4 MB");
}

TEST(MailMessage, TheMimeFormCarriesHeadersBodyAndExactBytes) {
  std::string bytes = "Name,Note\r\n\"Åsa\",\"a \"\"quote\"\", a comma\nand a line\"\r\n";
  bytes += std::string("\0\xff\xfe binary", 10);
  MailMessage message;
  message.toRecipients = {"anna@example.com", "tom@example.com"};
  message.ccRecipients = {"boss@example.com"};
  message.subject = "Résumé of the day\nsecond line";
  message.body = "<p>Data attached</p>";
  message.bodyIsHTML = true;
  message.attachments.push_back({bytes, "text/csv", "Data.csv"});

  std::string raw = mimeMessage(message, "kiosk@example.com");
  EXPECT_NE(raw.find("Content-Type: multipart/mixed"), std::string::npos);
  EXPECT_NE(raw.find("Subject: =?UTF-8?"), std::string::npos) << "non-ASCII is encoded";
  for (char c : raw) ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80) << "7-bit on the wire";
  ReceivedMail mail = parseMail(raw);
  EXPECT_EQ(mail.subject, "Résumé of the day second line");
  EXPECT_EQ(mail.to, "anna@example.com, tom@example.com");
  EXPECT_EQ(mail.cc, "boss@example.com");
  EXPECT_EQ(mail.from, "kiosk@example.com");
  EXPECT_FALSE(mail.date.empty());
  EXPECT_FALSE(mail.messageId.empty());
  EXPECT_EQ(mail.bodyType, "text/html");
  EXPECT_EQ(mail.bodyCharset, "utf-8");
  EXPECT_EQ(mail.body, "<p>Data attached</p>");
  EXPECT_EQ(mail.attachmentName, "Data.csv");
  EXPECT_EQ(mail.attachmentType, "text/csv");
  EXPECT_EQ(mail.attachmentEncoding, "base64");
  EXPECT_EQ(mail.attachmentBytes, bytes);

  message.bodyIsHTML = false;
  message.body = "Plain ünïcode";
  ReceivedMail plain = parseMail(mimeMessage(message, ""));
  EXPECT_EQ(plain.bodyType, "text/plain");
  EXPECT_EQ(plain.body, "Plain ünïcode");
  EXPECT_EQ(plain.from, "") << "left to the transport";
  EXPECT_NE(plain.messageId, mail.messageId);
}

TEST(MailTransport, SendmailDeliversOrSaysWhyNot) {
  TempHome home;
  SmtpServer server;
  MailMessage message;
  message.toRecipients = {"anna@example.com"};
  message.subject = "Hello";
  message.attachments.push_back({"a,b\r\n", "text/csv", "x.csv"});
  std::string raw = mimeMessage(message, "");

  EXPECT_EQ(sendmailProgram({}), "/usr/sbin/sendmail") << "msmtp-mta's sendmail";
  MailDelivery delivered = deliverWithSendmail(raw, {});
  EXPECT_TRUE(delivered.sent) << delivered.error;
  ASSERT_EQ(server.messages().size(), 1u);
  ReceivedMail mail = parseMail(server.messages()[0]);
  EXPECT_EQ(mail.subject, "Hello");
  EXPECT_EQ(mail.from, "staff@kiosk.example") << "filled in by msmtp";
  EXPECT_EQ(mail.attachmentBytes, "a,b\r\n");

  // An attachment read from a file as it goes: the file's first bytes. One that the file no
  // longer holds whole ends the transport before the end of the message: nothing is sent.
  testing_support::writeAll(home.path() + "/data.csv", "a,b\r\n1,2\r\n");
  MailMessage fromFile = message;
  fromFile.attachments[0].file =
      std::make_shared<const FileReader>(*FileReader::open(home.path() + "/data.csv"));
  fromFile.attachments[0].length = 5;
  EXPECT_TRUE(deliverWithSendmail(fromFile, "", {}).sent);
  ASSERT_EQ(server.messages().size(), 2u);
  EXPECT_EQ(parseMail(server.messages()[1]).attachmentBytes, "a,b\r\n");
  fromFile.attachments[0].length = 100;
  MailDelivery cutShort = deliverWithSendmail(fromFile, "", {});
  EXPECT_FALSE(cutShort.sent);
  EXPECT_EQ(cutShort.error, "The message could not be written: Input/output error");
  EXPECT_EQ(server.messages().size(), 2u);
  // A waiting message goes from its file as it is, a piece at a time; a file gone is named.
  testing_support::writeAll(home.path() + "/kept.eml", raw);
  EXPECT_TRUE(deliverFileWithSendmail(home.path() + "/kept.eml", {}).sent);
  ASSERT_EQ(server.messages().size(), 3u);
  EXPECT_EQ(parseMail(server.messages()[2]).attachmentBytes, "a,b\r\n");
  MailDelivery gone = deliverFileWithSendmail(home.path() + "/gone.eml", {});
  EXPECT_FALSE(gone.sent);
  EXPECT_NE(gone.error.find("gone.eml"), std::string::npos) << gone.error;
  EXPECT_EQ(server.messages().size(), 3u);

  struct Case {
    std::string program;
    std::string error;  // part of the reported error
  } failures[] = {
      {"/usr/bin/false", "exited with status 1"},  // quits without reading, says nothing
      {"/nonexistent/sendmail", "/nonexistent/sendmail"},
      {"/usr/bin/true", ""},  // quits without reading the message: not sent, and no SIGPIPE
  };
  std::string large(4 << 20, 'x');
  for (const Case& c : failures) {
    MailDelivery failed = deliverWithSendmail(large, through(c.program));
    EXPECT_FALSE(failed.sent) << c.program;
    EXPECT_NE(failed.error.find(c.error), std::string::npos) << failed.error;
  }

  // Stand-in transports, each leaving a child behind that writes its process id to a file.
  struct StandIn {
    const char* name;
    const char* script;
    double timeout;
    double cancelAfter;  // seconds; 0: never
    bool sent;
    const char* error;  // part of the reported error
  } standIns[] = {
      // Takes the mail and exits 0, its child holding the error output open: the exit decides.
      {"lingering child", "cat >/dev/null; sleep 30 & echo $! >child; exit 0", 10, 0, true, ""},
      // Hangs: the timeout, or staff's cancel, ends it with its child.
      {"hangs", "sleep 30 & echo $! >child; wait", 0.3, 0, false,
       "did not finish within 0.3 seconds"},
      {"cancelled", "sleep 30 & echo $! >child; wait", 10, 0.2, false, "cancelled"},
      // Error output that is not UTF-8, and one long line: a few lines of valid text.
      {"bad bytes", "echo $$ >child; printf 'bad \\377\\376 bytes\\n\\n\\tsecond\\n' >&2; exit 1",
       10, 0, false, "bad \ufffd\ufffd bytes\nsecond"},
      {"2 MB line", "echo $$ >child; head -c 2000000 /dev/zero | tr '\\0' x >&2; exit 1", 10, 0,
       false, "xxx\u2026"},
  };
  std::string script = home.path() + "/stand-in-sendmail";
  std::string child = home.path() + "/child";
  for (const StandIn& s : standIns) {
    SCOPED_TRACE(s.name);
    testing_support::writeAll(script, "#!/bin/sh\ncd " + home.path() + "\n" + s.script + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    SendCancellation cancellation;
    std::thread canceller([&] {
      if (s.cancelAfter > 0) {
        usleep(static_cast<useconds_t>(s.cancelAfter * 1e6));
        cancellation.cancel();
      }
    });
    SteadyClock clock;
    double start = clock.now();
    MailDelivery delivery = deliverWithSendmail(raw, through(script, s.timeout), &cancellation);
    canceller.join();
    EXPECT_LT(clock.now() - start, 5) << "never waits for the child";
    EXPECT_EQ(delivery.sent, s.sent) << delivery.error;
    EXPECT_EQ(delivery.cancelled, s.cancelAfter > 0);
    EXPECT_NE(delivery.error.find(s.error), std::string::npos) << delivery.error;
    EXPECT_TRUE(utf8::isValid(delivery.error));
    EXPECT_LT(delivery.error.size(), 600u);
    pid_t left = std::atoi(testing_support::readAll(child).c_str());
    ASSERT_GT(left, 0);
    if (!s.sent) {
      // Ended with the transport: gone, or a zombie waiting for its new parent.
      for (int i = 0; i < 100 && kill(left, 0) == 0 && !isZombie(left); ++i) usleep(20000);
      EXPECT_TRUE(kill(left, 0) != 0 || isZombie(left)) << "the transport's child lives on";
    }
    kill(left, SIGKILL);
  }

  // A sender that the server refuses is named in the error, not the recipient.
  MailSettings bySender = through("/usr/bin/msmtp");
  bySender.sender = "kiosk@refused.example";
  MailDelivery senderRefused = deliverWithSendmail(mimeMessage(message, bySender.sender), bySender);
  EXPECT_FALSE(senderRefused.sent);
  EXPECT_NE(senderRefused.error.find("kiosk@refused.example"), std::string::npos)
      << senderRefused.error;
  EXPECT_EQ(senderRefused.error.find("anna@example.com"), std::string::npos) << senderRefused.error;

  server.stop();
  MailDelivery refused = deliverWithSendmail(raw, through("/usr/bin/msmtp"));
  EXPECT_FALSE(refused.sent);
  EXPECT_EQ(refused.error.rfind("msmtp: cannot connect to 127.0.0.1", 0), 0u) << "its own words";
}

// The composer over a plain screen, driven by taps and typing: it writes down how it finished.
class ComposerTest : public ::testing::Test, public MailComposeViewControllerDelegate {
 protected:
  void didFinishWithResult(MailComposeViewController*, MailComposeResult result,
                           const std::string&) override {
    results.push_back(result);
    presenter.dismissModalViewControllerAnimated(true);
  }
  // Presents a composer with a subject, an HTML body and an attachment; it slides up.
  MailComposeViewController* present() {
    h.app().screen().windowLayer()->addSubview(presenter.view());
    auto* composer = new MailComposeViewController;
    composer->mailComposeDelegate = this;
    composer->setSubject("Event data");
    composer->setMessageBody("Data file <b>attached</b>!", true);
    composer->addAttachmentData(std::string("id,name\r\n1,Åsa\r\n"), "text/csv", "Data.csv");
    presenter.presentModalViewController(std::unique_ptr<MailComposeViewController>(composer),
                                         true);
    h.wait(0.5);
    return composer;
  }
  void tapBarItem(MailComposeViewController* composer, size_t index) {
    NavigationBar* bar = composer->navigationBar();
    Point p = bar->convertToAncestor(bar->frameOfItem(index).center(), nullptr);
    h.tap(p.x, p.y);
  }
  bool sendEnabled(MailComposeViewController* composer) {
    return composer->navigationBar()->items().back()->enabled;
  }

  TempHome home;
  SmtpServer server;
  Headless h;
  ViewController presenter;
  std::vector<MailComposeResult> results;
};

TEST_F(ComposerTest, TypedRecipientAndBodyThenSendDeliversTheMessageOnce) {
  MailComposeViewController* composer = present();
  Keyboard* keyboard = Keyboard::existing();
  ASSERT_TRUE(keyboard && keyboard->isShowing());
  EXPECT_EQ(keyboard->keyboardType(), KeyboardType::EmailAddress) << "To: has the keyboard";
  EXPECT_EQ(composer->navigationBar()->title(), "Event data");
  EXPECT_FALSE(sendEnabled(composer));
  h.type("anna@example");
  EXPECT_FALSE(sendEnabled(composer));
  Point dot = Keyboard::frameOfKey(".").center();
  h.tap(dot.x, dot.y);
  h.type("com");
  EXPECT_TRUE(sendEnabled(composer));
  h.shot(testing_support::outputDirectory() + "/composer-keyboard.png");

  // The body: a new line typed at its end, a long paste that scrolls it.
  h.tap(384, 400);
  h.key("return");
  h.type("Kind regards");
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "Line " + std::to_string(i) + "\r\n";
  h.paste(longText);
  auto* body = dynamic_cast<TextView*>(h.app().firstResponder());
  ASSERT_NE(body, nullptr);
  EXPECT_GT(body->contentOffset(), 0) << "scrolled to keep the caret in sight";
  Point top = body->convertToAncestor({12, 20}, nullptr);
  h.tap(top.x, top.y);  // a line scrolled to the top: the caret goes to its start
  size_t caret = body->caretPosition();
  ASSERT_GT(caret, 0u);
  EXPECT_LT(caret, body->text().size() - 10);
  EXPECT_EQ(body->text().substr(caret - 1, 6), "\nLine ");
  EXPECT_EQ(composer->message().body.find("Data file attached!<br>\nKind regards"), 0u);

  tapBarItem(composer, 2);
  EXPECT_TRUE(composer->isSending());
  EXPECT_EQ(composer->navigationBar()->title(), "Sending\u2026");
  h.shot(testing_support::outputDirectory() + "/composer-sending.png");
  h.wait(1);
  EXPECT_EQ(results, std::vector<MailComposeResult>{MailComposeResult::Sent});
  ASSERT_EQ(server.messages().size(), 1u);
  ReceivedMail mail = parseMail(server.messages()[0]);
  EXPECT_EQ(mail.to, "anna@example.com");
  EXPECT_EQ(mail.subject, "Event data");
  EXPECT_NE(mail.body.find("Line 39<br>"), std::string::npos);
  EXPECT_EQ(mail.attachmentBytes, "id,name\r\n1,Åsa\r\n");
  EXPECT_EQ(presenter.modalViewController(), nullptr);
}

TEST_F(ComposerTest, AFailedOrCancelledSendIsKeptInTheOutboxAndSaysSo) {
  server.stop();
  MailComposeViewController* composer = present();
  h.type("anna@example.com");
  tapBarItem(composer, 2);
  h.wait(0.5);
  AlertView* alert = AlertView::visibleAlert(h.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title, "Message Not Sent");
  EXPECT_NE(alert->message.find("cannot connect to 127.0.0.1"), std::string::npos) << "msmtp's";
  EXPECT_NE(alert->message.find("It waits in the outbox"), std::string::npos) << alert->message;
  EXPECT_TRUE(results.empty()) << "not before the alert is read";
  h.shot(testing_support::outputDirectory() + "/composer-not-sent.png");
  h.tap(alert->buttonFrame().center().x, alert->buttonFrame().center().y);
  h.wait(0.5);
  EXPECT_EQ(results, std::vector<MailComposeResult>{MailComposeResult::Failed});
  std::vector<WaitingMessage> waiting = outbox::waiting();
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].to, "anna@example.com");
  EXPECT_EQ(parseMail(testing_support::readAll(waiting[0].path)).attachmentBytes,
            "id,name\r\n1,Åsa\r\n");

  // A transport that hangs: Cancel stays enabled, stops it, and the message waits too.
  MailSettings before = mailSettings(), hanging = before;
  hanging.sendmail = home.path() + "/hanging-sendmail";
  testing_support::writeAll(hanging.sendmail, "#!/bin/sh\nexec sleep 60\n");
  std::filesystem::permissions(hanging.sendmail, std::filesystem::perms::owner_all);
  setMailSettings(hanging);
  composer = present();
  h.type("tom@example.com");
  tapBarItem(composer, 2);
  EXPECT_TRUE(composer->isSending());
  EXPECT_TRUE(composer->navigationBar()->items().front()->enabled) << "Cancel";
  tapBarItem(composer, 0);
  h.wait(0.5);
  setMailSettings(before);
  alert = AlertView::visibleAlert(h.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->message.rfind("The send was cancelled.\n\nIt waits in the outbox", 0), 0u)
      << alert->message;
  h.shot(testing_support::outputDirectory() + "/composer-cancelled.png");
  h.tap(alert->buttonFrame().center().x, alert->buttonFrame().center().y);
  h.wait(0.5);
  EXPECT_EQ(results.size(), 2u);
  EXPECT_EQ(outbox::waiting().size(), 2u);
}

TEST_F(ComposerTest, ADraftThatCannotBeSavedIsNamedAndTheComposerStays) {
  // A Documents folder that cannot be written, read-only even for root.
  std::string documents = home.documents();
  std::filesystem::create_directories(documents);
  bool mounted = geteuid() == 0 && mount("tmpfs", documents.c_str(), "tmpfs", MS_RDONLY, "") == 0;
  if (!mounted)
    std::filesystem::permissions(
        documents, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  MailComposeViewController* composer = present();
  tapBarItem(composer, 0);
  h.tap(138, 146);  // Save Draft, written on another thread
  ASSERT_TRUE(h.app().waitForBackgroundWork(10));
  AlertView* alert = AlertView::visibleAlert(h.app().screen());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title, "Draft Not Saved");
  EXPECT_NE(alert->message.find("cannot create folder " + documents + "/Drafts: "),
            std::string::npos)
      << alert->message;
  EXPECT_TRUE(results.empty());
  if (mounted) umount2(documents.c_str(), MNT_DETACH);
  std::filesystem::permissions(documents, std::filesystem::perms::owner_all);
}

}  // namespace
