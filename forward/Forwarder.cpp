#include "forward/Forwarder.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>

#include "kit/base/Log.h"
#include "survey/DataFile.h"

namespace {

// The bytes read at a time: enough for a full batch of usual records; doubled while a single
// record does not fit.
constexpr std::size_t kPieceSize = 1 << 22;
constexpr std::size_t kHeaderPiece = 1 << 16;

}  // namespace

Forwarder::Forwarder(ForwarderSettings settings, int stopFd)
    : settings_(std::move(settings)),
      stopFd_(stopFd),
      office_(settings_.database, stopFd),
      statePath_(survey::forwardStatePath(settings_.dataFile)),
      pieceSize_(kPieceSize) {
  // Without a state file everything is sent again, which the keys absorb.
  if (auto saved = survey::readForwardState(statePath_)) state_ = *saved;
}

int Forwarder::run(Until until) {
  if (std::string problem = OfficeDatabase::problemWith(settings_.database); !problem.empty()) {
    kit::log("%s", problem.c_str());
    waitForOffice(problem);
    return 2;
  }
  kit::log("Forwarding %s to the office as kiosk \"%s\"", settings_.dataFile.c_str(),
           settings_.kiosk.c_str());
  double retry = 0;
  for (;;) {
    Batch batch = readBatch();
    if (batch.records.empty()) {
      stopWaiting();
      if (until == Until::AllSent) return 0;
      if (pause(kPollInterval)) return 0;
      continue;
    }
    OfficeDatabase::Result result = send(batch);
    if (result.outcome == OfficeDatabase::Outcome::Stopped) return 0;
    if (result.outcome == OfficeDatabase::Outcome::Done) {
      confirm(batch, result.new_);
      retry = 0;
      continue;
    }
    waitForOffice(result.error);
    if (until == Until::AllSent) {
      kit::log("Not sent to the office: %s", result.error.c_str());
      return 1;
    }
    retry = retry == 0 ? kFirstRetry : std::min(retry * 2, kLongestRetry);
    kit::log("Not sent to the office: %s; trying again in %g s", result.error.c_str(), retry);
    if (pause(retry)) return 0;
  }
}

Forwarder::Batch Forwarder::readBatch() {
  Batch batch;
  // None yet (the kiosk makes it), or not a file that can be read: nothing to send.
  std::optional<kit::FileReader> file = kit::FileReader::open(settings_.dataFile);
  if (!file) return batch;
  const std::string identity = survey::dataFileIdentity(file->descriptor());
  const std::uint64_t size = file->size();
  if (identity.empty()) return batch;
  if (identity != state_.dataFile) {
    if (!state_.dataFile.empty()) {
      kit::log("A new data file (%s): forwarding it from its first record", identity.c_str());
    }
    state_.dataFile = identity;
    state_.offset = state_.sent = 0;
    headerFields_.reset();
  }
  if (size < state_.offset) {
    kit::log(
        "The data file is shorter than the point the office confirmed (%llu bytes, not "
        "%llu): forwarding it again from its first record",
        static_cast<unsigned long long>(size), static_cast<unsigned long long>(state_.offset));
    state_.offset = state_.sent = 0;
  }
  // Without a whole header line there are no records yet.
  if (!headerFields_) {
    if (std::optional<std::string> start = file->bytes(0, kHeaderPiece)) {
      headerFields_ = survey::headerFieldCount(*start);
    }
  }
  while (headerFields_ && state_.offset < size) {
    std::optional<std::string> piece = file->bytes(state_.offset, state_.offset + pieceSize_);
    if (!piece) break;
    const bool reachesEnd = state_.offset + piece->size() >= size;
    survey::WholeRecords whole =
        survey::readWholeRecords(*piece,
                                 state_.offset == 0 ? survey::CsvReader::Start::TextStart
                                                    : survey::CsvReader::Start::LineEnd,
                                 reachesEnd, *headerFields_, kBatchRecords);
    // A record larger than the piece: a larger piece.
    if (whole.records.empty() && !reachesEnd) {
      pieceSize_ *= 2;
      continue;
    }
    // Past a header with no records after it yet, nothing is sent, and nothing is confirmed.
    if (!whole.records.empty()) {
      batch.records = std::move(whole.records);
      batch.end = state_.offset + whole.end;
    }
    break;
  }
  return batch;
}

OfficeDatabase::Result Forwarder::send(const Batch& batch) {
  if (!office_.isConnected()) {
    OfficeDatabase::Result connected = office_.connect(kConnectTimeout, kStatementTimeout);
    if (connected.outcome != OfficeDatabase::Outcome::Done) return connected;
  }
  return office_.insert(settings_.kiosk, state_.dataFile, state_.sent + 1, batch.records,
                        kStatementTimeout);
}

void Forwarder::confirm(const Batch& batch, std::uint64_t newRows) {
  const std::uint64_t first = state_.sent + 1;
  state_.offset = batch.end;
  state_.sent += batch.records.size();
  state_.waitingSince = 0;
  state_.error.clear();
  saveState();
  kit::log("Sent records %llu to %llu to the office (%llu new to it)",
           static_cast<unsigned long long>(first), static_cast<unsigned long long>(state_.sent),
           static_cast<unsigned long long>(newRows));
}

void Forwarder::waitForOffice(const std::string& error) {
  if (state_.waitingSince && state_.error == error) return;
  if (!state_.waitingSince) state_.waitingSince = std::time(nullptr);
  state_.error = error;
  saveState();
}

void Forwarder::stopWaiting() {
  if (!state_.waitingSince) return;
  state_.waitingSince = 0;
  state_.error.clear();
  saveState();
}

void Forwarder::saveState() {
  kit::FileStatus saved = survey::writeForwardState(statePath_, state_);
  // Without it the records are sent again after a restart, which the keys absorb: said once.
  if (!saved && saved.error != lastSaveError_) kit::log("%s", saved.error.c_str());
  lastSaveError_ = saved ? "" : saved.error;
}

bool Forwarder::pause(double seconds) {
  pollfd stop{stopFd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&stop, 1, static_cast<int>(std::lround(seconds * 1000)));
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}
