// End-to-end: one recording converted by sox into the containers, encodings,
// rates and channel layouts people have gives the answers of the .pcm itself.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using nlohmann::json;
using testing::ProcessResult;
using testing::RunProcess;
using testing::RunQuorvane;
using testing::TempDir;

constexpr const char* kSox = "/usr/bin/sox";

// DTMF keys well inside the detector's margins, then a caller-ID burst.
class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kSox)) GTEST_SKIP() << "sox is not installed";
    keysA_ = Make({"synth", "dtmf", "159#", "--tone-ms", "70", "--gap-ms", "70", "--level", "-10"}, "a-keys.pcm");
    keysB_ = Make({"synth", "dtmf", "2580", "--tone-ms", "70", "--gap-ms", "70", "--level", "-10"}, "b-keys.pcm");
    const std::string burst = Make({"synth", "callerid", "--number", "5551234567", "--name", "DOE JOHN",
                                    "--level", "-10", "--lead-ms", "300", "--trail-ms", "300"},
                                   "burst.pcm");
    pcm_ = dir_.File("call.pcm");
    Sh("cat " + keysA_ + " " + burst + " > " + pcm_);
    const std::string b = dir_.File("b.pcm");
    Sh("cat " + keysB_ + " " + burst + " > " + b);
  }
  std::string Make(std::vector<std::string> args, const std::string& name) {
    args.push_back("-o");
    args.push_back(dir_.File(name));
    const ProcessResult r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return dir_.File(name);
  }
  static void Sh(const std::string& command) {
    const ProcessResult r = RunProcess({"/bin/sh", "-c", command});
    ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.err;
  }
  // sox reads the .pcm as 8 kHz mu-law and writes `name` with `options`.
  std::string Convert(const std::string& options, const std::string& name) {
    Sh(std::string(kSox) + " -t ul -r 8000 -c 1 " + pcm_ + " " + options + " " + dir_.File(name));
    return dir_.File(name);
  }
  static json Report(const std::vector<std::string>& args) {
    const ProcessResult r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return json::parse(r.out);
  }
  TempDir dir_;
  std::string keysA_, keysB_, pcm_;
};

struct Conversion {
  const char* name;
  const char* soxOptions;
  const char* file;
  bool sameTimes;  // the same bytes reach the detectors
};

class Conversions : public Recording, public ::testing::WithParamInterface<Conversion> {};

TEST_P(Conversions, GiveTheDigitsAndMessagesOfThePcm) {
  const std::string converted = Convert(GetParam().soxOptions, GetParam().file);
  const json dtmf = Report({"dtmf", "--json", pcm_, converted});
  EXPECT_EQ(dtmf[0]["digits"], "159#");
  EXPECT_EQ(dtmf[1]["digits"], "159#");
  const json callerId = Report({"callerid", "--json", pcm_, converted});
  ASSERT_EQ(callerId[1]["messages"].size(), 1u);
  EXPECT_EQ(callerId[1]["messages"][0]["number"], "5551234567");
  EXPECT_EQ(callerId[1]["messages"][0]["name"], "DOE JOHN");
  if (GetParam().sameTimes) {
    EXPECT_EQ(dtmf[1]["events"], dtmf[0]["events"]);
    EXPECT_EQ(callerId[1]["messages"], callerId[0]["messages"]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Conversions,
    ::testing::Values(Conversion{"WavPcm16", "-e signed -b 16", "c.wav", false},
                      Conversion{"WavUlaw", "-e u-law", "c.wav", true},
                      Conversion{"WavAlaw", "-e a-law", "c.wav", false},
                      Conversion{"WavImaAdpcm", "-e ima-adpcm", "c.wav", false},
                      Conversion{"Flac", "-b 16", "c.flac", false},
                      Conversion{"Wav16k", "-e signed -b 16 -r 16000", "c.wav", false},
                      Conversion{"Wav44k", "-e signed -b 16 -r 44100", "c.wav", false}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

TEST_F(Recording, HeaderlessFormatsAreNamedOnTheCommandLine) {
  const std::string s16be = Convert("-t s16 -e signed -b 16 -B -r 11025", "c.raw");
  const json r = Report({"dtmf", "--json", "--input-format", "s16be", "--rate", "11025", s16be});
  EXPECT_EQ(r[0]["digits"], "159#");
  EXPECT_EQ(r[0]["input"], (json{{"container", "raw"}, {"encoding", "pcm16"}, {"rate", 11025}, {"channels", 1}}));
}

TEST_F(Recording, EachChannelIsAStream) {
  const std::string stereo = dir_.File("stereo.wav");
  Sh(std::string(kSox) + " -M -t ul -r 8000 -c 1 " + pcm_ + " -t ul -r 8000 -c 1 " + dir_.File("b.pcm") +
     " -e signed -b 16 -r 44100 " + stereo);
  ProcessResult r = RunQuorvane({"dtmf", stereo});
  EXPECT_EQ(r.out, stereo + "#1\t159#\n" + stereo + "#2\t2580\n");
  r = RunQuorvane({"dtmf", "--channel", "2", stereo});
  EXPECT_EQ(r.out, "2580\n");  // one stream in all
  const json j = Report({"dtmf", "--json", stereo});
  EXPECT_EQ(j[1]["channel"], 2);
  EXPECT_EQ(RunQuorvane({"dtmf", "--channel", "3", stereo}).exitCode, 1);
}

TEST_F(Recording, StandardInputEqualsTheFile) {
  const std::string wav = Convert("-e signed -b 16 -r 16000", "c.wav");
  for (const std::string& path : {pcm_, wav}) {
    const ProcessResult file = RunQuorvane({"dtmf", "--jsonl", path});
    const ProcessResult piped = RunProcess(
        {"/bin/sh", "-c", "cat '" + path + "' | '" + QUORVANE_BINARY + "' dtmf --jsonl -"});
    std::string expected = file.out;
    for (std::size_t at; (at = expected.find(json(path).dump())) != std::string::npos;) {
      expected.replace(at, json(path).dump().size(), "\"-\"");
    }
    EXPECT_EQ(piped.out, expected);
  }
}

// A live line: the digit's line must come while the writer still holds the
// pipe open, not when it closes.
TEST_F(Recording, JsonLinesComeWhileThePipeIsOpen) {
  int in[2], out[2];
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(pipe(out), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[1]);
    close(out[0]);
    execl(QUORVANE_BINARY, QUORVANE_BINARY, "dtmf", "--jsonl", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  const std::vector<std::uint8_t> keys = testing::ReadBytes(keysA_);
  ASSERT_EQ(write(in[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  std::string got;
  pollfd ready{out[0], POLLIN, 0};
  while (got.find("\"digit\":\"#\"") == std::string::npos && poll(&ready, 1, 30000) > 0) {
    char buffer[512];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_NE(got.find("\"digit\":\"1\""), std::string::npos) << got;
  EXPECT_NE(got.find("\"digit\":\"#\""), std::string::npos) << got;
  close(in[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  close(out[0]);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CliInputs, AnUnknownDetectorIsAUsageError) {
  for (const char* command : {"dtmf", "callerid"}) {
    const ProcessResult r = RunQuorvane({command, "--detector", "fancy", "x.pcm"});
    EXPECT_EQ(r.exitCode, 2) << command;
    EXPECT_NE(r.err.find("--detector"), std::string::npos);
  }
}

// Headers that promise what they do not hold: a clear error or an empty
// result, never a crash or an unbounded allocation.
std::vector<std::uint8_t> WavHeader(std::uint16_t format, std::uint16_t channels, std::uint32_t rate,
                                    std::uint16_t bits, std::uint32_t dataBytes) {
  std::vector<std::uint8_t> h;
  auto put = [&h](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto tag = [&h](const char* t) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(t[i]));
  };
  tag("RIFF");
  put(36 + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(format, 2);
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * bits / 8, 4);
  put(channels * bits / 8, 2);
  put(bits, 2);
  tag("data");
  put(dataBytes, 4);
  return h;
}

struct BadHeader {
  const char* name;
  std::vector<std::uint8_t> bytes;
  int exitCode;
  const char* reason;  // in the one stderr line
};

class BadHeaders : public ::testing::TestWithParam<BadHeader> {};

TEST_P(BadHeaders, GiveAClearErrorOrAnEmptyResult) {
  TempDir dir;
  std::vector<std::uint8_t> bytes = GetParam().bytes;
  bytes.resize(bytes.size() + 3200, 0);  // some audio after the header
  testing::WriteBytes(dir.File("bad.wav"), bytes);
  const ProcessResult r = RunQuorvane({"dtmf", dir.File("bad.wav")});
  EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
  EXPECT_NE(r.err.find(GetParam().reason), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, BadHeaders,
    ::testing::Values(BadHeader{"LengthPastTheEnd", WavHeader(1, 1, 8000, 16, 0x7FFFFF00), 0, ""},
                      BadHeader{"ZeroChannels", WavHeader(1, 0, 8000, 16, 3200), 1, "bad.wav: "},
                      BadHeader{"AbsurdRate", WavHeader(1, 1, 4000000000u, 16, 3200), 1,
                                "bad.wav: the header names a rate of 4000000000 Hz"},
                      BadHeader{"OneHertz", WavHeader(1, 1, 1, 16, 3200), 1, "bad.wav: the header names a rate of 1 Hz"},
                      BadHeader{"ZeroRate", WavHeader(1, 1, 0, 16, 3200), 1, "bad.wav: "},
                      BadHeader{"UnknownEncoding", WavHeader(0x1234, 1, 8000, 16, 3200), 1, "bad.wav: "},
                      BadHeader{"TruncatedHeader", [] {
                                  std::vector<std::uint8_t> header = WavHeader(1, 1, 8000, 16, 0);
                                  header.resize(20);
                                  return header;
                                }(),
                                1, "bad.wav: "}),
    [](const ::testing::TestParamInfo<BadHeader>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// A live line on standard input, interrupted: the keys found so far, then
// the stream's totals, and the exit status of an interrupt.
TEST(CliInterrupt, CtrlCEndsAPipeWithItsTotalsSoFar) {
  TempDir dir;
  ASSERT_EQ(RunQuorvane({"synth", "dtmf", "159", "-o", dir.File("keys.pcm")}).exitCode, 0);
  const std::string script = "cd '" + dir.path().string() + "'; { cat keys.pcm; sleep 4; } | '" + QUORVANE_BINARY +
                             "' dtmf --jsonl - > out 2> err & pid=$!; "
                             "for i in $(seq 300); do [ \"$(wc -l < out)\" -ge 3 ] && break; sleep 0.01; done; "
                             "kill -INT $pid; wait $pid; echo \"status $?\"; cat out err";
  const auto r = testing::RunProcess({"/bin/sh", "-c", script});
  EXPECT_NE(r.out.find("status 130\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"file\":\"-\",\"done\":true,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"digits\":\"159\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("quorvane: interrupted: the totals above are those read so far"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace quorvane
