#include "survey/DataFile.h"

#include <glib.h>

#include "kit/base/Log.h"
#include "survey/Tables.h"

namespace survey {

std::string dataFilePath() {
  return kit::documentsDirectory() + "/TolvikData.txt";
}

namespace {

// A name beside the data file for bytes cut from its end, that names no file yet.
std::string tornFilePath(const std::string& path) {
  GDateTime* now = g_date_time_new_now_local();
  gchar* stamp = g_date_time_format(now, "%Y-%m-%d-%H%M%S");
  g_date_time_unref(now);
  const std::string stem = path.substr(0, path.rfind('.')) + ".torn-" + stamp;
  g_free(stamp);
  std::string torn = stem;
  for (int n = 2; kit::fileExists(torn); ++n) torn = stem + "-" + std::to_string(n);
  return torn;
}

// Reads the file at `path` into `scan` piece by piece; returns the open file, or nullopt with the
// error.
std::optional<kit::FileReader> scanFile(const std::string& path, DataFileScan& scan,
                                        std::string* error) {
  std::optional<kit::FileReader> reader = kit::FileReader::open(path, error);
  if (!reader) return std::nullopt;
  kit::FileStatus read =
      reader->read(0, UINT64_MAX, [&](std::string_view piece) { scan.add(piece); });
  if (!read) {
    *error = read.error;
    return std::nullopt;
  }
  return reader;
}

// Cuts a torn record (or header line) off the end of the data file, once its bytes are safe in a
// file of their own: nothing is lost, and records added later start on a line of their own.
void cutTornTail(const std::string& path, const kit::FileReader& file, const DataFileScan& scan,
                 const std::string& headerLine) {
  const std::uint64_t wholeEnd = scan.wholeEnd(headerLine);
  if (wholeEnd == scan.size()) return;
  std::string error;
  std::optional<std::string> torn = file.bytes(wholeEnd, scan.size(), &error);
  const std::string tornPath = tornFilePath(path);
  kit::FileStatus status =
      torn ? kit::createFile(tornPath, *torn) : kit::FileStatus::failure(error);
  if (status) status = kit::cutBack(path, wholeEnd);
  if (!status) {
    kit::log("The torn end of the data file stays: %s", status.error.c_str());
    return;
  }
  kit::log("Moved %llu bytes of a torn record from the end of the data file to %s",
           static_cast<unsigned long long>(torn->size()), tornPath.c_str());
}

}  // namespace

std::string checkDataFile(const std::vector<std::string>& questionsTextArray) {
  const std::string path = dataFilePath();
  kit::log("%s", path.c_str());
  // The answers are for the kiosk's user alone, also where an older version or another program
  // left the folder or the file open to others.
  for (const std::string& privatePath : {kit::documentsDirectory(), path}) {
    if (!kit::fileExists(privatePath)) continue;
    if (kit::FileStatus status = kit::keepPrivate(privatePath); !status) {
      kit::log("%s", status.error.c_str());
    }
  }
  const std::string header = headerLine(questionsTextArray);

  if (kit::fileExists(path)) {
    // Read a piece at a time: the log line needs only the records' number and size (they are
    // personal data), and the check only where the last whole record ends.
    DataFileScan scan;
    std::string error;
    std::optional<kit::FileReader> reader = scanFile(path, scan, &error);
    if (!reader) kit::log("%s", error.c_str());
    std::string formData = contentsSummary(scan);
    kit::log("File exists");
    kit::log("formData to start file: %s", formData.c_str());
    if (!reader) return formData;

    cutTornTail(path, *reader, scan, header);
    // An empty file (a copy that failed half-way, a file emptied by hand) gets the header line
    // a new one would have.
    if (reader->size() == 0) {
      std::optional<kit::AppendHandle> handle = kit::AppendHandle::open(path, &error);
      kit::FileStatus status = handle ? handle->write(header) : kit::FileStatus::failure(error);
      if (status) {
        kit::log("Empty file given the header. header text: %s", header.c_str());
      } else {
        kit::log("%s", status.error.c_str());
      }
    }
    return formData;
  }

  kit::log("File not found");
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

void DataFileScan::add(std::string_view piece) {
  // A header line holds a few hundred bytes: more cannot be a part of one.
  if (inHeader_ && headerStart_.size() < 1024) {
    headerStart_.append(piece.substr(0, 1024 - headerStart_.size()));
  }
  reader_.add(piece, [this](const CsvReader::Line& line) {
    if (inHeader_) {
      headerFields_ = line.fieldCount;
      completeEnd_ = line.end;
      inHeader_ = false;
    } else if (line.hasText) {
      ++records_;
      completeEnd_ = line.end;
    }
    return true;
  });
  size_ += piece.size();
}

std::size_t DataFileScan::responses() const {
  return records_ + (!inHeader_ && reader_.openLine().hasText ? 1 : 0);
}

std::uint64_t DataFileScan::wholeEnd(std::string_view headerLine) const {
  if (inHeader_) {
    const bool partOfHeader = size_ < headerLine.size() && size_ == headerStart_.size() &&
                              headerLine.substr(0, headerStart_.size()) == headerStart_;
    return partOfHeader ? 0 : size_;
  }
  const CsvReader::Line last = reader_.openLine();
  const bool cutShort =
      last.hasText ? recordCutShort(reader_, last, headerFields_) : size_ > completeEnd_;
  return cutShort && !last.lineBreakInQuotes ? completeEnd_ : size_;
}

bool recordCutShort(const CsvReader& reader, const CsvReader::Line& last,
                    std::size_t headerFields) {
  return reader.quoteLeftOpen() || last.fieldCount < headerFields;
}

std::size_t countResponses(std::string_view text) {
  DataFileScan scan;
  scan.add(text);
  return scan.responses();
}

std::string contentsSummary(std::string_view text) {
  DataFileScan scan;
  scan.add(text);
  return contentsSummary(scan);
}

std::string contentsSummary(const DataFileScan& scan) {
  std::size_t records = scan.responses();
  return std::to_string(records) + (records == 1 ? " record, " : " records, ") +
         std::to_string(scan.size()) + (scan.size() == 1 ? " byte" : " bytes");
}

std::string contentsSummary(const kit::FileReader& file, std::uint64_t length) {
  DataFileScan scan;
  kit::FileStatus read = file.read(0, length, [&](std::string_view piece) { scan.add(piece); });
  return read ? contentsSummary(scan) : read.error;
}

WholeRecords readWholeRecords(std::string_view piece, CsvReader::Start start, bool reachesFileEnd,
                              std::size_t headerFields, std::size_t limit) {
  WholeRecords read;
  CsvReader reader(start);
  bool inHeader = start == CsvReader::Start::TextStart;
  reader.add(piece, [&](CsvReader::Line& line) {
    if (inHeader) {
      inHeader = false;
      read.end = line.end;
    } else if (line.hasText) {
      read.records.push_back(std::move(line.fields));
      read.end = line.end;
    }
    return read.records.size() < limit;
  });
  if (read.records.size() < limit && !inHeader && reachesFileEnd) {
    CsvReader::Line last = reader.openLine();
    if (last.hasText && !recordCutShort(reader, last, headerFields)) {
      read.records.push_back(std::move(last.fields));
      read.end = last.end;
    }
  }
  return read;
}

std::optional<std::size_t> headerFieldCount(std::string_view text) {
  std::optional<std::size_t> fields;
  CsvReader reader(CsvReader::Start::TextStart, CsvReader::Fields::Counted);
  reader.add(text, [&](const CsvReader::Line& line) {
    fields = line.fieldCount;
    return false;
  });
  return fields;
}

std::size_t storedResponses(const std::string& path) {
  DataFileScan scan;
  std::string error;
  if (kit::fileExists(path)) scanFile(path, scan, &error);
  return scan.responses();
}

std::string storedResponsesSummary(const std::string& path) {
  // A file deleted while the kiosk runs holds nothing; the next response creates it again.
  DataFileScan scan;
  std::string error;
  if (kit::fileExists(path) && !scanFile(path, scan, &error)) {
    kit::log("%s", error.c_str());
    return "The data file cannot be read.";
  }
  // Counted from the same bytes as the size, so both agree while records are being appended.
  std::size_t responses = scan.responses();
  gchar* size = g_format_size(scan.size());
  std::string summary = std::to_string(responses) +
                        (responses == 1 ? " response stored, " : " responses stored, ") + size;
  g_free(size);
  return summary;
}

}  // namespace survey
