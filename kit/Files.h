#pragma once

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

// "$HOME/Documents", created when missing.
std::string documentsDirectory();

bool fileExists(const std::string& path);

// The whole file's bytes, or nullopt with the error in `error`.
std::optional<std::string> readFile(const std::string& path, std::string* error = nullptr);

// Replaces the file with `contents` in one step: a temporary file in the same folder is written,
// flushed to disk, renamed over the target, and the folder is flushed. On failure the target is
// untouched and the temporary file removed.
FileStatus writeFileAtomically(const std::string& path, std::string_view contents);

// An open file that bytes are appended to durably.
class AppendHandle {
 public:
  // Opens an existing file for appending; fails when it does not exist.
  static std::optional<AppendHandle> open(const std::string& path, std::string* error = nullptr);
  AppendHandle(AppendHandle&& other) noexcept;
  AppendHandle& operator=(AppendHandle&& other) noexcept;
  ~AppendHandle();

  // Writes all bytes at the end and flushes them to disk before answering success. When the
  // write fails or is short, the file is cut back to its length before the write, so no partial
  // write remains.
  FileStatus write(std::string_view bytes);

 private:
  explicit AppendHandle(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kit
