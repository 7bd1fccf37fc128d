#include "Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kit {

namespace {

std::string failureText(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return ".";
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes every byte, continuing after partial writes and interruptions. Returns the number of
// bytes written; on a shorter count `error` holds errno (or 0 when the system wrote nothing
// without saying why).
size_t writeAll(int fd, std::string_view bytes, int* error) {
  size_t done = 0;
  *error = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int fsyncRetrying(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace

std::string documentsDirectory() {
  std::string path = homeDirectory() + "/Documents";
  // Any failure other than "already there" shows up when a file in the folder is opened.
  ::mkdir(path.c_str(), 0755);
  return path;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> readFile(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = failureText("cannot open", path, errno);
    return std::nullopt;
  }
  std::string contents;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = failureText("cannot read", path, errno);
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    contents.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return contents;
}

FileStatus writeFileAtomically(const std::string& path, std::string_view contents) {
  std::string folder = folderOf(path);
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0)
    return FileStatus::failure(failureText("cannot create a temporary file for", path, errno));

  auto fail = [&](const std::string& what, int error) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return FileStatus::failure(failureText(what, path, error));
  };

  // mkstemp makes the file private; keep the target's permissions when it already exists.
  struct stat existing {};
  mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) < 0) return fail("cannot set permissions for", errno);

  int error = 0;
  size_t written = writeAll(fd, contents, &error);
  if (written < contents.size()) return fail("cannot write", error ? error : ENOSPC);
  if (fsyncRetrying(fd) < 0) return fail("cannot flush", errno);
  int closeResult = ::close(fd);
  fd = -1;
  if (closeResult < 0) return fail("cannot close", errno);
  if (::rename(temporary.c_str(), path.c_str()) < 0) return fail("cannot replace", errno);

  int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) return FileStatus::failure(failureText("cannot open folder", folder, errno));
  int syncResult = fsyncRetrying(folderFd);
  int syncError = errno;
  ::close(folderFd);
  if (syncResult < 0)
    return FileStatus::failure(failureText("cannot flush folder", folder, syncError));
  return FileStatus::success();
}

std::optional<AppendHandle> AppendHandle::open(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = failureText("cannot open for appending", path, errno);
    return std::nullopt;
  }
  return AppendHandle(fd);
}

AppendHandle::AppendHandle(AppendHandle&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

AppendHandle& AppendHandle::operator=(AppendHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

AppendHandle::~AppendHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FileStatus AppendHandle::write(std::string_view bytes) {
  if (fd_ < 0) return FileStatus::failure("cannot append: the file is not open");
  struct stat st {};
  if (::fstat(fd_, &st) < 0) {
    return FileStatus::failure(std::string("cannot append: fstat failed: ") + std::strerror(errno));
  }
  off_t lengthBefore = st.st_size;

  // Cuts the file back to where it was, so that a failed write leaves nothing behind.
  auto undo = [&](const std::string& what, int error) {
    std::string text = std::string("cannot append: ") + what + ": " + std::strerror(error);
    if (::ftruncate(fd_, lengthBefore) < 0) {
      text += std::string("; cutting back the partial write failed: ") + std::strerror(errno);
    } else {
      fsyncRetrying(fd_);
    }
    return FileStatus::failure(text);
  };

  int error = 0;
  size_t written = writeAll(fd_, bytes, &error);
  if (written < bytes.size()) {
    return undo("write failed after " + std::to_string(written) + " of " +
                    std::to_string(bytes.size()) + " bytes",
                error ? error : ENOSPC);
  }
  if (fsyncRetrying(fd_) < 0) return undo("flush to disk failed", errno);
  return FileStatus::success();
}

}  // namespace kit
