#include "io/capture/rtp_packet.h"

#include <gtest/gtest.h>

#include "io/capture/rtp_stream.h"
#include "io/capture_writer.h"

namespace quorvane::testing {
namespace {

TEST(RtpPacket, HeaderPartsAroundThePayloadAreSkipped) {
  const Packet payload = {1, 2, 3, 4, 5};
  Packet csrc = Rtp(0, 1, 2, 3, payload);
  csrc[0] = 0x82;  // two contributing sources
  csrc.insert(csrc.begin() + 12, 8, 0xEE);
  Packet extension = Rtp(0, 1, 2, 3, payload);
  extension[0] = 0x90;  // a one-word extension
  extension.insert(extension.begin() + 12, {0xBE, 0xDE, 0, 1, 9, 9, 9, 9});
  Packet padded = Rtp(0, 1, 2, 3, payload);
  padded[0] = 0xA0;
  padded.insert(padded.end(), {0, 0, 3});
  Packet badPadding = padded;
  badPadding.back() = 40;
  Packet rtcp = Rtp(0, 1, 2, 3, payload);
  rtcp[1] = 200;  // a sender report
  Packet version1 = Rtp(0, 1, 2, 3, payload);
  version1[0] = 0x40;

  struct Case {
    const char* name;
    Packet datagram;
    bool parses;
  };
  for (const Case& c : {Case{"csrc", csrc, true}, Case{"extension", extension, true}, Case{"padding", padded, true},
                        Case{"padding beyond the payload", badPadding, false}, Case{"rtcp", rtcp, false},
                        Case{"version 1", version1, false}, Case{"short", Packet(11, 0x80), false}}) {
    SCOPED_TRACE(c.name);
    const std::optional<io::RtpPacket> rtp = io::ParseRtp(c.datagram);
    ASSERT_EQ(rtp.has_value(), c.parses);
    if (!rtp) continue;
    EXPECT_EQ(Packet(rtp->payload.begin(), rtp->payload.end()), payload);
    EXPECT_EQ(rtp->sequence, 1);
    EXPECT_EQ(rtp->timestamp, 2u);
    EXPECT_EQ(rtp->ssrc, 3u);
  }
}

// Keeps the keys of the events its streams report.
struct KeyLog : io::StreamSinkFactory {
  struct Sink : io::StreamSink {
    explicit Sink(std::string& keys) : keys(keys) {}
    void Ulaw(const std::uint8_t*, std::size_t) override {}
    void Linear(const std::int16_t*, std::size_t) override {}
    void Event(const io::TelephoneEvent& event) override { keys.push_back(event.key); }
    void End(const std::optional<io::RtpTotals>&) override {}
    std::string& keys;
  };
  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo&) override { return std::make_unique<Sink>(keys); }
  std::string keys;
};

TEST(RtpStream, AnUnmappedTypeWithAnEventsShapeCarriesEvents) {
  KeyLog log;
  io::StreamInfo info;
  info.rtp = io::RtpStreamInfo{};
  io::DecoderBudget budget;
  io::RtpStream stream(info, log, budget);
  std::uint16_t sequence = 0;
  auto add = [&](std::uint8_t type, const Packet& payload, io::PayloadKind kind) {
    const Packet datagram = Rtp(type, sequence++, 800, 1, payload);
    stream.Add(*io::ParseRtp(datagram), kind);
  };
  add(0, Packet(160, 0xFF), io::PayloadKind::Pcmu);
  add(96, EventPayload(11, false, 160), io::PayloadKind::Unknown);
  add(96, EventPayload(11, true, 320), io::PayloadKind::Unknown);
  add(96, EventPayload(11, true, 320), io::PayloadKind::Unknown);
  add(96, Packet{5, 0x80, 1, 64, 0}, io::PayloadKind::Unknown);  // five bytes: not an event
  stream.End();
  EXPECT_EQ(log.keys, "#");
}


struct ByteLog : io::StreamSinkFactory {
  struct Sink : io::StreamSink {
    explicit Sink(Packet& bytes) : bytes(bytes) {}
    void Ulaw(const std::uint8_t* b, std::size_t n) override { bytes.insert(bytes.end(), b, b + n); }
    void Linear(const std::int16_t*, std::size_t) override {}
    void End(const std::optional<io::RtpTotals>&) override {}
    Packet& bytes;
  };
  std::unique_ptr<io::StreamSink> Open(const io::StreamInfo&) override { return std::make_unique<Sink>(bytes); }
  Packet bytes;
};

TEST(RtpStream, OverlapsGiveOnlyTheirNewPartAndGapsAreSilence) {
  ByteLog log;
  io::StreamInfo info;
  info.rtp = io::RtpStreamInfo{};
  io::DecoderBudget budget;
  io::RtpStream stream(info, log, budget);
  // (timestamp, fill byte): the third overlaps half of the second, the
  // fourth lies wholly in the past, the fifth leaves a 160-sample gap.
  const std::pair<std::uint32_t, std::uint8_t> packets[] = {{0, 1}, {160, 2}, {240, 3}, {0, 4}, {560, 5}};
  std::uint16_t sequence = 0;
  for (const auto& [timestamp, fill] : packets) {
    const Packet datagram = Rtp(0, sequence++, timestamp, 1, Packet(160, fill));
    stream.Add(*io::ParseRtp(datagram), io::PayloadKind::Pcmu);
  }
  stream.End();
  Packet expected;
  for (const auto& [count, byte] : std::vector<std::pair<int, std::uint8_t>>{{160, 1}, {160, 2}, {80, 3}, {160, 0xFF}, {160, 5}}) {
    expected.insert(expected.end(), static_cast<std::size_t>(count), byte);
  }
  EXPECT_EQ(log.bytes, expected);
}

}  // namespace
}  // namespace quorvane::testing
