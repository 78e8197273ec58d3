// End-to-end: a capture's RTP stream through `quorvane dtmf`, its key
// presses as RFC 4733 events beside the digits found in its audio.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "io/capture_writer.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace quorvane::testing;

TEST(CliCapture, DigitsAndTelephoneEventsOfAStream) {
  TempDir dir;
  ASSERT_EQ(RunQuorvane({"synth", "dtmf", "42", "--tone-ms", "70", "--gap-ms", "70", "--level", "-10", "-o",
                         dir.File("keys.pcm")})
                .exitCode,
            0);
  const Packet audio = ReadBytes(dir.File("keys.pcm"));
  const Ipv4 a{192, 0, 2, 1};
  const Ipv4 b{192, 0, 2, 2};
  CaptureWriter writer(CaptureFormat::Pcapng, kLinkEthernet);
  std::uint16_t sequence = 100;
  std::uint32_t timestamp = 0;
  const auto send = [&](std::uint8_t payloadType, std::uint32_t ts, const Packet& payload) {
    writer.Add(timestamp / 8000.0, Ethernet(Ipv4Packet(a, b, Udp(4000, 5000, Rtp(payloadType, sequence++, ts, 0x1a2b3c4d, payload)))));
  };
  for (std::size_t at = 0, k = 0; at + 160 <= audio.size(); at += 160, timestamp += 160, ++k) {
    send(0, timestamp, Packet(audio.begin() + static_cast<std::ptrdiff_t>(at), audio.begin() + static_cast<std::ptrdiff_t>(at + 160)));
    // Key 9 from sample 160 for 800 samples, its end packet sent three times.
    if (k >= 1 && k <= 5) send(101, 160, EventPayload(9, k >= 3, k >= 3 ? 800 : static_cast<std::uint16_t>(160 * k)));
  }
  WriteBytes(dir.File("call.pcapng"), writer.bytes());

  const ProcessResult r = RunQuorvane({"dtmf", "--json", dir.File("call.pcapng")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json report = nlohmann::json::parse(r.out);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report[0]["stream"]["ssrc"], "0x1a2b3c4d");
  EXPECT_EQ(report[0]["stream"]["src"], "192.0.2.1:4000");
  EXPECT_EQ(report[0]["stream"]["lost"], 0);
  EXPECT_EQ(report[0]["digits"], "42");
  EXPECT_EQ(report[0]["telephoneEvents"], "9");
  int rtpEvents = 0;
  for (const auto& event : report[0]["events"]) {
    if (event["source"] != "rtp-event") continue;
    ++rtpEvents;
    EXPECT_EQ(event["digit"], "9");
    EXPECT_DOUBLE_EQ(event["time"].get<double>(), 160 / 8000.0);
    EXPECT_DOUBLE_EQ(event["duration"].get<double>(), 800 / 8000.0);
  }
  EXPECT_EQ(rtpEvents, 1);

  const ProcessResult text = RunQuorvane({"dtmf", dir.File("call.pcapng")});
  EXPECT_EQ(text.out, "42\n");
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// Thousands of short streams, some of them with a key, a few long enough
// to go to the workers while the short ones run in the reader's thread:
// the report comes out exactly as from one thread.
TEST(CliCaptureStreams, ManyStreamsSideBySideReportAsOneThread) {
  using namespace quorvane::testing;
  CaptureWriter writer(CaptureFormat::Pcap, kLinkRaw);
  Packet silence(160, 0xFF);
  for (std::uint32_t ssrc = 1; ssrc <= 3000; ++ssrc) {
    const Packet rtp = Rtp(0, 1, 0, ssrc, silence);
    writer.Add(ssrc * 0.001, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, rtp)));
    for (std::uint16_t i = 2; ssrc % 500 == 250 && i < 150; ++i) {
      const Packet more = Rtp(0, i, 160u * (i - 1), ssrc, silence);
      writer.Add(ssrc * 0.001 + 0.000006 * i, Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, more)));
    }
    if (ssrc % 500 == 0) {
      for (std::uint16_t i = 0; i < 4; ++i) {
        const Packet event = Rtp(101, static_cast<std::uint16_t>(2 + i), 160,
                                 ssrc, EventPayload(5, i == 3, static_cast<std::uint16_t>(160 * (i + 1))));
        writer.Add(ssrc * 0.001 + 0.0001 * (i + 1), Ipv4Packet({10, 0, 0, 1}, {10, 0, 0, 2}, Udp(4000, 5000, event)));
      }
    }
  }
  TempDir dir;
  WriteBytes(dir.File("many.pcap"), writer.bytes());
  const auto one = RunQuorvane({"dtmf", "--jsonl", "-j", "1", dir.File("many.pcap")});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_NE(one.out.find("\"rtp-event\""), std::string::npos);
  for (const char* jobs : {"2", "4"}) {
    EXPECT_EQ(RunQuorvane({"dtmf", "--jsonl", "-j", jobs, dir.File("many.pcap")}).out, one.out) << "-j " << jobs;
  }
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// One call, one key, telephone events only and no audio packet, as the
// sample captures of SIP test tools are made; the events are the answer.
TEST(CliCaptureEventsOnly, KeysOfAStreamWithoutAudio) {
  using namespace quorvane::testing;
  TempDir dir;
  CaptureWriter writer(CaptureFormat::Pcap, kLinkEthernet);
  const std::uint16_t durations[] = {160, 320, 480, 640, 800, 800, 800};
  for (std::uint16_t i = 0; i < 7; ++i) {
    Packet rtp = Rtp(101, static_cast<std::uint16_t>(7000 + i), 48000, 0x00000d1f, EventPayload(5, i >= 4, durations[i]));
    if (i == 0) rtp[1] |= 0x80;  // marker: the event's first packet
    writer.Add(1.0 + 0.02 * i, Ethernet(Ipv4Packet({127, 0, 0, 1}, {127, 0, 0, 1}, Udp(6000, 6002, rtp))));
  }
  const std::string path = dir.File("dtmf_2833_5.pcap");
  WriteBytes(path, writer.bytes());

  const ProcessResult text = RunQuorvane({"dtmf", path});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out, "5\n");
  const ProcessResult json = RunQuorvane({"dtmf", "--json", path});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_FALSE(report[0].contains("error"));
  EXPECT_EQ(report[0]["telephoneEvents"], "5");
  EXPECT_EQ(report[0]["digits"], "");
}

}  // namespace
}  // namespace quorvane
