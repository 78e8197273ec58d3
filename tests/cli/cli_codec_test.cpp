// End-to-end: keys and a caller-ID burst encoded in each codec a call may
// carry, packetised into a capture, through `quorvane dtmf` and `callerid`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "io/codec_capture.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using namespace quorvane::testing;

std::vector<std::int16_t> Synthesised(TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> command = args;
  command.insert(command.end(), {"-o", dir.File("signal.pcm")});
  EXPECT_EQ(RunQuorvane(command).exitCode, 0);
  return UlawSamples(ReadBytes(dir.File("signal.pcm")));
}

TEST(CliCodec, KeysThroughEveryCodec) {
  TempDir dir;
  const std::vector<std::int16_t> keys =
      Synthesised(dir, {"synth", "dtmf", "1590*#AD", "--tone-ms", "70", "--gap-ms", "70", "--level", "-10"});
  for (const CodecPlan& plan : kCodecPlans) {
    SCOPED_TRACE(plan.codecName);
    WriteBytes(dir.File("call.pcap"), CodecCapture(plan, EncodePayloads(plan, keys)));
    const ProcessResult r = RunQuorvane({"dtmf", "--json", dir.File("call.pcap")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0]["stream"]["codec"], plan.codecName);
    EXPECT_EQ(report[0]["stream"]["decodedRate"], plan.decodedRate);
    EXPECT_EQ(report[0]["digits"], "1590*#AD");
  }
}

TEST(CliCodec, CallerIdThroughWidebandCodecs) {
  TempDir dir;
  const std::vector<std::int16_t> burst = Synthesised(dir, {"synth", "callerid", "--number", "5551234"});
  for (const CodecPlan& plan : kCodecPlans) {
    if (plan.codec != TestCodec::G722 && plan.codec != TestCodec::Opus) continue;
    SCOPED_TRACE(plan.codecName);
    WriteBytes(dir.File("call.pcap"), CodecCapture(plan, EncodePayloads(plan, burst)));
    const ProcessResult r = RunQuorvane({"callerid", dir.File("call.pcap")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "5551234\n");
  }
}

// A tampered SRTP packet is counted and skipped; a wrong key is reported
// for its stream, with exit 1.
TEST(CliCodec, SrtpAuthenticationFailures) {
  TempDir dir;
  const std::vector<std::int16_t> keys = Synthesised(dir, {"synth", "dtmf", "73", "--tone-ms", "70", "--level", "-10"});
  const CodecPlan& g722 = kCodecPlans[0];
  const Packet key(30, 0x42);
  SrtpProtector protector("AES_CM_128_HMAC_SHA1_80", key, 0x600df00d);
  const std::vector<SentPayload> payloads = EncodePayloads(g722, keys);
  std::size_t sent = 0;
  const auto tamper = [&](Packet& rtp) {
    protector(rtp);
    if (++sent == payloads.size() - 1) rtp[20] ^= 1;  // in the silence after the keys
  };
  WriteBytes(dir.File("srtp.pcap"), CodecCapture(g722, payloads, tamper));
  // 30 bytes of 0x42 in base64.
  const std::string right = "0x600df00d:AES_CM_128_HMAC_SHA1_80:QkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJC";
  const std::string wrong = "0x600df00d:AES_CM_128_HMAC_SHA1_80:Q0JCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJC";

  const ProcessResult r = RunQuorvane({"dtmf", "--json", "--srtp-key", right, dir.File("srtp.pcap")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json report = nlohmann::json::parse(r.out);
  EXPECT_EQ(report[0]["digits"], "73");
  EXPECT_EQ(report[0]["stream"]["srtp"], (nlohmann::json{{"suite", "AES_CM_128_HMAC_SHA1_80"}, {"authFailures", 1}}));
  EXPECT_EQ(report[0]["stream"]["lost"], 1);

  const ProcessResult bad = RunQuorvane({"dtmf", "--srtp-key", wrong, dir.File("srtp.pcap")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("failed authentication"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace quorvane
