// The calls path below libpcap: SIP over UDP and TCP, dialogs, SDP binding,
// RTP over UDP and TCP, events and INFO keys, fed frames cut from the
// input. Each frame is a link-type byte, a 16-bit length and that many bytes.
#include <cstdint>
#include <cstdlib>

#include "io/calls/call_demux.h"

namespace {

struct Listener : quorvane::io::CallListener {
  std::unique_ptr<quorvane::io::StreamSink> OpenAudio(quorvane::io::Call&, std::size_t) override { return nullptr; }
  void Key(const quorvane::io::Call& call, const quorvane::io::CallKey&) override {
    if (call.keys.size() > quorvane::io::kMaxKeysPerCall) std::abort();
  }
  void Ended(quorvane::io::Call& call) override {
    if (call.end && *call.end < call.start - 1e9) std::abort();
  }
};

constexpr quorvane::io::LinkType kLinks[] = {
    quorvane::io::LinkType::Ethernet, quorvane::io::LinkType::LinuxCooked, quorvane::io::LinkType::LinuxCooked2,
    quorvane::io::LinkType::RawIp, quorvane::io::LinkType::Loopback};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Listener listener;
  quorvane::io::CallDemux demux(listener);
  double time = 0;
  while (size >= 3) {
    const quorvane::io::LinkType link = kLinks[data[0] % 5];
    // The link byte's high bits move the capture clock on, so calls end too.
    time += (data[0] >> 3) * 1.0;
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
