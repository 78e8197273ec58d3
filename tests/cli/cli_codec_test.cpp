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

}  // namespace
}  // namespace quorvane
