// The cost of a captured packet against the number of streams in the
// capture: a 20 ms G.711 packet goes through the whole capture path (IP,
// UDP, RTP, the stream's sequencing) into the exact DTMF detector, with N
// streams sending in turn. Each stream lives for kPacketsPerStream packets
// and is then replaced by a new SSRC, so that over a run the capture holds
// hundreds of thousands of streams, started and ended on the way.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "codec/ulaw.h"
#include "io/capture/capture_demux.h"
#include "report/detection_sink.h"

namespace {

using namespace quorvane;

constexpr int kPacketsPerStream = 50;  // one second of audio
constexpr std::size_t kPayload = 160;
constexpr std::size_t kHeaders = 20 + 8 + 12;

class DiscardReports final : public StreamReporter {
 public:
  void Event(const Json&) override {}
  void StreamDone(const StreamOutcome&) override {}
};

// One raw-IP frame per packet: the headers rewritten in place, the payload
// (mu-law noise at a speech-like level) the same for every packet.
class PacketMaker {
 public:
  PacketMaker() {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 2000.0);
    const std::array<std::uint8_t, kHeaders> headers = {
        0x45, 0, 0, kHeaders + kPayload, 0, 0, 0, 0, 64, 17, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2,  // IPv4
        0x0f, 0xa0, 0x13, 0x88, 0, 8 + 12 + kPayload, 0, 0,                                      // UDP 4000 > 5000
        0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};                                                // RTP, PCMU
    std::copy(headers.begin(), headers.end(), frame_.begin());
    for (std::size_t i = 0; i < kPayload; ++i) {
      frame_[kHeaders + i] = LinearToUlaw(static_cast<std::int16_t>(std::clamp(noise(random), -32768.0, 32767.0)));
    }
  }

  io::Bytes Packet(std::uint32_t ssrc, std::uint32_t sequence) {
    std::uint8_t* rtp = frame_.data() + 28;
    const std::uint32_t stamp = sequence * kPayload;
    rtp[2] = static_cast<std::uint8_t>(sequence >> 8);
    rtp[3] = static_cast<std::uint8_t>(sequence);
    for (int b = 0; b < 4; ++b) {
      rtp[4 + b] = static_cast<std::uint8_t>(stamp >> (24 - 8 * b));
      rtp[8 + b] = static_cast<std::uint8_t>(ssrc >> (24 - 8 * b));
    }
    return {frame_.data(), frame_.size()};
  }

 private:
  std::array<std::uint8_t, kHeaders + kPayload> frame_{};
};

void BM_CapturePacketAmongStreams(benchmark::State& state) {
  const auto streams = static_cast<std::uint32_t>(state.range(0));
  DetectionCommand command;
  command.settings.deferLargeState = true;  // as the command line reads captures
  DiscardReports reports;
  DetectionSinkFactory factory("bench.pcap", command, reports);
  io::CaptureDemux demux("bench.pcap", "pcap", factory);
  PacketMaker maker;
  std::uint64_t packet = 0;
  std::uint64_t started = 0;
  for (auto _ : state) {
    // Stream `slot` sends its packet of round `round`; each slot's SSRC
    // changes every kPacketsPerStream rounds.
    const std::uint64_t round = packet / streams;
    const auto slot = static_cast<std::uint32_t>(packet % streams);
    const std::uint64_t life = round / kPacketsPerStream;
    const auto ssrc = static_cast<std::uint32_t>(life * streams + slot + 1);
    const auto sequence = static_cast<std::uint32_t>(round % kPacketsPerStream);
    started += sequence == 0;
    demux.Frame(io::LinkType::RawIp, maker.Packet(ssrc, sequence), static_cast<double>(round) * 0.02);
    ++packet;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(packet));
  state.counters["streams"] = static_cast<double>(started);
}
// Five million packets: 100 000 streams in turn for each row, 40 000 of them at once in the last.
BENCHMARK(BM_CapturePacketAmongStreams)->Arg(10)->Arg(1000)->Arg(40000)->Iterations(5000000);

}  // namespace
