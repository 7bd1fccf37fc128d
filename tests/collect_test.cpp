// Answers collected in the office's database: the real forwarder (build/tolvik-forward) beside the
// real kiosk (the headless runner, or in this process), against a real PostgreSQL server of the
// test's own. The office's view of the whole event is compared with the data files' bytes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "admin/AdminView.h"
#include "support/KioskHarness.h"
#include "support/OfficeServer.h"
#include "survey/DataFile.h"
#include "survey/ForwardState.h"
#include "survey/Record.h"
#include "survey/Tables.h"

namespace {

using testing_support::configure;
using testing_support::OfficeServer;
using testing_support::readAll;
using testing_support::startForwarder;
using testing_support::stopForwarder;
using testing_support::TempHome;
using testing_support::writeAll;

const std::string kHeader = survey::headerLine(survey::questionTexts());

// Each visitor types the contact texts, taps Hiking and Camping, then Yes, No, Yes.
void runVisitors(const std::string& home, const std::vector<std::vector<std::string>>& visitors) {
  std::string script, log;
  for (const auto& contact : visitors) script += testing_support::visitorScript(contact);
  writeAll(home + "/visitors.txt", script);
  EXPECT_EQ(testing_support::replay(home + "/visitors.txt", home, &log, "collect"), 0) << log;
}

// The record the kiosk stores for such a visitor: the phone digits formatted.
std::string recordOf(std::vector<std::string> contact) {
  const std::string& d = contact[2];
  contact[2] = "(" + d.substr(0, 3) + ") " + d.substr(3, 3) + "-" + d.substr(6);
  std::vector<bool> on(12, false);
  for (int i : {1, 5, 6, 9, 10}) on[i] = true;
  return survey::buildRecord(
             {contact[0], contact[1], contact[2], contact[3], contact[4], contact[5]}, on,
             survey::answerTexts())
      .text;
}

// Waits (in real time, at most 30 s) until the office holds `rows` rows.
void waitForRows(const OfficeServer& office, int rows) {
  for (int i = 0; i < 300; ++i) {
    if (std::stoi(office.query("SELECT count(*) FROM tolvik_responses")[0][0]) >= rows) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ADD_FAILURE() << "the office never held " << rows << " rows";
}

// The whole event as the office writes it with the README's psql command.
std::string officeEvent(const OfficeServer& office) {
  const std::string database =
      office.kioskDatabase().substr(0, office.kioskDatabase().find(" dbname")) +
      " dbname=tolvik user=office";
  return testing_support::run("bash -c \"psql '" + database +
                              "' -XAtq -R \\$'\\\\r\\\\n' -c 'SELECT line FROM tolvik_event'\"");
}

// What that event must be for data files holding these records: each record with the kiosk's name
// in front, the files apart, in order. psql ends its output with a line break.
std::string eventOf(const std::vector<std::vector<std::string>>& files) {
  std::string event = "Kiosk," + kHeader;
  for (const auto& records : files) {
    for (const std::string& record : records) event += "\r\nhall-a," + record.substr(2);
  }
  return event + "\n";
}

std::string fileOf(const std::vector<std::string>& records) {
  std::string file = kHeader;
  for (const std::string& record : records) file += record;
  return file;
}

TEST(Collect, EveryRecordReachesTheOfficeOnceThroughAnOutageAndANewDataFile) {
  OfficeServer office;
  TempHome home;
  configure(home.path(), office);
  const std::string data = home.documents() + "/TolvikData.txt";
  std::filesystem::create_directories(home.documents());
  // An older kiosk's record: a line break inside a quoted field.
  std::vector<std::string> records = {
      "\r\n\"Lee\r\nAnn\",Berg,(555) 201-3344,lee@example.com,F,34,\"Hiking,\",No,No,No,"};
  writeAll(data, fileOf(records));
  const int forwarder = startForwarder(home.path());

  // Typed commas, quotes and letters beyond ASCII.
  const std::vector<std::vector<std::string>> three = {
      {"\xC3\x85sa \"Lill\"",
       "\xC3\x98"
       "deg\xC3\xA5rd, Jr",
       "5552013344", "asa@example.com", "F", "34"},
      {"Zo\xC3\xAB", "O\"Brien, \"Sr\"", "5558761200", "zoe@example.com", "M", "52"},
      {"Ren\xC3\xA9"
       "e",
       "Lund", "5554443322", "renee@example.com", "", ""}};
  runVisitors(home.path(), three);
  for (const auto& visitor : three) records.push_back(recordOf(visitor));
  ASSERT_EQ(readAll(data), fileOf(records));
  waitForRows(office, 4);
  EXPECT_EQ(officeEvent(office), eventOf({records}));

  // The office goes away while fifty visitors come, and comes back.
  office.stop();
  std::vector<std::vector<std::string>> fifty;
  for (int i = 1; i <= 50; ++i) {
    fifty.push_back(
        {"Visitor" + std::to_string(i), "Berg", "5552013344", "v@example.com", "F", "34"});
  }
  runVisitors(home.path(), fifty);
  for (const auto& visitor : fifty) records.push_back(recordOf(visitor));
  ASSERT_EQ(readAll(data), fileOf(records));
  std::optional<survey::ForwardState> state;
  for (int i = 0; i < 100 && !(state && state->waitingSince); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    state = survey::readForwardState(survey::forwardStatePath(data));
  }
  const std::string line =
      survey::officeLine(state, survey::dataFileIdentity(data), 54, std::time(nullptr));
  EXPECT_EQ(line.rfind("4 of 54 sent; waiting for the office since ", 0), 0u) << line;
  office.start();
  waitForRows(office, 54);
  EXPECT_EQ(officeEvent(office), eventOf({records}));

  // The data file is moved away; the next visitors begin a new one, which is sent apart.
  std::filesystem::rename(data, home.documents() + "/TolvikData-day1.txt");
  const std::vector<std::vector<std::string>> two = {
      {"Leif", "Berg", "5552013344", "l@example.com", "M", "61"},
      {"Leif", "Berg", "5552013344", "l@example.com", "M", "61"}};
  runVisitors(home.path(), two);
  const std::vector<std::string> second = {recordOf(two[0]), recordOf(two[1])};
  ASSERT_EQ(readAll(data), fileOf(second));
  waitForRows(office, 56);
  EXPECT_EQ(officeEvent(office), eventOf({records, second}));
  EXPECT_EQ(office.query("SELECT count(DISTINCT data_file) FROM tolvik_responses")[0][0], "2");

  EXPECT_EQ(stopForwarder(forwarder, SIGTERM), 0);
  // The forwarder's log holds counts, never a visitor's text.
  const std::string log = readAll(home.path() + "/forward.log");
  EXPECT_EQ(log.find("Lill"), std::string::npos) << log;
  EXPECT_EQ(log.find("Visitor"), std::string::npos) << log;
}

TEST(Collect, AForwarderKilledAtRandomMomentsStillSendsEachRecordOnce) {
  OfficeServer office;
  TempHome home;
  configure(home.path(), office);
  std::filesystem::create_directories(home.documents());
  const std::string data = home.documents() + "/TolvikData.txt";
  std::vector<std::string> backlog;
  for (int i = 0; i < 20000; ++i) {
    backlog.push_back(recordOf({i % 7 ? "Visitor" + std::to_string(i) : "Lee\r\nAnn",
                                "Berg, \"Jr\"", "5552013344", "v@example.com", "F", "34"}));
  }
  writeAll(data, fileOf(backlog));

  const unsigned seed = std::random_device()();
  std::mt19937 random(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (int k = 0; k < 8; ++k) {
    const int forwarder = startForwarder(home.path());
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(10, 250)(random)));
    stopForwarder(forwarder, SIGKILL);
  }
  const int last = startForwarder(home.path(), true);
  int status = 0;
  waitpid(last, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(office.query("SELECT count(*) FROM tolvik_responses")[0][0], "20000");
  EXPECT_EQ(officeEvent(office), eventOf({backlog}));
  EXPECT_EQ(readAll(data), fileOf(backlog));
}

TEST(Collect, TheStaffPanelSaysHowManyTheOfficeHoldsOrWhatIsWrongAndNeverAPassword) {
  OfficeServer office;
  const std::string wrong = "Wrong-Pa55word";
  struct Case {
    bool configured;
    std::string password;
    const char* officeChange;  // SQL run before
    const char* line;          // what the line says, after "0 of 1 sent; ... since HH:MM: "
  } cases[] = {
      {false, "", nullptr, ""},
      {true, testing_support::kOfficePassword, nullptr, "All 1 sent to the office"},
      {true, wrong, nullptr, "password authentication failed for user \"tolvik_kiosk\""},
      {true, testing_support::kOfficePassword,
       "DROP VIEW tolvik_event; DROP TABLE tolvik_responses",
       "the office's database has no table tolvik_responses: run collect.sql there"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    if (c.officeChange) office.query(c.officeChange);
    testing_support::Kiosk k;
    const std::string home = k.home().path();
    if (c.configured) configure(home, office, c.password);
    testing_support::StderrCapture kioskLog;
    k.submitCompleteForm();
    const std::string stored = readAll(k.dataFile());
    const int forwarder = c.configured ? startForwarder(home) : 0;

    k.openStaffScreen();
    k.signIn();
    kit::Label* line = k.c().admin->sentToOffice;
    // The panel reads the state file again every second while it shows.
    for (int i = 0; i < 100 && line->text().find(c.line) == std::string::npos; ++i) {
      k.advance(0.5);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(line->isHidden(), !c.configured);
    // The built-in password's note lies under the line, inside the first card, whatever its length.
    const kit::Rect note = k.c().admin->builtInPasswordNote->frame();
    EXPECT_TRUE((kit::Rect{{154, 296}, {460, 132}}.contains(note))) << note.minY();
    if (c.configured) {
      EXPECT_GE(note.minY(), line->frame().maxY());
      EXPECT_NE(line->text().find(c.line), std::string::npos) << line->text();
      if (c.password == wrong || c.officeChange) {
        EXPECT_EQ(line->text().rfind("0 of 1 sent; waiting for the office since ", 0), 0u);
      }
      EXPECT_EQ(stopForwarder(forwarder, SIGTERM), 0);
    }
    EXPECT_EQ(readAll(k.dataFile()), stored);
    const std::string logs = kioskLog.finish() + readAll(home + "/forward.log") + office.log() +
                             readAll(survey::forwardStatePath(k.dataFile()));
    for (const std::string& password : {std::string(testing_support::kOfficePassword), wrong}) {
      EXPECT_EQ(logs.find(password), std::string::npos) << logs;
    }
  }
}

}  // namespace
