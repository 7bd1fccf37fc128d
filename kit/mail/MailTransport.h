#pragma once

// Hands finished messages to the system's mail transport through the sendmail interface
// (`sendmail -t -oi`, as msmtp, postfix and exim provide it).

#include <string>

namespace kit {

struct MailSettings {
  // The From address; empty: the transport fills it in (msmtp from its account's `from`).
  std::string sender;
  // The sendmail program; empty: `sendmail` found on PATH, else /usr/sbin/sendmail.
  std::string sendmail;
  // How long the transport may take before it is stopped and the send counts as failed.
  double timeout = 120;  // seconds
};

// The settings every composer sends with; the defaults until set.
MailSettings mailSettings();
void setMailSettings(MailSettings settings);

// The program `settings` names, with the default filled in.
std::string sendmailProgram(const MailSettings& settings);

struct MailDelivery {
  bool sent = false;
  // Why not: the transport's first line of error output, else how it ended.
  std::string error;
};

// Runs `sendmail -t -oi` with `message` on its input and waits for it (at most the settings'
// timeout): sent when it exits with status 0. Blocks, so it belongs on a thread other than the
// main one.
MailDelivery deliverWithSendmail(const std::string& message, const MailSettings& settings);

}  // namespace kit
