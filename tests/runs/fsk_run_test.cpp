#include "runs/fsk_run.h"

#include <gtest/gtest.h>

#include "callerid/synth.h"
#include "callerid/exact/fsk_receiver.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

// What the window's button does: open at the rotating offset, then run.
FskRunResult RunAtOffset(const std::string& path, std::int32_t& offset, TonePlan plan = TonePlan::Bell202) {
  PcmRawFile file;
  FskRunResult result;
  std::string error;
  EXPECT_TRUE(file.OpenAtRotatingOffset(path, offset, &error)) << error;
  EXPECT_TRUE(RunFskDetection(file, &result, &error, plan)) << error;
  return result;
}

using testing::TempDir;

struct BurstCase {
  const char* title;
  bool multiple;
  bool v23;
};

class SynthesisedBurst : public ::testing::TestWithParam<BurstCase> {};

// -13 dBm0, 30 seizure bytes and 150 ms of mark decode at all 32 alignments.
TEST_P(SynthesisedBurst, DecodesAtEveryStartOffset) {
  const BurstCase& c = GetParam();
  TempDir dir;
  CallerIdSynthOptions o;
  o.multipleDataMessage = c.multiple;
  o.plan = c.v23 ? TonePlan::V23 : TonePlan::Bell202;
  o.number = "5551234567";
  o.name = c.multiple ? "DOE JOHN" : "";
  o.levelDbm0 = -13;
  o.seizureBytes = 30;
  o.markMs = 150;
  std::string error;
  ASSERT_TRUE(SynthesizeCallerId(o, dir.File("burst.pcm"), &error)) << error;
  std::int32_t offset = 0;
  for (int run = 0; run < 32; ++run) {
    const FskRunResult result = RunAtOffset(dir.File("burst.pcm"), offset, o.plan);
    ASSERT_EQ(result.messages.size(), 1u) << "start offset " << run * 5;
    EXPECT_EQ(result.number, "5551234567") << "start offset " << run * 5;
    const CallerIdInfo& m = result.messages[0].info;
    EXPECT_EQ(m.name, o.name);
    EXPECT_EQ(m.nameUnavailable, !c.multiple);
    EXPECT_FALSE(m.nameWithheld || m.numberWithheld || m.numberUnavailable);
    EXPECT_EQ(m.type, c.multiple ? CallerIdType::Mdmf : CallerIdType::Sdmf);
  }
  EXPECT_EQ(offset, 160);
}

INSTANTIATE_TEST_SUITE_P(FskRun, SynthesisedBurst,
                         ::testing::Values(BurstCase{"Bell202Multiple", true, false},
                                           BurstCase{"Bell202Single", false, false},
                                           BurstCase{"V23Multiple", true, true},
                                           BurstCase{"V23Single", false, true}),
                         [](const ::testing::TestParamInfo<BurstCase>& info) { return std::string(info.param.title); });

TEST(FskRun, FileShorterThanOffsetPlusAFrameIsEmpty) {
  TempDir dir;
  testing::WriteBytes(dir.File("short.pcm"), std::vector<std::uint8_t>(200, 0xFF));
  std::int32_t offset = 45;
  const FskRunResult result = RunAtOffset(dir.File("short.pcm"), offset);
  EXPECT_EQ(result.frames, 0);
  EXPECT_EQ(result.number, "");
  EXPECT_EQ(offset, 50);
}

TEST(FskRun, LastMessageWinsAndTimesAreFramePositions) {
  TempDir dir;
  CallerIdSynthOptions o;
  o.number = "111";
  std::string error;
  ASSERT_TRUE(SynthesizeCallerId(o, dir.File("a.pcm"), &error));
  o.number = "";
  o.numberAbsence = 'P';
  ASSERT_TRUE(SynthesizeCallerId(o, dir.File("b.pcm"), &error));
  auto a = testing::ReadBytes(dir.File("a.pcm"));
  const auto b = testing::ReadBytes(dir.File("b.pcm"));
  a.insert(a.end(), b.begin(), b.end());
  testing::WriteBytes(dir.File("ab.pcm"), a);
  std::int32_t offset = 0;
  const FskRunResult result = RunAtOffset(dir.File("ab.pcm"), offset);
  ASSERT_EQ(result.messages.size(), 2u);
  EXPECT_EQ(result.messages[0].info.number, "111");
  EXPECT_TRUE(result.messages[1].info.numberWithheld && result.messages[1].info.nameUnavailable);
  EXPECT_EQ(result.number, "");  // the last message carried no number
  EXPECT_EQ(result.messages[1].start % 160, 0);
  EXPECT_GT(result.messages[1].start, static_cast<std::int64_t>(b.size()));
}

}  // namespace
}  // namespace quorvane
