#include "io/capture/capture_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "codec/alaw.h"
#include "codec/ulaw.h"
#include "dtmf/dtmf_channel.h"
#include "dtmf/dtmf_test_signals.h"
#include "io/capture/capture_sniff.h"
#include "io/capture_writer.h"
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

constexpr int kLead = 800;     // 100 ms before the first key
constexpr int kTone = 560;     // 70 ms keys
constexpr int kGap = 800;      // 100 ms between keys
// A sine at -10 dBm0: 0 dBm0 is 3.17 dB below the mu-law peak.
const double kPeak = 32635.0 * std::pow(10.0, (-10.0 - 3.17) / 20.0);

int KeyStart(std::size_t k) { return kLead + static_cast<int>(k) * (kTone + kGap); }

std::vector<std::int16_t> KeySignal(const std::string& keys) {
  // Whole 20 ms packets.
  std::vector<std::int16_t> signal(static_cast<std::size_t>((KeyStart(keys.size()) + 159) / 160 * 160), 0);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::vector<std::int16_t> tone = DualTone(keys[k], kPeak, kTone);
    std::copy(tone.begin(), tone.end(), signal.begin() + KeyStart(k));
  }
  return signal;
}

std::uint8_t EventCode(char key) { return static_cast<std::uint8_t>(std::string("0123456789*#ABCD").find(key)); }

struct Sent {
  double time;
  Packet rtp;
  bool audio;
  bool silent;  // an audio packet holding only silence
};

struct StreamPlan {
  Ipv4 src, dst;
  std::uint16_t srcPort, dstPort;
  std::uint32_t ssrc;
  std::uint8_t audioType, eventType;
  bool alaw;
  std::uint16_t firstSequence;
  std::uint32_t firstTimestamp;
  std::string keys;
};

// Audio every 20 ms and, for each key, event packets every 20 ms from its
// start, the end packet sent three times; in sending (sequence) order.
std::vector<Sent> SendStream(const StreamPlan& plan, const std::vector<std::int16_t>& signal) {
  std::vector<Sent> sent;
  for (std::size_t at = 0; at < signal.size(); at += 160) {
    Packet payload;
    bool silent = true;
    for (std::size_t i = at; i < at + 160; ++i) {
      payload.push_back(plan.alaw ? LinearToAlaw(signal[i]) : LinearToUlaw(signal[i]));
      silent = silent && signal[i] == 0;
    }
    sent.push_back({at / 8000.0, payload, true, silent});
  }
  for (std::size_t k = 0; k < plan.keys.size(); ++k) {
    for (int j = 0; j < 6; ++j) {
      const bool end = j >= 3;
      const auto duration = static_cast<std::uint16_t>(end ? kTone : 160 * (j + 1));
      Packet event = EventPayload(EventCode(plan.keys[k]), end, duration);
      event.push_back(static_cast<std::uint8_t>(k));  // marks the press for the timestamp below; dropped again
      sent.push_back({KeyStart(k) / 8000.0 + 0.02 * j + 0.001, event, false, false});
    }
  }
  std::stable_sort(sent.begin(), sent.end(), [](const Sent& a, const Sent& b) { return a.time < b.time; });
  std::uint16_t sequence = plan.firstSequence;
  for (Sent& s : sent) {
    std::uint32_t offset = static_cast<std::uint32_t>(std::lround(s.time * 8000.0));
    if (!s.audio) {
      offset = static_cast<std::uint32_t>(KeyStart(s.rtp.back()));
      s.rtp.pop_back();
    }
    s.rtp = Rtp(s.audio ? plan.audioType : plan.eventType, sequence++, plan.firstTimestamp + offset, plan.ssrc, s.rtp);
  }
  return sent;
}

// The two directions of a call: PCMU with events on the default type 101,
// and PCMA and events on dynamic types the SDP maps, its sequence numbers
// wrapping. The first loses two silent packets, repeats one and has one
// arrive late; the second has the two packets around its wrap swapped.
const StreamPlan kCaller = {{10, 0, 0, 1}, {10, 0, 0, 2}, 40000, 50000, 0x0A0B0C0D, 0, 101, false, 1000,
                            0xFFFFF000u, "1234"};
const StreamPlan kCallee = {{10, 0, 0, 2}, {10, 0, 0, 1}, 50000, 40000, 0xCAFE0001, 97, 100, true, 65530, 123456,
                            "5#9D"};

struct CallCapture {
  Packet bytes;
  std::size_t callerPackets = 0;  // as sent
  std::size_t calleePackets = 0;
};

CallCapture BuildCall(CaptureFormat format, int vlanTags) {
  std::vector<Sent> caller = SendStream(kCaller, KeySignal(kCaller.keys));
  std::vector<Sent> callee = SendStream(kCallee, KeySignal(kCallee.keys));
  CallCapture call{{}, caller.size(), callee.size()};

  int dropped = 0;
  for (std::size_t i = 2; i < caller.size() && dropped < 2; ++i) {
    if (caller[i].silent && (dropped == 0 || i > 12)) {
      caller.erase(caller.begin() + static_cast<std::ptrdiff_t>(i));
      ++dropped;
    }
  }
  caller.insert(caller.begin() + 20, caller[19]);
  std::rotate(caller.begin() + 30, caller.begin() + 31, caller.begin() + 34);  // 30 arrives after 33
  std::swap(callee[5], callee[6]);  // sequence numbers 65535 and 0

  // Each direction keeps its own send times; arrival order interleaves them.
  struct Frame {
    double time;
    Packet udp;
    const StreamPlan* plan;
  };
  std::vector<Frame> frames;
  for (std::size_t i = 0; i < caller.size(); ++i) {
    frames.push_back({0.5 + 0.0001 * static_cast<double>(i) * 200, Udp(kCaller.srcPort, kCaller.dstPort, caller[i].rtp), &kCaller});
  }
  for (std::size_t i = 0; i < callee.size(); ++i) {
    frames.push_back({0.5 + 0.0001 * static_cast<double>(i) * 200 + 0.00005, Udp(kCallee.srcPort, kCallee.dstPort, callee[i].rtp), &kCallee});
  }
  std::stable_sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.time < b.time; });

  CaptureWriter writer(format, kLinkEthernet);
  writer.Add(0.1, Ethernet(Ipv4Packet(kCaller.src, kCaller.dst,
                                       Udp(5060, 5060, SipInvite({"97 PCMA/8000", "100 telephone-event/8000"}))),
                           vlanTags));
  for (const Frame& f : frames) writer.Add(f.time, Ethernet(Ipv4Packet(f.plan->src, f.plan->dst, f.udp), vlanTags));
  call.bytes = writer.bytes();
  return call;
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
  ASSERT_EQ(io::ReadCapture(path, factory), "");
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
    EXPECT_EQ(io::ReadCapture(dir.File("link.cap"), factory), "");
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
  EXPECT_EQ(io::ReadCapture(dir.File("jump.pcap"), factory), "");
  ASSERT_EQ(factory.streams.size(), 1u);
  EXPECT_EQ(factory.streams[0]->totals->jumps, 1);
  EXPECT_EQ(factory.streams[0]->linear.size(), 2 * signal.size());
  EXPECT_EQ(Digits(factory.streams[0]->linear), "11");
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
    const char* errorStart;  // "" for a clean read
    std::size_t streams;
  };
  auto behind = [&](Packet magic) {
    magic.insert(magic.end(), noise.begin(), noise.end());
    return magic;
  };
  const Case cases[] = {
      {"truncated", Packet(call.begin(), call.begin() + static_cast<std::ptrdiff_t>(call.size() / 2 + 7)),
       "capture cut short", 2},
      {"no rtp", noRtp.bytes(), "", 0},
      {"noise behind pcap magic", behind({0xD4, 0xC3, 0xB2, 0xA1}), "not a readable capture", 0},
      {"noise behind pcapng magic", behind({0x0A, 0x0D, 0x0D, 0x0A}), "not a readable capture", 0},
      {"not a capture", noise, "not a pcap or pcapng capture", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteBytes(dir.File("bad"), c.bytes);
    RecordingFactory factory;
    const std::string error = io::ReadCapture(dir.File("bad"), factory);
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

}  // namespace
}  // namespace quorvane::testing
