#pragma once

// Settings read from GLib key files ("[Group]" headers, "Key=value" lines), several files in
// order: a key in a later file overrides the same key in an earlier one, key by key.

#include <memory>
#include <string>
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
  // value that is not true or false is logged and passed over.
  bool boolean(const char* group, const char* key, bool fallback) const;
  std::string text(const char* group, const char* key, const std::string& fallback) const;

 private:
  struct Files;
  std::unique_ptr<Files> files_;
};

// A program's two settings files, in the order they apply: the system's /etc/FOLDER/NAME, then
// the user's FOLDER/NAME in the XDG config folder ($XDG_CONFIG_HOME, by default ~/.config).
std::vector<std::string> settingsFiles(const std::string& folder, const std::string& name);

}  // namespace kit
