// The kiosk's key files: the user's file overrides the system's key by key, and a broken file or
// value is passed over with a log line instead of stopping the kiosk.

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
    const char* logged;  // expected in the log, or ""
  };
  const Case cases[] = {
      {nullptr, nullptr, false, "", "", ""},
      {"[Kiosk]\nKioskMode=true\n", nullptr, true, "", "", ""},
      {"[Kiosk]\nKioskMode=true\n", "[Kiosk]\nKioskMode=false\n", false, "", "", ""},
      {"[Mail]\nSender=kiosk@example.com\nSendmail=/usr/bin/msmtp\n",
       "# staff's own\n[Mail]\nSendmail=/opt/msmtp\n", false, "kiosk@example.com", "/opt/msmtp",
       ""},
      {"[Mail]\nSender=kiosk@example.com\n", "[Mail]\nSender=\n", false, "", "", ""},
      // A value that is not a boolean falls through to the system's.
      {"[Kiosk]\nKioskMode=true\n", "[Kiosk]\nKioskMode=maybe\n", true, "", "",
       "[Kiosk] KioskMode must be true or false"},
      // A file that is not a key file is left out whole.
      {"[Kiosk]\nKioskMode=true\n", "KioskMode=false\n", true, "", "", "left out"},
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
    if (*c.logged) {
      EXPECT_NE(logged.find(c.logged), std::string::npos) << logged;
    } else {
      EXPECT_EQ(logged, "");
    }
  }
}
