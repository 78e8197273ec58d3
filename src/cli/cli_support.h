// Output helpers shared by the subcommands.
#pragma once

#include <string>

namespace quorvane::cli {

inline const char* const kVersionText = "quorvane " QUORVANE_VERSION;

// One line on stdout, flushed so pipes see it at once.
void PrintLine(const std::string& text);

// One line on stderr: "quorvane: <subject>: <reason>".
void PrintError(const std::string& subject, const std::string& reason);

// A debug-output sink that prints each text on stdout.
void DebugTextToStdout(void* context, const char* text);

}  // namespace quorvane::cli
