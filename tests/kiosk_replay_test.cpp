// The real kiosk program run headless from scripts, as the README's runner does: two visitors'
// sessions must leave the data file byte for byte as expected; staff's export by e-mail, also as
// the kiosk's own user after the README's mail set-up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "support/MailSupport.h"
#include "support/TestSupport.h"
#include "survey/Tables.h"

using testing_support::replay;

TEST(KioskReplay, TwoVisitorsSessionsProduceTheDataFileByteForByte) {
  testing_support::TempHome home;
  // The data goes to the Documents folder named in the user's XDG user-dirs file.
  std::filesystem::create_directories(home.path() + "/.config");
  testing_support::writeAll(home.path() + "/.config/user-dirs.dirs",
                            "# written by xdg-user-dirs-update\n"
                            "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  std::string out = testing_support::outputDirectory("two_visitors");
  std::string log;
  ASSERT_EQ(replay("two_visitors.txt", home.path(), &log), 0) << log;

  // The header's bytes are pinned in the record tests.
  std::string expected =
      survey::headerLine(survey::questionTexts()) +
      "\r\nAnna,Berg,(555) 201-3344,anna.berg@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,"
      "\r\nTom,Lund,(555) 876-1200,tom.lund@example.com,M,52,\"Trail Running,\",No,No,No,";
  EXPECT_EQ(testing_support::readAll(home.path() + "/Dokumente/TolvikData.txt"), expected);
  EXPECT_FALSE(std::filesystem::exists(home.documents()));

  // The log tells the story: the file created, then appended to, the record's size logged as
  // it is built; nothing typed appears in it.
  EXPECT_NE(log.find("File not found"), std::string::npos);
  EXPECT_NE(log.find("File exists, appending new text to end"), std::string::npos);
  EXPECT_NE(log.find("results before last buttons: 1 record, 72 bytes\n"), std::string::npos)
      << log;
  for (const char* typed : {"Anna", "Berg", "2013344", "201-3344", "anna.berg", "Lund"}) {
    EXPECT_EQ(log.find(typed), std::string::npos) << typed;
  }
  for (const char* shot : {"anna-filled.png", "flip-turning-away.png", "flip-turning-in.png",
                           "thankyou.png", "empty-again.png"}) {
    EXPECT_GT(std::filesystem::file_size(out + "/" + shot), 10000u) << shot;
  }
}

TEST(KioskReplay, ARejectedFormStoresNothingAndABadScriptLineIsReported) {
  testing_support::TempHome home;
  std::string out = testing_support::outputDirectory("rejected_form");
  std::string log;
  ASSERT_EQ(replay("rejected_form.txt", home.path(), &log), 0) << log;
  EXPECT_EQ(testing_support::readAll(home.documents() + "/TolvikData.txt").find('\r'),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(out + "/signals.png"));

  testing_support::writeAll(out + "/bad.txt", "tap 1 2\nfly away\n");
  EXPECT_NE(replay(out + "/bad.txt", home.path(), &log, "rejected_form"), 0);
  EXPECT_NE(log.find("2"), std::string::npos) << "the line's number";
}

// Staff's whole path to the export, sent through the system's sendmail (msmtp) to a real SMTP
// server on loopback; then again with the server down.
TEST(KioskReplay, StaffExportTheDataFileByEmail) {
  testing_support::TempHome home;
  testing_support::SmtpServer server;
  for (bool serverUp : {true, false}) {
    SCOPED_TRACE(serverUp ? "server up" : "server down");
    const char* folder = serverUp ? "staff_export" : "staff_export_not_sent";
    std::string out = testing_support::outputDirectory(folder);
    if (!serverUp) server.stop();
    std::string log;
    ASSERT_EQ(replay("staff_export.txt", home.path(), &log, folder), 0) << log;
    std::string data = testing_support::readAll(home.documents() + "/TolvikData.txt");
    // Each run stores one more response.
    EXPECT_NE(log.find(std::string("CSV sent: ") + (serverUp ? "1 record, " : "2 records, ") +
                       std::to_string(data.size()) + " bytes\n"),
              std::string::npos)
        << log;
    for (const char* shot : {"composer.png", "sending.png", "after-send.png"}) {
      EXPECT_GT(std::filesystem::file_size(out + "/" + shot), 10000u) << shot;
    }
    if (!serverUp) {
      EXPECT_NE(log.find("Message not sent: sendmail: cannot connect to 127.0.0.1"),
                std::string::npos)
          << log;
      EXPECT_EQ(server.messages().size(), 1u);
      continue;
    }
    ASSERT_EQ(server.messages().size(), 1u) << log;
    testing_support::ReceivedMail mail = testing_support::parseMail(server.messages()[0]);
    EXPECT_EQ(mail.to, "office@example.com, events@example.org");
    EXPECT_EQ(mail.subject, "Tolvik Event - Form Submission Data");
    EXPECT_EQ(mail.bodyType, "text/html");
    EXPECT_EQ(mail.body, "Tolvik data file attached!");
    EXPECT_EQ(mail.attachmentName, "TolvikData.csv");
    EXPECT_EQ(mail.attachmentType, "text/csv");
    EXPECT_EQ(mail.attachmentBytes, data);
    EXPECT_NE(data.find("\r\nÅsa,Berg,"), std::string::npos);
  }
}

// The kiosk left alone, as the script tells: the abandoned form asked about and cleared, the
// visitor who answers going on, the thank-you screen returning by itself as the key file asks,
// staff signed out. Nothing typed reaches the log.
TEST(KioskReplay, LeftAloneTheKioskClearsTheFormAndSignsStaffOut) {
  testing_support::TempHome home;
  std::filesystem::create_directories(home.path() + "/.config/tolvik");
  testing_support::writeAll(home.path() + "/.config/tolvik/kiosk.conf",
                            "[Kiosk]\nThankYouReturnAfter=5\n");
  std::string log;
  ASSERT_EQ(replay("left_alone.txt", home.path(), &log), 0) << log;
  EXPECT_EQ(testing_support::countOf(log, "Form left unanswered: cleared for the next visitor"), 1)
      << log;
  EXPECT_EQ(testing_support::countOf(log, "Staff screen left untouched: signed out"), 1) << log;
  for (const char* typed :
       {"Walter", "5551234", "Greta", "Lund", "8761200", "876-1200", "greta@", "tamarind"}) {
    EXPECT_EQ(log.find(typed), std::string::npos) << typed;
  }
  // Only the visitor who went on is stored.
  std::string data = testing_support::readAll(home.documents() + "/TolvikData.txt");
  EXPECT_EQ(testing_support::countOf(data, "\r\n"), 1) << data;
  EXPECT_NE(data.find("\r\nGreta,Lund,(555) 876-1200,greta@example.com,"), std::string::npos);
}

// A password of the kiosk's own, hashed by the kiosk program, in the key file: the built-in pair
// is refused, the kiosk's own signs in.
TEST(KioskReplay, StaffSignInWithThePasswordOfTheKiosksOwn) {
  testing_support::TempHome home;
  std::string line = testing_support::run("echo 'Fjäll-2026!' | '" TOLVIK_BUILD_DIR
                                          "/tolvik-kiosk' --hash-password 2>/dev/null");
  ASSERT_EQ(line.rfind("PasswordHash=$y$", 0), 0u) << line;
  std::filesystem::create_directories(home.path() + "/.config/tolvik");
  testing_support::writeAll(home.path() + "/.config/tolvik/kiosk.conf", "[Staff]\n" + line);
  std::string log;
  ASSERT_EQ(replay("staff_password.txt", home.path(), &log), 0) << log;
  EXPECT_EQ(testing_support::countOf(log, "log in successful"), 1) << log;
  EXPECT_EQ(log.find("Fjäll"), std::string::npos);
}

// The README's mail set-up, followed as root follows it on a tablet: its commands, run for a
// system user of the test's own in the place of the kiosk's (with the loopback server for the
// example's, without TLS or a login), end in a delivered test message; then the kiosk, run as that
// user, sends its export. Making a user needs root.
TEST(KioskReplay, TheReadmesMailSetUpAsRootLetsTheKiosksUserSend) {
  if (geteuid() != 0) GTEST_SKIP() << "making a user needs root";
  if (testing_support::run("command -v adduser runuser").empty()) GTEST_SKIP() << "no adduser";
  testing_support::TempHome home;
  testing_support::SmtpServer server;
  std::filesystem::permissions(
      home.path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
  const std::string user = "tolvik-mail-test", userHome = home.path() + "/kiosk";
  struct SystemUser {
    std::string name;
    ~SystemUser() { testing_support::run("deluser --quiet " + name + " 2>&1"); }
  } made{user};
  ASSERT_EQ(
      std::system(("adduser --quiet --system --group --home " + userHome + " " + user).c_str()), 0);

  // The README's commands: the indented lines of the section's first example.
  std::string readme = testing_support::readAll(TOLVIK_SOURCE_DIR "/README.md");
  std::istringstream section(readme.substr(readme.find("### Setting up mail on the kiosk")));
  std::string line, commands;
  bool in = false;
  while (std::getline(section, line) && (!in || line.empty() || line.rfind("    ", 0) == 0)) {
    if (line.rfind("    ", 0) == 0) in = true;
    if (in) commands += (line.empty() ? "" : line.substr(4)) + "\n";
  }
  const std::pair<std::regex, std::string> ours[] = {
      {std::regex("/var/lib/tolvik"), "@HOME@"},
      {std::regex("\\btolvik\\b"), user},
      {std::regex("@HOME@"), userHome},
      {std::regex("smtp\\.example\\.com"), "127.0.0.1"},
      {std::regex("port 587"), "port " + std::to_string(server.port())},
      {std::regex("(auth|tls) on"), "$1 off"},
  };
  for (const auto& [from, to] : ours) commands = std::regex_replace(commands, from, to);
  testing_support::writeAll(home.path() + "/set-up.sh", commands);
  std::string said = testing_support::run("bash -e " + home.path() + "/set-up.sh 2>&1");
  EXPECT_NE(said.find("Mail works."), std::string::npos) << commands << said;
  ASSERT_EQ(server.messages().size(), 1u) << said;
  EXPECT_EQ(testing_support::parseMail(server.messages()[0]).subject, "Tolvik mail test");

  // The kiosk as its user, with nothing of root's around it.
  std::string log =
      testing_support::run("cd " + userHome + " && runuser -u " + user +
                           " -- env -i PATH=/usr/bin:/bin:/usr/sbin HOME=" + userHome +
                           " " TOLVIK_BUILD_DIR "/tolvik-replay " TOLVIK_SOURCE_DIR
                           "/tests/scripts/staff_export.txt 2>&1");
  ASSERT_EQ(server.messages().size(), 2u) << log;
  EXPECT_EQ(testing_support::parseMail(server.messages()[1]).attachmentName, "TolvikData.csv");
}
