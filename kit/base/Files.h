#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// The outcome of a file operation: ok, or the system's error text (strerror) with what failed.
struct FileStatus {
  bool ok = true;
  std::string error;
  explicit operator bool() const { return ok; }
  static FileStatus success() { return {}; }
  static FileStatus failure(std::string error) { return {false, std::move(error)}; }
};

// The user's Documents folder as the XDG user-dirs configuration names it (XDG_DOCUMENTS_DIR in
// ~/.config/user-dirs.dirs), else "$HOME/Documents"; created when missing, for the user alone
// (0700, whatever the umask).
std::string documentsDirectory();

// Takes every permission of group and others away from the file or folder at `path` (0600 and
// 0700 as they are usually left), so that what a program keeps there is readable by its user
// alone, whenever and however it was made.
FileStatus keepPrivate(const std::string& path);

bool fileExists(const std::string& path);

// Makes a write past a file-size limit fail (EFBIG) instead of ending the process with SIGXFSZ,
// so that a cut-short write can be undone. Done once by the application and by every write here.
void ignoreFileSizeSignal();

// Only regular files are read and written: anything else at a path (a folder, a FIFO, a device)
// is refused at once, never waited on.

// The whole file's bytes, or nullopt with the error in `error`.
std::optional<std::string> readFile(const std::string& path, std::string* error = nullptr);

// An open regular file read in pieces, so that a large file is never held whole.
class FileReader {
 public:
  static std::optional<FileReader> open(const std::string& path, std::string* error = nullptr);
  FileReader(FileReader&& other) noexcept;
  FileReader& operator=(FileReader&& other) noexcept;
  ~FileReader();

  // The file's length now.
  std::uint64_t size() const;
  // The open file, for what the system can tell of it (its identity).
  int descriptor() const { return fd_; }
  // Calls `piece` with the bytes from `from` up to `to` (or the end of the file, if sooner), in
  // pieces of at most 64 KiB. Each read names its place, so several threads may read at once.
  FileStatus read(std::uint64_t from, std::uint64_t to,
                  const std::function<void(std::string_view)>& piece) const;
  // Another descriptor of the same file with a place of its own, for readers that read in order
  // (GMime's streams); the caller closes it. -1 with errno when there is none.
  int openAgain() const;
  // The bytes from `from` up to `to` (or the end) as one string: for small parts of a file.
  std::optional<std::string> bytes(std::uint64_t from, std::uint64_t to,
                                   std::string* error = nullptr) const;

 private:
  FileReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_ = -1;
  std::string path_;
};

// Cuts the file at `path` back to its first `length` bytes and flushes it to disk.
FileStatus cutBack(const std::string& path, std::uint64_t length);

// Creates the file holding `contents`, readable and writable by the user alone (0600, whatever
// the umask), or fails when anything is at the path already. At no
// moment of a crash is a partial file or any other name left in the folder: the bytes go into
// an unnamed file in the folder, flushed to disk, which then gets its name; then the folder is
// flushed too, so that the new name survives a power loss.
FileStatus createFile(const std::string& path, std::string_view contents);
// The same with the bytes that `write` writes to the descriptor it is given; a failure it answers
// (the system's error text) fails the creation.
FileStatus createFile(const std::string& path, const std::function<FileStatus(int fd)>& write);

// Puts a file holding `contents` at the path in one step, over any file there: a crash leaves the
// old file or the new one, never a mix. The bytes go to "<path>.new", made afresh and flushed to
// disk, which is then renamed over the path; then the folder is flushed.
FileStatus replaceFile(const std::string& path, std::string_view contents);

// Copies `contents` into `folder` (a removable drive, say) as a new file `stem` + `extension`, or
// `stem`-2 + `extension` and so on when that name is taken, never over a file. The bytes go to a
// hidden file ".<name>.part" first, are flushed to the drive, read back from it and compared; only
// then does the file get its name, and the folder is flushed. A failure at any step removes the
// hidden file, so that nothing is left under any name; the failure names the file without the
// folder. `name` gets the name the copy took.
FileStatus copyToNewFile(const std::string& folder, const std::string& stem,
                         const std::string& extension, std::string_view contents,
                         std::string* name = nullptr);

// An open file that bytes are appended to durably.
class AppendHandle {
 public:
  // Opens an existing regular file for appending; fails when there is none.
  static std::optional<AppendHandle> open(const std::string& path, std::string* error = nullptr);
  AppendHandle(AppendHandle&& other) noexcept;
  AppendHandle& operator=(AppendHandle&& other) noexcept;
  ~AppendHandle();

  // Writes all bytes at the end and flushes them to disk before answering success. When the
  // write fails or is short, the file is cut back to its length before the write, so no partial
  // write remains. When even that fails, no later write to the file (through any handle) appends
  // anything before the cut-back has been retried and has succeeded.
  FileStatus write(std::string_view bytes);

 private:
  explicit AppendHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kit
