#include "runs/dtmf_run.h"

#include <gtest/gtest.h>

#include "dtmf/synth.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;

std::string SynthKeys(const TempDir& dir, const std::string& keys) {
  DtmfSynthOptions o;
  o.digits = keys;
  o.toneMs = 50;
  o.gapMs = 50;
  o.levelDbm0 = -10;
  const std::string path = dir.File("keys.pcm");
  std::string error;
  EXPECT_TRUE(SynthesizeDtmf(o, path, &error)) << error;
  return path;
}

// What the window's button does: open at the rotating offset, then run.
DtmfRunResult RunAtOffset(const std::string& path, std::int32_t& offset, bool keepEvents = false) {
  PcmRawFile file;
  DtmfRunResult result;
  std::string error;
  EXPECT_TRUE(file.OpenAtRotatingOffset(path, offset, &error)) << error;
  EXPECT_TRUE(RunDtmfDetection(file, &result, &error, keepEvents)) << error;
  return result;
}

TEST(DtmfRun, SixteenKeysAtEveryStartOffset) {
  TempDir dir;
  const std::string path = SynthKeys(dir, "123A456B789C*0#D");
  std::int32_t offset = 0;
  for (int run = 0; run < 32; ++run) {
    EXPECT_EQ(offset, run * 5);
    EXPECT_EQ(RunAtOffset(path, offset).digits, "123A456B789C*0#D") << "start offset " << run * 5;
  }
  EXPECT_EQ(offset, 160);  // reduced modulo 160 at the next run
  EXPECT_EQ(RunAtOffset(path, offset).digits, "123A456B789C*0#D");
  EXPECT_EQ(offset, 5);
}

TEST(DtmfRun, MissingFileLeavesTheOffset) {
  TempDir dir;
  std::int32_t offset = 35;
  PcmRawFile file;
  std::string error;
  EXPECT_FALSE(file.OpenAtRotatingOffset(dir.File("nope.pcm"), offset, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(offset, 35);
}

TEST(DtmfRun, OneFrameFileIsReadOnlyAtOffsetZero) {
  TempDir dir;
  testing::WriteBytes(dir.File("one.pcm"), std::vector<std::uint8_t>(160, 0xFF));
  std::int32_t offset = 0;
  EXPECT_EQ(RunAtOffset(dir.File("one.pcm"), offset).frames, 1);
  const DtmfRunResult second = RunAtOffset(dir.File("one.pcm"), offset);
  EXPECT_EQ(second.frames, 0);
  EXPECT_EQ(second.digits, "");
  EXPECT_EQ(offset, 10);
}

TEST(DtmfRun, EventsCarryTheirFramePositions) {
  TempDir dir;
  const std::string path = SynthKeys(dir, "19");
  std::int32_t offset = 5;
  EXPECT_TRUE(RunAtOffset(path, offset).events.empty());  // only kept when asked for
  offset = 5;
  const DtmfRunResult result = RunAtOffset(path, offset, true);
  ASSERT_EQ(result.events.size(), 2u);
  EXPECT_EQ(result.events[0].key, '1');
  EXPECT_EQ((result.events[0].start - 5) % 160, 0);
  EXPECT_GT(result.events[1].start, 800);  // the second key starts at 100 ms
}

TEST(DtmfRun, FolderIsAReadFailure) {
  TempDir dir;
  std::int32_t offset = 0;
  PcmRawFile file;
  ASSERT_TRUE(file.OpenAtRotatingOffset(dir.path().string(), offset, nullptr));
  DtmfRunResult result;
  std::string error;
  EXPECT_FALSE(RunDtmfDetection(file, &result, &error));
  EXPECT_EQ(error, "Is a directory");
  EXPECT_EQ(result.digits, "");
}

}  // namespace
}  // namespace quorvane
