// Ctrl-C and SIGTERM as a request to end a live capture cleanly, so that
// its totals are still printed.
#pragma once

#include <atomic>

namespace quorvane::cli {

// Installs the handlers (once) and returns the flag they set. A second
// signal ends the program as it would have without them.
const std::atomic<bool>& StopOnSignals();

}  // namespace quorvane::cli
