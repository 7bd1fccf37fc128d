#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey/CsvReader.h"
#include "survey/Record.h"
#include "survey/Tables.h"

namespace {

using survey::buildRecord;
using survey::ContactTexts;
using survey::csvField;

const std::string kHeader =
    "First Name,Last Name,Phone,Email,Gender,Age,1)In which outdoor activities do you "
    "participate?,2)Do you currently own Tolvik shoes or boots?,3)Do you plan on buying new "
    "Hiking Boots in the next 6 months?,4)Do you plan on buying new trail running shoes in the "
    "next 6 months?,";

std::vector<bool> answersOn(std::initializer_list<int> indices) {
  std::vector<bool> on(12, false);
  for (int i : indices) on[static_cast<size_t>(i)] = true;
  return on;
}

// The rows of a data file's text as the project's one CSV reader reads them, the header first.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  survey::CsvReader reader;
  reader.add(text, [&](survey::CsvReader::Line& line) {
    rows.push_back(line.fields);
    return true;
  });
  rows.push_back(reader.openLine().fields);
  return rows;
}

TEST(SurveyTables, HeaderLineHasTenColumnTitlesAndEndsWithAComma) {
  EXPECT_EQ(survey::headerLine(survey::questionTexts()), kHeader);
  EXPECT_EQ(parseCsv(kHeader)[0].size(), 11u);  // ten titles and the empty one after the comma
}

TEST(SurveyRecord, ActivitiesAndAnswersMissingOrAllOn) {
  const auto answers = survey::answerTexts();
  const ContactTexts contact{"A", "B", "555", "a@b.c", "", ""};

  const auto all = buildRecord(contact, answersOn({0, 1, 2, 3, 4, 5, 7, 8, 11}), answers);
  EXPECT_EQ(all.text,
            "\r\nA,B,555,a@b.c,,,\"Trail Running,Hiking,Backpacking,Mountain Biking,Road "
            "Running,Camping,\",No,Yes,No,");

  // Without an activity the column is left out, and the answers follow the age column.
  const auto none = buildRecord(contact, answersOn({6, 8, 10}), answers);
  EXPECT_EQ(none.text, "\r\nA,B,555,a@b.c,,,Yes,Yes,Yes,");
  EXPECT_EQ(none.beforeLastButtons, "\r\nA,B,555,a@b.c,,,");

  // A question with no answer on makes the record one column shorter.
  const auto gap = buildRecord(contact, answersOn({2, 6, 11}), answers);
  EXPECT_EQ(gap.text, "\r\nA,B,555,a@b.c,,,\"Backpacking,\",Yes,No,");
  EXPECT_EQ(parseCsv(kHeader + gap.text)[1].size(), 10u);
}

TEST(SurveyRecord, CsvFieldQuotesOnlyWhatNeedsIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},           {"Anna Maria", "Anna Maria"}, {"Åsa Ødegård", "Åsa Ødegård"},
      {"it's", "it's"},   {"Berg, Jr", "\"Berg, Jr\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"\"", "\"\"\"\""}, {"a\rb", "\"a\rb\""},         {"a\nb", "\"a\nb\""},
  };
  for (auto [typed, stored] : cases) EXPECT_EQ(csvField(typed), stored) << typed;
}

TEST(SurveyRecord, TypedTextsReadBackExactlyAndKeepTheHeadersColumns) {
  const auto answers = survey::answerTexts();
  const ContactTexts typed{"Anna, Maria", "O\"Brien",        "(555) 201-3344",
                           "a@b.c\r\nx",  "\"quoted\",\n\r", ","};
  const auto record = buildRecord(typed, answersOn({1, 5, 6, 9, 10}), answers);
  const auto plain = buildRecord({"Tom", "Lund", "(555) 876-1200", "t@l.se", "M", "52"},
                                 answersOn({0, 7, 9, 11}), answers);

  const auto rows = parseCsv(kHeader + record.text + plain.text);
  ASSERT_EQ(rows.size(), 3u);
  const size_t columns = rows[0].size();
  EXPECT_EQ(rows[1].size(), columns);
  EXPECT_EQ(rows[2].size(), columns);

  const std::vector<std::string> expected{"Anna, Maria",
                                          "O\"Brien",
                                          "(555) 201-3344",
                                          "a@b.c\r\nx",
                                          "\"quoted\",\n\r",
                                          ",",
                                          "Hiking,Camping,",
                                          "Yes",
                                          "No",
                                          "Yes",
                                          ""};
  EXPECT_EQ(rows[1], expected);
  EXPECT_EQ(rows[2][0], "Tom");
  EXPECT_EQ(rows[2][6], "Trail Running,");
}

}  // namespace
