#include "kit/base/Settings.h"

#include <glib.h>

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

std::string Settings::text(const char* group, const char* key, const std::string& fallback) const {
  for (auto file = files_->loaded.rbegin(); file != files_->loaded.rend(); ++file) {
    gchar* value = g_key_file_get_string(file->keys, group, key, nullptr);
    if (!value) continue;
    std::string result = value;
    g_free(value);
    return result;
  }
  return fallback;
}

std::vector<std::string> settingsFiles(const std::string& folder, const std::string& name) {
  return {"/etc/" + folder + "/" + name,
          std::string(g_get_user_config_dir()) + "/" + folder + "/" + name};
}

}  // namespace kit
