#pragma once

#include <string>
#include <vector>

#include "kit/mail/MailTransport.h"

// What the kiosk reads from its key files, the system's /etc/tolvik/kiosk.conf overridden key by
// key by the user's ~/.config/tolvik/kiosk.conf:
//   [Kiosk] KioskMode=true|false     kiosk mode (default false)
//   [Mail]  Sender=address           the From address (default empty: the transport's own)
//   [Mail]  Sendmail=program         the transport (default sendmail on PATH, else /usr/sbin)
struct KioskSettings {
  bool kioskMode = false;
  kit::MailSettings mail;
};

// The two files in the order they apply.
std::vector<std::string> kioskSettingsFiles();

KioskSettings loadKioskSettings(const std::vector<std::string>& files);
