#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;
using testing::TempDir;

TEST(CliSynthDtmf, WritesTheRequestedLength) {
  TempDir dir;
  const std::string path = dir.File("k.pcm");
  const auto r = RunQuorvane({"synth", "dtmf", "12", "-o", path, "--tone-ms", "40", "--gap-ms", "60", "--lead-ms", "10"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing::ReadBytes(path).size(), 80u + 2 * (320u + 480u));
}

TEST(CliSynthDtmf, NoisyTwistedShiftedKeysAreStillFound) {
  TempDir dir;
  const std::string path = dir.File("noisy.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "dtmf", "159D", "-o", path, "--snr", "25", "--twist", "3",
                         "--freq-offset", "1", "--level", "-20", "--seed", "9"})
                .exitCode,
            0);
  EXPECT_EQ(RunQuorvane({"dtmf", path}).out, "159D\n");
}

TEST(CliSynthDtmf, BadKeyOrUnwritableOutput) {
  TempDir dir;
  const auto bad = RunQuorvane({"synth", "dtmf", "12x", "-o", dir.File("x.pcm")});
  EXPECT_EQ(bad.exitCode, 2);  // a usage error, named after the argument
  EXPECT_NE(bad.err.find("DIGITS: not a DTMF key: 'x'"), std::string::npos);
  const auto unwritable = RunQuorvane({"synth", "dtmf", "1", "-o", dir.File("no/such/dir/x.pcm")});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("No such file"), std::string::npos);
  EXPECT_EQ(RunQuorvane({"synth", "dtmf", "1"}).exitCode, 2);  // -o is required
}

// Interrupted while its temporary file grows: no temporary file is left,
// and the destination keeps what it held.
TEST(CliSynthDtmf, ASignalLeavesNoTemporaryFile) {
  for (const char* signal : {"INT", "TERM"}) {
    TempDir dir;
    testing::WriteBytes(dir.File("out.pcm"), {'k', 'e', 'e', 'p'});
    const std::string script = std::string("cd '") + dir.path().string() + "' && { '" + QUORVANE_BINARY +
                               "' synth dtmf 1234567890 --tone-ms 3000000 -o out.pcm & }; pid=$!; "
                               "for i in $(seq 500); do ls -A | grep -q '^\\.out' && break; sleep 0.01; done; "
                               "kill -" + signal + " $pid; wait $pid; echo \"status $?\"; ls -A";
    const auto r = testing::RunProcess({"/bin/sh", "-c", script});
    EXPECT_NE(r.out.find(std::string("status ") + (signal[0] == 'I' ? "130" : "143")), std::string::npos) << r.out;  // 128 + the signal
    EXPECT_NE(r.out.find("\nout.pcm\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(".out.pcm."), std::string::npos) << signal << ": " << r.out;
    EXPECT_EQ(testing::ReadBytes(dir.File("out.pcm")), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
  }
}

TEST(CliSynthCallerId, RefusesAPayloadNoReceiverAccepts) {
  TempDir dir;
  const auto r = RunQuorvane({"synth", "callerid", "--name", std::string(200, 'N'), "-o", dir.File("c.pcm")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("payload is 215 bytes; a receiver accepts at most 128"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("c.pcm")));
}

}  // namespace
}  // namespace quorvane
