// End-to-end: the real quorvane binary on real files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;
using testing::TempDir;

const std::string kSample = std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm";

std::string MakeKeys(const TempDir& dir, const std::string& name, const std::string& keys) {
  const std::string path = dir.File(name);
  const auto r = RunQuorvane({"synth", "dtmf", keys, "-o", path});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

TEST(CliDtmf, PrintsTheDigitsOfOneFile) {
  const auto r = RunQuorvane({"dtmf", kSample});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "0123456789*#ABCD\n");
  EXPECT_EQ(r.err, "");
}

TEST(CliDtmf, SeveralFilesGiveTabbedLinesAndAMissingOneFails) {
  TempDir dir;
  const std::string a = MakeKeys(dir, "a.pcm", "42");
  const std::string b = MakeKeys(dir, "b b.pcm", "#*");
  const std::string missing = dir.File("missing.pcm");
  const auto r = RunQuorvane({"dtmf", a, missing, b});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, a + "\t42\n" + b + "\t#*\n");
  EXPECT_NE(r.err.find(missing), std::string::npos);
  EXPECT_NE(r.err.find("No such file"), std::string::npos);
}

TEST(CliDtmf, JsonListsDigitsWithTimes) {
  TempDir dir;
  const std::string a = MakeKeys(dir, "a.pcm", "5");
  const auto r = RunQuorvane({"dtmf", "--json", "--offset", "165", a, dir.File("gone.pcm")});
  EXPECT_EQ(r.exitCode, 1);
  const auto report = nlohmann::json::parse(r.out);
  ASSERT_EQ(report.size(), 2u);
  EXPECT_EQ(report[0]["file"], a);
  EXPECT_EQ(report[0]["digits"], "5");
  ASSERT_EQ(report[0]["events"].size(), 1u);
  EXPECT_EQ(report[0]["events"][0]["digit"], "5");
  // --offset 165 is 5 bytes: frames start at 5 + 160 n bytes.
  const double time = report[0]["events"][0]["time"];
  const double frames = (time * 8000.0 - 5.0) / 160.0;
  EXPECT_DOUBLE_EQ(frames, std::round(frames));
  EXPECT_TRUE(report[1].contains("error"));
}

struct UsageCase {
  std::vector<std::string> args;
};

TEST(CliDtmf, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"dtmf"}, {"dtmf", "--offset", "-1", "x.pcm"}, {"dtmf", "--bogus", "x.pcm"},
      {"dtmf", "--offset", "abc", "x.pcm"}, {}, {"nosuchcommand"}};
  for (const auto& args : cases) {
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliDtmf, HelpAndVersionSucceed) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"--version"}, {"dtmf", "--help"}, {"dtmf", "--version"}, {"synth", "dtmf", "--help"}}) {
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 0) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.out.empty());
  }
  EXPECT_NE(RunQuorvane({"--version"}).out.find("quorvane 1.0.0"), std::string::npos);
}

TEST(CliDtmf, FolderAsFileFails) {
  TempDir dir;
  const auto r = RunQuorvane({"dtmf", dir.path().string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Is a directory"), std::string::npos);
}

// 40 ms tones 40 ms apart at -20 dBm0 with 3 dB of twist: the robust
// profile finds them and reports where they start, how long they sound and
// their levels.
TEST(CliDtmf, RobustDetectorGivesEachToneItsMeasures) {
  TempDir dir;
  const std::string path = dir.File("short.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "dtmf", "159D", "--tone-ms", "40", "--gap-ms", "40", "--level", "-20", "--twist", "-3",
                         "-o", path})
                .exitCode,
            0);
  const auto text = RunQuorvane({"dtmf", "--detector", "robust", path});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out, "159D\n");
  const auto r = RunQuorvane({"dtmf", "--detector", "robust", "--json", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto events = nlohmann::json::parse(r.out).at(0).at("events");
  ASSERT_EQ(events.size(), 4u);
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto& e = events[i];
    EXPECT_EQ(e.at("source"), "audio");
    EXPECT_NEAR(e.at("time").get<double>(), 0.05 + 0.08 * static_cast<double>(i), 0.002);
    EXPECT_NEAR(e.at("duration").get<double>(), 0.04, 0.002);
    EXPECT_NEAR(e.at("lowLevel").get<double>(), -20.0, 1.0);
    EXPECT_NEAR(e.at("highLevel").get<double>(), -23.0, 1.0);
    EXPECT_NEAR(e.at("twist").get<double>(), -3.0, 1.0);
    EXPECT_GT(e.at("snr").get<double>(), 20.0);
  }
}

}  // namespace
}  // namespace quorvane
