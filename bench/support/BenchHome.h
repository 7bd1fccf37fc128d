#pragma once

// A temporary HOME with a Documents folder for a benchmark's data files, removed afterwards.

#include <stdlib.h>

#include <filesystem>
#include <string>

struct BenchHome {
  std::string path;
  BenchHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvik-bench-XXXXXX").string();
    path = mkdtemp(pattern.data());
    setenv("HOME", path.c_str(), 1);
    std::filesystem::create_directories(path + "/Documents");
  }
  ~BenchHome() { std::filesystem::remove_all(path); }
  BenchHome(const BenchHome&) = delete;
  BenchHome& operator=(const BenchHome&) = delete;
};
