#include <array>
#include <string_view>

#include "app/TolvikViewController.h"

namespace {

struct StateEntry {
  std::string_view code;
  std::string_view name;
};

// The 50 states and the District of Columbia, ordered by postal code (so "AK" Alaska comes
// before "AL" Alabama).
constexpr std::array<StateEntry, 51> kStates{{
    {"AK", "Alaska"},         {"AL", "Alabama"},
    {"AR", "Arkansas"},       {"AZ", "Arizona"},
    {"CA", "California"},     {"CO", "Colorado"},
    {"CT", "Connecticut"},    {"DC", "District of Columbia"},
    {"DE", "Delaware"},       {"FL", "Florida"},
    {"GA", "Georgia"},        {"HI", "Hawaii"},
    {"IA", "Iowa"},           {"ID", "Idaho"},
    {"IL", "Illinois"},       {"IN", "Indiana"},
    {"KS", "Kansas"},         {"KY", "Kentucky"},
    {"LA", "Louisiana"},      {"MA", "Massachusetts"},
    {"MD", "Maryland"},       {"ME", "Maine"},
    {"MI", "Michigan"},       {"MN", "Minnesota"},
    {"MO", "Missouri"},       {"MS", "Mississippi"},
    {"MT", "Montana"},        {"NC", "North Carolina"},
    {"ND", "North Dakota"},   {"NE", "Nebraska"},
    {"NH", "New Hampshire"},  {"NJ", "New Jersey"},
    {"NM", "New Mexico"},     {"NV", "Nevada"},
    {"NY", "New York"},       {"OH", "Ohio"},
    {"OK", "Oklahoma"},       {"OR", "Oregon"},
    {"PA", "Pennsylvania"},   {"RI", "Rhode Island"},
    {"SC", "South Carolina"}, {"SD", "South Dakota"},
    {"TN", "Tennessee"},      {"TX", "Texas"},
    {"UT", "Utah"},           {"VA", "Virginia"},
    {"VT", "Vermont"},        {"WA", "Washington"},
    {"WI", "Wisconsin"},      {"WV", "West Virginia"},
    {"WY", "Wyoming"},
}};

// The entry at `index`, or nullptr outside the table.
const StateEntry* entryAt(int index) {
  if (index < 0 || index >= static_cast<int>(kStates.size())) return nullptr;
  return &kStates[static_cast<size_t>(index)];
}

}  // namespace

std::string TolvikViewController::getState(int index) {
  const StateEntry* entry = entryAt(index);
  return entry ? std::string(entry->code) : std::string();
}

std::string TolvikViewController::getFullState(int index) {
  const StateEntry* entry = entryAt(index);
  return entry ? std::string(entry->name) : std::string();
}
