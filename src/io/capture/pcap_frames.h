// The frames of an open libpcap capture, as the stream and call readers
// both take them.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include <pcap/pcap.h>

#include "io/capture/packet_parse.h"

namespace quorvane::io {

// The capture's link type, or nothing with a one-line reason.
std::optional<LinkType> LinkTypeOf(pcap_t* capture, std::string* error);

// A frame's capture time, in seconds.
double CaptureTime(const pcap_pkthdr& header);

// Hands each frame of a capture file, with its capture time, to `frame`
// until the file ends or `stop`, when given, turns true. "" when the file
// was read to its end, else why it was cut short.
std::string ReadFrames(pcap_t* capture, const std::function<void(Bytes frame, double time)>& frame,
                       const std::atomic<bool>* stop);

}  // namespace quorvane::io
