// Reads every G.711 RTP stream of a pcap or pcapng capture into sinks.
#pragma once

#include <atomic>
#include <string>

#include "io/stream_sink.h"

namespace quorvane::io {

// Opens one sink per RTP stream, named PATH@0xSSRC (PATH as given, eight
// lower-case hex digits), and ends each with its counts. False, with a
// one-line reason, when the capture could not be read to its end; streams read
// before a cut-off are still ended and their results stand.
// Reading ends as at the capture's end once `stop`, when given, turns true.
bool ReadCapture(const std::string& path, StreamSinkFactory& factory, std::string* error,
                 const std::atomic<bool>* stop = nullptr);

}  // namespace quorvane::io
