#include "kit/base/PowerSupply.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace kit {

namespace {

// The first line of a small attribute file, or "" when there is none.
std::string attribute(const std::filesystem::path& supply, const char* name) {
  std::ifstream in(supply / name);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::optional<BatteryState> readBattery(const std::string& folder) {
  std::error_code error;
  std::vector<std::filesystem::path> supplies;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    supplies.push_back(entry.path());
  }
  std::sort(supplies.begin(), supplies.end());  // BAT0 before BAT1, whatever the folder's order
  for (const auto& supply : supplies) {
    if (attribute(supply, "type") != "Battery") continue;
    if (attribute(supply, "scope") == "Device") continue;
    if (attribute(supply, "present") == "0") continue;
    const std::string capacity = attribute(supply, "capacity");
    char* end = nullptr;
    errno = 0;
    long percent = std::strtol(capacity.c_str(), &end, 10);
    if (capacity.empty() || *end || errno) continue;
    const std::string status = attribute(supply, "status");
    return BatteryState{static_cast<int>(std::clamp(percent, 0L, 100L)),
                        status == "Charging" || status == "Full"};
  }
  return std::nullopt;
}

}  // namespace kit
