// The packet path below libpcap: link layers, IP, fragments, UDP/TCP,
// SIP/SDP and RTP streams, fed frames cut from the input. Each frame is a
// link-type byte, a 16-bit length and that many bytes.
#include <cstdint>
#include <cstdlib>

#include "io/capture/capture_demux.h"

namespace {

struct DiscardingSink : quorvane::io::StreamSink {
  void Ulaw(const std::uint8_t*, std::size_t) override {}
  void Linear(const std::int16_t*, std::size_t) override {}
  void End(const std::optional<quorvane::io::RtpTotals>& rtp) override {
    if (!rtp || rtp->packets < 0) std::abort();
  }
};

struct DiscardingFactory : quorvane::io::StreamSinkFactory {
  std::unique_ptr<quorvane::io::StreamSink> Open(const quorvane::io::StreamInfo&) override {
    return std::make_unique<DiscardingSink>();
  }
};

constexpr quorvane::io::LinkType kLinks[] = {
    quorvane::io::LinkType::Ethernet, quorvane::io::LinkType::LinuxCooked, quorvane::io::LinkType::LinuxCooked2,
    quorvane::io::LinkType::RawIp, quorvane::io::LinkType::Loopback};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DiscardingFactory factory;
  quorvane::io::CaptureDemux demux("fuzz", "pcap", factory);
  double time = 0;
  while (size >= 3) {
    const quorvane::io::LinkType link = kLinks[data[0] % 5];
    // The link byte's high bits move the capture clock on, so idle streams end too.
    time += (data[0] >> 3) * 10.0;
    std::size_t length = static_cast<std::size_t>(data[1] << 8 | data[2]);
    data += 3;
    size -= 3;
    if (length > size) length = size;
    demux.Frame(link, quorvane::io::Bytes(data, length), time);
    data += length;
    size -= length;
  }
  demux.Finish();
  return 0;
}
