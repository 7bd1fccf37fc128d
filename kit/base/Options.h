#pragma once

// A program's command line, read with GLib: one table binds each option to a variable and holds
// its help text, and --help prints the usage from that same table.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kit {

struct Option {
  const char* name;  // the long name, without the dashes
  // Where the value goes: a flag is set to true when given; a number or text takes the value.
  std::variant<bool*, double*, std::string*> value;
  const char* help;
  const char* valueName = nullptr;  // the value's placeholder in the help ("SCRIPT")
};

struct CommandLine {
  std::vector<std::string> arguments;  // what follows the options, in order
  // Set when the program should stop at once: 0 after --help (printed on standard output), 2
  // after a mistake (reported in one line on standard error).
  std::optional<int> exitStatus;
};

// Reads `argv` against `options` and --help. `parameters` names what may follow the options in
// the usage line ("SCRIPT"), `summary` says what the program does; `maxArguments` is how many
// may follow.
CommandLine parseCommandLine(int argc, char** argv, const std::vector<Option>& options,
                             const char* parameters, const char* summary, size_t maxArguments);

// The program's name as typed (argv[0] without its folder), for messages.
std::string programName(int argc, char** argv);

}  // namespace kit
