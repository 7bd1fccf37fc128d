#pragma once

#include <string>
#include <vector>

#include "kit/mail/MailTransport.h"

// What the kiosk reads from its key files, the system's /etc/tolvik/kiosk.conf overridden key by
// key by the user's ~/.config/tolvik/kiosk.conf:
//   [Kiosk] KioskMode=true|false     kiosk mode (default false)
//   [Kiosk] StillThereAfter=seconds  "Still there?" on a started form left untouched this long
//                                    (default 90; 0: never)
//   [Kiosk] ThankYouReturnAfter=seconds  the thank-you screen returns to an empty form by itself
//                                    after this long (default 0: it waits for staff)
//   [Mail]  Sender=address           the From address (default empty: the transport's own)
//   [Mail]  Sendmail=program         the transport (default sendmail on PATH, else /usr/sbin)
//   [Mail]  Recipient=addresses      who an export goes to unless staff type otherwise
//   [Mail]  RetryMinutes=N           messages waiting in the outbox are tried again every N
//                                    minutes (default 0: only when staff ask)
//   [Collect] Database=conninfo      the office's PostgreSQL database, as libpq reads it (default
//                                    empty: nothing is forwarded); its password is in ~/.pgpass
//   [Collect] Kiosk=name             this kiosk's name in the office's table (default host name)
//   [Staff] User=name                the staff user name (default kiosk)
//   [Staff] PasswordHash=hash        the staff password as a crypt(3) hash, the line that
//                                    tolvik-kiosk --hash-password prints (default: the built-in
//                                    password)
// A value the kiosk cannot use is logged, naming the setting, and passed over; so is a key it
// does not know.
struct CollectSettings {
  std::string database;
  std::string kiosk;
};

struct KioskSettings {
  bool kioskMode = false;
  int stillThereAfter = 90;
  int thankYouReturnAfter = 0;
  kit::MailSettings mail;
  CollectSettings collect;
  std::string staffUser = "kiosk";
  std::string staffPasswordHash;
};

// The two files in the order they apply.
std::vector<std::string> kioskSettingsFiles();

KioskSettings loadKioskSettings(const std::vector<std::string>& files);
