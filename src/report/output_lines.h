// Lines on the standard streams, each flushed so that pipes see it at once.
#pragma once

#include <string>

namespace quorvane {

// One line on stdout.
void PrintLine(const std::string& text);

// One line on stderr: "quorvane: <subject>: <reason>".
void PrintError(const std::string& subject, const std::string& reason);

}  // namespace quorvane
