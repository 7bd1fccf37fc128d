// A record built from any typed texts and answers, read back by a real CSV reader (libcsv) and by
// the project's own: the first six fields are the six texts exactly as typed, then the activities
// list, then the yes/no answers that are on; one record, whatever commas, quotes or line breaks
// were typed.

#include <csv.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "survey/DataFile.h"
#include "survey/Record.h"
#include "survey/Tables.h"

namespace {

struct Reading {
  std::vector<std::string> fields;
  int records = 0;
};

void onField(void* text, size_t length, void* reading) {
  static_cast<Reading*>(reading)->fields.emplace_back(static_cast<char*>(text), length);
}

void onRecord(int, void* reading) {
  ++static_cast<Reading*>(reading)->records;
}

// No space is trimmed: the texts are compared byte for byte.
int noSpace(unsigned char) {
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> answers = survey::answerTexts();
  FuzzedDataProvider input(data, size);
  std::vector<bool> answersOn;
  for (int i = 0; i < 12; ++i) answersOn.push_back(input.ConsumeBool());
  std::string texts[6];
  for (std::string& text : texts) text = input.ConsumeRandomLengthString(64);
  survey::ContactTexts contact{texts[0], texts[1], texts[2], texts[3], texts[4], texts[5]};
  survey::Record record = survey::buildRecord(contact, answersOn, answers);
  FUZZ_CHECK(record.text.rfind("\r\n", 0) == 0);
  FUZZ_CHECK(record.text.rfind(record.beforeLastButtons, 0) == 0);

  csv_parser parser;
  FUZZ_CHECK(csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_APPEND_NULL) == 0);
  csv_set_space_func(&parser, noSpace);
  Reading reading;
  const std::string body = record.text.substr(2);
  FUZZ_CHECK(csv_parse(&parser, body.data(), body.size(), onField, onRecord, &reading) ==
             body.size());
  FUZZ_CHECK(csv_fini(&parser, onField, onRecord, &reading) == 0);
  csv_free(&parser);

  FUZZ_CHECK(reading.records == 1);
  std::vector<std::string> expected(std::begin(texts), std::end(texts));
  std::string activities;
  for (size_t i = 0; i < 6; ++i) {
    if (answersOn[i]) activities += answers[i] + ",";
  }
  if (!activities.empty()) expected.push_back(activities);
  for (size_t i = 6; i < 12; ++i) {
    if (answersOn[i]) expected.push_back(answers[i]);
  }
  expected.push_back("");  // after the record's last comma
  FUZZ_CHECK(reading.fields == expected);

  // The project's own reader, as the forwarder uses it, reads the same fields. At the file's end
  // it takes the record only with all eleven fields (what validation lets through); with the next
  // record begun after it, always.
  const std::string file = survey::headerLine(survey::questionTexts()) + record.text;
  for (const std::string& text : {file, file + "\r\n"}) {
    survey::WholeRecords whole =
        survey::readWholeRecords(text, survey::CsvReader::Start::TextStart, true, 11, 9);
    const bool taken = expected.size() >= 11 || text.size() > file.size();
    FUZZ_CHECK(whole.records.size() == (taken ? 1u : 0u));
    if (taken) FUZZ_CHECK(whole.records[0] == expected && whole.end == file.size());
  }
  return 0;
}
