#include "kit/mail/Outbox.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "kit/base/Log.h"

namespace kit::outbox {

namespace {

// The last error of each kept message, by path, for as long as the program runs.
std::mutex errorsMutex;
std::map<std::string, std::string> lastErrors;

void setError(const std::string& path, const std::string& error) {
  std::lock_guard<std::mutex> lock(errorsMutex);
  if (error.empty()) {
    lastErrors.erase(path);
  } else {
    lastErrors[path] = error;
  }
}

std::string errorOf(const std::string& path) {
  std::lock_guard<std::mutex> lock(errorsMutex);
  auto found = lastErrors.find(path);
  return found == lastErrors.end() ? "" : found->second;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && g_ascii_strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::string folder() {
  return documentsDirectory() + "/Drafts";
}

FileStatus keep(const MailMessage& message, const std::string& from, const std::string& error,
                std::string* path) {
  std::string drafts = folder();
  // Drafts hold the data file's records: for the user alone, also a folder made before.
  if (g_mkdir_with_parents(drafts.c_str(), 0700) != 0) {
    return FileStatus::failure("cannot create folder " + drafts + ": " + std::strerror(errno));
  }
  keepPrivate(drafts);
  GDateTime* now = g_date_time_new_now_local();
  gchar* stamp = g_date_time_format(now, "%Y-%m-%d %H.%M.%S");
  g_date_time_unref(now);
  std::string stem = drafts + "/Draft " + stamp;
  g_free(stamp);
  std::string kept = stem + ".eml";
  for (int n = 2; fileExists(kept); ++n) kept = stem + " " + std::to_string(n) + ".eml";
  FileStatus written = createFile(kept, [&](int fd) {
    int failed = writeMimeMessage(message, from, fd);
    return failed ? FileStatus::failure(std::strerror(failed)) : FileStatus::success();
  });
  if (!written) return written;
  setError(kept, error);
  if (path) *path = kept;
  return written;
}

std::vector<WaitingMessage> waiting() {
  struct Found {
    std::string path;
    struct timespec modified;
  };
  std::vector<Found> found;
  std::string drafts = folder();
  if (GDir* dir = g_dir_open(drafts.c_str(), 0, nullptr)) {
    while (const char* name = g_dir_read_name(dir)) {
      if (!g_str_has_suffix(name, ".eml")) continue;
      std::string path = drafts + "/" + name;
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        found.push_back({path, st.st_mtim});
    }
    g_dir_close(dir);
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    if (a.modified.tv_sec != b.modified.tv_sec) return a.modified.tv_sec < b.modified.tv_sec;
    if (a.modified.tv_nsec != b.modified.tv_nsec) return a.modified.tv_nsec < b.modified.tv_nsec;
    return a.path < b.path;
  });
  std::vector<WaitingMessage> messages;
  for (const Found& f : found)
    messages.push_back({f.path, headerOf(f.path, "To"), errorOf(f.path)});
  return messages;
}

std::string headerOf(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  std::string line, value;
  bool inField = false;
  // The header ends at the first empty line; continuation lines start with a blank.
  for (size_t read = 0; std::getline(in, line) && read < 256 * 1024; read += line.size() + 1) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') {
      if (inField) value += " " + trimmed(line);
      continue;
    }
    if (inField) break;
    size_t colon = line.find(':');
    if (colon != std::string::npos && equalIgnoringCase(line.substr(0, colon), name)) {
      inField = true;
      value = trimmed(line.substr(colon + 1));
    }
  }
  return value;
}

MailDelivery send(const std::string& path, const MailSettings& settings) {
  MailDelivery delivery = deliverFileWithSendmail(path, settings);
  if (!delivery.sent) {
    setError(path, delivery.error);
    return delivery;
  }
  setError(path, "");
  // Taken: it must not go a second time.
  if (::unlink(path.c_str()) != 0) {
    log("Sent message %s not removed from the outbox: %s", path.c_str(), std::strerror(errno));
  }
  return delivery;
}

}  // namespace kit::outbox
