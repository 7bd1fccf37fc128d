#pragma once

// Settings read from GLib key files ("[Group]" headers, "Key=value" lines), several files in
// order: a key in a later file overrides the same key in an earlier one, key by key.

#include <climits>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kit {

class Settings {
 public:
  // Reads the files that exist; one that cannot be read or parsed is logged and left out.
  explicit Settings(const std::vector<std::string>& files);
  ~Settings();
  Settings(Settings&&) noexcept;
  Settings& operator=(Settings&&) noexcept;

  // The value of `key` in `group` from the last file that has a usable one, else `fallback`. A
  // value that is not true or false, not a whole number of at least `minimum`, or not valid UTF-8
  // is logged with its file and passed over; so is a text that `check` finds a fault with (it
  // returns why, or "").
  bool boolean(const char* group, const char* key, bool fallback) const;
  int integer(const char* group, const char* key, int fallback, int minimum = INT_MIN) const;
  using Check = std::function<std::string(const std::string& value)>;
  std::string text(const char* group, const char* key, const std::string& fallback,
                   const Check& check = {}) const;

  // Logs every group and key in the files that none of the calls above has asked for: a typing
  // mistake in a key would otherwise pass without a word.
  void logUnknownKeys() const;

 private:
  struct Files;
  std::unique_ptr<Files> files_;
  mutable std::set<std::pair<std::string, std::string>> asked_;
};

// A program's two settings files, in the order they apply: the system's /etc/FOLDER/NAME, then
// the user's FOLDER/NAME in the XDG config folder ($XDG_CONFIG_HOME, by default ~/.config).
std::vector<std::string> settingsFiles(const std::string& folder, const std::string& name);

}  // namespace kit
