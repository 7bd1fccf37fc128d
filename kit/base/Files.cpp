#include "kit/base/Files.h"

#include <fcntl.h>
#include <glib.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

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

int syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int result = fsyncRetrying(fd) < 0 ? errno : 0;
  ::close(fd);
  return result;
}

// Opens a regular file without ever blocking: a FIFO or a device at the path is refused (EINVAL,
// with `notRegular` set) instead of waited on. Returns the descriptor or -1 with errno.
int openRegular(const std::string& path, int flags, bool* notRegular) {
  *notRegular = false;
  int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0) {
    // A folder, or a FIFO with no reader, is refused by the system already.
    int error = errno;
    *notRegular = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    errno = error;
    return -1;
  }
  bool statFailed = ::fstat(fd, &st) < 0;
  if (statFailed || !S_ISREG(st.st_mode)) {
    int error = statFailed ? errno : EINVAL;
    *notRegular = !statFailed;
    ::close(fd);
    errno = error;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::string openFailure(const std::string& what, const std::string& path, bool notRegular) {
  if (notRegular) return what + " " + path + ": not a regular file";
  return failureText(what, path, errno);
}

// Files whose cut-back after a failed write failed too, by device and inode, with the length
// that they must be cut back to before anything more is appended.
std::map<std::pair<dev_t, ino_t>, off_t>& pendingCutBacks() {
  static std::map<std::pair<dev_t, ino_t>, off_t> pending;
  return pending;
}

}  // namespace

void ignoreFileSizeSignal() {
  static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
  (void)ignored;
}

std::string documentsDirectory() {
  // GLib reads XDG_DOCUMENTS_DIR from the user-dirs configuration; a folder set to the home folder
  // itself is how that configuration turns one off.
  std::string home = homeDirectory(), path = home + "/Documents";
  const char* named = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
  if (named && *named && std::string(named) != home && std::string(named) != home + "/") {
    path = named;
  }
  // Any failure other than "already there" shows up when a file in the folder is opened.
  g_mkdir_with_parents(path.c_str(), 0700);
  return path;
}

FileStatus keepPrivate(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) < 0)
    return FileStatus::failure(failureText("cannot read", path, errno));
  if ((st.st_mode & 077) == 0) return FileStatus::success();
  if (::chmod(path.c_str(), st.st_mode & 07700) < 0) {
    return FileStatus::failure(failureText("cannot set permissions for", path, errno));
  }
  return FileStatus::success();
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::optional<std::string> readFile(const std::string& path, std::string* error) {
  std::optional<FileReader> reader = FileReader::open(path, error);
  if (!reader) return std::nullopt;
  return reader->bytes(0, UINT64_MAX, error);
}

std::optional<FileReader> FileReader::open(const std::string& path, std::string* error) {
  bool notRegular;
  int fd = openRegular(path, O_RDONLY, &notRegular);
  if (fd < 0) {
    if (error) *error = openFailure("cannot open", path, notRegular);
    return std::nullopt;
  }
  return FileReader(fd, path);
}

FileReader::FileReader(FileReader&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

FileReader& FileReader::operator=(FileReader&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

std::uint64_t FileReader::size() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

FileStatus FileReader::read(std::uint64_t from, std::uint64_t to,
                            const std::function<void(std::string_view)>& piece) const {
  char buffer[65536];
  while (from < to) {
    size_t wanted = static_cast<size_t>(std::min<std::uint64_t>(sizeof buffer, to - from));
    ssize_t n = ::pread(fd_, buffer, wanted, static_cast<off_t>(from));
    if (n < 0) {
      if (errno == EINTR) continue;
      return FileStatus::failure(failureText("cannot read", path_, errno));
    }
    if (n == 0) break;
    piece({buffer, static_cast<size_t>(n)});
    from += static_cast<std::uint64_t>(n);
  }
  return FileStatus::success();
}

int FileReader::openAgain() const {
  // The descriptor's entry under /proc opens the same file, also when its name has changed.
  std::string self = "/proc/self/fd/" + std::to_string(fd_);
  return ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
}

std::optional<std::string> FileReader::bytes(std::uint64_t from, std::uint64_t to,
                                             std::string* error) const {
  std::string contents;
  // Room for the file as it is now, so that a large file is not copied while it is read.
  std::uint64_t length = size();
  if (length > from) contents.reserve(static_cast<size_t>(std::min(to, length) - from));
  FileStatus status = read(from, to, [&](std::string_view piece) { contents.append(piece); });
  if (!status) {
    if (error) *error = status.error;
    return std::nullopt;
  }
  return contents;
}

FileStatus cutBack(const std::string& path, std::uint64_t length) {
  bool notRegular;
  int fd = openRegular(path, O_WRONLY, &notRegular);
  if (fd < 0) return FileStatus::failure(openFailure("cannot open", path, notRegular));
  FileStatus status;
  if (::ftruncate(fd, static_cast<off_t>(length)) < 0) {
    status = FileStatus::failure(failureText("cannot cut back", path, errno));
  } else if (fsyncRetrying(fd) < 0) {
    status = FileStatus::failure(failureText("cannot flush", path, errno));
  }
  ::close(fd);
  return status;
}

FileStatus createFile(const std::string& path, std::string_view contents) {
  return createFile(path, [&](int fd) {
    int error = 0;
    if (writeAll(fd, contents, &error) < contents.size()) {
      return FileStatus::failure(std::strerror(error ? error : ENOSPC));
    }
    return FileStatus::success();
  });
}

FileStatus createFile(const std::string& path, const std::function<FileStatus(int fd)>& write) {
  ignoreFileSizeSignal();
  const std::string folder = folderOf(path);
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return FileStatus::failure(failureText("cannot create", path, errno));
  auto fail = [&](const std::string& what, int error) {
    ::close(fd);  // the unnamed file goes with its last descriptor
    return FileStatus::failure(failureText(what, path, error));
  };
  // The mode asked for above may have been narrowed further by the umask.
  if (::fchmod(fd, 0600) < 0) return fail("cannot set permissions for", errno);
  if (FileStatus written = write(fd); !written) {
    ::close(fd);
    return FileStatus::failure("cannot write " + path + ": " + written.error);
  }
  if (fsyncRetrying(fd) < 0) return fail("cannot flush", errno);
  // Naming the file through /proc needs no privilege, unlike AT_EMPTY_PATH.
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) < 0 &&
      (errno != ENOENT || ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) < 0)) {
    return fail("cannot create", errno);
  }
  ::close(fd);
  if (int syncError = syncFolder(folder)) {
    return FileStatus::failure(failureText("cannot flush folder", folder, syncError));
  }
  return FileStatus::success();
}

FileStatus replaceFile(const std::string& path, std::string_view contents) {
  // One left by a crash before its rename is out of date.
  const std::string fresh = path + ".new";
  if (::unlink(fresh.c_str()) < 0 && errno != ENOENT) {
    return FileStatus::failure(failureText("cannot remove", fresh, errno));
  }
  if (FileStatus created = createFile(fresh, contents); !created) return created;
  if (::rename(fresh.c_str(), path.c_str()) < 0) {
    return FileStatus::failure(failureText("cannot replace", path, errno));
  }
  if (int syncError = syncFolder(folderOf(path))) {
    return FileStatus::failure(failureText("cannot flush folder", folderOf(path), syncError));
  }
  return FileStatus::success();
}

namespace {

// The whole file at `fd` read from its start equals `expected`; its pages are dropped from the
// cache first, so that what is read comes from the drive.
FileStatus readBackEquals(int fd, const std::string& path, std::string_view expected) {
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  std::string piece(64 * 1024, '\0');
  size_t at = 0;
  for (;;) {
    ssize_t n = ::pread(fd, piece.data(), piece.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileStatus::failure(failureText("cannot read back", path, errno));
    if (n == 0) break;
    if (at + n > expected.size() || expected.compare(at, n, piece.data(), n) != 0) {
      return FileStatus::failure("read back " + path + ": not the bytes written");
    }
    at += static_cast<size_t>(n);
  }
  if (at != expected.size()) return FileStatus::failure("read back " + path + ": cut short");
  return FileStatus::success();
}

// Gives `from` the name `to` only when nothing has it: renameat2 where the file system knows
// RENAME_NOREPLACE, else a look first (FAT drives of older kernels).
int renameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

FileStatus copyToNewFile(const std::string& folder, const std::string& stem,
                         const std::string& extension, std::string_view contents,
                         std::string* name) {
  ignoreFileSizeSignal();
  // Failures name the file as it is meant to be called, without the folder: the caller knows it.
  const std::string meant = stem + extension;
  const std::string part = folder + "/." + stem + extension + ".part";
  ::unlink(part.c_str());  // one left by a copy cut short is of no use
  int fd = ::open(part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return FileStatus::failure(failureText("cannot create", meant, errno));
  auto fail = [&](FileStatus failure) {
    ::close(fd);
    ::unlink(part.c_str());
    return failure;
  };
  int error = 0;
  if (writeAll(fd, contents, &error) < contents.size()) {
    return fail(FileStatus::failure(failureText("cannot write", meant, error ? error : ENOSPC)));
  }
  if (fsyncRetrying(fd) < 0) {
    return fail(FileStatus::failure(failureText("cannot flush", meant, errno)));
  }
  if (FileStatus same = readBackEquals(fd, meant, contents); !same) return fail(same);
  for (int n = 1;; ++n) {
    std::string candidate = stem + (n == 1 ? "" : "-" + std::to_string(n)) + extension;
    int renamed = renameWithoutReplacing(part, folder + "/" + candidate);
    if (renamed == EEXIST) continue;
    if (renamed != 0) {
      return fail(FileStatus::failure(failureText("cannot name", candidate, renamed)));
    }
    if (name) *name = candidate;
    break;
  }
  ::close(fd);
  if (int syncError = syncFolder(folder)) {
    return FileStatus::failure(failureText("cannot flush the folder of", meant, syncError));
  }
  return FileStatus::success();
}

std::optional<AppendHandle> AppendHandle::open(const std::string& path, std::string* error) {
  bool notRegular;
  int fd = openRegular(path, O_WRONLY | O_APPEND, &notRegular);
  if (fd < 0) {
    if (error) *error = openFailure("cannot open for appending", path, notRegular);
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
  ignoreFileSizeSignal();
  if (fd_ < 0) return FileStatus::failure("cannot append: the file is not open");
  struct stat st {};
  if (::fstat(fd_, &st) < 0) {
    return FileStatus::failure(std::string("cannot append: fstat failed: ") + std::strerror(errno));
  }
  const auto file = std::make_pair(st.st_dev, st.st_ino);

  // An earlier write that could not be undone is undone first; nothing is appended after it.
  if (auto pending = pendingCutBacks().find(file); pending != pendingCutBacks().end()) {
    if (st.st_size > pending->second) {
      if (::ftruncate(fd_, pending->second) < 0 || fsyncRetrying(fd_) < 0) {
        return FileStatus::failure(
            std::string("cannot append: an earlier cut-short write is still at the end of the "
                        "file, and cutting it back failed again: ") +
            std::strerror(errno));
      }
      st.st_size = pending->second;
    }
    pendingCutBacks().erase(pending);
  }
  const off_t lengthBefore = st.st_size;

  // Cuts the file back to where it was, so that a failed write leaves nothing behind.
  auto undo = [&](const std::string& what, int error) {
    std::string text = std::string("cannot append: ") + what + ": " + std::strerror(error);
    if (::ftruncate(fd_, lengthBefore) < 0) {
      text += std::string("; cutting back the partial write failed: ") + std::strerror(errno);
      pendingCutBacks()[file] = lengthBefore;
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
