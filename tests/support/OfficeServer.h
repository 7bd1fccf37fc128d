#pragma once

// A real PostgreSQL server of the test's own, as the office runs one: made with initdb in a
// temporary folder, listening only on a Unix socket there, with the database "tolvik" set up by
// packaging/collect.sql and the kiosks' role given kOfficePassword. Run as the user nobody when
// the test runs as root (initdb and postgres refuse root). Stopped and removed at the end.

#include <string>
#include <vector>

namespace testing_support {

inline constexpr const char* kOfficePassword = "Tolvik-office-Pa55word";

class OfficeServer {
 public:
  OfficeServer();
  ~OfficeServer();
  OfficeServer(const OfficeServer&) = delete;
  OfficeServer& operator=(const OfficeServer&) = delete;

  void start();
  void stop();

  // The kiosks' connection string ([Collect] Database=): the role's password comes from a
  // password file.
  std::string kioskDatabase() const;
  // Runs SQL as the database's owner; the rows of its last statement, each field as text.
  std::vector<std::vector<std::string>> query(const std::string& sql) const;
  // The server's own log.
  std::string log() const;

 private:
  void asServerUser(const std::string& command) const;
  std::string folder_;
  std::string bin_;
  bool running_ = false;
};

// The key file and the password file of a kiosk named "hall-a" whose HOME is `home`, for the
// office's database with `password`.
void configure(const std::string& home, const OfficeServer& office,
               const std::string& password = kOfficePassword);

// The built forwarder with HOME at `home` (--once when `once`), its log appended to
// home/forward.log.
int startForwarder(const std::string& home, bool once = false);
// Sends the signal and waits: the exit status, or -1 when it did not exit by itself.
int stopForwarder(int pid, int signal);

}  // namespace testing_support
