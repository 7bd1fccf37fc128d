#include "support/OfficeServer.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/TestSupport.h"

extern char** environ;

namespace testing_support {

namespace {

// The server's programs: initdb, pg_ctl, postgres.
std::string serverPrograms() {
  for (const auto& version : std::filesystem::directory_iterator("/usr/lib/postgresql")) {
    if (std::filesystem::exists(version.path() / "bin" / "initdb")) {
      return (version.path() / "bin").string();
    }
  }
  throw std::runtime_error("no PostgreSQL server installed (tools/install-deps.sh installs it)");
}

}  // namespace

OfficeServer::OfficeServer() : bin_(serverPrograms()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tolvik-office-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (!nobody || chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
      throw std::runtime_error("cannot give the server's folder to the user nobody");
    }
  }
  asServerUser(bin_ + "/initdb -D " + folder_ + "/data -U office -A trust -E UTF8 --no-sync");
  writeAll(folder_ + "/data/pg_hba.conf",
           "local all office trust\n"
           "local all all scram-sha-256\n");
  start();
  query("CREATE DATABASE tolvik");
  const std::string collect = readAll(std::string(TOLVIK_SOURCE_DIR) + "/packaging/collect.sql");
  query(collect);
  query("ALTER ROLE tolvik_kiosk PASSWORD '" + std::string(kOfficePassword) + "'");
}

OfficeServer::~OfficeServer() {
  stop();
  std::error_code error;
  std::filesystem::remove_all(folder_, error);
}

void OfficeServer::asServerUser(const std::string& command) const {
  const std::string prefix = geteuid() == 0 ? "runuser -u nobody -- " : "";
  std::string output = run("cd / && " + prefix + command + " 2>&1; echo \"exit $?\"");
  if (output.substr(output.rfind("exit ")) != "exit 0\n") {
    throw std::runtime_error(command + " failed: " + output);
  }
}

void OfficeServer::start() {
  if (running_) return;
  // No TCP at all; speed over durability, as a test wants.
  asServerUser(bin_ + "/pg_ctl -D " + folder_ + "/data -l " + folder_ + "/server.log -w -o \"-k " +
               folder_ + " -c listen_addresses='' -c fsync=off\" start");
  running_ = true;
}

void OfficeServer::stop() {
  if (!running_) return;
  asServerUser(bin_ + "/pg_ctl -D " + folder_ + "/data -m fast -w stop");
  running_ = false;
}

std::string OfficeServer::kioskDatabase() const {
  return "host=" + folder_ + " dbname=tolvik user=tolvik_kiosk";
}

std::vector<std::vector<std::string>> OfficeServer::query(const std::string& sql) const {
  const bool toPostgres = sql.rfind("CREATE DATABASE", 0) == 0;
  const std::string database =
      "host=" + folder_ + " user=office dbname=" + (toPostgres ? "postgres" : "tolvik");
  PGconn* connection = PQconnectdb(database.c_str());
  if (PQstatus(connection) != CONNECTION_OK) {
    std::string error = PQerrorMessage(connection);
    PQfinish(connection);
    throw std::runtime_error("cannot reach the test's server: " + error);
  }
  PGresult* result = PQexec(connection, sql.c_str());
  std::vector<std::vector<std::string>> rows;
  ExecStatusType status = PQresultStatus(result);
  std::string error = PQresultErrorMessage(result);
  for (int r = 0; r < PQntuples(result); ++r) {
    rows.emplace_back();
    for (int c = 0; c < PQnfields(result); ++c) rows.back().push_back(PQgetvalue(result, r, c));
  }
  PQclear(result);
  PQfinish(connection);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    throw std::runtime_error("query failed: " + error);
  }
  return rows;
}

std::string OfficeServer::log() const {
  return readAll(folder_ + "/server.log");
}

void configure(const std::string& home, const OfficeServer& office, const std::string& password) {
  std::filesystem::create_directories(home + "/.config/tolvik");
  writeAll(home + "/.config/tolvik/kiosk.conf",
           "[Collect]\nDatabase=" + office.kioskDatabase() + "\nKiosk=hall-a\n");
  const std::string passwordFile = home + "/.pgpass";
  writeAll(passwordFile, "*:*:*:tolvik_kiosk:" + password + "\n");
  std::filesystem::permissions(
      passwordFile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

int startForwarder(const std::string& home, bool once) {
  std::string program = std::string(TOLVIK_BUILD_DIR) + "/tolvik-forward";
  std::string homeVariable = "HOME=" + home, onceFlag = "--once";
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) {
      env.push_back(*e);
    }
  }
  env.push_back(homeVariable.data());
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (home + "/forward.log").c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  char* argv[] = {program.data(), once ? onceFlag.data() : nullptr, nullptr};
  pid_t pid = 0;
  int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) throw std::runtime_error("cannot start " + program);
  return pid;
}

int stopForwarder(int pid, int signal) {
  kill(pid, signal);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
