#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace survey {

// Reads a data file's text as CSV, piece by piece as it comes: the one reader for everything that
// reads the file (the start-up check, the staff count, the forwarder). A field that begins with a
// double quote is quoted: it runs to the next lone quote and may hold commas, line breaks and
// doubled quotes (one quote each); anything after its closing quote is kept as it stands. A quote
// anywhere else is just a character, as older files hold typed text unquoted. A line ends at a
// line break outside quotes: CR LF, a lone CR or a lone LF.
class CsvReader {
 public:
  // Where the text begins: at the start of what a file holds, whose first line may be empty
  // (where a header belongs), or at the end of a line, at the line break after it.
  enum class Start { TextStart, LineEnd };
  // Whether the fields' texts are kept, or only counted.
  enum class Fields { Kept, Counted };
  explicit CsvReader(Start start = Start::TextStart, Fields fields = Fields::Kept)
      : afterLineEnd_(start == Start::LineEnd), keep_(fields == Fields::Kept) {}

  struct Line {
    std::vector<std::string> fields;  // when kept
    std::size_t fieldCount = 1;
    std::uint64_t end = 0;  // the offset in the text just past it (its line break not included)
    bool hasText = false;   // an empty line is no record
    bool lineBreakInQuotes = false;
  };

  // Reads `piece`, the text's next bytes. `onLine` gets each line that a line break ends and may
  // answer false to stop there; the rest of the piece is then left unread.
  void add(std::string_view piece, const std::function<bool(Line& line)>& onLine);

  // The line that no line break has ended yet: the one the text read so far ends in.
  Line openLine() const;
  // Whether the text read so far ends inside a quoted field.
  bool quoteLeftOpen() const { return inQuotes_ && !quotePending_; }

 private:
  Line line_;
  std::string field_;
  std::uint64_t size_ = 0;
  bool afterLineEnd_;     // the next byte may belong to the line break before it
  bool afterCR_ = false;  // a LF next belongs to the CR before it
  bool inQuotes_ = false;
  bool quotePending_ = false;  // a quote inside quotes: doubled, or the end of the quoting
  bool fieldStart_ = true;
  bool keep_;
};

}  // namespace survey
