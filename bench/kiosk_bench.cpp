// The kiosk's costs that a visitor or staff could feel: start-up to the first frame, storing one
// record (which must not grow with the data file), and a tap on submit until the record is on
// disk, next to the bare cost of writing and flushing the same bytes.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/TolvikAppDelegate.h"
#include "bench/support/BenchHome.h"
#include "kit/backends/headless/Headless.h"
#include "survey/DataFile.h"
#include "survey/Record.h"
#include "survey/Tables.h"

extern char** environ;

namespace {

const survey::ContactTexts kContact{"Anna", "Berg", "(555) 201-3344", "anna.berg@example.com",
                                    "F",    "34"};
const std::vector<bool> kAnswers{false, true,  false, false, false, true,
                                 true,  false, false, true,  true,  false};

// Process start to the first frame drawn: this program started again with --first-frame
// launches the kiosk headless, draws one frame (not written anywhere) and exits.
int firstFrame() {
  kit::Headless headless;
  if (!headless.launch(loadMainInterface())) return 1;
  return headless.shot("") ? 0 : 1;
}

std::string gProgram;

void BM_StartupToFirstFrame(benchmark::State& state) {
  BenchHome home;
  std::string flag = "--first-frame";
  double cpu = 0;
  for (auto _ : state) {
    char* argv[] = {gProgram.data(), flag.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, gProgram.c_str(), &actions, nullptr, argv, environ) != 0) {
      state.SkipWithError("cannot start the benchmark program again");
      break;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the first frame was not drawn");
      break;
    }
    // The machine may be shared: the CPU time of the started program is the steadier figure.
    cpu += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  state.counters["program_cpu_ms"] = 1000 * cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// One record built and appended durably to a file that already holds `range(0)` records.
void BM_BuildAndAppendRecord(benchmark::State& state) {
  BenchHome home;
  std::vector<std::string> questions = survey::questionTexts();
  std::string path = survey::dataFilePath();
  {
    std::string contents = survey::headerLine(questions);
    std::string record = survey::buildRecord(kContact, kAnswers, survey::answerTexts()).text;
    for (int64_t i = 0; i < state.range(0); ++i) contents += record;
    std::ofstream(path, std::ios::binary) << contents;
  }
  state.counters["file_MB"] = std::filesystem::file_size(path) / 1e6;
  std::vector<std::string> answers = survey::answerTexts();
  for (auto _ : state) {
    survey::Record record = survey::buildRecord(kContact, kAnswers, answers);
    if (!survey::writeRecord(record.text, path, questions)) state.SkipWithError("append failed");
  }
}
BENCHMARK(BM_BuildAndAppendRecord)->Arg(1)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A tap on submit for an accepted form, until the record is on disk.
void BM_SubmitTapToRecordOnDisk(benchmark::State& state) {
  BenchHome home;
  kit::Headless headless;
  auto delegate = loadMainInterface();
  TolvikViewController* c = delegate->viewController.get();
  headless.launch(std::move(delegate));
  auto fill = [&](double x, double y, const char* text) {
    headless.tap(x, y);
    headless.type(text);
  };
  fill(224, 242, "Anna");
  fill(544, 242, "Berg");
  fill(224, 277, "5552013344");
  fill(544, 277, "anna.berg@example.com");
  headless.key("hide");
  headless.wait(0.5);
  // Hiking; Yes, No, Yes.
  headless.tap(300, 479);
  headless.tap(82, 644);
  headless.tap(154, 732);
  headless.tap(82, 820);
  headless.wait(0.5);
  for (auto _ : state) {
    headless.down(655, 960);
    headless.up(655, 960);
    state.PauseTiming();
    if (!c->formView->isHidden()) state.SkipWithError("the form was not accepted");
    // Back to the filled form for the next round, as if the flip had not happened.
    headless.wait(2);
    c->formView->setHidden(false);
    c->thankyouView->setHidden(true);
    headless.wait(0.4);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SubmitTapToRecordOnDisk)->Unit(benchmark::kMicrosecond)->Iterations(200);

// The floor: the same record's bytes written to the end of a file and flushed to disk.
void BM_BareWriteAndFsync(benchmark::State& state) {
  BenchHome home;
  std::string path = home.path + "/Documents/bare.txt";
  std::string bytes = survey::buildRecord(kContact, kAnswers, survey::answerTexts()).text;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  for (auto _ : state) {
    if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        fsync(fd) != 0) {
      state.SkipWithError("write failed");
    }
  }
  close(fd);
}
BENCHMARK(BM_BareWriteAndFsync)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--first-frame") return firstFrame();
  gProgram = "/proc/self/exe";
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) gProgram.assign(path, static_cast<size_t>(length));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
