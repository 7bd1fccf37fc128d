#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/base/Files.h"
#include "survey/CsvReader.h"

namespace survey {

// "<Documents>/TolvikData.txt", built afresh on every call.
std::string dataFilePath();

// The start-up check. An existing file is read a piece at a time and a summary of it returned
// (contentsSummary; the log gets it too); then, when the file ends in a
// record or header line cut short (as a power cut in the middle of a write leaves it), the cut
// bytes are first kept in a new file "TolvikData.torn-<date and time>" beside it, flushed to
// disk, and the data file is cut back to its last whole record. A missing file is created in one
// step holding only the header line, with no line end, and an empty one is given the header
// line too; "" is returned. Each step is logged.
std::string checkDataFile(const std::vector<std::string>& questionsTextArray);

// Stores one record. An existing file gets `contents` appended durably (on disk before
// success; a failed or short write leaves the file as it was). A missing file is created in one
// step with the header line followed by `contents`. Anything but a regular file at the path is
// refused. The status says whether the record
// is on disk, with the system's error text when it is not; failures are logged.
kit::FileStatus writeRecord(const std::string& contents, const std::string& toFile,
                            const std::vector<std::string>& questionsTextArray);

// A data file's text read piece by piece (CsvReader), keeping only what the start-up check and
// the staff count need.
class DataFileScan {
 public:
  void add(std::string_view piece);
  std::uint64_t size() const { return size_; }
  // The records after the header line; a record still being written counts.
  std::size_t responses() const;
  // Where the text's last whole record ends. That is its end, unless the text ends in a record
  // cut short (see recordCutShort), or with nothing after its last line break, or is a header
  // line cut short (a part of `headerLine`); then it is where the record before it ends. A last
  // record that holds a line break in a quoted field and yet is cut short is taken as whole: it
  // cannot be told from later records swallowed by an open quote, which are not to be moved away.
  std::uint64_t wholeEnd(std::string_view headerLine) const;

 private:
  CsvReader reader_{CsvReader::Start::TextStart, CsvReader::Fields::Counted};
  std::uint64_t size_ = 0;
  std::uint64_t completeEnd_ = 0;  // where the last record followed by a line break ends
  std::size_t records_ = 0;
  std::size_t headerFields_ = 0;
  std::string headerStart_;  // the text's first bytes while they can be a part of a header
  bool inHeader_ = true;
};

// Whether the record that a data file's text ends in, with no line break after it, is cut short
// (or still being written): a quoted field left open, or fewer fields than the header line's.
bool recordCutShort(const CsvReader& reader, const CsvReader::Line& last, std::size_t headerFields);

// The records after the header line of a data file's text, as DataFileScan counts them.
std::size_t countResponses(std::string_view text);

// A summary of data file text, or of a record (which starts with its line end), for log lines
// that must not carry personal data: "2 records, 410 bytes".
std::string contentsSummary(std::string_view text);
std::string contentsSummary(const DataFileScan& scan);
// The same for the first `length` bytes of an open data file, read a piece at a time.
std::string contentsSummary(const kit::FileReader& file, std::uint64_t length);

// Whole records read from a piece of a data file, and where reading goes on.
struct WholeRecords {
  std::vector<std::vector<std::string>> records;
  std::size_t end = 0;  // in the piece: just past the last record read (or the header)
};

// Reads at most `limit` records from `piece`, bytes of a data file that begin at its start (the
// header line is then passed over) or at the end of a record (`start`). A record that no line
// break ends is read only when the piece reaches the file's end and it is not cut short: a record
// being written, or cut short by a crash, is left for later.
WholeRecords readWholeRecords(std::string_view piece, CsvReader::Start start, bool reachesFileEnd,
                              std::size_t headerFields, std::size_t limit);

// The number of fields of the header line at the start of a data file's text, once a line break
// ends it; nullopt before.
std::optional<std::size_t> headerFieldCount(std::string_view text);

// How many responses the data file holds now; 0 when it cannot be read.
std::size_t storedResponses(const std::string& path);

// What the data file holds, for staff: "128 responses stored, 10.4 kB", or why it cannot tell.
std::string storedResponsesSummary(const std::string& path);

}  // namespace survey
