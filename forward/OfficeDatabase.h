#pragma once

// The office's PostgreSQL table of answers, reached through libpq without ever waiting long:
// every wait ends at its deadline, or at once when the stop descriptor becomes readable.

#include <cstdint>
#include <string>
#include <vector>

#include "kit/base/Clock.h"

using PGconn = struct pg_conn;

// The table that collect.sql makes, and the columns the forwarder writes: the key first, then the
// ten answer columns in the data file's order.
inline constexpr const char* kOfficeTable = "tolvik_responses";

class OfficeDatabase {
 public:
  // `database` is a libpq connection string; `stopFd` a descriptor that becomes readable when the
  // program is to stop.
  OfficeDatabase(std::string database, int stopFd);
  ~OfficeDatabase();
  OfficeDatabase(const OfficeDatabase&) = delete;
  OfficeDatabase& operator=(const OfficeDatabase&) = delete;

  enum class Outcome { Done, Failed, Stopped };
  struct Result {
    Outcome outcome = Outcome::Done;
    std::string error;       // one line, when failed
    std::string state = "";  // the server's SQLSTATE, when it refused the statement
    std::uint64_t new_ = 0;  // rows the office did not hold yet, after a batch
  };

  // The connection string's own fault, if it has one: it cannot be read, or it holds a password
  // (which belongs in the password file). Empty when it is fine.
  static std::string problemWith(const std::string& database);

  bool isConnected() const { return connection_ != nullptr; }
  // Connects within `connectTimeout` seconds and checks that the table has every column the
  // forwarder writes, may be written to, and has a unique key on (kiosk, data_file, place).
  Result connect(double connectTimeout, double statementTimeout);
  // One batch of records, in one transaction: record i goes in at place `firstPlace + i`. A row
  // whose key the table holds already is left as it is.
  Result insert(const std::string& kiosk, const std::string& dataFile, std::uint64_t firstPlace,
                const std::vector<std::vector<std::string>>& records, double statementTimeout);
  void disconnect();

 private:
  enum class Wait { Ready, TimedOut, Stopped };
  Wait waitFor(bool forWriting, double deadline);
  // Sends a query and reads all its results; the last one's rows go to `rows`.
  Result run(const std::string& sql, const std::vector<std::string>& parameters, double timeout,
             std::vector<std::vector<std::string>>* rows = nullptr);
  Result failure(const std::string& error);

  std::string database_;
  int stopFd_;
  PGconn* connection_ = nullptr;
  kit::SteadyClock clock_;
};
