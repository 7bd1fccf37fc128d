#include "support/MailSupport.h"

#include <gmime/gmime.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/TestSupport.h"

namespace testing_support {

namespace {

std::string decodedContent(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (!content) return {};
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, out);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  std::string result(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  return result;
}

std::string header(GMimeObject* object, const char* name) {
  const char* value = g_mime_object_get_header(object, name);
  if (!value) return {};
  char* decoded = g_mime_utils_header_decode_text(nullptr, value);
  std::string result = decoded;
  g_free(decoded);
  return result;
}

std::string typeOf(GMimeObject* object) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  return std::string(g_mime_content_type_get_media_type(type)) + "/" +
         g_mime_content_type_get_media_subtype(type);
}

}  // namespace

SmtpServer::SmtpServer() {
  start();
}

void SmtpServer::start() {
  if (pid_ > 0) return;
  std::string home = std::getenv("HOME");
  maildir_ = home + "/received-mail";
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::string script = std::string(TOLVIK_SOURCE_DIR) + "/tests/support/smtp_server.py";
    execl("/usr/bin/python3", "python3", script.c_str(), maildir_.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  FILE* reader = fdopen(out[0], "r");
  if (!reader || std::fscanf(reader, "%d", &port_) != 1) {
    if (reader) std::fclose(reader);
    throw std::runtime_error("the SMTP server did not start");
  }
  std::fclose(reader);
  std::string config =
      "defaults\nauth off\ntls off\nsyslog off\n\naccount loopback\nhost 127.0.0.1\n"
      "port " +
      std::to_string(port_) +
      "\nfrom staff@kiosk.example\ntimeout 20\n\naccount default : loopback\n";
  writeAll(home + "/.msmtprc", config);
  std::filesystem::permissions(
      home + "/.msmtprc", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

SmtpServer::~SmtpServer() {
  stop();
}

void SmtpServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::vector<std::string> SmtpServer::messages() const {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(maildir_ + "/new", error)) {
    files.push_back(entry.path());
  }
  // Maildir names begin with the time of arrival.
  std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
    return std::filesystem::last_write_time(a) < std::filesystem::last_write_time(b) ||
           (std::filesystem::last_write_time(a) == std::filesystem::last_write_time(b) && a < b);
  });
  std::vector<std::string> result;
  for (const std::string& file : files) result.push_back(readAll(file));
  return result;
}

ReceivedMail parseMail(const std::string& raw) {
  g_mime_init();
  ReceivedMail mail;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  if (!message) return mail;
  GMimeObject* top = GMIME_OBJECT(message);
  mail.subject = g_mime_message_get_subject(message) ? g_mime_message_get_subject(message) : "";
  mail.to = header(top, "To");
  mail.cc = header(top, "Cc");
  mail.from = header(top, "From");
  mail.date = header(top, "Date");
  mail.messageId = header(top, "Message-ID");
  GMimeObject* body = g_mime_message_get_mime_part(message);
  if (GMIME_IS_MULTIPART(body)) {
    GMimeMultipart* mixed = GMIME_MULTIPART(body);
    for (int i = 0; i < g_mime_multipart_get_count(mixed); ++i) {
      GMimeObject* part = g_mime_multipart_get_part(mixed, i);
      if (!GMIME_IS_PART(part)) continue;
      if (i == 0) {
        mail.bodyType = typeOf(part);
        const char* charset = g_mime_object_get_content_type_parameter(part, "charset");
        mail.bodyCharset = charset ? charset : "";
        mail.body = decodedContent(GMIME_PART(part));
      } else if (mail.attachmentName.empty()) {
        const char* name = g_mime_part_get_filename(GMIME_PART(part));
        mail.attachmentName = name ? name : "";
        mail.attachmentType = typeOf(part);
        mail.attachmentEncoding =
            g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(GMIME_PART(part)));
        mail.attachmentBytes = decodedContent(GMIME_PART(part));
      }
    }
  }
  g_object_unref(message);
  return mail;
}

}  // namespace testing_support
