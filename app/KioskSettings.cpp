#include "app/KioskSettings.h"

#include <glib.h>

#include "admin/StaffPassword.h"
#include "kit/base/Log.h"
#include "kit/base/Settings.h"
#include "kit/mail/MailMessage.h"

namespace {

std::string addressFault(const std::string& value) {
  if (value.empty() || kit::isWellFormedAddress(value)) return "";
  return "not a mail address";
}

std::string recipientsFault(const std::string& value) {
  if (value.empty() || kit::canSendTo(value, "")) return "";
  return "not a list of mail addresses";
}

std::string programFault(const std::string& value) {
  if (value.empty()) return "";
  gchar* found = g_find_program_in_path(value.c_str());
  g_free(found);
  return found ? "" : "no program there";
}

}  // namespace

std::vector<std::string> kioskSettingsFiles() {
  return kit::settingsFiles("tolvik", "kiosk.conf");
}

KioskSettings loadKioskSettings(const std::vector<std::string>& files) {
  kit::Settings keys(files);
  KioskSettings settings;
  settings.kioskMode = keys.boolean("Kiosk", "KioskMode", settings.kioskMode);
  settings.stillThereAfter = keys.integer("Kiosk", "StillThereAfter", settings.stillThereAfter, 0);
  settings.thankYouReturnAfter =
      keys.integer("Kiosk", "ThankYouReturnAfter", settings.thankYouReturnAfter, 0);
  kit::MailSettings& mail = settings.mail;
  mail.sender = keys.text("Mail", "Sender", mail.sender, addressFault);
  mail.sendmail = keys.text("Mail", "Sendmail", mail.sendmail, programFault);
  mail.recipients = kit::parseAddressList(keys.text("Mail", "Recipient", "", recipientsFault));
  mail.retryMinutes = keys.integer("Mail", "RetryMinutes", mail.retryMinutes, 0);
  settings.collect.database = keys.text("Collect", "Database", "");
  settings.collect.kiosk = keys.text("Collect", "Kiosk", "");
  if (settings.collect.kiosk.empty()) settings.collect.kiosk = g_get_host_name();
  settings.staffUser = keys.text("Staff", "User", settings.staffUser, [](const std::string& name) {
    return name.empty() ? "empty" : "";
  });
  // Checked here rather than by the key file's reader, which would show the value in the log.
  std::string hash = keys.text("Staff", "PasswordHash", "");
  if (hash.empty() || isUsableHash(hash)) {
    settings.staffPasswordHash = hash;
  } else {
    kit::log(
        "Settings: [Staff] PasswordHash passed over: not a whole crypt(3) hash of a method this "
        "system supports (tolvik-kiosk --hash-password prints one); the built-in password holds");
  }
  keys.logUnknownKeys();
  return settings;
}
