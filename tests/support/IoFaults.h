#pragma once

// Faults of a failing disk, injected into the system calls that write, flush and cut back files
// inside one folder. The rest of the process (its log, the test's own output) is untouched.

#include <set>
#include <string>
#include <vector>

namespace testing_support {

struct IoFaults {
  std::string folder;     // the files hit are those inside it
  int writeErrors = 0;    // writes that fail with EIO
  int shortWrites = 0;    // writes cut to half, each followed by one that fails with ENOSPC
  int flushErrors = 0;    // fsyncs that fail with EIO
  int cutBackErrors = 0;  // ftruncates that fail with EIO
};

// Replaces the faults to come; IoFaults{} injects none.
void injectIoFaults(const IoFaults& faults);

// The names in the folder at each flush of a file inside it since the faults were injected:
// what a crash at that moment would leave.
std::vector<std::set<std::string>> namesAtFlushes();

}  // namespace testing_support
