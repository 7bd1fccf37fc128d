// Forwarding to the office's PostgreSQL database (a server of the benchmark's own, on a Unix
// socket): a backlog of 100,000 records sent by tolvik-forward --once, next to psql's \copy of the
// same data file into the same table; and a tap on submit until the record is on disk while the
// forwarder runs against the server, against a server that is gone, and not at all.

#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/KioskHarness.h"
#include "support/OfficeServer.h"
#include "survey/ForwardState.h"
#include "survey/Record.h"
#include "survey/Tables.h"

using testing_support::Kiosk;
using testing_support::OfficeServer;

namespace {

constexpr int kRecords = 100000;

OfficeServer& office() {
  static OfficeServer server;
  return server;
}

std::string backlog() {
  std::string data = survey::headerLine(survey::questionTexts());
  std::vector<bool> on(12, false);
  for (int i : {1, 5, 6, 9, 10}) on[i] = true;
  for (int i = 0; i < kRecords; ++i) {
    data += survey::buildRecord({"Anna " + std::to_string(i), "Berg", "(555) 201-3344",
                                 "anna.berg@example.com", "F", "34"},
                                on, survey::answerTexts())
                .text;
  }
  return data;
}

// The data file with the backlog in a kiosk's HOME set up for the office.
struct Backlog {
  testing_support::TempHome home;
  std::string file = home.documents() + "/TolvikData.txt";
  Backlog() {
    std::filesystem::create_directories(home.documents());
    testing_support::writeAll(file, backlog());
    testing_support::configure(home.path(), office());
  }
};

void BM_ForwardBacklog(benchmark::State& state) {
  Backlog data;
  for (auto _ : state) {
    state.PauseTiming();
    office().query("TRUNCATE tolvik_responses");
    std::filesystem::remove(survey::forwardStatePath(data.file));
    state.ResumeTiming();
    int status = 0;
    waitpid(testing_support::startForwarder(data.home.path(), true), &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("not forwarded");
  }
  // Not timed: the clock stops with the loop, and pausing it then is refused.
  if (office().query("SELECT count(*) FROM tolvik_responses")[0][0] != std::to_string(kRecords)) {
    state.SkipWithError("the office does not hold the backlog");
  }
  state.counters["records_per_s"] =
      benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ForwardBacklog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same file through psql's \copy into the same table: the key columns take defaults, and the
// empty field after each record's last comma a column of its own.
void BM_PsqlCopyOfTheSameFile(benchmark::State& state) {
  Backlog data;
  office().query(
      "CREATE SEQUENCE copy_place; ALTER TABLE tolvik_responses ADD COLUMN trailing_comma text, "
      "ALTER kiosk SET DEFAULT 'copy', ALTER data_file SET DEFAULT 'copy', "
      "ALTER place SET DEFAULT nextval('copy_place')");
  const std::string database = office().kioskDatabase();
  const std::string copy =
      "psql '" + database.substr(0, database.find(" user=")) +
      " user=office' -Xq -c \"\\copy tolvik_responses (first_name, last_name, phone, email, "
      "gender, age, activities, owns_tolvik, buying_hiking_boots, buying_trail_shoes, "
      "trailing_comma) "
      "FROM '" +
      data.file + "' WITH (FORMAT csv, HEADER)\"";
  for (auto _ : state) {
    state.PauseTiming();
    office().query("TRUNCATE tolvik_responses");
    state.ResumeTiming();
    if (std::system(copy.c_str()) != 0) state.SkipWithError("\\copy failed");
  }
  if (office().query("SELECT count(*) FROM tolvik_responses")[0][0] != std::to_string(kRecords)) {
    state.SkipWithError("the table does not hold the file");
  }
  office().query(
      "ALTER TABLE tolvik_responses DROP COLUMN trailing_comma, ALTER kiosk DROP DEFAULT, "
      "ALTER data_file DROP DEFAULT, ALTER place DROP DEFAULT; DROP SEQUENCE copy_place");
  state.counters["records_per_s"] =
      benchmark::Counter(kRecords, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PsqlCopyOfTheSameFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A tap on submit for an accepted form until the record is on disk. Between taps 20 ms pass in
// real time, so that a running forwarder finds new records and sends them meanwhile.
enum Forwarding { NotRunning, ServerReachable, ServerGone };
void BM_SubmitTapToRecordOnDisk(benchmark::State& state) {
  const auto forwarding = static_cast<Forwarding>(state.range(0));
  Kiosk k;
  testing_support::configure(k.home().path(), office());
  if (forwarding == ServerGone) office().stop();
  const int forwarder =
      forwarding == NotRunning ? 0 : testing_support::startForwarder(k.home().path());
  TolvikViewController& c = k.c();
  k.fillCompleteForm();
  for (auto _ : state) {
    k.h().down(655, 960);
    k.h().up(655, 960);
    state.PauseTiming();
    if (!c.formView->isHidden()) state.SkipWithError("the form was not accepted");
    // Back to the filled form for the next round, as if the flip had not happened.
    k.advance(2);
    c.formView->setHidden(false);
    c.thankyouView->setHidden(true);
    k.advance(0.4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    state.ResumeTiming();
  }
  if (forwarder) testing_support::stopForwarder(forwarder, SIGTERM);
  office().start();
}
BENCHMARK(BM_SubmitTapToRecordOnDisk)
    ->ArgName("forwarder")
    ->Arg(NotRunning)
    ->Arg(ServerReachable)
    ->Arg(ServerGone)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(300);

}  // namespace

BENCHMARK_MAIN();
