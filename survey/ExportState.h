#pragma once

// The last export that succeeded: a small key file beside the data file, written as an export
// (by e-mail or to a USB stick) is done, and read by the staff panel, so that staff can tell when
// the data last left the kiosk and how much has been stored since.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "kit/base/Files.h"

namespace survey {

// "TolvikData.exported" in the data file's folder.
std::string exportStatePath(const std::string& dataFile);

struct ExportState {
  std::int64_t time = 0;        // Unix time
  std::string kind;             // "e-mail" or "USB stick"
  std::string destination;      // the recipients, or the drive's label
  std::uint64_t responses = 0;  // how many responses the exported file held
  std::string dataFile;         // the identity of the data file exported (dataFileIdentity)

  bool operator==(const ExportState&) const = default;
};

// Nullopt when there is none or it cannot be read.
std::optional<ExportState> readExportState(const std::string& path);
// In one step (replaceFile), for the user alone.
kit::FileStatus writeExportState(const std::string& path, const ExportState& state);

// The staff panel's two lines for a data file with `stored` responses: "Last export 14:02: 214
// responses, e-mail to office@example.com" (or "No export yet"), and "3 responses stored since". A
// data file other than the exported one has all its responses stored since.
std::string lastExportLine(const std::optional<ExportState>& state, std::time_t now);
std::string storedSinceLine(const std::optional<ExportState>& state, const std::string& identity,
                            std::size_t stored);

}  // namespace survey
