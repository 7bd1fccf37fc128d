#pragma once

// Mail for tests with real parts: an SMTP server on loopback (aiosmtpd) that keeps what it
// receives and refuses recipients at refused.example, msmtp set up in $HOME to send to it, and
// received messages parsed with GMime.

#include <sys/types.h>

#include <string>
#include <vector>

namespace testing_support {

class SmtpServer {
 public:
  // Starts the server and writes $HOME/.msmtprc (HOME as set now) so that msmtp, the system's
  // sendmail, sends to it.
  SmtpServer();
  ~SmtpServer();
  SmtpServer(const SmtpServer&) = delete;
  SmtpServer& operator=(const SmtpServer&) = delete;

  // Stops the server: sends fail from then on, as with a mail server that is down.
  void stop();
  // Starts it again (on another port, written to $HOME/.msmtprc), keeping what it received.
  void start();
  int port() const { return port_; }
  // The messages received so far, oldest first, as stored.
  std::vector<std::string> messages() const;

 private:
  std::string maildir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// What a test reads from a message: a few headers, the body part and the first attachment.
struct ReceivedMail {
  std::string subject, to, cc, from, date, messageId;
  std::string bodyType;  // "text/html"
  std::string bodyCharset;
  std::string body;  // decoded
  std::string attachmentName, attachmentType, attachmentEncoding;
  std::string attachmentBytes;  // decoded
};
ReceivedMail parseMail(const std::string& raw);

}  // namespace testing_support
