#include "dtmf/exact/dtmf_detector.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "dtmf/dtmf_test_signals.h"

namespace quorvane {
namespace {

using testing::DualTone;
using testing::FeedBlockPattern;

float StoredPower(const DtmfResonator& r) {
  const double o = r.older;
  const double n = r.newer;
  const double c = r.coef;
  return static_cast<float>(o * o + n * n - c * n * o);
}

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Chooses resonator outputs whose stored power is exactly `power`: newer
// just above its square root, then older found by bisection over the float
// bit patterns (the power falls as older grows from 0 while older is small).
void SetPower(DtmfResonator& r, float power) {
  r.newer = std::nextafter(static_cast<float>(std::sqrt(static_cast<double>(power))), 1e30f);
  std::uint32_t lo = 0;
  std::uint32_t hi = Bits(100.0f);
  while (lo < hi) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    r.older = std::bit_cast<float>(mid);
    if (StoredPower(r) <= power) hi = mid; else lo = mid + 1;
  }
  r.older = std::bit_cast<float>(lo);
  ASSERT_EQ(StoredPower(r), power);
}

struct BlockCase {
  const char* name;
  float rowPeak;
  float colPeak;
  float otherCol;  // power of column 1 (the peak is column 0)
  float energy;
  bool carriesTone;
};

class BlockDecision : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockDecision, ThresholdsAreExact) {
  const BlockCase& c = GetParam();
  DtmfDetector d;
  DtmfDetectorInit(&d);
  SetPower(d.row[0], c.rowPeak);
  SetPower(d.col[0], c.colPeak);
  if (c.otherCol > 0.0f) SetPower(d.col[1], c.otherCol);
  d.blockEnergy = c.energy;
  int r = -1;
  int k = -1;
  EXPECT_EQ(DtmfBlockResult(&d, &r, &k), c.carriesTone ? '1' : 0);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(k, 0);
}

constexpr float k2p30 = 1073741824.0f;  // 2^30

INSTANTIATE_TEST_SUITE_P(
    Dtmf, BlockDecision,
    ::testing::Values(
        BlockCase{"PowerExactly1e9Passes", 1e9f, 1e9f, 0.0f, 1e6f, true},
        BlockCase{"RowJustBelow1e9Fails", std::nextafter(1e9f, 0.0f), 1e9f, 0.0f, 1e6f, false},
        BlockCase{"ColJustBelow1e9Fails", 1e9f, std::nextafter(1e9f, 0.0f), 0.0f, 1e6f, false},
        BlockCase{"ColExactly100TimesRowFails", k2p30, 100.0f * k2p30, 0.0f, 1e6f, false},
        BlockCase{"ColJustUnder100TimesRowPasses", k2p30, std::nextafter(100.0f * k2p30, 0.0f), 0.0f, 1e6f, true},
        BlockCase{"RowExactly100TimesColFails", 100.0f * k2p30, k2p30, 0.0f, 1e6f, false},
        BlockCase{"PeakExactly6TimesNeighbourPasses", k2p30, 6.0f * k2p30, k2p30, 1e6f, true},
        BlockCase{"PeakJustUnder6TimesNeighbourFails", k2p30, 6.0f * k2p30, std::nextafter(k2p30, 1e30f), 1e6f, false},
        BlockCase{"SumExactly42TimesEnergyFails", 21.0f * 67108864.0f, 21.0f * 67108864.0f, 0.0f, 67108864.0f, false},
        BlockCase{"SumJustAbove42TimesEnergyPasses", 21.0f * 67108864.0f, 21.0f * 67108864.0f, 0.0f,
                  std::nextafter(67108864.0f, 0.0f), true}),
    [](const ::testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

TEST(DtmfDetector, CoefficientsMatchTheTwoPiConstant) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  const float expected[8] = {1.7077378f, 1.6452811f, 1.5686870f, 1.4782046f,
                             1.1641040f, 0.9963702f, 0.7986184f, 0.5685327f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(d.row[i].coef, expected[i], 1e-7);
    EXPECT_NEAR(d.col[i].coef, expected[i + 4], 1e-7);
  }
}

TEST(DtmfDetector, EqualPowersInAGroupCarryNoTone) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  SetPower(d.row[0], k2p30);
  SetPower(d.row[2], k2p30);
  SetPower(d.col[1], k2p30);
  int r = -1;
  int k = -1;
  EXPECT_EQ(DtmfBlockResult(&d, &r, &k), 0);
  EXPECT_EQ(r, 0);  // the tie keeps the lower index
}

TEST(DtmfDetector, LevelOfTheDocumentedExample) {
  for (const auto& [peak, tone] : {std::pair{1000.0, true}, std::pair{500.0, false}}) {
    DtmfDetector d;
    DtmfDetectorInit(&d);
    std::vector<std::int16_t> block = DualTone('1', peak, kDtmfBlockSize);
    std::int32_t flag = 0;
    DtmfDetect(&d, block.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag);
    EXPECT_EQ(d.history[3], tone ? '1' : 0) << "peak " << peak;
  }
}

struct PatternCase {
  const char* blocks;     // one character per block, '-' for silence
  const char* published;  // digits stored, in order
};

class AdmissionPattern : public ::testing::TestWithParam<PatternCase> {};

TEST_P(AdmissionPattern, StoresExactlyTheAdmittedDigits) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  EXPECT_EQ(FeedBlockPattern(d, GetParam().blocks), GetParam().published);
}

INSTANTIATE_TEST_SUITE_P(Dtmf, AdmissionPattern,
                         ::testing::Values(PatternCase{"------", ""},
                                           PatternCase{"--55--", ""},
                                           PatternCase{"--555", "5"},
                                           PatternCase{"-5-555", "5"},
                                           PatternCase{"5555-555", "5"},
                                           PatternCase{"5555--555", "55"},
                                           PatternCase{"--444666", "46"},
                                           PatternCase{"--555555555555", "5"}));

TEST(DtmfDetector, ReturnsTheHeldDigitWhileItLasts) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  std::int32_t flag = 0;
  std::vector<std::int16_t> silence(kDtmfBlockSize, 0);
  std::vector<std::int16_t> tone = DualTone('#', 5000.0, kDtmfBlockSize);
  EXPECT_EQ(DtmfDetect(&d, silence.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), 0);
  EXPECT_EQ(DtmfDetect(&d, tone.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), 0);
  EXPECT_EQ(DtmfDetect(&d, tone.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), 0);
  EXPECT_EQ(DtmfDetect(&d, tone.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), '#');
  EXPECT_EQ(DtmfDetect(&d, tone.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), '#');
  // A call that ends no block drops the held digit for good.
  EXPECT_EQ(DtmfDetect(&d, tone.data(), 0, DTMF_KEEP_SAMPLES, &flag), 0);
  EXPECT_EQ(d.heldDigit, 0);
  EXPECT_EQ(DtmfDetect(&d, tone.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &flag), 0);
  EXPECT_EQ(d.keyHits[14], 1);
  EXPECT_EQ(d.totalDigits, 1);
  EXPECT_EQ(flag, 0);
}

TEST(DtmfDetector, ToneBlockAndCarryOverAreCleared) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  std::vector<std::int16_t> tone = DualTone('5', 5000.0, 162);
  std::int32_t flag = 0;
  DtmfDetect(&d, tone.data(), 2, 0, &flag);  // the block's first two samples
  EXPECT_EQ(flag, 0);
  std::vector<std::int16_t> call(tone.begin() + 2, tone.end());
  DtmfDetect(&d, call.data(), 160, 0, &flag);
  EXPECT_EQ(flag, 1);
  for (std::int16_t s : call) ASSERT_EQ(s, 0);
  EXPECT_NE(tone[1], 0);  // passed in the earlier call: untouched
}

TEST(DtmfDetector, KeepSamplesLeavesBufferAndFlag) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  std::vector<std::int16_t> tone = DualTone('5', 5000.0, 160);
  const std::vector<std::int16_t> original = tone;
  std::int32_t flag = 7;
  DtmfDetect(&d, tone.data(), 160, DTMF_KEEP_SAMPLES, &flag);
  EXPECT_EQ(tone, original);
  EXPECT_EQ(flag, 7);
}

TEST(DtmfDetector, BlockWithoutToneEndsTheClearing) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  std::vector<std::int16_t> tone = DualTone('9', 5000.0, 102);
  std::int32_t flag = 0;
  DtmfDetect(&d, tone.data(), 62, 0, &flag);
  // The call: 40 tone samples end the tone block, then low noise.
  std::vector<std::int16_t> call(160);
  for (int i = 0; i < 40; ++i) call[static_cast<std::size_t>(i)] = tone[static_cast<std::size_t>(62 + i)];
  for (int i = 40; i < 160; ++i) call[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i * 37) % 200 - 100);
  const std::vector<std::int16_t> original = call;
  DtmfDetect(&d, call.data(), 160, 0, &flag);
  EXPECT_EQ(flag, 1);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(call[static_cast<std::size_t>(i)], 0) << i;
  for (int i = 40; i < 160; ++i) ASSERT_EQ(call[static_cast<std::size_t>(i)], original[static_cast<std::size_t>(i)]) << i;
}

TEST(DtmfDetector, StoreHoldsAtMost128Digits) {
  DtmfDetector d;
  DtmfDetectorInit(&d);
  std::string pattern;
  for (int i = 0; i < 130; ++i) pattern += (i % 2) ? "--777" : "--888";
  const std::string published = FeedBlockPattern(d, pattern);
  EXPECT_EQ(published.size(), 128u);
  EXPECT_EQ(d.digitCount, 128);
  EXPECT_EQ(d.digits[128], 0);
  EXPECT_EQ(std::string(d.digits), published);
  EXPECT_EQ(d.totalDigits, 130);
  EXPECT_EQ(d.overflowCount, 2);
  EXPECT_EQ(d.lastDigit, 0);
  EXPECT_EQ(d.heldDigit, '7');
}

TEST(DtmfDetector, BlocksRunAcrossCallBoundaries) {
  // The same signal in 160-sample calls and in 1-sample calls stores the same digits.
  std::vector<std::int16_t> signal;
  for (char key : std::string("1D*")) {
    auto tone = DualTone(key, 4000.0, 420);
    signal.insert(signal.end(), tone.begin(), tone.end());
    signal.insert(signal.end(), 300, 0);
  }
  auto run = [&](int callSize) {
    DtmfDetector d;
    DtmfDetectorInit(&d);
    std::vector<std::int16_t> copy = signal;
    std::int32_t flag = 0;
    for (std::size_t p = 0; p < copy.size(); p += static_cast<std::size_t>(callSize)) {
      const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(callSize), copy.size() - p));
      DtmfDetect(&d, copy.data() + p, n, DTMF_KEEP_SAMPLES, &flag);
    }
    return std::string(d.digits);
  };
  EXPECT_EQ(run(160), "1D*");
  EXPECT_EQ(run(1), "1D*");
  EXPECT_EQ(run(1000), "1D*");
}

}  // namespace
}  // namespace quorvane
