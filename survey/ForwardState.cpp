#include "survey/ForwardState.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>

#include <memory>

namespace survey {

namespace {

constexpr const char* kForwardGroup = "Forward";

std::string identityOf(int dirfd, const char* path, int flags) {
  struct statx st {};
  if (::statx(dirfd, path, flags, STATX_INO | STATX_BTIME, &st) < 0) return "";
  std::string inode = std::to_string(st.stx_ino);
  if (!(st.stx_mask & STATX_BTIME)) return inode;
  std::time_t seconds = st.stx_btime.tv_sec;
  std::tm made{};
  gmtime_r(&seconds, &made);
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &made);
  std::snprintf(text + length, sizeof text - length, ".%09uZ", st.stx_btime.tv_nsec);
  return std::string(text) + "/" + inode;
}

struct KeyFileFree {
  void operator()(GKeyFile* keys) const { g_key_file_free(keys); }
};

}  // namespace

std::string timeOfDay(std::time_t when, std::time_t now) {
  GDateTime* then = g_date_time_new_from_unix_local(when);
  GDateTime* today = g_date_time_new_from_unix_local(now);
  if (!then || !today) {
    if (then) g_date_time_unref(then);
    if (today) g_date_time_unref(today);
    return "?";
  }
  const bool sameDay = g_date_time_get_year(then) == g_date_time_get_year(today) &&
                       g_date_time_get_day_of_year(then) == g_date_time_get_day_of_year(today);
  gchar* text = g_date_time_format(then, sameDay ? "%H:%M" : "%-d %b %H:%M");
  std::string result = text ? text : "?";
  g_free(text);
  g_date_time_unref(then);
  g_date_time_unref(today);
  return result;
}

std::string besideDataFile(const std::string& dataFile, const std::string& name) {
  std::size_t slash = dataFile.rfind('/');
  return (slash == std::string::npos ? std::string() : dataFile.substr(0, slash + 1)) + name;
}

std::string forwardStatePath(const std::string& dataFile) {
  return besideDataFile(dataFile, "TolvikData.forwarded");
}

std::string dataFileIdentity(const std::string& path) {
  return identityOf(AT_FDCWD, path.c_str(), 0);
}

std::string dataFileIdentity(int fd) {
  return identityOf(fd, "", AT_EMPTY_PATH);
}

std::optional<ForwardState> readForwardState(const std::string& path) {
  std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
  if (!g_key_file_load_from_file(keys.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    return std::nullopt;
  }
  GError* error = nullptr;
  ForwardState state;
  gchar* dataFile = g_key_file_get_string(keys.get(), kForwardGroup, "DataFile", &error);
  if (dataFile) {
    state.dataFile = dataFile;
    g_free(dataFile);
  }
  state.offset =
      g_key_file_get_uint64(keys.get(), kForwardGroup, "Offset", error ? nullptr : &error);
  state.sent = g_key_file_get_uint64(keys.get(), kForwardGroup, "Sent", error ? nullptr : &error);
  if (error) {
    g_error_free(error);
    return std::nullopt;
  }
  // While nothing is wrong there is no wait and no error.
  state.waitingSince = g_key_file_get_int64(keys.get(), kForwardGroup, "WaitingSince", nullptr);
  if (gchar* text = g_key_file_get_string(keys.get(), kForwardGroup, "Error", nullptr)) {
    state.error = text;
    g_free(text);
  }
  return state;
}

kit::FileStatus writeForwardState(const std::string& path, const ForwardState& state) {
  std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
  g_key_file_set_string(keys.get(), kForwardGroup, "DataFile", state.dataFile.c_str());
  g_key_file_set_uint64(keys.get(), kForwardGroup, "Offset", state.offset);
  g_key_file_set_uint64(keys.get(), kForwardGroup, "Sent", state.sent);
  if (state.waitingSince) {
    g_key_file_set_int64(keys.get(), kForwardGroup, "WaitingSince", state.waitingSince);
    g_key_file_set_string(keys.get(), kForwardGroup, "Error", state.error.c_str());
  }
  gsize length = 0;
  gchar* text = g_key_file_to_data(keys.get(), &length, nullptr);
  kit::FileStatus status = kit::replaceFile(path, std::string_view(text, length));
  g_free(text);
  return status;
}

std::string officeLine(const std::optional<ForwardState>& state, const std::string& identity,
                       std::size_t stored, std::time_t now) {
  std::size_t sent = 0;
  if (state && !identity.empty() && state->dataFile == identity) {
    sent = std::min<std::size_t>(state->sent, stored);
  }
  std::string line = sent == stored
                         ? "All " + std::to_string(stored) + " sent to the office"
                         : std::to_string(sent) + " of " + std::to_string(stored) + " sent";
  if (state && state->waitingSince && sent < stored) {
    line += "; waiting for the office since " + timeOfDay(state->waitingSince, now) + ": " +
            state->error;
  }
  return line;
}

}  // namespace survey
