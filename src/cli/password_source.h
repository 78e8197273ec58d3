// Where `digest` takes its password from, so that it need not stand on the
// command line where every user of the machine sees it in the process list.
#pragma once

#include <string>

namespace quorvane::cli {

// The first line of `path` (without its line end).
bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error);

// Asks on the controlling terminal and reads a line with echo off.
bool ReadPasswordFromTerminal(std::string* password, std::string* error);

// The environment variable a password may come from.
inline constexpr char kPasswordVariable[] = "QUORVANE_DIGEST_PASSWORD";

}  // namespace quorvane::cli
