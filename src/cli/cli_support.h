// Output helpers shared by the subcommands.
#pragma once

#include <string>

#include "report/output_lines.h"

namespace quorvane::cli {

// "quorvane" and the full version, with the git revision when built from a
// checkout. Defined in its own file, so a new revision rebuilds only that.
extern const char* const kVersionText;

// A debug-output sink that prints each text on stdout.
void DebugTextToStdout(void* context, const char* text);

}  // namespace quorvane::cli
