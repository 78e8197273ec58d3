#include "io/capture/capture_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "codec/alaw.h"
#include "codec/ulaw.h"
#include "dtmf/exact/dtmf_channel.h"
#include "io/calls/call_demux.h"
#include "io/capture/capture_demux.h"
#include "io/capture/capture_sniff.h"
#include "io/call_capture.h"
#include "io/capture_writer.h"
#include "io/codec_capture.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

using io::RtpTotals;
using io::StreamInfo;
using io::TelephoneEvent;

// Everything one sink was given.
struct Recorded {
  StreamInfo info;
  std::vector<std::int16_t> linear;  // every sample, mu-law expanded
  std::vector<std::uint8_t> ulaw;    // the mu-law bytes as given
  std::vector<TelephoneEvent> events;
  std::optional<RtpTotals> totals;
};

class RecordingSink : public io::StreamSink {
 public:
  explicit RecordingSink(Recorded& out) : out_(out) {}
  void Ulaw(const std::uint8_t* bytes, std::size_t count) override {
    out_.ulaw.insert(out_.ulaw.end(), bytes, bytes + count);
    for (std::size_t i = 0; i < count; ++i) out_.linear.push_back(UlawToLinear(bytes[i]));
  }
  void Linear(const std::int16_t* samples, std::size_t count) override {
    out_.linear.insert(out_.linear.end(), samples, samples + count);
  }
  void Event(const TelephoneEvent& event) override { out_.events.push_back(event); }
  void End(const std::optional<RtpTotals>& rtp) override { out_.totals = rtp.value_or(RtpTotals{}); }

 private:
  Recorded& out_;
};

struct RecordingFactory : io::StreamSinkFactory {
  std::vector<std::unique_ptr<Recorded>> streams;
  std::unique_ptr<io::StreamSink> Open(const StreamInfo& info) override {
    streams.push_back(std::make_unique<Recorded>(Recorded{info, {}, {}, {}, {}}));
    return std::make_unique<RecordingSink>(*streams.back());
  }
};

std::string Digits(std::vector<std::int16_t> samples) {
  DtmfChannel channel;
  std::string digits;
  for (std::size_t at = 0; at + 160 <= samples.size(); at += 160) {
    channel.Detect(samples.data() + at, 160);
    if (channel.detector.lastDigit > 0) digits.push_back(static_cast<char>(channel.detector.lastDigit));
    channel.detector.lastDigit = 0;
  }
  return digits;
}

// "key@start+duration ..." in samples, for readable comparisons.
std::string EventText(const std::vector<TelephoneEvent>& events) {
  std::string text;
  for (const TelephoneEvent& e : events) {
    text += std::string(1, e.key) + "@" + std::to_string(e.startSample) + "+" + std::to_string(e.durationSamples) + " ";
  }
  return text;
}

std::string ExpectedEvents(const std::string& keys) {
  std::vector<TelephoneEvent> events;
  for (std::size_t k = 0; k < keys.size(); ++k) events.push_back({keys[k], KeyStart(k), kTone});
  return EventText(events);
}

class CallCaptureTest : public ::testing::TestWithParam<CaptureFormat> {};

TEST_P(CallCaptureTest, EveryStreamComesOutAsBuilt) {
  const bool pcapng = GetParam() == CaptureFormat::Pcapng;
  const CallCapture call = BuildCall(GetParam(), pcapng ? 2 : 1);
  TempDir dir;
  const std::string path = dir.File("call.cap");
  WriteBytes(path, call.bytes);
  RecordingFactory factory;
  ASSERT_TRUE(io::ReadCapture(path, factory, nullptr));
  ASSERT_EQ(factory.streams.size(), 2u);

  const Recorded& caller = *factory.streams[0];
  EXPECT_EQ(caller.info.name, path + "@0x0a0b0c0d");
  EXPECT_EQ(caller.info.input.container, pcapng ? "pcapng" : "pcap");
  EXPECT_EQ(caller.info.rtp->src, "10.0.0.1:40000");
  EXPECT_EQ(caller.info.rtp->dst, "10.0.0.2:50000");
  EXPECT_EQ(caller.info.rtp->payloadType, 0);
  ASSERT_TRUE(caller.totals);
  EXPECT_EQ(caller.totals->lost, 2);
  EXPECT_EQ(caller.totals->duplicates, 1);
  EXPECT_EQ(caller.totals->reordered, 1);
  EXPECT_EQ(caller.totals->packets, static_cast<std::int64_t>(call.callerPackets) - 2);
  EXPECT_EQ(caller.totals->jumps, 0);
  // The lost packets were silence, and silence fills their place: the
  // sink gets the very bytes that were sent, at their times.
  std::vector<std::uint8_t> sentBytes;
  for (std::int16_t s : KeySignal(kCaller.keys)) sentBytes.push_back(LinearToUlaw(s));
  EXPECT_EQ(caller.ulaw, sentBytes);
  EXPECT_EQ(EventText(caller.events), ExpectedEvents(kCaller.keys));
  EXPECT_EQ(Digits(caller.linear), kCaller.keys);

  const Recorded& callee = *factory.streams[1];
  EXPECT_EQ(callee.info.name, path + "@0xcafe0001");
  EXPECT_EQ(callee.info.rtp->payloadType, 97);
  ASSERT_TRUE(callee.totals);
  EXPECT_EQ(callee.totals->lost, 0);
  EXPECT_EQ(callee.totals->reordered, 1);
  EXPECT_EQ(callee.totals->packets, static_cast<std::int64_t>(call.calleePackets));
  std::vector<std::int16_t> expanded;
  for (std::int16_t s : KeySignal(kCallee.keys)) expanded.push_back(AlawToLinear(LinearToAlaw(s)));
  EXPECT_TRUE(callee.ulaw.empty());
  EXPECT_EQ(callee.linear, expanded);
  EXPECT_EQ(EventText(callee.events), ExpectedEvents(kCallee.keys));
  EXPECT_EQ(Digits(callee.linear), kCallee.keys);
}

INSTANTIATE_TEST_SUITE_P(Formats, CallCaptureTest, ::testing::Values(CaptureFormat::Pcap, CaptureFormat::Pcapng));

// One short PCMU stream on a dynamic type, its SDP sent first (in two IP
// fragments where asked), through each link layer and IP version.
struct LinkCase {
  const char* name;
  CaptureFormat format;
  int link;
  bool ipv6;
  bool fragmentedSip;
  const char* src;
};

TEST(CaptureLinks, EachLinkLayerAndIpVersionIsRead) {
  const Ipv4 a4 = {192, 0, 2, 1}, b4 = {192, 0, 2, 2};
  const Ipv6 a6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const Ipv6 b6 = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
  const LinkCase cases[] = {
      {"ethernet", CaptureFormat::Pcap, kLinkEthernet, false, true, "192.0.2.1:4000"},
      {"ethernet-v6", CaptureFormat::Pcapng, kLinkEthernet, true, false, "[2001:db8::1]:4000"},
      {"sll", CaptureFormat::Pcap, kLinkSll, false, true, "192.0.2.1:4000"},
      {"sll2", CaptureFormat::Pcapng, kLinkSll2, true, false, "[2001:db8::1]:4000"},
      {"raw", CaptureFormat::Pcap, kLinkRaw, false, false, "192.0.2.1:4000"},
      {"raw-v6", CaptureFormat::Pcapng, kLinkRaw, true, false, "[2001:db8::1]:4000"},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto frame = [&](const Packet& ip) {
      return c.link == kLinkEthernet ? Ethernet(ip) : c.link == kLinkSll ? LinuxCooked(ip)
                                                    : c.link == kLinkSll2 ? LinuxCooked2(ip) : ip;
    };
    auto udp = [&](std::uint16_t from, std::uint16_t to, const Packet& payload) {
      return c.ipv6 ? Ipv6Packet(a6, b6, Udp(from, to, payload)) : Ipv4Packet(a4, b4, Udp(from, to, payload));
    };
    CaptureWriter writer(c.format, c.link);
    const Packet sip = Udp(5060, 5060, SipInvite({"98 PCMU/8000"}));
    if (c.fragmentedSip) {  // the second piece first, as reassembly must not care
      writer.Add(1.0, frame(Ipv4Packet(a4, b4, Packet(sip.begin() + 96, sip.end()), 17, 7, 96, false)));
      writer.Add(1.0, frame(Ipv4Packet(a4, b4, Packet(sip.begin(), sip.begin() + 96), 17, 7, 0, true)));
    } else {
      writer.Add(1.0, frame(udp(5060, 5060, SipInvite({"98 PCMU/8000"}))));
    }
    for (int i = 0; i < 10; ++i) {
      writer.Add(2.0 + i * 0.02,
                 frame(udp(4000, 4002, Rtp(98, static_cast<std::uint16_t>(i), 160u * static_cast<std::uint32_t>(i), 7,
                                           Packet(160, 0xFF)))));
    }
    TempDir dir;
    WriteBytes(dir.File("link.cap"), writer.bytes());
    RecordingFactory factory;
    EXPECT_TRUE(io::ReadCapture(dir.File("link.cap"), factory, nullptr));
    ASSERT_EQ(factory.streams.size(), 1u);
    EXPECT_EQ(factory.streams[0]->info.rtp->src, c.src);
    EXPECT_EQ(factory.streams[0]->totals->packets, 10);
    EXPECT_EQ(factory.streams[0]->ulaw.size(), 1600u);
  }
}

TEST(CaptureTiming, AJumpOfHoursIsCountedNotFilled) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  const std::vector<std::int16_t> signal = KeySignal("1");
  int sequence = 0;
  for (std::uint32_t base : {0u, 3u * 3600u * 8000u}) {
    for (std::size_t at = 0; at < signal.size(); at += 160) {
      Packet payload;
      for (std::size_t i = at; i < at + 160; ++i) payload.push_back(LinearToUlaw(signal[i]));
      const Packet rtp = Rtp(0, static_cast<std::uint16_t>(sequence++), base + static_cast<std::uint32_t>(at), 9, payload);
      writer.Add(sequence * 0.02, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 4002, rtp)));
    }
  }
  TempDir dir;
  WriteBytes(dir.File("jump.pcap"), writer.bytes());
  RecordingFactory factory;
  EXPECT_TRUE(io::ReadCapture(dir.File("jump.pcap"), factory, nullptr));
  ASSERT_EQ(factory.streams.size(), 1u);
  EXPECT_EQ(factory.streams[0]->totals->jumps, 1);
  EXPECT_EQ(factory.streams[0]->linear.size(), 2 * signal.size());
  EXPECT_EQ(Digits(factory.streams[0]->linear), "11");
}

// Counts sinks open at once: a long capture of one call after another
// must end each call's stream once it has gone quiet. Keeps the SSRCs in
// the order their streams ended.
struct CountingFactory : io::StreamSinkFactory {
  struct Sink : io::StreamSink {
    Sink(CountingFactory& f, std::uint32_t s) : factory(f), ssrc(s) {
      factory.maxOpen = std::max(++factory.open, factory.maxOpen);
    }
    void Ulaw(const std::uint8_t*, std::size_t) override {}
    void Linear(const std::int16_t*, std::size_t) override {}
    void End(const std::optional<RtpTotals>& rtp) override {
      --factory.open;
      factory.ended.push_back(ssrc);
      if (rtp && !rtp->unread.empty()) factory.unread.push_back(rtp->unread);
    }
    CountingFactory& factory;
    std::uint32_t ssrc;
  };
  std::unique_ptr<io::StreamSink> Open(const StreamInfo& info) override {
    ++opened;
    return std::make_unique<Sink>(*this, info.rtp->ssrc);
  }
  int open = 0, maxOpen = 0, opened = 0;
  std::vector<std::uint32_t> ended;
  std::vector<std::string> unread;
};

CountingFactory ReadCounting(const CaptureWriter& writer) {
  TempDir dir;
  WriteBytes(dir.File("c.pcap"), writer.bytes());
  CountingFactory factory;
  EXPECT_TRUE(io::ReadCapture(dir.File("c.pcap"), factory, nullptr));
  return factory;
}

Packet OnePacket(std::uint32_t ssrc) {
  return Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 4002, Rtp(0, 1, 0, ssrc, Packet(4, 0xFF))));
}

// More streams at once than are followed: each new one ends the one
// silent longest, and every packet is still read.
TEST(CaptureMemory, StreamsBeyondThoseFollowedEndTheQuietest) {
  constexpr auto kMost = static_cast<std::uint32_t>(io::CaptureDemux::kMaxLiveStreams);
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  for (std::uint32_t ssrc = 0; ssrc <= kMost; ++ssrc) writer.Add(ssrc * 1e-5, OnePacket(ssrc));
  writer.Add(1.0, OnePacket(0));  // the first again: a stream of its own now
  const CountingFactory factory = ReadCounting(writer);
  EXPECT_EQ(factory.opened, static_cast<int>(kMost) + 2);
  ASSERT_EQ(factory.ended.size(), kMost + 2);
  EXPECT_EQ(factory.ended[0], 0u);
  EXPECT_EQ(factory.ended[1], 1u);  // made room for the first one's return
}

// A capture of one-packet G.722 streams sets up a decoder per KiB read
// beyond its first thousand, and says why of the streams it did not decode.
TEST(CaptureMemory, DecodersBeyondTheCapturesBudgetAreRefused) {
  constexpr std::uint32_t kStreams = 1500;
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  std::size_t read = 0;
  for (std::uint32_t ssrc = 0; ssrc < kStreams; ++ssrc) {
    const Packet ip = Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, Rtp(9, 1, 0, ssrc, Packet(20, 0x55))));
    read += ip.size();
    writer.Add(ssrc * 1e-5, ip);
  }
  const CountingFactory factory = ReadCounting(writer);
  ASSERT_EQ(factory.ended.size(), kStreams);
  EXPECT_EQ(factory.unread.size(), kStreams - io::DecoderBudget::kFreeSetups - read / io::DecoderBudget::kBytesPerSetup);
  for (const std::string& reason : factory.unread) EXPECT_EQ(reason.rfind("not decoded: ", 0), 0u) << reason;
}

// The same bound on calls: beyond those followed, a new call or stream
// ends the one quiet longest, and every call is still told.
class EndOrder : public io::CallListener {
 public:
  class Sink : public io::StreamSink {
   public:
    Sink(EndOrder& order, std::size_t stream) : order_(order), stream_(stream) {}
    void Ulaw(const std::uint8_t*, std::size_t) override {}
    void Linear(const std::int16_t*, std::size_t) override {}
    void End(const std::optional<RtpTotals>&) override { order_.streams.push_back(stream_); }

   private:
    EndOrder& order_;
    std::size_t stream_;
  };
  std::unique_ptr<io::StreamSink> OpenAudio(io::Call&, std::size_t stream) override {
    return std::make_unique<Sink>(*this, stream);
  }
  void Key(const io::Call&, const io::CallKey&) override {}
  void Ended(io::Call& call) override { calls.push_back(call.serial); }
  std::vector<std::uint64_t> calls;
  std::vector<std::size_t> streams;
};

void FeedRtp(io::CallDemux& demux, std::uint16_t srcPort, std::uint32_t ssrc, double time) {
  const Packet packet = Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(srcPort, 4002, Rtp(0, 1, 0, ssrc, Packet(4, 0xFF))));
  demux.Frame(io::LinkType::RawIp, io::Bytes(packet.data(), packet.size()), time);
}

TEST(CaptureMemory, CallsBeyondThoseFollowedEndTheQuietest) {
  constexpr auto kMost = static_cast<std::uint16_t>(io::CallDemux::kMaxLiveCalls);
  EndOrder order;
  io::CallDemux demux(order);
  for (std::uint16_t call = 0; call <= kMost; ++call) FeedRtp(demux, static_cast<std::uint16_t>(10000 + call), 1, call * 1e-5);
  FeedRtp(demux, 10000, 1, 1.0);  // the first again: a call of its own now
  demux.Finish();
  ASSERT_EQ(order.calls.size(), kMost + 2u);
  EXPECT_EQ(order.calls[0], 0u);
  EXPECT_EQ(order.calls[1], 1u);  // made room for the first one's return
}

TEST(CaptureMemory, StreamsOfOneCallBeyondThoseFollowedEndTheQuietest) {
  constexpr auto kMost = static_cast<std::uint32_t>(io::CallDemux::kMaxLiveStreams);
  EndOrder order;
  io::CallDemux demux(order);
  for (std::uint32_t ssrc = 0; ssrc <= kMost; ++ssrc) FeedRtp(demux, 10000, ssrc, ssrc * 1e-5);
  demux.Finish();
  ASSERT_EQ(order.calls.size(), 1u);
  ASSERT_EQ(order.streams.size(), kMost + 1u);
  EXPECT_EQ(order.streams[0], 0u);
  EXPECT_EQ(order.streams[1], 1u);
}

// Capture time may go back (merged captures): a stream whose latest
// packet is older than one seen before it is still found idle.
TEST(CaptureMemory, QuietStreamsEndAfterTimeWentBack) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  const std::pair<double, std::uint32_t> packets[] = {{0, 1}, {1, 2}, {100, 1}, {50, 2}, {175, 3}};
  for (const auto& [time, ssrc] : packets) writer.Add(time, OnePacket(ssrc));
  EXPECT_EQ(ReadCounting(writer).ended, (std::vector<std::uint32_t>{2, 1, 3}));
}

TEST(CaptureMemory, QuietStreamsEndWhileTheCaptureGoesOn) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  constexpr int kCalls = 200;
  for (int call = 0; call < kCalls; ++call) {
    for (int i = 0; i < 5; ++i) {
      const Packet rtp = Rtp(0, static_cast<std::uint16_t>(i), 160u * static_cast<std::uint32_t>(i),
                             static_cast<std::uint32_t>(call), Packet(160, 0xFF));
      writer.Add(call * 150.0 + i * 0.02, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 4002, rtp)));
    }
  }
  TempDir dir;
  WriteBytes(dir.File("calls.pcap"), writer.bytes());
  CountingFactory factory;
  EXPECT_TRUE(io::ReadCapture(dir.File("calls.pcap"), factory, nullptr));
  EXPECT_EQ(factory.opened, kCalls);
  EXPECT_LE(factory.maxOpen, 2);
  EXPECT_EQ(factory.open, 0);
}

// Each packet 59 s after the last: the first gap is filled, and once the
// silence outgrows the stream's budget the rest are counted, not filled.
TEST(CaptureGaps, SilenceStaysWithinTheStreamsBudget) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  constexpr std::uint32_t kStep = 59 * 8000;
  for (std::uint16_t i = 0; i < 10; ++i) {
    const Packet rtp = Rtp(0, i, i * kStep, 9, Packet(160, 0xFF));
    writer.Add(i * 59.0, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, rtp)));
  }
  TempDir dir;
  WriteBytes(dir.File("gaps.pcap"), writer.bytes());
  RecordingFactory factory;
  ASSERT_TRUE(io::ReadCapture(dir.File("gaps.pcap"), factory, nullptr));
  ASSERT_EQ(factory.streams.size(), 1u);
  const Recorded& stream = *factory.streams[0];
  EXPECT_EQ(stream.totals->gapsCapped, 8);
  EXPECT_EQ(stream.totals->jumps, 0);
  EXPECT_EQ(stream.ulaw.size(), 10u * 160 + (kStep - 160));
}

TEST(CaptureNames, OneSsrcOnSeveralPairsGivesDistinctNames) {
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  const std::uint16_t ports[] = {4000, 4002, 4000};
  for (int i = 0; i < 3; ++i) {
    const Packet rtp = Rtp(0, 1, 0, 7, Packet(160, 0xFF));
    // The third is the first pair again, after its stream went quiet.
    writer.Add(i * 200.0, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(ports[i], 5000, rtp)));
  }
  TempDir dir;
  WriteBytes(dir.File("c.pcap"), writer.bytes());
  RecordingFactory factory;
  ASSERT_TRUE(io::ReadCapture(dir.File("c.pcap"), factory, nullptr));
  ASSERT_EQ(factory.streams.size(), 3u);
  const std::string path = dir.File("c.pcap");
  EXPECT_EQ(factory.streams[0]->info.name, path + "@0x00000007");
  EXPECT_EQ(factory.streams[1]->info.name, path + "@0x00000007@10.0.0.1:4002>10.0.0.2:5000/2");
  EXPECT_EQ(factory.streams[2]->info.name, path + "@0x00000007@10.0.0.1:4000>10.0.0.2:5000/3");
}

TEST(CaptureBadInput, ClearErrorsOrEmptyResults) {
  std::mt19937 random(12);  // fixed: the same bytes every run
  Packet noise(4096);
  for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(random());
  const Packet call = BuildCall(CaptureFormat::Pcap, 0).bytes;
  CaptureWriter noRtp(CaptureFormat::Pcapng, kLinkRaw);
  noRtp.Add(1.0, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(5060, 5060, SipInvite({"0 PCMU/8000"}))));
  noRtp.Add(1.1, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(53, 40000, Rtp(0, 1, 2, 3, Packet(160, 0)))));

  struct Case {
    const char* name;
    Packet bytes;
    const char* errorStart;
    std::size_t streams;
  };
  auto behind = [&](Packet magic) {
    magic.insert(magic.end(), noise.begin(), noise.end());
    return magic;
  };
  const Case cases[] = {
      {"truncated", Packet(call.begin(), call.begin() + static_cast<std::ptrdiff_t>(call.size() / 2 + 7)),
       "capture cut short", 2},
      {"no rtp", noRtp.bytes(), "no RTP stream in the capture", 0},
      {"noise behind pcap magic", behind({0xD4, 0xC3, 0xB2, 0xA1}), "not a readable capture", 0},
      {"noise behind pcapng magic", behind({0x0A, 0x0D, 0x0D, 0x0A}), "not a readable capture", 0},
      {"not a capture", noise, "not a pcap or pcapng capture", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteBytes(dir.File("bad"), c.bytes);
    RecordingFactory factory;
    std::string error;
    EXPECT_FALSE(io::ReadCapture(dir.File("bad"), factory, &error));
    EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(factory.streams.size(), c.streams);
    for (const auto& stream : factory.streams) EXPECT_TRUE(stream->totals);
  }
}

TEST(CaptureSniff, KnowsTheMagicNumbers) {
  const std::vector<std::pair<Packet, const char*>> cases = {
      {{0xD4, 0xC3, 0xB2, 0xA1}, "pcap"}, {{0xA1, 0xB2, 0xC3, 0xD4}, "pcap"}, {{0x4D, 0x3C, 0xB2, 0xA1}, "pcap"},
      {{0xA1, 0xB2, 0x3C, 0x4D}, "pcap"}, {{0x0A, 0x0D, 0x0D, 0x0A}, "pcapng"}, {{'R', 'I', 'F', 'F'}, nullptr},
      {{0xD4, 0xC3, 0xB2}, nullptr},
  };
  for (const auto& [head, container] : cases) {
    const char* found = io::CaptureContainerOf(head.data(), head.size());
    EXPECT_EQ(found ? std::string(found) : "", container ? std::string(container) : "");
    EXPECT_EQ(io::LooksLikeCapture(head.data(), head.size()), container != nullptr);
  }
}

// Each codec's decoded audio lasts as long as its packets' timestamps say,
// within one frame, also with a packet lost in the middle (silence in its
// place keeps the times).
TEST(CaptureCodecs, DecodedDurationFollowsTheTimestamps) {
  const std::vector<std::int16_t> audio = KeySignal("15#");
  TempDir dir;
  for (const CodecPlan& plan : kCodecPlans) {
    SCOPED_TRACE(plan.codecName);
    std::vector<SentPayload> payloads = EncodePayloads(plan, audio);
    payloads.erase(payloads.begin() + static_cast<std::ptrdiff_t>(payloads.size() / 2));
    std::int64_t packetTicks = plan.clock;
    for (std::size_t k = 1; k < payloads.size(); ++k) {
      packetTicks = std::min<std::int64_t>(packetTicks, payloads[k].ticks - payloads[k - 1].ticks);
    }
    WriteBytes(dir.File("codec.pcap"), CodecCapture(plan, payloads));
    RecordingFactory factory;
    std::string error;
    ASSERT_TRUE(io::ReadCapture(dir.File("codec.pcap"), factory, &error)) << error;
    ASSERT_EQ(factory.streams.size(), 1u);
    const std::int64_t span = (payloads.back().ticks + packetTicks - payloads.front().ticks) * 8000 / plan.clock;
    EXPECT_NEAR(static_cast<double>(factory.streams[0]->linear.size()), static_cast<double>(span), 160.0);
  }
}

// A stream that changes payload type mid-call (PCMU, then G.722 on the
// same SSRC) is decoded in both parts, its times kept across the change.
TEST(CaptureCodecs, APayloadTypeChangeIsDecodedInParts) {
  const std::vector<std::int16_t> audio = KeySignal("2468");
  const std::size_t half = audio.size() / 320 * 160;
  const CodecPlan& g722 = kCodecPlans[0];
  std::vector<SentPayload> payloads = EncodePayloads(g722, audio);
  for (std::size_t k = 0; k < half / 160; ++k) {
    Packet ulaw;
    for (std::size_t i = k * 160; i < (k + 1) * 160; ++i) ulaw.push_back(LinearToUlaw(audio[i]));
    payloads[k].payload = ulaw;
  }
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  for (std::size_t k = 0; k < payloads.size(); ++k) {
    const std::uint8_t type = k < half / 160 ? 0 : 9;
    writer.Add(k * 0.02, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2},
                                    Udp(4000, 5000, Rtp(type, static_cast<std::uint16_t>(k), payloads[k].ticks, 7, payloads[k].payload))));
  }
  TempDir dir;
  WriteBytes(dir.File("switch.pcap"), writer.bytes());
  RecordingFactory factory;
  std::string error;
  ASSERT_TRUE(io::ReadCapture(dir.File("switch.pcap"), factory, &error)) << error;
  ASSERT_EQ(factory.streams.size(), 1u);
  EXPECT_NEAR(static_cast<double>(factory.streams[0]->linear.size()), static_cast<double>(payloads.size() * 160), 160.0);
  EXPECT_EQ(Digits(factory.streams[0]->linear), "2468");
}

std::string Base64(const Packet& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const unsigned n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) | (i + 2 < bytes.size() ? bytes[i + 2] : 0);
    const std::size_t chars = bytes.size() - i >= 3 ? 4 : bytes.size() - i + 1;
    for (std::size_t j = 0; j < 4; ++j) out += j < chars ? kDigits[n >> (18 - 6 * j) & 63] : '=';
  }
  return out;
}

Packet KeyOf(std::size_t bytes, std::uint8_t seed) {
  Packet key;
  for (std::size_t i = 0; i < bytes; ++i) key.push_back(static_cast<std::uint8_t>(seed + 37 * i));
  return key;
}

std::vector<std::int16_t> ReadOnlyStream(const std::string& path, const std::vector<io::ManualSrtpKey>& keys = {}) {
  RecordingFactory factory;
  std::string error;
  EXPECT_TRUE(io::ReadCapture(path, factory, &error, nullptr, keys)) << error;
  EXPECT_EQ(factory.streams.size(), 1u);
  return factory.streams.empty() ? std::vector<std::int16_t>{} : factory.streams[0]->linear;
}

// SRTP in each suite, keyed by hand, decodes to the plain capture's audio.
TEST(CaptureSrtp, EverySuiteDecryptsToThePlainAudio) {
  const CodecPlan& g722 = kCodecPlans[0];
  const std::vector<SentPayload> payloads = EncodePayloads(g722, KeySignal("37"));
  TempDir dir;
  WriteBytes(dir.File("plain.pcap"), CodecCapture(g722, payloads));
  const std::vector<std::int16_t> plain = ReadOnlyStream(dir.File("plain.pcap"));
  const struct {
    const char* suite;
    std::size_t keySalt;
  } kSuites[] = {{"AES_CM_128_HMAC_SHA1_80", 30}, {"AES_CM_128_HMAC_SHA1_32", 30}, {"AEAD_AES_128_GCM", 28},
                 {"AEAD_AES_256_GCM", 44}};
  for (const auto& row : kSuites) {
    SCOPED_TRACE(row.suite);
    const Packet key = KeyOf(row.keySalt, 5);
    SrtpProtector protector(row.suite, key, 0x600df00d);
    WriteBytes(dir.File("srtp.pcap"), CodecCapture(g722, payloads, std::ref(protector)));
    const std::optional<io::ManualSrtpKey> manual =
        io::ParseManualSrtpKey("0x600df00d:" + std::string(row.suite) + ":" + Base64(key), nullptr);
    ASSERT_TRUE(manual);
    EXPECT_EQ(ReadOnlyStream(dir.File("srtp.pcap"), {*manual}), plain);
  }
}

// More SRTP streams at once than stay awake: each packet wakes its stream's
// session, across a sequence wrap too, and every packet still decrypts.
TEST(CaptureSrtp, StreamsBeyondThoseAwakeDecryptAcrossASequenceWrap) {
  constexpr auto kStreams = static_cast<std::uint32_t>(io::SrtpSessions::kAwake + 2);
  const Packet key = KeyOf(30, 9);
  std::vector<std::unique_ptr<SrtpProtector>> protectors;
  std::vector<io::ManualSrtpKey> keys;
  for (std::uint32_t s = 0; s < kStreams; ++s) {
    protectors.push_back(std::make_unique<SrtpProtector>("AES_CM_128_HMAC_SHA1_80", key, 0x1000 + s));
    char ssrc[16];
    std::snprintf(ssrc, sizeof ssrc, "0x%x", 0x1000 + s);
    keys.push_back(*io::ParseManualSrtpKey(std::string(ssrc) + ":AES_CM_128_HMAC_SHA1_80:" + Base64(key), nullptr));
  }
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  for (std::uint8_t i = 0; i < 6; ++i) {
    for (std::uint32_t s = 0; s < kStreams; ++s) {
      Packet rtp = Rtp(0, static_cast<std::uint16_t>(65533 + i), 160u * i, 0x1000 + s, Packet(160, i));
      (*protectors[s])(rtp);
      writer.Add(i * 0.02 + s * 1e-5, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, rtp)));
    }
  }
  TempDir dir;
  WriteBytes(dir.File("many.pcap"), writer.bytes());
  RecordingFactory factory;
  std::string error;
  ASSERT_TRUE(io::ReadCapture(dir.File("many.pcap"), factory, &error, nullptr, keys)) << error;
  ASSERT_EQ(factory.streams.size(), kStreams);
  Packet sent;
  for (std::uint8_t i = 0; i < 6; ++i) sent.insert(sent.end(), 160, i);
  for (const auto& stream : factory.streams) {
    EXPECT_EQ(stream->totals->authFailures, 0) << stream->info.name;
    EXPECT_EQ(stream->ulaw, sent) << stream->info.name;
  }
}

// SDES: the offer lists two keys, the answer takes tag 2; the offerer's
// stream is read with the offer's key of that tag.
TEST(CaptureSrtp, TheKeyComesFromTheAcceptedCryptoLine) {
  const Packet tag1 = KeyOf(30, 1), tag2 = KeyOf(30, 2), answerKey = KeyOf(30, 3);
  const auto sip = [](const std::string& first, const std::string& address, int port, const std::string& cryptos) {
    const std::string sdp = "v=0\r\no=- 1 1 IN IP4 " + address + "\r\ns=-\r\nc=IN IP4 " + address +
                            "\r\nt=0 0\r\nm=audio " + std::to_string(port) + " RTP/SAVP 9\r\n" + cryptos;
    return first + "\r\nCall-ID: sdes-1\r\nContent-Type: application/sdp\r\nContent-Length: " +
           std::to_string(sdp.size()) + "\r\n\r\n" + sdp;
  };
  const std::vector<std::string> messages = {
      sip("INVITE sip:b@example.com SIP/2.0", "192.0.2.1", 4000,
          "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:" + Base64(tag1) + "\r\na=crypto:2 AES_CM_128_HMAC_SHA1_32 inline:" +
              Base64(tag2) + "|2^31\r\n"),
      sip("SIP/2.0 200 OK", "192.0.2.2", 5000, "a=crypto:2 AES_CM_128_HMAC_SHA1_32 inline:" + Base64(answerKey) + "\r\n")};
  const CodecPlan& g722 = kCodecPlans[0];
  const std::vector<SentPayload> payloads = EncodePayloads(g722, KeySignal("90"));
  SrtpProtector protector("AES_CM_128_HMAC_SHA1_32", tag2, 0x600df00d);
  TempDir dir;
  WriteBytes(dir.File("sdes.pcap"), CodecCapture(g722, payloads, std::ref(protector), messages));
  EXPECT_EQ(Digits(ReadOnlyStream(dir.File("sdes.pcap"))), "90");
}

}  // namespace
}  // namespace quorvane::testing
