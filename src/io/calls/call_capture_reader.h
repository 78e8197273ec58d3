// Reads a pcap or pcapng capture, from a file or standard input, or a live
// network interface, into calls.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "io/calls/call.h"
#include "io/capture/srtp_keys.h"

namespace quorvane::io {

// `path` "-" reads standard input. `srtpKeys` are the keys given by hand
// for SRTP streams; the others come from the capture's SDP. False, with a one-line reason, when the
// capture could not be read to its end; the calls read before a cut-off are
// still ended and told. Reading ends as at the capture's end once `stop`,
// when given, turns true.
bool ReadCallCapture(const std::string& path, CallListener& listener, const std::vector<ManualSrtpKey>& srtpKeys,
                     std::string* error, const std::atomic<bool>* stop = nullptr);

// Captures from network interface `iface` with libpcap until `stop` turns
// true, through the BPF `filter` ("" for every UDP and TCP packet). Calls
// idle for two minutes end as time passes even while no packet comes; the
// calls still open at the stop are ended then. False, with a one-line
// reason, when the capture could not start: without the permission to
// capture, the reason names CAP_NET_RAW and root.
bool CaptureCallsLive(const std::string& iface, const std::string& filter, CallListener& listener,
                      const std::vector<ManualSrtpKey>& srtpKeys, std::string* error, const std::atomic<bool>& stop);

}  // namespace quorvane::io
