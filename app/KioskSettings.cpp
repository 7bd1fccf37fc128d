#include "app/KioskSettings.h"

#include "kit/base/Settings.h"

std::vector<std::string> kioskSettingsFiles() {
  return kit::settingsFiles("tolvik", "kiosk.conf");
}

KioskSettings loadKioskSettings(const std::vector<std::string>& files) {
  kit::Settings keys(files);
  KioskSettings settings;
  settings.kioskMode = keys.boolean("Kiosk", "KioskMode", settings.kioskMode);
  settings.mail.sender = keys.text("Mail", "Sender", settings.mail.sender);
  settings.mail.sendmail = keys.text("Mail", "Sendmail", settings.mail.sendmail);
  return settings;
}
