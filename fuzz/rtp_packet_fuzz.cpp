// The packet path below libpcap: link layers, IP, fragments, UDP/TCP,
// SIP/SDP and RTP streams, fed frames cut from the input (fuzz_support.h).
#include <cstdint>

#include "fuzz_support.h"
#include "io/capture/capture_demux.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvane::fuzz::DiscardingFactory factory;
  quorvane::io::CaptureDemux demux("fuzz", "pcap", factory);
  quorvane::fuzz::ForEachFrame(data, size, 10.0, [&](quorvane::io::LinkType link, quorvane::io::Bytes frame,
                                                     double time) { demux.Frame(link, frame, time); });
  demux.Finish();
  return 0;
}
