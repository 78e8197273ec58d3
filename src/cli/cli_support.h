// Output helpers shared by the subcommands.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

namespace quorvane::cli {

inline const char* const kVersionText = "quorvane " QUORVANE_VERSION;

// One line on stdout, flushed so pipes see it at once.
void PrintLine(const std::string& text);

// One line on stderr: "quorvane: <subject>: <reason>".
void PrintError(const std::string& subject, const std::string& reason);

// --offset as taken by the detection commands: non-negative, modulo 160.
void AddOffsetOption(CLI::App& sub, std::int64_t& offset);

// Seconds from the start of the file of byte `position` (8000 bytes/s).
double BytesToSeconds(std::int64_t position);

}  // namespace quorvane::cli
