#pragma once

// Hands finished messages to the system's mail transport through the sendmail interface
// (`sendmail -t -oi`, as msmtp, postfix and exim provide it).

#include <string>
#include <vector>

#include "kit/mail/MailMessage.h"

typedef struct _GCancellable GCancellable;

namespace kit {

struct MailSettings {
  // The From address, and the envelope's; empty: the transport fills it in (msmtp from its
  // account's `from`).
  std::string sender;
  // The sendmail program; empty: `sendmail` found on PATH, else /usr/sbin/sendmail.
  std::string sendmail;
  // How long the transport may take before it is stopped and the send counts as failed.
  double timeout = 120;  // seconds
  // Who an export goes to unless staff type otherwise; empty: nobody.
  std::vector<std::string> recipients;
  // How often messages kept to be sent later are tried again by themselves; 0: only on request.
  int retryMinutes = 0;
};

// The settings every composer sends with; the defaults until set.
MailSettings mailSettings();
void setMailSettings(MailSettings settings);

// The program `settings` names, with the default filled in.
std::string sendmailProgram(const MailSettings& settings);

struct MailDelivery {
  bool sent = false;
  bool cancelled = false;  // stopped through a SendCancellation
  // Why not: the start of the transport's error output as a short valid text, else how it ended.
  std::string error;
};

// Lets another thread stop a delivery in progress: the transport and every process it started
// are ended at once. A delivery cancelled before it starts stops as it starts.
class SendCancellation {
 public:
  SendCancellation();
  ~SendCancellation();
  SendCancellation(const SendCancellation&) = delete;
  SendCancellation& operator=(const SendCancellation&) = delete;
  void cancel();
  bool isCancelled() const;

 private:
  friend MailDelivery deliverWithSendmail(const std::string&, const MailSettings&,
                                          SendCancellation*);
  friend MailDelivery deliverWithSendmail(const MailMessage&, const std::string&,
                                          const MailSettings&, SendCancellation*);
  friend MailDelivery deliverFileWithSendmail(const std::string&, const MailSettings&,
                                              SendCancellation*);
  GCancellable* cancellable_;
};

// Runs `sendmail -t -oi` (with `-f` and the sender when the settings name one) with `message` on
// its input, in a process group of its own, and waits
// for it to exit: sent when it took the whole message and exited with status 0. Error output it
// leaves open (a child of its own) is not waited for. After the settings' timeout, or when
// cancelled, the whole process group is killed. Blocks, so it belongs on a thread other than the
// main one.
MailDelivery deliverWithSendmail(const std::string& message, const MailSettings& settings,
                                 SendCancellation* cancellation = nullptr);
// The same with `message` in MIME form (From `from`), written to the transport by a thread of its
// own as the transport reads it: attachments are read from their files and encoded a piece at a
// time, so that the message is never held whole. An attachment that cannot be read whole ends
// the transport before it has the end of the message, so that nothing is sent.
MailDelivery deliverWithSendmail(const MailMessage& message, const std::string& from,
                                 const MailSettings& settings,
                                 SendCancellation* cancellation = nullptr);
// The same with the message kept in the file at `path` (a waiting one), read a piece at a time as
// the transport takes it; a file that cannot be read whole ends the transport before it has the
// end of the message.
MailDelivery deliverFileWithSendmail(const std::string& path, const MailSettings& settings,
                                     SendCancellation* cancellation = nullptr);

}  // namespace kit
