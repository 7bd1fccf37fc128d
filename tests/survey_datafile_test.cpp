#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "survey/DataFile.h"
#include "survey/Record.h"
#include "survey/Tables.h"

namespace {

using testing_support::readAll;
using testing_support::StderrCapture;
using testing_support::TempHome;
using testing_support::writeAll;

const std::string kAnna =
    "\r\nAnna,Berg,(555) 201-3344,anna.berg@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,";
const std::string kTom =
    "\r\nTom,Lund,(555) 876-1200,tom@lund.example,M,52,\"Trail Running,\",No,No,No,";

std::string header() {
  return survey::headerLine(survey::questionTexts());
}

// Log lines as their message parts, each followed by a line end.
bool logged(const std::string& log, const std::string& message) {
  return log.find("] " + message + "\n") != std::string::npos;
}

// How many entries a folder holds.
long entries(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(folder),
                       std::filesystem::directory_iterator());
}

// Limits the size of every file this process writes, so that a write past the limit is cut short
// or fails with EFBIG. Works as root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

TEST(SurveyDataFile, FirstStartCreatesTheHeaderLineOnly) {
  TempHome home;
  const std::string path = home.documents() + "/TolvikData.txt";
  EXPECT_EQ(survey::dataFilePath(), path);

  StderrCapture capture;
  EXPECT_EQ(survey::checkDataFile(survey::questionTexts()), "");
  const std::string log = capture.finish();

  EXPECT_EQ(readAll(path), header());
  EXPECT_TRUE(logged(log, path));
  EXPECT_TRUE(logged(log, "File not found"));
  EXPECT_TRUE(logged(log, "new file created. header text: " + header()));
  EXPECT_FALSE(logged(log, "File exists"));
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(entries(home.documents()), 1);
}

TEST(SurveyDataFile, StartWithAFilePresentLeavesItUntouched) {
  TempHome home;
  const std::string path = survey::dataFilePath();
  const std::string contents = "old header without the usual titles" + kAnna;
  writeAll(path, contents);
  const auto before = std::filesystem::last_write_time(path);
  // Left open to others by an older version: narrowed to the kiosk's user.
  chmod(path.c_str(), 0644);
  chmod(home.documents().c_str(), 0755);

  StderrCapture capture;
  // What the file holds is told by how much, never what, in the log too.
  const std::string summary = "1 record, " + std::to_string(contents.size()) + " bytes";
  EXPECT_EQ(survey::checkDataFile(survey::questionTexts()), summary);
  const std::string log = capture.finish();

  EXPECT_EQ(readAll(path), contents);
  EXPECT_EQ(std::filesystem::last_write_time(path), before);
  for (auto [privatePath, mode] : {std::pair{path, 0600u}, {home.documents(), 0700u}}) {
    struct stat st {};
    stat(privatePath.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, mode) << privatePath;
  }
  EXPECT_TRUE(logged(log, "File exists"));
  EXPECT_TRUE(logged(log, "formData to start file: " + summary)) << log;
  EXPECT_EQ(log.find("Anna"), std::string::npos);
  EXPECT_FALSE(logged(log, "File not found"));

  // A file that is not UTF-8 stays as it is.
  const std::string latin1 = "Name\r\nJ\xF6rg,Berg,";
  writeAll(path, latin1);
  EXPECT_EQ(survey::checkDataFile(survey::questionTexts()), "1 record, 16 bytes");
  EXPECT_EQ(readAll(path), latin1);
}

TEST(SurveyDataFile, FailedCreationLeavesNoFileAndTheNextRecordCreatesIt) {
  TempHome home;
  const auto questions = survey::questionTexts();
  const std::string path = survey::dataFilePath();

  StderrCapture firstCapture;
  {
    FileSizeLimit limit(0);
    EXPECT_EQ(survey::checkDataFile(questions), "");
  }
  std::string log = firstCapture.finish();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(logged(log, "File not found"));
  EXPECT_FALSE(logged(log, "new file created. header text: " + header()));
  EXPECT_NE(log.find("File too large"), std::string::npos);

  kit::FileStatus status;
  StderrCapture secondCapture;
  {
    FileSizeLimit limit(header().size());
    status = survey::writeRecord(kAnna, path, questions);
  }
  log = secondCapture.finish();
  EXPECT_FALSE(status);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(logged(log, "File doesn't exist, write out the text"));
  EXPECT_EQ(entries(home.documents()), 0);

  EXPECT_TRUE(survey::writeRecord(kAnna, path, questions));
  EXPECT_EQ(readAll(path), header() + kAnna);
}

// A data file cut short at start (by a power cut in the middle of a write, a copy that failed
// half-way), then the kiosk started again and two visitors served, through the headless runner.
// The cut bytes are moved to a side file, so that a CSV reader finds only whole records.
TEST(SurveyDataFile, ATornEndIsMovedAsideAtStartAndLaterRecordsStayWhole) {
  const std::string stored = header() + kAnna + kTom + kAnna;
  const std::string asa = "\r\n\u00c5sa,Lind,(555) 201-3344,asa@example.com,F,34,\"Hiking,Cam";
  struct Case {
    const char* name;
    std::string before;
    std::string moved;  // the bytes cut off its end
    size_t responses;   // afterwards, with the two visitors'
  } cases[] = {
      {"inside a quoted field", stored + asa, asa, 5},
      {"between fields", stored + asa.substr(0, 12), asa.substr(0, 12), 5},
      {"after a lone CR", stored + "\r", "\r", 5},
      {"in the header", header().substr(0, 40), header().substr(0, 40), 2},
      {"an empty file", "", "", 2},
      // A typed comma, stored unquoted by earlier versions, adds a column: a record cut short
      // after as many fields as the header has cannot be told from a whole one.
      {"cannot be told",
       stored + "\r\nAsa,Lind,Jr,(555) 201-3344,a@b.c,F,34,\"Hiking,\",Yes,No,Yes", "", 6},
  };
  // The two visitors of the script, as the kiosk stores them.
  const std::string visitors =
      "\r\nAnna,Berg,(555) 201-3344,anna.berg@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,"
      "\r\nTom,Lund,(555) 876-1200,tom.lund@example.com,M,52,\"Trail Running,\",No,No,No,";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    std::filesystem::create_directories(home.documents());
    const std::string path = home.documents() + "/TolvikData.txt";
    writeAll(path, c.before);
    std::string log;
    ASSERT_EQ(testing_support::replay("two_visitors.txt", home.path(), &log, "torn"), 0) << log;

    std::string kept = c.before.substr(0, c.before.size() - c.moved.size());
    EXPECT_EQ(readAll(path), (kept.empty() ? header() : kept) + visitors);
    std::vector<std::string> torn;
    for (auto& entry : std::filesystem::directory_iterator(home.documents())) {
      if (entry.path().filename() != "TolvikData.txt") torn.push_back(entry.path());
    }
    ASSERT_EQ(torn.size(), c.moved.empty() ? 0u : 1u);
    if (!c.moved.empty()) {
      EXPECT_EQ(torn[0].find(home.documents() + "/TolvikData.torn-20"), 0u) << torn[0];
      EXPECT_EQ(readAll(torn[0]), c.moved);
      EXPECT_TRUE(logged(log, "Moved " + std::to_string(c.moved.size()) +
                                  " bytes of a torn record from the end of the data file to " +
                                  torn[0]))
          << log;
    }
    // Every row Python's csv module reads has the header's eleven fields, and the staff screen
    // counts the rows after the header.
    std::string rows = testing_support::run(
        "python3 -c 'import csv, sys; [print(len(row)) for row in csv.reader(open(sys.argv[1], "
        "newline=\"\", encoding=\"utf-8\"))]' " +
        path);
    std::string expected;
    for (size_t i = 0; i <= c.responses; ++i) expected += "11\n";
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(survey::storedResponsesSummary(path).find(std::to_string(c.responses) +
                                                        " responses stored"),
              0u);
  }
}

}  // namespace

TEST(SurveyDataFile, ResponsesAreCountedAsCsvRecordsAfterTheHeader) {
  struct Case {
    const char* text;
    size_t responses;
  } cases[] = {
      {"", 0},
      {"A,B,", 0},
      {"A,B,\r\nAnna,Berg,", 1},
      {"A,B,\r\nAnna,Berg,\r\nTom,Lund,", 2},
      {"A,B,\r\n\"Lee\r\nAnn\",Berg,\r\nTom,\"a \"\"b\r\n\"\" c\",", 2},  // breaks inside quotes
      {"A,B,\r\nAnna,Berg,\r\n\r\n", 1},     // empty lines are no records
      {"A,B,\nAnna,Berg,\rTom,Lund,\n", 2},  // bare line ends
      {"A,B,\r\nAnna,\"Be", 1},              // a record being written
      {"A,B,\r\nAnn,O\"Brien,\"Hiking,\",Yes,\r\nTom,Lund,\r\nX,Y,", 3},  // a quote inside a field
  };
  for (const Case& c : cases) EXPECT_EQ(survey::countResponses(c.text), c.responses) << c.text;

  // What a reader that follows the file may take: whole records only, never one being written or
  // cut short. The header "A,B," has three fields.
  using Start = survey::CsvReader::Start;
  struct Piece {
    const char* text;
    Start start;
    bool reachesFileEnd;
    size_t limit;
    size_t records;
    size_t end;  // where reading goes on
  } pieces[] = {
      {"A,B,\r\nAnna,Berg,\r\nTom,Lund,", Start::TextStart, true, 9, 2, 27},
      {"A,B,\r\nAnna,Berg,\r\nTom,Lund,", Start::TextStart, false, 9, 1, 16},
      {"A,B,\r\nAnna,Berg,\r\nTom,Lund,", Start::TextStart, true, 1, 1, 16},
      {"A,B,\r\nAnna,Berg,\r\nTom,Lu", Start::TextStart, true, 9, 1, 16},
      {"A,B,\r\nAnna,Berg,\r\nTom,\"Hiking,Cam", Start::TextStart, true, 9, 1, 16},
      {"A,B,\r\nAnna,Berg,\r\nTom,", Start::TextStart, true, 9, 1, 16},  // cut at a comma
      {"A,B,\r\nAnna,Berg,\r", Start::TextStart, true, 9, 1, 16},        // the next one begun
      {"A,B,\r\nAnna,Berg,\r\n\r\nTom,Lund,x", Start::TextStart, true, 9, 2, 30},
      {"A,B,", Start::TextStart, true, 9, 0, 0},
      {"A,B,\r\n", Start::TextStart, true, 9, 0, 4},
      {"\r\n\"Lee\r\nAnn\",\"a \"\"b\"\"\",", Start::LineEnd, true, 9, 1, 23},
      {"\nTom,Lund,\r", Start::LineEnd, false, 9, 1, 10},
  };
  for (const Piece& p : pieces) {
    SCOPED_TRACE(p.text);
    survey::WholeRecords read =
        survey::readWholeRecords(p.text, p.start, p.reachesFileEnd, 3, p.limit);
    EXPECT_EQ(read.records.size(), p.records);
    EXPECT_EQ(read.end, p.end);
  }
  const std::vector<std::string> quoted{"Lee\r\nAnn", "a \"b\"", ""};
  EXPECT_EQ(survey::readWholeRecords(pieces[10].text, Start::LineEnd, true, 3, 9).records,
            std::vector<std::vector<std::string>>{quoted});
  EXPECT_EQ(survey::headerFieldCount(pieces[0].text), 3u);
  EXPECT_EQ(survey::headerFieldCount(pieces[8].text), std::nullopt);

  testing_support::TempHome home;
  EXPECT_EQ(survey::storedResponsesSummary(home.path() + "/missing"),
            "0 responses stored, 0 bytes");
  EXPECT_EQ(survey::storedResponsesSummary(home.path()), "The data file cannot be read.");
}
