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

// Where test artefacts (screenshots) go: build/tests/output, created on first use.
std::string outputDirectory();

}  // namespace testing_support
