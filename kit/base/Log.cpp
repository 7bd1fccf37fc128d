#include "kit/base/Log.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace kit {

namespace {

std::mutex nameMutex;
std::string loggedName;

std::string executableName() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "unknown";
  std::string full(path, static_cast<size_t>(n));
  size_t slash = full.rfind('/');
  return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string currentProgramName() {
  std::lock_guard lock(nameMutex);
  if (loggedName.empty()) loggedName = executableName();
  return loggedName;
}

}  // namespace

void setLogProgramName(const char* name) {
  std::lock_guard lock(nameMutex);
  loggedName = name ? name : "";
}

void log(const char* format, ...) {
  int savedErrno = errno;
  timeval tv{};
  gettimeofday(&tv, nullptr);
  tm local{};
  localtime_r(&tv.tv_sec, &local);
  char stamp[64];
  size_t stampLength = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

  std::string line(stamp, stampLength);
  char rest[64];
  snprintf(rest, sizeof rest, ".%03d ", static_cast<int>(tv.tv_usec / 1000));
  line += rest;
  line += currentProgramName();
  snprintf(rest, sizeof rest, "[%d] ", static_cast<int>(getpid()));
  line += rest;

  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length > 0) {
    size_t start = line.size();
    line.resize(start + static_cast<size_t>(length) + 1);
    vsnprintf(line.data() + start, static_cast<size_t>(length) + 1, format, args);
    line.resize(start + static_cast<size_t>(length));
  }
  va_end(args);
  line += '\n';

  // One write for the whole line, so that lines from several threads or processes never mix;
  // only a write interrupted part-way continues with the rest.
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      break;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  errno = savedErrno;
}

}  // namespace kit
