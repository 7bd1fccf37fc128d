#include "survey/ExportState.h"

#include <glib.h>

#include <algorithm>

#include "survey/ForwardState.h"

namespace survey {

namespace {

constexpr const char* kExportGroup = "Export";

std::string responsesText(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " response" : " responses");
}

}  // namespace

std::string exportStatePath(const std::string& dataFile) {
  return besideDataFile(dataFile, "TolvikData.exported");
}

std::optional<ExportState> readExportState(const std::string& path) {
  g_autoptr(GKeyFile) keys = g_key_file_new();
  if (!g_key_file_load_from_file(keys, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    return std::nullopt;
  }
  GError* error = nullptr;
  ExportState state;
  state.time = g_key_file_get_int64(keys, kExportGroup, "Time", &error);
  state.responses =
      g_key_file_get_uint64(keys, kExportGroup, "Responses", error ? nullptr : &error);
  if (error) {
    g_error_free(error);
    return std::nullopt;
  }
  for (auto [key, field] :
       {std::pair{"Kind", &state.kind}, std::pair{"Destination", &state.destination},
        std::pair{"DataFile", &state.dataFile}}) {
    g_autofree gchar* text = g_key_file_get_string(keys, kExportGroup, key, nullptr);
    if (text) *field = text;
  }
  return state;
}

kit::FileStatus writeExportState(const std::string& path, const ExportState& state) {
  g_autoptr(GKeyFile) keys = g_key_file_new();
  g_key_file_set_int64(keys, kExportGroup, "Time", state.time);
  g_key_file_set_string(keys, kExportGroup, "Kind", state.kind.c_str());
  g_key_file_set_string(keys, kExportGroup, "Destination", state.destination.c_str());
  g_key_file_set_uint64(keys, kExportGroup, "Responses", state.responses);
  g_key_file_set_string(keys, kExportGroup, "DataFile", state.dataFile.c_str());
  gsize length = 0;
  g_autofree gchar* text = g_key_file_to_data(keys, &length, nullptr);
  return kit::replaceFile(path, std::string_view(text, length));
}

std::string lastExportLine(const std::optional<ExportState>& state, std::time_t now) {
  if (!state) return "No export yet";
  // The destination last, where a long one is cut short on the panel.
  return "Last export " + timeOfDay(state->time, now) + ": " + responsesText(state->responses) +
         ", " + state->kind + " to " + state->destination;
}

std::string storedSinceLine(const std::optional<ExportState>& state, const std::string& identity,
                            std::size_t stored) {
  std::size_t since = stored;
  if (state && !identity.empty() && state->dataFile == identity) {
    since = stored - std::min<std::size_t>(state->responses, stored);
  }
  if (!state) return responsesText(since) + " stored, none exported";
  return (since == 0 ? "No responses" : responsesText(since)) + " stored since";
}

}  // namespace survey
