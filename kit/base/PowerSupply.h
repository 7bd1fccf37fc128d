#pragma once

#include <optional>
#include <string>

namespace kit {

// The charge of the machine's battery, as the status bar shows it.
struct BatteryState {
  int percent = 100;      // 0 to 100
  bool charging = false;  // on external power: charging, or full and plugged in
  bool operator==(const BatteryState&) const = default;
};

// The system's battery as the kernel's power-supply class describes it (one folder a supply,
// each with its "type", "capacity" and "status"): the first battery that powers the machine
// itself, or nothing where there is none (a desktop, a mains-powered kiosk). Peripherals' own
// batteries (a wireless mouse's) are passed over.
std::optional<BatteryState> readBattery(const std::string& folder = "/sys/class/power_supply");

}  // namespace kit
