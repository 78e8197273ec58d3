// printf-style debug lines: to the debug output stream and, while a driver
// script runs, to its log file.
#pragma once

#include <cstdio>

namespace quorvane {

// The open log file, set and cleared by the driver-script run; null outside it.
extern std::FILE* DebugLogFile;

// errno of the first write to DebugLogFile that fell short, else 0; the
// run resets it.
extern int DebugLogWriteError;

inline constexpr int kDebugLineBytes = 1600;

// Formats one line (at most 1599 characters), ends it in CR LF unless it
// ends in a line feed (as far as that fits) and sends it out.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quorvane
