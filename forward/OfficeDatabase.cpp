#include "forward/OfficeDatabase.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

#include "kit/base/Utf8.h"
#include "survey/Record.h"

namespace {

// The server's code for an insert that meets an existing key.
constexpr const char* kUniqueViolation = "23505";

constexpr const char* kAnswerColumns[] = {"first_name",
                                          "last_name",
                                          "phone",
                                          "email",
                                          "gender",
                                          "age",
                                          "activities",
                                          "owns_tolvik",
                                          "buying_hiking_boots",
                                          "buying_trail_shoes"};
constexpr std::size_t kAnswerCount = std::size(kAnswerColumns);
constexpr const char* kKeyColumns[] = {"kiosk", "data_file", "place"};

struct ResultFree {
  void operator()(PGresult* result) const { PQclear(result); }
};
using PgResult = std::unique_ptr<PGresult, ResultFree>;

// The first line of a libpq or server message, its runs of blanks made one space.
std::string firstLine(const char* message) {
  std::string text;
  for (const char* c = message ? message : ""; *c && *c != '\n'; ++c) {
    const bool blank = *c == ' ' || *c == '\t' || *c == '\r';
    if (!blank) {
      text += *c;
    } else if (!text.empty() && text.back() != ' ') {
      text += ' ';
    }
  }
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? "the office's database gave no reason" : text;
}

// The ten columns of a record as the data file stores them. A record with fewer fields leaves the
// last columns empty; one with more (text typed with commas before the kiosk quoted it) keeps the
// rest of its fields, as CSV, in the last column, so that nothing is lost.
std::vector<std::string> answerColumns(const std::vector<std::string>& fields) {
  std::size_t count = fields.size();
  if (count > kAnswerCount && fields.back().empty()) --count;  // after the record's last comma
  std::vector<std::string> columns(kAnswerCount);
  for (std::size_t i = 0; i < std::min(count, kAnswerCount); ++i) columns[i] = fields[i];
  for (std::size_t i = kAnswerCount; i < count; ++i) {
    if (i == kAnswerCount) columns.back() = survey::csvField(columns.back());
    columns.back() += "," + survey::csvField(fields[i]);
  }
  return columns;
}

// A text array literal for the server; text it cannot store (bytes that are not UTF-8, NUL)
// becomes U+FFFD.
void appendElement(std::string& array, std::string_view value) {
  array += array.size() > 1 ? ",\"" : "\"";
  std::string text = kit::utf8::makeValid(value);
  for (char c : text) {
    if (c == '\0') {
      kit::utf8::append(array, kit::utf8::kReplacementCharacter);
      continue;
    }
    if (c == '"' || c == '\\') array += '\\';
    array += c;
  }
  array += '"';
}

std::string joined(const char* const* names, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i ? ", " : "") + std::string(names[i]);
  return text;
}

}  // namespace

OfficeDatabase::OfficeDatabase(std::string database, int stopFd)
    : database_(std::move(database)), stopFd_(stopFd) {}

OfficeDatabase::~OfficeDatabase() {
  disconnect();
}

std::string OfficeDatabase::problemWith(const std::string& database) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(database.c_str(), &error);
  // libpq's message may quote the string, password and all: it is not repeated.
  if (!options) {
    PQfreemem(error);
    return "[Collect] Database= is not a connection string that libpq can read";
  }
  bool password = false;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    if (std::string(option->keyword) == "password" && option->val && *option->val) password = true;
  }
  PQconninfoFree(options);
  if (password) {
    return "[Collect] Database= holds a password: it belongs in the kiosk user's password file "
           "(~/.pgpass)";
  }
  return "";
}

void OfficeDatabase::disconnect() {
  if (connection_) PQfinish(connection_);
  connection_ = nullptr;
}

OfficeDatabase::Result OfficeDatabase::failure(const std::string& error) {
  disconnect();
  return {Outcome::Failed, error};
}

OfficeDatabase::Wait OfficeDatabase::waitFor(bool forWriting, double deadline) {
  for (;;) {
    double left = deadline - clock_.now();
    if (left <= 0) return Wait::TimedOut;
    pollfd fds[2] = {{stopFd_, POLLIN, 0},
                     {PQsocket(connection_), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0}};
    int ready = ::poll(fds, 2, static_cast<int>(std::ceil(left * 1000)));
    if (ready < 0 && errno != EINTR) return Wait::TimedOut;
    if (fds[0].revents) return Wait::Stopped;
    if (fds[1].revents) return Wait::Ready;
  }
}

OfficeDatabase::Result OfficeDatabase::connect(double connectTimeout, double statementTimeout) {
  disconnect();
  const char* keywords[] = {"fallback_application_name", "dbname", nullptr};
  const char* values[] = {"tolvik-forward", database_.c_str(), nullptr};
  connection_ = PQconnectStartParams(keywords, values, 1);
  if (!connection_) return failure("out of memory");
  if (PQstatus(connection_) == CONNECTION_BAD) {
    return failure(firstLine(PQerrorMessage(connection_)));
  }
  // Notices are the server's chatter to a person at a prompt; nobody reads them here.
  PQsetNoticeProcessor(
      connection_, [](void*, const char*) {}, nullptr);
  const double deadline = clock_.now() + connectTimeout;
  PostgresPollingStatusType status = PGRES_POLLING_WRITING;
  while (status != PGRES_POLLING_OK) {
    if (status == PGRES_POLLING_FAILED) return failure(firstLine(PQerrorMessage(connection_)));
    switch (waitFor(status == PGRES_POLLING_WRITING, deadline)) {
      case Wait::Stopped:
        disconnect();
        return {Outcome::Stopped, ""};
      case Wait::TimedOut:
        return failure("no answer from the office's database within " +
                       std::to_string(static_cast<int>(connectTimeout)) + " s");
      case Wait::Ready:
        break;
    }
    status = PQconnectPoll(connection_);
  }
  PQsetnonblocking(connection_, 1);

  // The server gives up on a statement a little before the forwarder would.
  std::vector<std::vector<std::string>> rows;
  const std::string sql =
      "SET statement_timeout = " + std::to_string(static_cast<int>(statementTimeout * 900)) +
      "; SET client_encoding = 'UTF8'; "
      "SELECT a.attname::text, has_column_privilege(a.attrelid, a.attnum, 'INSERT')::text, "
      "EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid AND i.indisunique "
      "AND i.indpred IS NULL AND i.indnatts = 3 AND (SELECT array_agg(k.attname::text ORDER BY "
      "k.attname) FROM pg_attribute k WHERE k.attrelid = i.indrelid AND k.attnum = ANY(i.indkey))"
      " = ARRAY['data_file', 'kiosk', 'place'])::text "
      "FROM pg_attribute a WHERE a.attrelid = to_regclass('" +
      std::string(kOfficeTable) + "') AND a.attnum > 0 AND NOT a.attisdropped";
  Result checked = run(sql, {}, statementTimeout, &rows);
  if (checked.outcome != Outcome::Done) {
    disconnect();
    return checked;
  }

  const std::string table = kOfficeTable;
  if (rows.empty()) {
    return failure("the office's database has no table " + table + ": run collect.sql there");
  }
  std::string missing, notWritable;
  std::vector<const char*> columns(std::begin(kKeyColumns), std::end(kKeyColumns));
  columns.insert(columns.end(), std::begin(kAnswerColumns), std::end(kAnswerColumns));
  auto add = [](std::string& list, const char* column) {
    list += (list.empty() ? "" : ", ") + std::string(column);
  };
  for (const char* column : columns) {
    auto row = std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r[0] == column; });
    if (row == rows.end()) {
      add(missing, column);
    } else if ((*row)[1] != "true") {
      add(notWritable, column);
    }
  }
  if (!missing.empty()) {
    return failure("the table " + table + " has no column " + missing +
                   ": make it with collect.sql");
  }
  if (!notWritable.empty()) {
    return failure("this kiosk's role may not insert into " + table + " (" + notWritable +
                   "): grant it as collect.sql does");
  }
  if (std::none_of(rows.begin(), rows.end(), [](auto& r) { return r[2] == "true"; })) {
    return failure("the table " + table +
                   " has no unique key on (kiosk, data_file, place): a record sent again would "
                   "be stored twice");
  }
  return {};
}

OfficeDatabase::Result OfficeDatabase::insert(const std::string& kiosk, const std::string& dataFile,
                                              std::uint64_t firstPlace,
                                              const std::vector<std::vector<std::string>>& records,
                                              double statementTimeout) {
  // One array per column, unnested into rows by the server: one statement, one transaction.
  std::vector<std::string> parameters{kiosk, dataFile, "{"};
  parameters.resize(3 + kAnswerCount, "{");
  for (std::size_t r = 0; r < records.size(); ++r) {
    parameters[2] += (r ? "," : "") + std::to_string(firstPlace + r);
    std::vector<std::string> columns = answerColumns(records[r]);
    for (std::size_t c = 0; c < kAnswerCount; ++c) appendElement(parameters[3 + c], columns[c]);
  }
  for (std::size_t p = 2; p < parameters.size(); ++p) parameters[p] += '}';

  std::string sql = "INSERT INTO " + std::string(kOfficeTable) + " (" +
                    joined(kKeyColumns, std::size(kKeyColumns)) + ", " +
                    joined(kAnswerColumns, kAnswerCount) +
                    ") SELECT $1, $2, r.* FROM unnest($3::bigint[]";
  for (std::size_t c = 0; c < kAnswerCount; ++c) sql += ", $" + std::to_string(4 + c) + "::text[]";
  sql += ") AS r";

  // A batch the office already holds in part (sent again after a crash or a lost answer) meets
  // its keys and is sent once more, adding only what is new. Checking each row's key as it goes
  // costs the server twice the time, so only such a batch pays for it.
  Result result = run(sql, parameters, statementTimeout);
  if (result.outcome == Outcome::Failed && result.state == kUniqueViolation) {
    result = run(sql + " ON CONFLICT DO NOTHING", parameters, statementTimeout);
  }
  return result;
}

OfficeDatabase::Result OfficeDatabase::run(const std::string& sql,
                                           const std::vector<std::string>& parameters,
                                           double timeout,
                                           std::vector<std::vector<std::string>>* rows) {
  const double deadline = clock_.now() + timeout;
  std::vector<const char*> values;
  for (const std::string& p : parameters) values.push_back(p.c_str());
  const bool sent = parameters.empty() ? PQsendQuery(connection_, sql.c_str())
                                       : PQsendQueryParams(connection_, sql.c_str(),
                                                           static_cast<int>(values.size()), nullptr,
                                                           values.data(), nullptr, nullptr, 0);
  if (!sent) return failure(firstLine(PQerrorMessage(connection_)));

  auto wait = [&](bool forWriting) -> std::optional<Result> {
    switch (waitFor(forWriting, deadline)) {
      case Wait::Stopped:
        disconnect();
        return Result{Outcome::Stopped, ""};
      case Wait::TimedOut:
        return failure("no answer from the office's database within " +
                       std::to_string(static_cast<int>(timeout)) + " s");
      case Wait::Ready:
        if (!PQconsumeInput(connection_)) return failure(firstLine(PQerrorMessage(connection_)));
        return std::nullopt;
    }
    return std::nullopt;
  };
  for (int flushed; (flushed = PQflush(connection_)) != 0;) {
    if (flushed < 0) return failure(firstLine(PQerrorMessage(connection_)));
    if (auto stopped = wait(true)) return *stopped;
  }

  Result outcome;
  for (;;) {
    while (PQisBusy(connection_)) {
      if (auto stopped = wait(false)) return *stopped;
    }
    PgResult result(PQgetResult(connection_));
    if (!result) break;
    switch (PQresultStatus(result.get())) {
      case PGRES_COMMAND_OK:
        outcome.new_ = std::strtoull(PQcmdTuples(result.get()), nullptr, 10);
        break;
      case PGRES_TUPLES_OK:
        if (rows) {
          rows->clear();
          for (int r = 0; r < PQntuples(result.get()); ++r) {
            rows->emplace_back();
            for (int c = 0; c < PQnfields(result.get()); ++c) {
              rows->back().push_back(PQgetvalue(result.get(), r, c));
            }
          }
        }
        break;
      default:
        if (outcome.outcome == Outcome::Done) {
          const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
          outcome = {Outcome::Failed,
                     firstLine(PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY)),
                     state ? state : ""};
        }
        break;
    }
  }
  if (outcome.outcome == Outcome::Failed) {
    // A broken connection is made afresh next time; a refused statement leaves it as it is.
    if (PQstatus(connection_) == CONNECTION_BAD) disconnect();
  }
  return outcome;
}
