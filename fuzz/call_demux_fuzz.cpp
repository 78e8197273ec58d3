// The calls path below libpcap: SIP over UDP and TCP, dialogs, SDP binding,
// RTP over UDP and TCP, events and INFO keys, fed frames cut from the
// input (fuzz_support.h).
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Listener listener;
  quorvane::io::CallDemux demux(listener);
  quorvane::fuzz::ForEachFrame(data, size, 1.0, [&](quorvane::io::LinkType link, quorvane::io::Bytes frame,
                                                    double time) { demux.Frame(link, frame, time); });
  demux.Finish();
  return 0;
}
