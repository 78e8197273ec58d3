// End-to-end: quorvane plot writes a picture and refuses what it cannot do.
#include <gtest/gtest.h>

#include <filesystem>

#include "codec/ulaw.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ReadBytes;
using testing::RunQuorvane;
using testing::TempDir;
using testing::WriteBytes;

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

// A 16-bit stereo WAV: the keys on the left, silence on the right.
std::vector<std::uint8_t> StereoWav() {
  const auto ulaw = ReadBytes(kSample);
  const auto dataBytes = static_cast<std::uint32_t>(ulaw.size() * 4);
  std::vector<std::uint8_t> w;
  auto put = [&w](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto tag = [&w](const char* t) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<std::uint8_t>(t[i]));
  };
  tag("RIFF"), put(36 + dataBytes, 4), tag("WAVE"), tag("fmt "), put(16, 4), put(1, 2), put(2, 2);
  put(8000, 4), put(32000, 4), put(4, 2), put(16, 2), tag("data"), put(dataBytes, 4);
  for (std::uint8_t b : ulaw) put(static_cast<std::uint16_t>(UlawToLinear(b)), 2), put(0, 2);
  return w;
}

TEST(CliPlot, StreamAndChannelPickOneStream) {
  TempDir dir;
  const std::string wav = dir.File("stereo.wav");
  WriteBytes(wav, StereoWav());
  for (const auto& pick : std::vector<std::vector<std::string>>{{"--stream", "2"}, {"--channel", "2"},
                                                                {"--stream", wav + "#1"}}) {
    std::vector<std::string> args{"plot", wav, "-o", dir.File("s.png")};
    args.insert(args.end(), pick.begin(), pick.end());
    const auto r = RunQuorvane(args);
    EXPECT_EQ(r.exitCode, 0) << pick[0] << " " << pick[1] << ": " << r.err;
  }
  const auto r = RunQuorvane({"plot", wav, "-o", dir.File("s.png"), "--stream", "3"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no stream 3"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quorvane
