#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "kit/base/Files.h"

namespace survey {

// "<Documents>/TolvikData.txt", built afresh on every call.
std::string dataFilePath();

// The start-up check. An existing file is read whole and left untouched; its text is returned
// (empty when the bytes are not valid UTF-8, or when anything but a regular file is there). A
// missing file is created in one step holding only the header line, with no line end; "" is
// returned. Each step is logged.
std::string checkDataFile(const std::vector<std::string>& questionsTextArray);

// Stores one record. An existing file gets `contents` appended durably (on disk before
// success; a failed or short write leaves the file as it was). A missing file is created in one
// step with the header line followed by `contents`. Anything but a regular file at the path is
// refused. The status says whether the record
// is on disk, with the system's error text when it is not; failures are logged.
kit::FileStatus writeRecord(const std::string& contents, const std::string& toFile,
                            const std::vector<std::string>& questionsTextArray);

// The records after the header line of a data file's text, read as CSV: a line break inside a
// quoted field belongs to its record, and an empty line is no record.
std::size_t countResponses(std::string_view text);

// A summary of data file text, or of a record (which starts with its line end), for log lines
// that must not carry personal data: "2 records, 410 bytes".
std::string contentsSummary(std::string_view text);

// What the data file holds, for staff: "128 responses stored, 10.4 kB", or why it cannot tell.
std::string storedResponsesSummary(const std::string& path);

}  // namespace survey
