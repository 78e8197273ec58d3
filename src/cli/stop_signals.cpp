#include "cli/stop_signals.h"

#include <signal.h>

namespace quorvane::cli {
namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void RequestStop(int /*signal*/) { stopRequested.store(true); }

}  // namespace

const std::atomic<bool>& StopOnSignals() {
  static const bool installed = [] {
    struct sigaction action{};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read returns, and the capture sees the flag.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
  }();
  (void)installed;
  return stopRequested;
}

}  // namespace quorvane::cli
