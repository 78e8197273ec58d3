// End-to-end: both directions of a call captured with a real network's
// faults, through `quorvane dtmf` as text and as JSON Lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "io/call_capture.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane::testing {
namespace {

TEST(CliCaptureCall, EachStreamOnItsLineAndItsTotalsWhenDone) {
  TempDir dir;
  const std::string path = dir.File("call.pcap");
  WriteBytes(path, BuildCall(CaptureFormat::Pcap, 1).bytes);

  const ProcessResult text = RunQuorvane({"dtmf", path});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out, path + "@0x0a0b0c0d\t1234\n" + path + "@0xcafe0001\t5#9D\n");

  const ProcessResult lines = RunQuorvane({"dtmf", "--jsonl", path});
  ASSERT_EQ(lines.exitCode, 0) << lines.err;
  std::istringstream in(lines.out);
  std::map<std::string, nlohmann::json> done;  // by SSRC
  int rtpEvents = 0;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json object = nlohmann::json::parse(line);
    const std::string ssrc = object["stream"]["ssrc"];
    if (object.value("done", false)) {
      done[ssrc] = object;
    } else if (object["source"] == "rtp-event") {
      ++rtpEvents;
      EXPECT_DOUBLE_EQ(object["duration"].get<double>(), kTone / 8000.0);
    }
  }
  EXPECT_EQ(rtpEvents, 8);
  ASSERT_EQ(done.size(), 2u);
  struct Expected {
    const char* ssrc;
    int payloadType;
    int lost;
    const char* keys;
  };
  for (const Expected& e : {Expected{"0x0a0b0c0d", 0, 2, "1234"}, Expected{"0xcafe0001", 97, 0, "5#9D"}}) {
    SCOPED_TRACE(e.ssrc);
    const nlohmann::json& stream = done[e.ssrc];
    EXPECT_EQ(stream["stream"]["payloadType"], e.payloadType);
    EXPECT_EQ(stream["stream"]["lost"], e.lost);
    EXPECT_EQ(stream["digits"], e.keys);
    EXPECT_EQ(stream["telephoneEvents"], e.keys);
  }
}

}  // namespace
}  // namespace quorvane::testing
