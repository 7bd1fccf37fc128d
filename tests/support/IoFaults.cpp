#include "IoFaults.h"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace testing_support {
namespace {

IoFaults faults;
bool failNextWrite = false;
std::vector<std::set<std::string>> names;

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool hits(int fd) {
  if (faults.folder.empty()) return false;
  char target[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  return std::string(target, static_cast<size_t>(n)).rfind(faults.folder + "/", 0) == 0;
}

// Counts one fault down; true when there was one left.
bool take(int& count) {
  if (count <= 0) return false;
  --count;
  return true;
}

std::set<std::string> namesInFolder() {
  std::set<std::string> result;
  if (DIR* dir = opendir(faults.folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") result.insert(name);
    }
    closedir(dir);
  }
  return result;
}

}  // namespace

void injectIoFaults(const IoFaults& injected) {
  faults = injected;
  failNextWrite = false;
  names.clear();
}

std::vector<std::set<std::string>> namesAtFlushes() {
  return names;
}

}  // namespace testing_support

using namespace testing_support;

extern "C" ssize_t write(int fd, const void* bytes, size_t count) {
  static auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
  if (hits(fd)) {
    if (failNextWrite) {
      failNextWrite = false;
      errno = ENOSPC;
      return -1;
    }
    if (count > 1 && take(faults.shortWrites)) {
      failNextWrite = true;
      return real(fd, bytes, count / 2);
    }
    if (take(faults.writeErrors)) {
      errno = EIO;
      return -1;
    }
  }
  return real(fd, bytes, count);
}

extern "C" int fsync(int fd) {
  static auto real = next<int (*)(int)>("fsync");
  if (hits(fd)) {
    names.push_back(namesInFolder());
    if (take(faults.flushErrors)) {
      errno = EIO;
      return -1;
    }
  }
  return real(fd);
}

extern "C" int ftruncate(int fd, off_t length) {
  static auto real = next<int (*)(int, off_t)>("ftruncate");
  if (hits(fd) && take(faults.cutBackErrors)) {
    errno = EIO;
    return -1;
  }
  return real(fd, length);
}
