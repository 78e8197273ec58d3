// End-to-end: quorvane callerid and quorvane synth callerid.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;
using testing::TempDir;

const std::string kSample = std::string(QUORVANE_SAMPLES) + "/callerid-mdmf.pcm";

TEST(CliCallerId, PrintsTheNumberOfTheSample) {
  const auto r = RunQuorvane({"callerid", kSample});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "5551234567\n");
  // No message at all: an empty line.
  EXPECT_EQ(RunQuorvane({"callerid", std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm"}).out, "\n");
}

// A byte that is not UTF-8 in a decoded field (a damaged line) is U+FFFD in
// JSON, for both profiles, and the run goes on.
TEST(CliCallerId, BytesThatAreNotUtf8AreReplacedInJson) {
  TempDir dir;
  const std::string path = dir.File("damaged.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "callerid", "-o", path, "--number", "\xb5" "555", "--name", "X"}).exitCode, 0);
  for (const char* profile : {"exact", "robust"}) {
    const auto r = RunQuorvane({"callerid", "--detector", profile, "--jsonl", path, path});
    ASSERT_EQ(r.exitCode, 0) << profile << r.err;
    std::istringstream lines(r.out);
    int done = 0;
    for (std::string line; std::getline(lines, line);) {
      const auto object = nlohmann::json::parse(line);
      if (!object.value("done", false)) continue;
      ++done;
      // The robust receiver shows what is not printable as '?' itself.
      EXPECT_EQ(object["number"], std::string(profile) == "exact" ? "\uFFFD555" : "?555") << profile;
    }
    EXPECT_EQ(done, 2) << profile;
  }
  EXPECT_EQ(RunQuorvane({"callerid", path}).out, "\xb5" "555\n");
}

TEST(CliCallerId, SeveralFilesJsonAndAMissingOne) {
  TempDir dir;
  const std::string a = dir.File("a.pcm");
  const std::string b = dir.File("b b.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "callerid", "-o", a, "--format", "sdmf", "--number", "0123"}).exitCode, 0);
  ASSERT_EQ(RunQuorvane({"synth", "callerid", "-o", b, "--number-absent", "P", "--name", "X Y"}).exitCode, 0);
  const auto plain = RunQuorvane({"callerid", a, b, dir.File("none.pcm")});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_EQ(plain.out, a + "\t0123\n" + b + "\t\n");
  EXPECT_NE(plain.err.find("none.pcm"), std::string::npos);

  const auto json = RunQuorvane({"callerid", "--json", "--offset", "7", a, b});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto report = nlohmann::json::parse(json.out);
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[0]["number"], "0123");
  EXPECT_EQ(report[0]["messages"][0]["type"], "SDMF");
  EXPECT_EQ(report[0]["messages"][0]["nameUnavailable"], true);
  const auto& m = report[1]["messages"][0];
  EXPECT_EQ(m["type"], "MDMF");
  EXPECT_EQ(m["number"], "");
  EXPECT_EQ(m["name"], "X Y");
  EXPECT_EQ(m["numberWithheld"], true);
  EXPECT_EQ(m["numberUnavailable"], false);
  EXPECT_EQ(m["nameWithheld"], false);
  const double frames = (m["time"].get<double>() * 8000.0 - 7.0) / 160.0;
  EXPECT_DOUBLE_EQ(frames, std::round(frames));
}

TEST(CliCallerId, NoisyShiftedV23Burst) {
  TempDir dir;
  const std::string path = dir.File("v.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "callerid", "-o", path, "--v23", "--number", "77", "--snr", "20", "--freq-offset", "0.5"}).exitCode, 0);
  EXPECT_EQ(RunQuorvane({"callerid", "--v23", path}).out, "77\n");
}

TEST(CliCallerId, UsageErrors) {
  TempDir dir;
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"callerid"},
           {"callerid", "--offset", "-3", "x.pcm"},
           {"synth", "callerid"},
           {"synth", "callerid", "-o", dir.File("x.pcm"), "--format", "xdmf"},
           {"synth", "callerid", "-o", dir.File("x.pcm"), "--datetime", "1234"},
           {"synth", "callerid", "-o", dir.File("x.pcm"), "--format", "sdmf", "--name", "N"}}) {
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(RunQuorvane({"synth", "callerid", "-o", dir.File("no/dir/x.pcm")}).exitCode, 1);
}

}  // namespace
}  // namespace quorvane
