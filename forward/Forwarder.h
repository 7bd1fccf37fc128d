#pragma once

// Follows the data file and sends its records to the office's database: the whole records after
// the confirmed point, in batches of one transaction each. The confirmed point moves on in the
// state file beside the data file only after the office has committed, and each row's key (the
// kiosk's name, the data file's identity, the record's place in it) makes a batch sent again
// harmless. A failure is retried after 1 s, then twice as long each time up to a minute.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "forward/OfficeDatabase.h"
#include "survey/ForwardState.h"

struct ForwarderSettings {
  std::string database;  // the libpq connection string
  std::string kiosk;     // this kiosk's name in each row's key
  std::string dataFile;  // the data file's path
};

// Timings, in seconds, and the largest batch.
inline constexpr double kPollInterval = 1;
inline constexpr double kFirstRetry = 1;
inline constexpr double kLongestRetry = 60;
inline constexpr double kConnectTimeout = 10;
inline constexpr double kStatementTimeout = 30;
inline constexpr std::size_t kBatchRecords = 10000;

class Forwarder {
 public:
  // `stopFd` becomes readable when the program is to stop; every wait ends at once then.
  Forwarder(ForwarderSettings settings, int stopFd);

  enum class Until { Stopped, AllSent };
  // Forwards until stopped: 0. With AllSent, also stops when no whole record is left to send (0)
  // or at the first failure (1). A connection string that cannot be used: 2, at once.
  int run(Until until);

 private:
  struct Batch {
    std::vector<std::vector<std::string>> records;
    std::uint64_t end = 0;  // the file offset just past the batch's last record
  };
  // The next whole records after the confirmed point, or none (no file, nothing new). Notices a
  // new data file and starts it from its first record.
  Batch readBatch();
  OfficeDatabase::Result send(const Batch& batch);
  void confirm(const Batch& batch, std::uint64_t newRows);
  void waitForOffice(const std::string& error);
  void stopWaiting();
  void saveState();
  // Waits `seconds`; true when stopped meanwhile.
  bool pause(double seconds);

  ForwarderSettings settings_;
  int stopFd_;
  OfficeDatabase office_;
  std::string statePath_;
  survey::ForwardState state_;
  // The header's fields in the data file that the state is about, once read.
  std::optional<std::size_t> headerFields_;
  std::size_t pieceSize_;
  std::string lastSaveError_;
};
