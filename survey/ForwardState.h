#pragma once

// How far the data file has reached the office's database: a small key file beside the data file,
// written by tolvik-forward after each commit and read by the staff panel.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "kit/base/Files.h"

namespace survey {

// "14:02" today, "5 Dec 14:02" on another day, in local time.
std::string timeOfDay(std::time_t when, std::time_t now);

// The file `name` in the data file's folder.
std::string besideDataFile(const std::string& dataFile, const std::string& name);

// "TolvikData.forwarded" in the data file's folder.
std::string forwardStatePath(const std::string& dataFile);

// What tells one data file from another: when it was made and its inode number
// ("2026-12-06T21:06:24.359487878Z/10953196"). A file keeps it when it is renamed or moved; a new
// file begun at the same path has a new one. Empty when there is no file. Where the file system
// does not record when a file was made, the inode number alone.
std::string dataFileIdentity(const std::string& path);
std::string dataFileIdentity(int fd);

struct ForwardState {
  std::string dataFile;           // the identity of the data file this is about
  std::uint64_t offset = 0;       // the end of the last record the office has confirmed
  std::uint64_t sent = 0;         // how many records lie before it
  std::int64_t waitingSince = 0;  // Unix time of the first failure of the present wait, or 0
  std::string error;              // why the office has not been reached, in one line

  bool operator==(const ForwardState&) const = default;
};

// Nullopt when there is no state file or it cannot be read: everything is then to be sent.
std::optional<ForwardState> readForwardState(const std::string& path);
kit::FileStatus writeForwardState(const std::string& path, const ForwardState& state);

// The staff panel's line for a data file with `stored` responses: "All 12 sent to the office", or
// "10 of 12 sent", then "; waiting for the office since 14:02: " and the error while records wait
// for an office that is not reached. A state about another data file counts none of this one's as
// sent.
std::string officeLine(const std::optional<ForwardState>& state, const std::string& identity,
                       std::size_t stored, std::time_t now);

}  // namespace survey
