// End-to-end: quorvane plot writes a picture and refuses what it cannot do.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::RunQuorvane;
using testing::TempDir;

const std::string kSample = std::string(QUORVANE_SAMPLES) + "/dtmf-keys.pcm";

TEST(CliPlot, WritesAPictureAndPrintsNothing) {
  TempDir dir;
  const auto r = RunQuorvane({"plot", kSample, "-o", dir.File("keys.svg"), "--from", "0.2", "--to", "0.8"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_GT(std::filesystem::file_size(dir.File("keys.svg")), 1000u);
}

TEST(CliPlot, ErrorsAreOneLineWithTheirExitStatus) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{"plot", kSample, "-o", dir.File("no/such/folder/p.png")}, 1},  // unwritable output
      {{"plot", dir.File("missing.pcm"), "-o", dir.File("p.png")}, 1},  // unreadable input
      {{"plot", kSample, "-o", dir.File("p.gif")}, 2},                  // unknown extension
      {{"plot", kSample, "-o", dir.File("p.png"), "--from", "1", "--to", "0.5"}, 2},
      {{"plot", kSample, "-o", dir.File("p.png"), "--to", "60"}, 2},    // past the end
  };
  for (const auto& c : cases) {
    const auto r = RunQuorvane(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << c.args[3] << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("p.png")));
}

}  // namespace
}  // namespace quorvane
