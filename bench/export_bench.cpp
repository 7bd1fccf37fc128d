// The export of a 100,000-record data file by e-mail, as staff feel it: a tap on "Email data"
// until the composer is fully shown, and Send until the result comes back, next to the system's
// sendmail (msmtp, to an SMTP server on loopback) handed the same message prebuilt. While it
// sends, the screen keeps drawing: the longest gap between two frames is reported. The runner's
// peak memory while it exports a 50 MB data file is set against its export of a 50 kB one.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "kit/mail/MailMessage.h"
#include "kit/mail/MailTransport.h"
#include "support/KioskHarness.h"
#include "support/MailSupport.h"

using testing_support::Kiosk;
using testing_support::StaffPoints;

namespace {

constexpr int kRecords = 100000;

std::string dataFile() {
  std::string data = "First Name,Last Name,Phone,Email,Gender,Age,Q1,Q2,Q3,Q4,";
  for (int i = 0; i < kRecords; ++i) {
    data += "\r\nAnna " + std::to_string(i) +
            ",Berg,(555) 201-3344,anna.berg@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,";
  }
  return data;
}

// The kiosk on its signed-in staff screen with the large data file, and a mail server.
struct Staff {
  Kiosk k;
  testing_support::SmtpServer server;
  std::string data = dataFile();
  Staff() {
    testing_support::writeAll(k.dataFile(), data);
    k.openStaffScreen();
    k.signIn();
    k.advance(1.1);
  }
  kit::ViewController* composer() { return k.c().modalViewController(); }
  // One frame as the window's loop makes it, at most 60 a second: the clock moves on, the run
  // loop turns, the screen is drawn. Returns how long the work took, and how much of the main
  // thread's own time it took (the rest is other threads and programs taking the processors).
  struct Took {
    double wall, cpu;
  };
  Took frame() {
    auto start = std::chrono::steady_clock::now();
    double cpuStart = threadSeconds();
    k.h().clock().advance(1.0 / 60);
    k.app().runOnce();
    k.h().shot("");
    auto took = std::chrono::steady_clock::now() - start;
    double cpu = threadSeconds() - cpuStart;
    std::this_thread::sleep_until(start + std::chrono::microseconds(16667));
    return {std::chrono::duration<double>(took).count(), cpu};
  }
  static double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
  void leaveComposer() {
    k.tapAt(StaffPoints::composerCancel);
    k.tapAt(StaffPoints::deleteDraft);
    k.advance(0.5);
  }
};

Staff* shared = nullptr;  // made before the benchmarks run, gone after

Staff& staff() {
  return *shared;
}

void BM_TapToComposerShown(benchmark::State& state) {
  Staff& s = staff();
  for (auto _ : state) {
    s.k.tapAt(StaffPoints::emailData);
    kit::View* sliding = s.composer()->view()->superview();
    while (sliding->presentationCenter().y > kit::kScreenHeight / 2) s.frame();
    state.PauseTiming();
    s.leaveComposer();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TapToComposerShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_SendToResult(benchmark::State& state) {
  Staff& s = staff();
  double longestFrame = 0, longestFrameCpu = 0;
  size_t frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.k.tapAt(StaffPoints::emailData);
    s.k.advance(0.5);
    s.k.typeText("office@example.com");
    state.ResumeTiming();
    s.k.tapAt(StaffPoints::composerSend);
    while (s.composer()) {
      Staff::Took took = s.frame();
      longestFrame = std::max(longestFrame, took.wall);
      longestFrameCpu = std::max(longestFrameCpu, took.cpu);
      ++frames;
    }
  }
  if (s.server.messages().size() != static_cast<size_t>(state.iterations())) {
    state.SkipWithError("not every message arrived");
  }
  // Frames drawn per second of sending, out of 60.
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.counters["longest_frame_ms"] = longestFrame * 1000;
  state.counters["longest_frame_cpu_ms"] = longestFrameCpu * 1000;
}
BENCHMARK(BM_SendToResult)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The same message, built once, handed straight to sendmail.
void BM_SendmailPrebuilt(benchmark::State& state) {
  Staff& s = staff();
  kit::MailMessage message;
  message.toRecipients = {"office@example.com"};
  message.subject = "Tolvik Event - Form Submission Data";
  message.body = "Tolvik data file attached!";
  message.bodyIsHTML = true;
  message.attachments.push_back({s.data, "text/csv", "TolvikData.csv"});
  std::string prebuilt = kit::mimeMessage(message, "");
  for (auto _ : state) {
    if (!kit::deliverWithSendmail(prebuilt, {}).sent) state.SkipWithError("not sent");
  }
}
BENCHMARK(BM_SendmailPrebuilt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The runner in a home of its own exporting a data file of about `bytes`, through a sendmail that
// counts the message: its peak resident memory in kB, or -1 when the file was not sent.
long exportPeakKilobytes(std::size_t bytes) {
  testing_support::TempHome home;
  // Written a record at a time: the benchmark's own memory would count as the runner's.
  std::filesystem::create_directories(home.documents());
  {
    std::ofstream file(home.documents() + "/TolvikData.txt", std::ios::binary);
    std::string piece = "First Name,Last Name,Phone,Email,Gender,Age,Q1,Q2,Q3,Q4,";
    for (std::size_t written = 0, i = 0; written < bytes; written += piece.size(), ++i) {
      file << piece;
      piece = "\r\nAnna " + std::to_string(i) +
              ",Berg,(555) 201-3344,anna.berg@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,";
    }
  }
  std::filesystem::create_directories(home.path() + "/.config/tolvik");
  testing_support::writeAll(home.path() + "/sendmail",
                            "#!/bin/sh\nwc -c >" + home.path() + "/sent\n");
  std::filesystem::permissions(home.path() + "/sendmail", std::filesystem::perms::owner_all);
  testing_support::writeAll(home.path() + "/.config/tolvik/kiosk.conf",
                            "[Mail]\nSendmail=" + home.path() + "/sendmail\n");
  // Sign in, open the composer, address and send.
  testing_support::writeAll(home.path() + "/export.txt",
                            "tap 693 75 3\nwait 1.1\ntype kiosk\ntap 445 310\ntype tamarind\n"
                            "tap 500 360\nwait 1.1\ntap 460 260\nwait 0.5\n"
                            "type office@example.com\ntap 728 42\nwait 1\n");
  pid_t child = fork();
  if (child == 0) {
    setenv("HOME", home.path().c_str(), 1);
    std::string runner = TOLVIK_BUILD_DIR "/tolvik-replay", script = home.path() + "/export.txt";
    execl(runner.c_str(), runner.c_str(), script.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  // The message, in base64, is larger than the file: anything less was not an export.
  const bool sent = std::stoul("0" + testing_support::readAll(home.path() + "/sent")) > bytes;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && sent ? usage.ru_maxrss : -1;
}

// Goal: the 50 MB export's peak within 1.5 times the 50 kB one's.
void BM_ExportPeakMemory(benchmark::State& state) {
  long small = 0, large = 0;
  for (auto _ : state) {
    small = exportPeakKilobytes(50'000);
    large = exportPeakKilobytes(50'000'000);
    if (small <= 0 || large <= 0) state.SkipWithError("the runner failed");
  }
  state.counters["peak_50kB_MiB"] = static_cast<double>(small) / 1024;
  state.counters["peak_50MB_MiB"] = static_cast<double>(large) / 1024;
  state.counters["ratio"] = static_cast<double>(large) / static_cast<double>(small);
}
BENCHMARK(BM_ExportPeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  // The kiosk logs the whole data file at each export; the results go to standard output.
  int null = open("/dev/null", O_WRONLY);
  dup2(null, STDERR_FILENO);
  close(null);
  benchmark::Initialize(&argc, argv);
  auto kiosk = std::make_unique<Staff>();
  shared = kiosk.get();
  benchmark::RunSpecifiedBenchmarks();
  kiosk.reset();
  benchmark::Shutdown();
  return 0;
}
