#include "survey/CsvReader.h"

namespace survey {

void CsvReader::add(std::string_view piece, const std::function<bool(Line& line)>& onLine) {
  for (std::size_t i = 0; i < piece.size(); ++i) {
    const char c = piece[i];
    if (afterLineEnd_) {
      afterLineEnd_ = false;
      if (c == '\r' || c == '\n') {
        afterCR_ = c == '\r';
        continue;
      }
    }
    if (quotePending_) {
      quotePending_ = false;
      if (c == '"') {
        if (keep_) field_ += c;
        continue;
      }
      inQuotes_ = false;
    }
    if (inQuotes_) {
      if (c == '"') {
        quotePending_ = true;
        continue;
      }
      if (c == '\r' || c == '\n') line_.lineBreakInQuotes = true;
      if (keep_) field_ += c;
      continue;
    }
    if (c == '\n' && afterCR_) {
      afterCR_ = false;
      continue;
    }
    afterCR_ = false;
    if (c == '\r' || c == '\n') {
      line_.end = size_ + i;
      if (keep_) line_.fields.push_back(std::move(field_));
      const bool goOn = onLine(line_);
      afterCR_ = c == '\r';
      line_ = Line();
      field_.clear();
      fieldStart_ = true;
      if (!goOn) {
        size_ += i + 1;
        return;
      }
      continue;
    }
    line_.hasText = true;
    if (c == ',') {
      if (keep_) line_.fields.push_back(std::move(field_));
      field_.clear();
      ++line_.fieldCount;
      fieldStart_ = true;
      continue;
    }
    if (c == '"' && fieldStart_) {
      inQuotes_ = true;
    } else if (keep_) {
      field_ += c;
    }
    fieldStart_ = false;
  }
  size_ += piece.size();
}

CsvReader::Line CsvReader::openLine() const {
  Line line = line_;
  line.end = size_;
  if (keep_) line.fields.push_back(field_);
  return line;
}

}  // namespace survey
