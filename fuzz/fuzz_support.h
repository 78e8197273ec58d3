// What several fuzz targets share: a sink that checks a stream's totals and
// drops its audio, and capture frames cut from the input.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "io/capture/packet_parse.h"
#include "io/stream_sink.h"

namespace quorvane::fuzz {

struct DiscardingSink : io::StreamSink {
  void Ulaw(const std::uint8_t*, std::size_t) override {}
  void Linear(const std::int16_t*, std::size_t) override {}
  void End(const std::optional<io::RtpTotals>& rtp) override {
    if (!rtp || rtp->packets < 0) std::abort();
  }
};

struct DiscardingFactory : io::StreamSinkFactory {
  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo&) override { return std::make_unique<DiscardingSink>(); }
};

// Hands `frame(link, bytes, time)` each frame of the input: a link-type
// byte, a 16-bit length and that many bytes. The link byte's high bits move
// the capture clock on by that many `step` seconds, so idle streams and
// calls end too.
template <class Frame>
void ForEachFrame(const std::uint8_t* data, std::size_t size, double step, Frame&& frame) {
  constexpr io::LinkType kLinks[] = {io::LinkType::Ethernet, io::LinkType::LinuxCooked, io::LinkType::LinuxCooked2,
                                     io::LinkType::RawIp, io::LinkType::Loopback};
  double time = 0;
  while (size >= 3) {
    const io::LinkType link = kLinks[data[0] % 5];
    time += (data[0] >> 3) * step;
    std::size_t length = static_cast<std::size_t>(data[1] << 8 | data[2]);
    data += 3;
    size -= 3;
    if (length > size) length = size;
    frame(link, io::Bytes(data, length), time);
    data += length;
    size -= length;
  }
}

}  // namespace quorvane::fuzz
