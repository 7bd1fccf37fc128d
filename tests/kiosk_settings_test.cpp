// The kiosk's key files: the user's file overrides the system's key by key, and a broken file or
// value is passed over with a log line instead of stopping the kiosk.

#include <glib.h>
#include <gtest/gtest.h>

#include "app/KioskSettings.h"
#include "support/TestSupport.h"

using testing_support::TempHome;
using testing_support::writeAll;

TEST(KioskSettings, UserFileOverridesTheSystemsKeyByKey) {
  struct Case {
    const char* system;  // nullptr: no such file
    const char* user;
    bool kioskMode;
    const char* sender;
    const char* sendmail;
    const char* recipients;  // joined by spaces
    int retryMinutes;
    const char* logged;  // expected in the log, or ""
    int stillThereAfter = 90;
    int thankYouReturnAfter = 0;
  };
  const Case cases[] = {
      {nullptr, nullptr, false, "", "", "", 0, ""},
      {"[Kiosk]\nKioskMode=true\n", nullptr, true, "", "", "", 0, ""},
      {"[Kiosk]\nKioskMode=true\n", "[Kiosk]\nKioskMode=false\n", false, "", "", "", 0, ""},
      {"[Mail]\nSender=kiosk@example.com\nSendmail=/usr/bin/msmtp\n",
       "# staff's own\n[Mail]\nSendmail=/bin/cat\nRecipient=a@b.se, c@d.se\nRetryMinutes=5\n",
       false, "kiosk@example.com", "/bin/cat", "a@b.se c@d.se", 5, ""},
      {"[Mail]\nSender=kiosk@example.com\n", "[Mail]\nSender=\n", false, "", "", "", 0, ""},
      // A value that is not a boolean falls through to the system's.
      {"[Kiosk]\nKioskMode=true\n", "[Kiosk]\nKioskMode=maybe\n", true, "", "", "", 0,
       "[Kiosk] KioskMode must be true or false"},
      // Mail settings are checked as the kiosk starts; a bad one names itself and is passed over.
      {"[Mail]\nSender=kiosk@example.com\n", "[Mail]\nSender=kiosk@@example.com\n", false,
       "kiosk@example.com", "", "", 0, "[Mail] Sender=kiosk@@example.com passed over"},
      {nullptr, "[Mail]\nSendmail=/usr/bin/msmpt\n", false, "", "", "", 0,
       "[Mail] Sendmail=/usr/bin/msmpt passed over: no program there"},
      {nullptr, "[Mail]\nRecipient=office@example.com tom\n", false, "", "", "", 0,
       "[Mail] Recipient=office@example.com tom passed over"},
      {nullptr, "[Mail]\nRetryMinutes=-2\n", false, "", "", "", 0,
       "[Mail] RetryMinutes must be a whole number of at least 0"},
      // Bytes that are not UTF-8, and a key the kiosk does not know, are named too.
      {"[Mail]\nSender=kiosk@example.com\n", "[Mail]\nSender=k\xffiosk@example.com\n", false,
       "kiosk@example.com", "", "", 0, "[Mail] Sender passed over"},
      {nullptr, "[Mail]\nSendr=kiosk@example.com\n", false, "", "", "", 0,
       "unknown key [Mail] Sendr"},
      // A file that is not a key file is left out whole.
      {"[Kiosk]\nKioskMode=true\n", "KioskMode=false\n", true, "", "", "", 0, "left out"},
      {"[Kiosk]\nStillThereAfter=120\nThankYouReturnAfter=20\n", "[Kiosk]\nStillThereAfter=0\n",
       false, "", "", "", 0, "", 0, 20},
      // Seconds are whole and not below 0.
      {"[Kiosk]\nThankYouReturnAfter=20\n", "[Kiosk]\nThankYouReturnAfter=-1\n", false, "", "", "",
       0, "[Kiosk] ThankYouReturnAfter must be a whole number of at least 0", 90, 20},
      {nullptr, "[Kiosk]\nStillThereAfter=soon\n", false, "", "", "", 0,
       "[Kiosk] StillThereAfter must be", 90, 0},
      // A cut-off password hash would let nobody in; it is passed over without being shown.
      {nullptr, "[Staff]\nPasswordHash=$y$j9T$cut\n", false, "", "", "", 0,
       "[Staff] PasswordHash passed over"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.system ? c.system : "-") + " | " + (c.user ? c.user : "-"));
    TempHome home;
    std::vector<std::string> files = {home.path() + "/system.conf", home.path() + "/user.conf"};
    if (c.system) writeAll(files[0], c.system);
    if (c.user) writeAll(files[1], c.user);
    testing_support::StderrCapture log;
    KioskSettings settings = loadKioskSettings(files);
    std::string logged = log.finish();
    EXPECT_EQ(settings.kioskMode, c.kioskMode);
    EXPECT_EQ(settings.mail.sender, c.sender);
    EXPECT_EQ(settings.mail.sendmail, c.sendmail);
    std::string recipients;
    for (const std::string& r : settings.mail.recipients)
      recipients += (recipients.empty() ? "" : " ") + r;
    EXPECT_EQ(recipients, c.recipients);
    EXPECT_EQ(settings.mail.retryMinutes, c.retryMinutes);
    EXPECT_EQ(settings.stillThereAfter, c.stillThereAfter);
    EXPECT_EQ(settings.thankYouReturnAfter, c.thankYouReturnAfter);
    EXPECT_EQ(settings.staffPasswordHash, "");
    EXPECT_EQ(logged.find("$y$"), std::string::npos);
    if (*c.logged) {
      EXPECT_NE(logged.find(c.logged), std::string::npos) << logged;
      EXPECT_EQ(testing_support::countOf(logged, "\n"), 1) << "one line: " << logged;
    } else {
      EXPECT_EQ(logged, "");
    }
  }

  // The office's database as written; the kiosk's name is the host's unless the files name one.
  TempHome home;
  const std::vector<std::string> files = {home.path() + "/system.conf", home.path() + "/user.conf"};
  writeAll(files[0], "[Collect]\nDatabase=host=office.example.com dbname=tolvik\n");
  KioskSettings settings = loadKioskSettings(files);
  EXPECT_EQ(settings.collect.database, "host=office.example.com dbname=tolvik");
  EXPECT_EQ(settings.collect.kiosk, g_get_host_name());
  writeAll(files[1], "[Collect]\nKiosk=hall-a\n");
  EXPECT_EQ(loadKioskSettings(files).collect.kiosk, "hall-a");
}
