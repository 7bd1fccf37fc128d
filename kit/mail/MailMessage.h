#pragma once

// A mail message as plain values, the checks on it, and its MIME form (built with GMime).

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kit/base/Files.h"

namespace kit {

struct MailAttachment {
  std::string data;      // the bytes exactly as they travel, when they are held in memory
  std::string mimeType;  // "type/subtype"
  std::string fileName;
  // Else the first `length` bytes of an open file, read a piece at a time as the message is
  // written: a large file is never held whole.
  std::shared_ptr<const FileReader> file = nullptr;
  std::uint64_t length = 0;

  std::uint64_t size() const { return file ? length : data.size(); }
};

struct MailMessage {
  std::vector<std::string> toRecipients;
  std::vector<std::string> ccRecipients;
  std::string subject;
  std::string body;
  bool bodyIsHTML = false;
  std::vector<MailAttachment> attachments;
  // Further header fields ("X-..."), name and value, written as given.
  std::vector<std::pair<std::string, std::string>> headers;
};

// The addresses typed into one field, separated by commas (or semicolons), blanks trimmed and
// empty entries dropped.
std::vector<std::string> parseAddressList(const std::string& typed);
// The other way: "a@b.se, c@d.se".
std::string joinedAddresses(const std::vector<std::string>& addresses);

// A plain address "local@domain.tld" in ASCII: the local part of letters, digits and the
// characters mail allows there, without leading, trailing or doubled dots; the domain of at
// least two labels of letters, digits and inner hyphens.
bool isWellFormedAddress(const std::string& address);

// Every typed field parses into well-formed addresses, and there is at least one in `to`.
bool canSendTo(const std::string& to, const std::string& cc);

// What a reader of the HTML sees as text (tags dropped, line breaks kept, entities decoded), and
// back: text as HTML, escaped, with its line breaks kept.
std::string htmlToText(const std::string& html);
std::string textToHtml(const std::string& text);

// The message in MIME form, ready for `sendmail -t`: multipart/mixed with the body (text/html or
// text/plain, UTF-8) then each attachment in base64 under its type and file name. Headers: From
// (when `from` is not empty), To, Cc, Subject (encoded when not ASCII), Date (the current local
// time), a new Message-ID and the further fields. Line breaks in the subject become spaces.
std::string mimeMessage(const MailMessage& message, const std::string& from);
// The same written to `fd` (a file or a pipe) as it is made, attachments read and encoded a piece
// at a time, so that it is never held whole. 0 once all of it is written, else the system's error
// number (EPIPE: the reader went away; EIO also when a file is shorter than its attachment).
int writeMimeMessage(const MailMessage& message, const std::string& from, int fd);

// "12 bytes", "3.4 KB", "1.2 MB": a size as a person reads it.
std::string readableSize(std::uint64_t bytes);

}  // namespace kit
