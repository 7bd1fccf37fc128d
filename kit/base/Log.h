#pragma once

namespace kit {

// Writes "2026-12-06 05:53:16.123 <program>[<pid>] <message>" and a line end to standard error.
// The message is formatted printf-style.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The program name used in log lines; defaults to the executable's name.
void setLogProgramName(const char* name);

}  // namespace kit
