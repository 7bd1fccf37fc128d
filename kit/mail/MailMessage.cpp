#include "kit/mail/MailMessage.h"

#include <gmime/gmime.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>

namespace kit {

namespace {

std::string trimmed(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  size_t last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool isLocalCharacter(char c) {
  static const std::string kSpecials = "!#$%&'*+-/=?^_`{|}~.";
  return std::isalnum(static_cast<unsigned char>(c)) || kSpecials.find(c) != std::string::npos;
}

bool isDomainLabel(const std::string& label) {
  if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
    return false;
  }
  for (char c : label) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') return false;
  }
  return true;
}

void initGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

// The host name for Message-IDs; "localhost" when it has none.
std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

void addMailboxes(GMimeMessage* message, GMimeAddressType type,
                  const std::vector<std::string>& addresses) {
  for (const std::string& address : addresses) {
    g_mime_message_add_mailbox(message, type, nullptr, address.c_str());
  }
}

// The part's content from `stream`, which it takes.
void setContent(GMimePart* part, GMimeStream* stream) {
  GMimeDataWrapper* content =
      g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
  g_object_unref(stream);
  g_mime_part_set_content(part, content);
  g_object_unref(content);
}

// The part's content from bytes as given.
void setContent(GMimePart* part, const std::string& bytes) {
  setContent(part, g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
}

// The body as it was typed, in UTF-8 (GMime's own text setter would pick another charset for
// text that fits one), quoted-printable when it is not plain ASCII.
GMimeObject* bodyPart(const MailMessage& message) {
  GMimeTextPart* text = g_mime_text_part_new_with_subtype(message.bodyIsHTML ? "html" : "plain");
  GMimePart* part = GMIME_PART(text);
  setContent(part, message.body);
  g_mime_text_part_set_charset(text, "utf-8");
  g_mime_part_set_content_encoding(
      part, g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT));
  return GMIME_OBJECT(text);
}

// The attachment's part, its content read from its file as the part is written; null with errno
// when the file cannot be read.
GMimeObject* attachmentPart(const MailAttachment& attachment) {
  GMimeStream* fileStream = nullptr;
  if (attachment.file) {
    int fd = attachment.file->openAgain();
    if (fd < 0) return nullptr;
    fileStream = g_mime_stream_fs_new_with_bounds(fd, 0, static_cast<gint64>(attachment.length));
  }
  GMimeContentType* type = g_mime_content_type_parse(nullptr, attachment.mimeType.c_str());
  GMimePart* part = g_mime_part_new_with_type(g_mime_content_type_get_media_type(type),
                                              g_mime_content_type_get_media_subtype(type));
  g_object_unref(type);
  if (fileStream) {
    setContent(part, fileStream);
  } else {
    setContent(part, attachment.data);
  }
  g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
  g_mime_part_set_filename(part, attachment.fileName.c_str());
  g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
  return GMIME_OBJECT(part);
}

}  // namespace

std::string joinedAddresses(const std::vector<std::string>& addresses) {
  std::string text;
  for (const std::string& address : addresses) text += (text.empty() ? "" : ", ") + address;
  return text;
}

std::vector<std::string> parseAddressList(const std::string& typed) {
  std::vector<std::string> addresses;
  size_t start = 0;
  while (start <= typed.size()) {
    size_t end = typed.find_first_of(",;", start);
    if (end == std::string::npos) end = typed.size();
    std::string address = trimmed(typed.substr(start, end - start));
    if (!address.empty()) addresses.push_back(address);
    start = end + 1;
  }
  return addresses;
}

bool isWellFormedAddress(const std::string& address) {
  size_t at = address.find('@');
  if (at == std::string::npos || address.find('@', at + 1) != std::string::npos) return false;
  std::string local = address.substr(0, at);
  std::string domain = address.substr(at + 1);
  if (local.empty() || local.size() > 64 || domain.size() > 253) return false;
  if (local.front() == '.' || local.back() == '.' || local.find("..") != std::string::npos) {
    return false;
  }
  for (char c : local) {
    if (!isLocalCharacter(c)) return false;
  }
  size_t labels = 0;
  size_t start = 0;
  while (true) {
    size_t dot = domain.find('.', start);
    std::string label = domain.substr(start, dot == std::string::npos ? dot : dot - start);
    if (!isDomainLabel(label)) return false;
    ++labels;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return labels >= 2;
}

bool canSendTo(const std::string& to, const std::string& cc) {
  std::vector<std::string> toList = parseAddressList(to);
  if (toList.empty()) return false;
  for (const auto& list : {toList, parseAddressList(cc)}) {
    for (const std::string& address : list) {
      if (!isWellFormedAddress(address)) return false;
    }
  }
  return true;
}

std::string htmlToText(const std::string& html) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&amp;", "&"}, {"&lt;", "<"},   {"&gt;", ">"},   {"&quot;", "\""},
      {"&#39;", "'"}, {"&apos;", "'"}, {"&nbsp;", " "},
  };
  std::string text;
  for (size_t i = 0; i < html.size();) {
    if (html[i] == '<') {
      size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      std::string tag;
      for (size_t j = i + 1; j < end && !std::isspace(static_cast<unsigned char>(html[j])); ++j) {
        tag += static_cast<char>(std::tolower(static_cast<unsigned char>(html[j])));
      }
      if (tag == "br" || tag == "br/" || tag == "/p" || tag == "/div") text += '\n';
      i = end + 1;
    } else if (html[i] == '&') {
      bool decoded = false;
      for (const auto& [entity, character] : kEntities) {
        if (html.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
          text += character;
          i += std::char_traits<char>::length(entity);
          decoded = true;
          break;
        }
      }
      if (!decoded) text += html[i++];
    } else if (html[i] == '\r' || html[i] == '\n') {
      // Source line breaks are blanks in HTML.
      if (html[i] == '\n' && !text.empty() && text.back() != '\n' && text.back() != ' ') {
        text += ' ';
      }
      ++i;
    } else {
      text += html[i++];
    }
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string textToHtml(const std::string& text) {
  std::string html;
  for (char c : text) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      case '\n':
        html += "<br>\n";
        break;
      default:
        html += c;
    }
  }
  return html;
}

namespace {

// The message as GMime's; null with errno when an attachment's file cannot be read.
GMimeMessage* newMimeMessage(const MailMessage& message, const std::string& from) {
  initGMime();
  GMimeMessage* mime = g_mime_message_new(TRUE);
  if (!from.empty()) addMailboxes(mime, GMIME_ADDRESS_TYPE_FROM, {from});
  addMailboxes(mime, GMIME_ADDRESS_TYPE_TO, message.toRecipients);
  addMailboxes(mime, GMIME_ADDRESS_TYPE_CC, message.ccRecipients);
  std::string subject = message.subject;
  for (char& c : subject) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  g_mime_message_set_subject(mime, subject.c_str(), "utf-8");
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(mime, now);
  g_date_time_unref(now);
  char* id = g_mime_utils_generate_message_id(hostName().c_str());
  g_mime_message_set_message_id(mime, id);
  g_free(id);
  for (const auto& [name, value] : message.headers) {
    g_mime_object_set_header(GMIME_OBJECT(mime), name.c_str(), value.c_str(), "utf-8");
  }

  GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
  g_mime_message_set_mime_part(mime, GMIME_OBJECT(mixed));
  g_object_unref(mixed);
  GMimeObject* body = bodyPart(message);
  g_mime_multipart_add(mixed, body);
  g_object_unref(body);
  for (const MailAttachment& attachment : message.attachments) {
    GMimeObject* part = attachmentPart(attachment);
    if (!part) {
      int error = errno;
      g_object_unref(mime);
      errno = error;
      return nullptr;
    }
    g_mime_multipart_add(mixed, part);
    g_object_unref(part);
  }
  return mime;
}

}  // namespace

std::string mimeMessage(const MailMessage& message, const std::string& from) {
  GMimeMessage* mime = newMimeMessage(message, from);
  if (!mime) return "";
  char* text = g_mime_object_to_string(GMIME_OBJECT(mime), nullptr);
  std::string result = text ? text : "";
  g_free(text);
  g_object_unref(mime);
  return result;
}

int writeMimeMessage(const MailMessage& message, const std::string& from, int fd) {
  GMimeMessage* mime = newMimeMessage(message, from);
  if (!mime) return errno;
  GMimeStream* out = g_mime_stream_pipe_new(fd);
  g_mime_stream_pipe_set_owner(GMIME_STREAM_PIPE(out), FALSE);
  errno = 0;
  bool written = g_mime_object_write_to_stream(GMIME_OBJECT(mime), nullptr, out) != -1 &&
                 g_mime_stream_flush(out) == 0;
  int error = written ? 0 : errno ? errno : EIO;
  g_object_unref(out);
  g_object_unref(mime);
  // A file cut shorter than its attachment meanwhile gave fewer bytes than were to go.
  for (const MailAttachment& attachment : message.attachments) {
    if (!error && attachment.file && attachment.file->size() < attachment.length) error = EIO;
  }
  return error;
}

std::string readableSize(std::uint64_t bytes) {
  char buffer[32];
  if (bytes < 1000) {
    std::snprintf(buffer, sizeof buffer, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else if (bytes < 1000 * 1000) {
    std::snprintf(buffer, sizeof buffer, "%.1f KB", static_cast<double>(bytes) / 1000);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.1f MB", static_cast<double>(bytes) / 1e6);
  }
  return buffer;
}

}  // namespace kit
