// Reads a pcap or pcapng capture, from a file or standard input, into calls.
#pragma once

#include <atomic>
#include <string>

#include "io/calls/call.h"

namespace quorvane::io {

// `path` "-" reads standard input. False, with a one-line reason, when the
// capture could not be read to its end; the calls read before a cut-off are
// still ended and told. Reading ends as at the capture's end once `stop`,
// when given, turns true.
bool ReadCallCapture(const std::string& path, CallListener& listener, std::string* error,
                     const std::atomic<bool>* stop = nullptr);

}  // namespace quorvane::io
