// End-to-end: quorvane callerid --detector robust on a synthesised
// off-hook burst after its alerting signal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;
using testing::TempDir;

TEST(CliCallerIdRobust, AlertAndV23MessageWithoutAFlag) {
  TempDir dir;
  const std::string path = dir.File("offhook.pcm");
  ASSERT_EQ(RunQuorvane({"synth", "callerid", "-o", path, "--alert", "--v23", "--seizure", "0", "--mark-ms", "80",
                         "--number", "5551234", "--call-type", "1", "--param", "E0:0102", "--level", "-45", "--snr", "12"})
                .exitCode,
            0);
  const auto r = RunQuorvane({"callerid", "--detector", "robust", "--json", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto stream = nlohmann::json::parse(r.out).at(0);
  EXPECT_EQ(stream["number"], "5551234");
  EXPECT_EQ(stream["rejected"], 0);
  ASSERT_EQ(stream["alerts"].size(), 1u);
  EXPECT_NEAR(stream["alerts"][0]["time"].get<double>(), 0.1, 0.01);
  EXPECT_NEAR(stream["alerts"][0]["duration"].get<double>(), 0.08, 0.01);
  const auto& message = stream["messages"].at(0);
  EXPECT_EQ(message["type"], "MDMF");
  EXPECT_EQ(message["tonePlan"], "v23");
  EXPECT_EQ(message["date"], (nlohmann::json{{"month", 12}, {"day", 8}, {"hour", 15}, {"minute", 30}}));
  EXPECT_EQ(message["callType"], 1);
  EXPECT_NEAR(message["level"].get<double>(), -45.0, 1.5);
  EXPECT_EQ(message["parameters"].back(), (nlohmann::json{{"type", 0xE0}, {"hex", "0102"}}));
  EXPECT_EQ(RunQuorvane({"callerid", "--detector", "robust", path}).out, "5551234\n");
}

}  // namespace
}  // namespace quorvane
