// A recording larger than 4 GiB: the DTMF run streams it frame by frame and
// keeps exact positions past the 32-bit limit. Slow; `make test-long`.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "runs/dtmf_run.h"
#include "dtmf/synth.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

TEST(Long, DtmfRunPastFourGibibytes) {
  testing::TempDir dir;
  DtmfSynthOptions keys;
  keys.digits = "159#";
  std::string error;
  ASSERT_TRUE(SynthesizeDtmf(keys, dir.File("keys.pcm"), &error)) << error;
  const auto burst = testing::ReadBytes(dir.File("keys.pcm"));

  // 4.5 GiB of silence (0xFF would need writing; a sparse hole reads as 0x00,
  // a loud constant that carries no tone), then the keys.
  const std::int64_t start = 4608LL * 1024 * 1024;
  const std::string path = dir.File("huge.pcm");
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, burst.data(), burst.size(), start), static_cast<ssize_t>(burst.size()));
  close(fd);

  PcmRawFile file;
  ASSERT_TRUE(file.Open(path, &error)) << error;
  DtmfRunResult run;
  EXPECT_TRUE(RunDtmfDetection(file, &run, &error, true)) << error;
  EXPECT_EQ(run.digits, "159#");
  ASSERT_FALSE(run.events.empty());
  EXPECT_GT(run.events[0].start, start);
  EXPECT_EQ(run.events[0].start % 160, 0);
}

}  // namespace
}  // namespace quorvane
