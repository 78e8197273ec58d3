// Reads every RTP and SRTP stream of a pcap or pcapng capture, in the codecs
// we decode, into sinks.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "io/capture/srtp_keys.h"

#include "io/stream_sink.h"

namespace quorvane::io {

// Opens one sink per RTP stream, named PATH@0xSSRC (PATH as given, eight
// lower-case hex digits), and ends each with its counts. False, with a
// one-line reason, when the capture could not be read to its end; streams read
// before a cut-off are still ended and their results stand.
// Reading ends as at the capture's end once `stop`, when given, turns true.
// `srtpKeys` are SRTP keys given by hand, beside those of the capture's SDP.
bool ReadCapture(const std::string& path, StreamSinkFactory& factory, std::string* error,
                 const std::atomic<bool>* stop = nullptr, const std::vector<ManualSrtpKey>& srtpKeys = {});

}  // namespace quorvane::io
