#include "kit/base/Settings.h"

#include <glib.h>

#include <cstdlib>

#include "kit/base/Log.h"

namespace kit {

struct Settings::Files {
  struct Loaded {
    std::string path;
    GKeyFile* keys;
  };
  std::vector<Loaded> loaded;  // in the order they apply
  ~Files() {
    for (Loaded& file : loaded) g_key_file_free(file.keys);
  }
};

Settings::Settings(const std::vector<std::string>& files) : files_(std::make_unique<Files>()) {
  for (const std::string& path : files) {
    GKeyFile* keys = g_key_file_new();
    GError* error = nullptr;
    if (g_key_file_load_from_file(keys, path.c_str(), G_KEY_FILE_NONE, &error)) {
      files_->loaded.push_back({path, keys});
      continue;
    }
    if (!g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
      log("Settings file %s left out: %s", path.c_str(), error->message);
    }
    g_error_free(error);
    g_key_file_free(keys);
  }
}

Settings::~Settings() = default;
Settings::Settings(Settings&&) noexcept = default;
Settings& Settings::operator=(Settings&&) noexcept = default;

bool Settings::boolean(const char* group, const char* key, bool fallback) const {
  asked_.insert({group, key});
  for (auto file = files_->loaded.rbegin(); file != files_->loaded.rend(); ++file) {
    if (!g_key_file_has_key(file->keys, group, key, nullptr)) continue;
    GError* error = nullptr;
    gboolean value = g_key_file_get_boolean(file->keys, group, key, &error);
    if (!error) return value;
    log("Settings file %s: [%s] %s must be true or false: %s", file->path.c_str(), group, key,
        error->message);
    g_error_free(error);
  }
  return fallback;
}

int Settings::integer(const char* group, const char* key, int fallback, int minimum) const {
  asked_.insert({group, key});
  for (auto file = files_->loaded.rbegin(); file != files_->loaded.rend(); ++file) {
    if (!g_key_file_has_key(file->keys, group, key, nullptr)) continue;
    GError* error = nullptr;
    int value = g_key_file_get_integer(file->keys, group, key, &error);
    if (!error && value >= minimum) return value;
    log("Settings file %s: [%s] %s must be a whole number of at least %d: %s", file->path.c_str(),
        group, key, minimum, error ? error->message : "too small");
    g_clear_error(&error);
  }
  return fallback;
}

std::string Settings::text(const char* group, const char* key, const std::string& fallback,
                           const Check& check) const {
  asked_.insert({group, key});
  for (auto file = files_->loaded.rbegin(); file != files_->loaded.rend(); ++file) {
    if (!g_key_file_has_key(file->keys, group, key, nullptr)) continue;
    GError* error = nullptr;
    gchar* value = g_key_file_get_string(file->keys, group, key, &error);
    if (!value) {
      // Not valid UTF-8, or a bad escape: the value itself is not shown.
      log("Settings file %s: [%s] %s passed over: %s", file->path.c_str(), group, key,
          error ? error->message : "unreadable");
      g_clear_error(&error);
      continue;
    }
    std::string result = value;
    g_free(value);
    std::string fault = check ? check(result) : std::string();
    if (fault.empty()) return result;
    log("Settings file %s: [%s] %s=%s passed over: %s", file->path.c_str(), group, key,
        result.c_str(), fault.c_str());
  }
  return fallback;
}

void Settings::logUnknownKeys() const {
  for (const Files::Loaded& file : files_->loaded) {
    gchar** groups = g_key_file_get_groups(file.keys, nullptr);
    for (gchar** group = groups; *group; ++group) {
      gchar** keys = g_key_file_get_keys(file.keys, *group, nullptr, nullptr);
      for (gchar** key = keys; keys && *key; ++key) {
        if (asked_.count({*group, *key})) continue;
        log("Settings file %s: unknown key [%s] %s, passed over", file.path.c_str(), *group, *key);
      }
      g_strfreev(keys);
    }
    g_strfreev(groups);
  }
}

std::vector<std::string> settingsFiles(const std::string& folder, const std::string& name) {
  // Read from the environment on each call (GLib keeps its first answer), as the Documents folder
  // is, so that both follow the same HOME.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string user = config && *config == '/' ? config
                     : home && *home          ? std::string(home) + "/.config"
                                              : g_get_user_config_dir();
  return {"/etc/" + folder + "/" + name, user + "/" + folder + "/" + name};
}

}  // namespace kit
