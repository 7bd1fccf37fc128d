// The kiosk when storage fails under it: each fault in the table is set up on a running kiosk, a
// visitor submits, and then the fault is mended and the visitor submits again. While it lasts:
// "Sorry" and never a false thank-you, no torn record, no crash, no hang; afterwards the record
// lands right after what was stored before. No other name ever shows beside the data file. A
// copy to a removable drive that fails leaves nothing on the drive.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "kit/base/Files.h"
#include "kit/ui/AlertView.h"
#include "support/IoFaults.h"
#include "support/KioskHarness.h"
#include "survey/DataFile.h"
#include "survey/Tables.h"

namespace {

using testing_support::FormPoints;
using testing_support::injectIoFaults;
using testing_support::IoFaults;
using testing_support::Kiosk;
using testing_support::readAll;
using testing_support::writeAll;

const std::string kRecord =
    "\r\nAnna,Berg,(555) 201-3344,anna@example.com,F,34,\"Hiking,Camping,\",Yes,No,Yes,";

std::string header() {
  return survey::headerLine(survey::questionTexts());
}

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The bytes of the regular file at `path`; nullopt for anything else or nothing.
std::optional<std::string> regularContents(const std::string& path) {
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) return {};
  return readAll(path);
}

// A small file system of its own over the Documents folder, holding the data file as it was.
// Needs root; returns why it cannot be had, or "".
std::string mountSmallFileSystem(Kiosk& k, const std::string& options) {
  if (geteuid() != 0) return "needs root to mount a file system";
  std::string folder = k.home().documents(), kept = readAll(k.dataFile());
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
  }
  writeAll(k.dataFile(), kept);
  return "";
}

rlimit savedFileSizeLimit{};

// One way storage fails, set up on the running kiosk (it answers why it cannot be, to skip), and
// mended again.
struct Fault {
  const char* name;
  std::function<std::string(Kiosk&)> breakIt;
  std::function<void(Kiosk&)> mend;
  int refusals = 1;               // submissions answered "Sorry" before it is mended
  bool tornTail = false;          // the cut-back of a cut-short write fails too, so part stays
  bool refusedAtStartUp = false;  // the start-up check meets it too and says so
};

const std::function<void(Kiosk&)> kNothingToMend = [](Kiosk&) {};

// Sets the fault up, lets a visitor submit until it is mended, and checks what the kiosk did.
void submitThrough(const Fault& fault) {
  SCOPED_TRACE(fault.name);
  Kiosk k;
  const std::string path = k.dataFile(), folder = k.home().documents();
  if (std::string reason = fault.breakIt(k); !reason.empty()) {
    std::cout << "[ SKIPPED  ] " << fault.name << ": " << reason << "\n";
    return;
  }
  const std::optional<std::string> before = regularContents(path);
  const std::set<std::string> namesBefore = namesIn(folder);

  if (fault.refusedAtStartUp) {
    testing_support::StderrCapture capture;
    survey::checkDataFile(survey::questionTexts());
    EXPECT_NE(capture.finish().find("not a regular file"), std::string::npos);
  }

  k.fillCompleteForm();
  std::optional<std::string> afterFirst;
  for (int i = 0; i < fault.refusals; ++i) {
    k.tapAt(FormPoints::submit);
    k.advance(2);
    const kit::AlertView* alert = kit::AlertView::visibleAlert(k.app().screen());
    ASSERT_NE(alert, nullptr) << "refusal " << i + 1;
    EXPECT_EQ(alert->title, "Sorry");
    EXPECT_EQ(alert->message,
              "Your answers could not be saved. Please ask a member of staff for help.");
    if (i == 0) k.h().shot(testing_support::outputDirectory() + "/kiosk-not-saved.png");
    EXPECT_TRUE(k.c().thankyouView->isHidden());
    EXPECT_EQ(k.c().firstName->text(), "Anna");  // the form is kept for another try
    std::optional<std::string> now = regularContents(path);
    if (fault.tornTail) {
      // Part of the record stays while it cannot be cut back, but nothing is written after it.
      ASSERT_TRUE(now && before);
      EXPECT_EQ(now->substr(0, before->size()), *before);
      EXPECT_LT(now->size(), before->size() + kRecord.size());
      if (afterFirst) {
        EXPECT_EQ(*now, *afterFirst);
      }
      afterFirst = now;
    } else {
      EXPECT_EQ(now, before);
    }
    EXPECT_EQ(namesIn(folder), namesBefore);
    k.tapAt(alert->buttonFrame().center());
    k.advance(0.5);
  }

  fault.mend(k);
  k.tapAt(FormPoints::submit);
  EXPECT_EQ(kit::AlertView::visibleAlert(k.app().screen()), nullptr);
  EXPECT_FALSE(k.c().thankyouView->isHidden());
  EXPECT_EQ(readAll(path), (before ? *before : header()) + kRecord);
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"TolvikData.txt"});
  for (const auto& names : testing_support::namesAtFlushes()) {
    EXPECT_LE(names, std::set<std::string>{"TolvikData.txt"});
  }
  injectIoFaults({});
  umount2(folder.c_str(), MNT_DETACH);
}

TEST(IoFaults, EveryFaultShowsSorryLeavesNoTornRecordAndTheNextTryStoresTheRecord) {
  // A hang fails the test instead of stalling it.
  alarm(120);
  const Fault faults[] = {
      {"a file-size limit cuts the append short",
       [](Kiosk& k) {
         getrlimit(RLIMIT_FSIZE, &savedFileSizeLimit);
         rlimit limit = savedFileSizeLimit;
         limit.rlim_cur = std::filesystem::file_size(k.dataFile()) + 40;
         setrlimit(RLIMIT_FSIZE, &limit);
         return "";
       },
       [](Kiosk&) { setrlimit(RLIMIT_FSIZE, &savedFileSizeLimit); }},
      {"the file system is full",
       [](Kiosk& k) {
         // A file that ends 40 bytes short of a whole page, on a file system with no page left.
         std::string reason = mountSmallFileSystem(k, "size=16k");
         if (!reason.empty()) return reason;
         std::string filled = header() + "\r\n" + std::string(4096 - 40 - header().size() - 2, 'x');
         writeAll(k.dataFile(), filled);
         std::ofstream filler(k.home().documents() + "/filler", std::ios::binary);
         while (filler.write(std::string(4096, 'f').data(), 4096) && filler.flush()) {
         }
         return std::string();
       },
       [](Kiosk& k) { std::filesystem::remove(k.home().documents() + "/filler"); }},
      {"the folder is read-only",
       [](Kiosk& k) {
         std::string folder = k.home().documents();
         if (geteuid() != 0) {
           chmod(k.dataFile().c_str(), 0444);
           chmod(folder.c_str(), 0555);
           return std::string();
         }
         std::string reason = mountSmallFileSystem(k, "size=64k");
         if (reason.empty() &&
             mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
           reason = "cannot remount read-only";
         }
         return reason;
       },
       [](Kiosk& k) {
         std::string folder = k.home().documents();
         if (geteuid() != 0) {
           chmod(folder.c_str(), 0755);
           chmod(k.dataFile().c_str(), 0644);
         } else {
           mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT, nullptr);
         }
       }},
      {"a folder stands at the data file's path",
       [](Kiosk& k) {
         std::filesystem::remove(k.dataFile());
         std::filesystem::create_directory(k.dataFile());
         return "";
       },
       [](Kiosk& k) { std::filesystem::remove(k.dataFile()); }, 1, false, true},
      {"a FIFO stands at the data file's path",
       [](Kiosk& k) {
         std::filesystem::remove(k.dataFile());
         mkfifo(k.dataFile().c_str(), 0644);
         return "";
       },
       [](Kiosk& k) { std::filesystem::remove(k.dataFile()); }, 1, false, true},
      {"the data file is deleted while the kiosk runs",
       [](Kiosk& k) {
         std::filesystem::remove(k.dataFile());
         return "";
       },
       kNothingToMend, 0},
      {"a write fails",
       [](Kiosk& k) {
         injectIoFaults({.folder = k.home().documents(), .writeErrors = 1});
         return "";
       },
       kNothingToMend},
      {"a flush to disk fails",
       [](Kiosk& k) {
         injectIoFaults({.folder = k.home().documents(), .flushErrors = 1});
         return "";
       },
       kNothingToMend},
      {"a write fails while the file is created again",
       [](Kiosk& k) {
         std::filesystem::remove(k.dataFile());
         injectIoFaults({.folder = k.home().documents(), .writeErrors = 1});
         return "";
       },
       kNothingToMend},
      {"a write is cut short and cutting it back fails twice",
       [](Kiosk& k) {
         injectIoFaults({.folder = k.home().documents(), .shortWrites = 1, .cutBackErrors = 2});
         return "";
       },
       kNothingToMend, 2, true},
  };
  for (const Fault& fault : faults) submitThrough(fault);
  alarm(0);
}

}  // namespace

namespace {

// A copy to a removable drive that fails at any step, as a stick pulled out or full fails, leaves
// nothing on the drive under any name, and says which file failed; once mended, it is whole.
TEST(IoFaults, ACopyToADriveThatFailsLeavesNothingOnIt) {
  testing_support::TempHome home;
  const std::string drive = home.path() + "/STICK";
  std::filesystem::create_directory(drive);
  const std::string data(200000, 'x');
  IoFaults writeFails{drive}, cutShort{drive}, flushFails{drive};
  writeFails.writeErrors = 1;
  cutShort.shortWrites = 1;
  flushFails.flushErrors = 1;
  for (const IoFaults& fault : {writeFails, cutShort, flushFails}) {
    injectIoFaults(fault);
    kit::FileStatus copied = kit::copyToNewFile(drive, "TolvikData-hall", ".csv", data);
    injectIoFaults({});
    EXPECT_FALSE(copied);
    EXPECT_NE(copied.error.find("TolvikData-hall.csv: "), std::string::npos) << copied.error;
    EXPECT_TRUE(namesIn(drive).empty()) << copied.error;
  }
  std::string name;
  ASSERT_TRUE(kit::copyToNewFile(drive, "TolvikData-hall", ".csv", data, &name));
  EXPECT_EQ(namesIn(drive), std::set<std::string>{name});
  EXPECT_EQ(readAll(drive + "/" + name), data);
}

}  // namespace
