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

// The offer and answer of a call whose caller (192.0.2.1:4000) sends the
// plan's codec to the callee (192.0.2.2:5000); `crypto`, when given, is the
// a=crypto line both sides' RTP/SAVP media carry.
std::vector<std::string> OfferAndAnswer(const CodecPlan& plan, const std::string& crypto = "") {
  const auto sdp = [&](const std::string& address, int port) {
    std::string body = "v=0\r\no=- 1 1 IN IP4 " + address + "\r\ns=-\r\nc=IN IP4 " + address +
                       "\r\nt=0 0\r\nm=audio " + std::to_string(port) + (crypto.empty() ? " RTP/AVP " : " RTP/SAVP ") +
                       std::to_string(plan.payloadType) + "\r\n";
    if (!crypto.empty()) body += crypto + "\r\n";
    const std::string type = std::to_string(plan.payloadType);
    if (!plan.rtpmap.empty()) body += "a=rtpmap:" + type + " " + plan.rtpmap + "\r\n";
    if (!plan.fmtp.empty()) body += "a=fmtp:" + type + " " + plan.fmtp + "\r\n";
    return body;
  };
  const auto message = [](const std::string& startLine, const std::string& body) {
    return startLine +
           "\r\nVia: SIP/2.0/UDP 192.0.2.1\r\nFrom: <sip:alice@example.com>;tag=1\r\nTo: <sip:bob@example.com>\r\n"
           "Call-ID: codec-call\r\nCSeq: 1 INVITE\r\nContent-Type: application/sdp\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  return {message("INVITE sip:bob@example.com SIP/2.0", sdp("192.0.2.1", 4000)),
          message("SIP/2.0 200 OK", sdp("192.0.2.2", 5000))};
}

TEST(CliCodec, InBandKeysOfACallInEveryCodec) {
  TempDir dir;
  const std::vector<std::int16_t> keys =
      Synthesised(dir, {"synth", "dtmf", "1590", "--tone-ms", "70", "--gap-ms", "70", "--level", "-10"});
  for (const CodecPlan& plan : kCodecPlans) {
    SCOPED_TRACE(plan.codecName);
    WriteBytes(dir.File("call.pcap"), CodecCapture(plan, EncodePayloads(plan, keys), {}, OfferAndAnswer(plan)));
    const ProcessResult r = RunQuorvane({"calls", "--json", dir.File("call.pcap")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json calls = nlohmann::json::parse(r.out);
    ASSERT_EQ(calls.size(), 1u) << r.out;
    EXPECT_EQ(calls[0]["callId"], "codec-call");
    EXPECT_EQ(calls[0]["streams"][0]["codec"], plan.codecName);
    std::string heard;
    for (const auto& key : calls[0]["keys"]) {
      EXPECT_EQ(key["path"], "in-band");
      EXPECT_EQ(key["direction"], "caller->callee");
      heard += key["key"].get<std::string>();
    }
    EXPECT_EQ(heard, "1590");
    const bool garbles = plan.codec == TestCodec::G729 || plan.codec == TestCodec::AmrOctetAligned;
    EXPECT_EQ(calls[0]["agree"], !garbles) << calls[0]["findings"].dump();
    if (garbles) {
      EXPECT_EQ(calls[0]["findings"][0]["kind"], "in-band-through-lossy-codec");
    }
  }
}

// SRTP in a call: the key of the caller's a=crypto line, or one given by
// hand; without either the stream is listed with the reason.
TEST(CliCodec, SrtpCallsReadWithTheirSdesKey) {
  TempDir dir;
  const std::vector<std::int16_t> keys = Synthesised(dir, {"synth", "dtmf", "73", "--tone-ms", "70", "--level", "-10"});
  const CodecPlan& g722 = kCodecPlans[0];
  const std::string base64 = "QkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJCQkJC";  // 30 bytes of 0x42
  const std::vector<SentPayload> payloads = EncodePayloads(g722, keys);
  struct Case {
    const char* name;
    std::string crypto;
    std::vector<std::string> options;
    const char* heard;
  };
  const Case cases[] = {
      {"SDES", "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:" + base64, {}, "73"},
      {"by hand", "", {"--srtp-key", "0x600df00d:AES_CM_128_HMAC_SHA1_80:" + base64}, "73"},
      {"no key", "a=crypto:1 AES_CM_128_HMAC_SHA1_80 inline:", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SrtpProtector protector("AES_CM_128_HMAC_SHA1_80", Packet(30, 0x42), 0x600df00d);
    WriteBytes(dir.File("call.pcap"), CodecCapture(g722, payloads, std::ref(protector), OfferAndAnswer(g722, c.crypto)));
    std::vector<std::string> command = {"calls", "--json", dir.File("call.pcap")};
    command.insert(command.begin() + 1, c.options.begin(), c.options.end());
    const ProcessResult r = RunQuorvane(command);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json call = nlohmann::json::parse(r.out)[0];
    const nlohmann::json& stream = call["streams"][0];
    std::string heard;
    for (const auto& key : call["keys"]) heard += key["key"].get<std::string>();
    EXPECT_EQ(heard, c.heard);
    if (std::string(c.heard).empty()) {
      EXPECT_TRUE(stream.contains("error")) << stream.dump();
    } else {
      EXPECT_EQ(stream["srtp"], (nlohmann::json{{"suite", "AES_CM_128_HMAC_SHA1_80"}, {"authFailures", 0}}));
    }
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
