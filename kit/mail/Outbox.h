#pragma once

// Messages kept to be sent later, each a MIME file (.eml) in the Drafts folder of the Documents
// folder: a send that failed or was cancelled, and a draft that staff saved. They wait there,
// never lost, until the transport takes them.

#include <string>
#include <vector>

#include "kit/base/Files.h"
#include "kit/mail/MailTransport.h"

namespace kit {

struct WaitingMessage {
  std::string path;
  std::string to;     // the To header as stored
  std::string error;  // why its last try failed; empty when not tried since the program started
};

namespace outbox {

// "<Documents>/Drafts".
std::string folder();

// Keeps `message` in MIME form (From `from`) as a new file "Draft <date and time>.eml" in the
// folder, made when missing, its attachments read and encoded a piece at a time. `error` is why it
// could not be sent, if it was tried. The failure says what failed.
FileStatus keep(const MailMessage& message, const std::string& from, const std::string& error = "",
                std::string* path = nullptr);

// The kept messages, oldest first.
std::vector<WaitingMessage> waiting();

// The value of header `name` in a kept message ("" when it has none); only the header is read.
std::string headerOf(const std::string& path, const std::string& name);

// Hands one kept message to the transport and removes its file once the transport has taken it;
// otherwise the error stays with the message. Blocks, so it belongs on a thread other than the
// main one.
MailDelivery send(const std::string& path, const MailSettings& settings);

}  // namespace outbox

}  // namespace kit
