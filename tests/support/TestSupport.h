#pragma once

#include <string>

namespace testing_support {

// A fresh temporary folder set as $HOME for the test's lifetime; removed afterwards.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;
  const std::string& path() const { return path_; }
  std::string documents() const { return path_ + "/Documents"; }

 private:
  std::string path_;
  std::string oldHome_;
  bool hadHome_ = false;
};

// Whole-file helpers for assertions.
std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& contents);

// How many times `needle` occurs in `haystack` (overlaps counted).
int countOf(const std::string& haystack, const std::string& needle);

// Collects what is written to standard error while it lives, through a pipe (so that a file
// size limit set by a test cannot cut it short). Meant for short logs: under 64 KiB.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  // Stops capturing and returns what was written.
  std::string finish();

 private:
  int savedFd_ = -1;
  int readFd_ = -1;
  std::string text_;
};

// Where test artefacts (screenshots) go: build/tests/output, created on first use.
std::string outputDirectory();

}  // namespace testing_support
