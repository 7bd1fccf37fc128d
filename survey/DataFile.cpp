#include "survey/DataFile.h"

#include <glib.h>

#include "kit/base/Log.h"
#include "kit/base/Utf8.h"
#include "survey/Tables.h"

namespace survey {

std::string dataFilePath() {
  return kit::documentsDirectory() + "/TolvikData.txt";
}

std::string checkDataFile(const std::vector<std::string>& questionsTextArray) {
  const std::string path = dataFilePath();
  kit::log("%s", path.c_str());

  if (kit::fileExists(path)) {
    std::string error;
    std::optional<std::string> bytes = kit::readFile(path, &error);
    if (!bytes) kit::log("%s", error.c_str());
    // The records are personal data: the log gets their number and size only.
    const std::string summary = contentsSummary(bytes ? *bytes : "");
    std::string formData;
    if (bytes && kit::utf8::isValid(*bytes)) formData = std::move(*bytes);
    kit::log("File exists");
    kit::log("formData to start file: %s", summary.c_str());
    return formData;
  }

  kit::log("File not found");
  const std::string header = headerLine(questionsTextArray);
  const kit::FileStatus status = kit::createFile(path, header);
  if (status) {
    kit::log("new file created. header text: %s", header.c_str());
  } else {
    kit::log("%s", status.error.c_str());
  }
  return "";
}

kit::FileStatus writeRecord(const std::string& contents, const std::string& toFile,
                            const std::vector<std::string>& questionsTextArray) {
  if (kit::fileExists(toFile)) {
    kit::log("File exists, appending new text to end");
    std::string error;
    std::optional<kit::AppendHandle> handle = kit::AppendHandle::open(toFile, &error);
    if (!handle) {
      kit::log("%s", error.c_str());
      return kit::FileStatus::failure(error);
    }
    kit::FileStatus status = handle->write(contents);
    if (!status) kit::log("%s", status.error.c_str());
    return status;
  }

  kit::log("File doesn't exist, write out the text");
  kit::FileStatus status = kit::createFile(toFile, headerLine(questionsTextArray) + contents);
  if (!status) kit::log("%s", status.error.c_str());
  return status;
}

std::size_t countResponses(std::string_view text) {
  std::size_t records = 0;
  bool inHeader = true;
  bool inQuotes = false;
  bool fieldStart = true;
  bool recordHasText = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inQuotes) {
      // A doubled quote is a quote inside the field; a single one ends the quoting.
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        ++i;
      } else if (c == '"') {
        inQuotes = false;
      }
      continue;
    }
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!inHeader && recordHasText) ++records;
      inHeader = false;
      recordHasText = false;
      fieldStart = true;
      continue;
    }
    // Only a quote that opens a field quotes it; one inside a field (as older files hold typed
    // text unquoted) is just a character.
    if (c == '"' && fieldStart) inQuotes = true;
    fieldStart = c == ',';
    recordHasText = true;
  }
  if (!inHeader && recordHasText) ++records;
  return records;
}

std::string contentsSummary(std::string_view text) {
  std::size_t records = countResponses(text);
  return std::to_string(records) + (records == 1 ? " record, " : " records, ") +
         std::to_string(text.size()) + (text.size() == 1 ? " byte" : " bytes");
}

std::string storedResponsesSummary(const std::string& path) {
  // A file deleted while the kiosk runs holds nothing; the next response creates it again.
  std::string error;
  std::optional<std::string> bytes =
      kit::fileExists(path) ? kit::readFile(path, &error) : std::string();
  if (!bytes) {
    kit::log("%s", error.c_str());
    return "The data file cannot be read.";
  }
  // Counted from the same bytes as the size, so both agree while records are being appended.
  std::size_t responses = countResponses(*bytes);
  gchar* size = g_format_size(bytes->size());
  std::string summary = std::to_string(responses) +
                        (responses == 1 ? " response stored, " : " responses stored, ") + size;
  g_free(size);
  return summary;
}

}  // namespace survey
