// The run-at-once filter chain and the receiver loop built on it against
// the sample-by-sample demodulator, bit for bit: every trace value, every
// level, every character, the whole demodulator state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <random>

#include "callerid/exact/fsk_demodulator.h"
#include "callerid/exact/fsk_receiver.h"
#include "callerid/fsk_test_signals.h"

namespace quorvane {
namespace {

std::unique_ptr<FskReceiver> Receiver(int mode) {
  auto r = std::make_unique<FskReceiver>();
  r->Init(mode);
  return r;
}

bool SameState(const FskDemodulator& a, const FskDemodulator& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<std::int16_t> RandomAudio() {
  std::mt19937 random(5);
  std::vector<std::int16_t> out(20000);
  for (auto& s : out) s = static_cast<std::int16_t>(random());
  return out;
}

// Full-scale runs of both signs, then a long fade to silence, where the
// filter states decay through the subnormal range.
std::vector<std::int16_t> ExtremesAndDecay() {
  std::vector<std::int16_t> out;
  for (int run : {1, 3, 7, 40, 300}) {
    out.insert(out.end(), static_cast<std::size_t>(run), 32767);
    out.insert(out.end(), static_cast<std::size_t>(run), -32767);
  }
  out.insert(out.end(), 3, 1);
  out.insert(out.end(), 200000, 0);
  return out;
}

std::vector<std::int16_t> CallerIdBurst() {
  std::vector<std::uint8_t> bytes(30, 0x55);
  for (char c : std::string("\x04\x12" "12081530" "5551234567")) bytes.push_back(static_cast<std::uint8_t>(c));
  return testing::Bell202(testing::CharacterBits(bytes));
}

struct Signal {
  const char* name;
  std::vector<std::int16_t> (*make)();
};

class FskRuns : public ::testing::TestWithParam<Signal> {};

TEST_P(FskRuns, FilterRunEqualsSampleBySample) {
  const std::vector<std::int16_t> signal = GetParam().make();
  for (int mode : {1, 2}) {
    auto reference = Receiver(mode);
    auto fast = Receiver(mode);
    std::vector<float> levels(signal.size());
    // Runs of uneven lengths, so the rings are left at every position.
    for (std::size_t p = 0, run = 1; p < signal.size(); p += run, run = run * 5 % 997 + 1) {
      run = std::min(run, signal.size() - p);
      FskFilterSamples(&fast->demod, signal.data() + p, static_cast<std::int32_t>(run), levels.data() + p);
    }
    for (std::size_t i = 0; i < signal.size(); ++i) {
      float y = 0;
      FilterSample(&reference->demod, static_cast<float>(signal[i]) * 0.00390625f, &y);
      ASSERT_EQ(std::memcmp(&y, &levels[i], sizeof y), 0) << "mode " << mode << " sample " << i;
    }
    EXPECT_TRUE(SameState(fast->demod, reference->demod)) << "mode " << mode;
  }
}

TEST_P(FskRuns, ReceiverLoopEqualsSampleBySample) {
  const std::vector<std::uint8_t> bytes = testing::ToUlaw(GetParam().make());
  auto fast = Receiver(1);
  auto reference = Receiver(1);
  // The receiver's own loop over what Demodulate alone does with the same frames.
  std::vector<std::int16_t> held;
  std::vector<std::int32_t> characters;
  for (std::size_t p = 0; p + 160 <= bytes.size(); p += 160) {
    fast->ProcessFrame(bytes.data() + p, 160);
    for (std::size_t i = 0; i < 160; ++i) held.push_back(UlawToLinear(bytes[p + i]));
    std::int32_t count = static_cast<std::int32_t>(held.size());
    const std::int16_t* at = held.data();
    while (count >= 160) {
      const std::int32_t before = count;
      std::int32_t ch = 0;
      if (Demodulate(&reference->demod, at, &count, &ch) == 1) characters.push_back(ch);
      at += before - count;
    }
    held.erase(held.begin(), held.begin() + (at - held.data()));
    ASSERT_TRUE(SameState(fast->demod, reference->demod)) << "frame " << p / 160;
  }
  EXPECT_EQ(fast->carryBytes, static_cast<std::int32_t>(2 * held.size()));
}

// Carrying the levels of the carried samples instead of filtering them
// again: the same decisions and messages call by call, and the same filter
// outputs, only further on between calls.
TEST_P(FskRuns, CarriedLevelsDecideAsTheExactBoundary) {
  const std::vector<std::int16_t> samples = GetParam().make();
  auto exact = Receiver(1);
  auto carried = Receiver(1);
  carried->boundary = FskCallBoundary::CarriedLevels;
  std::mt19937 random(9);
  for (std::size_t p = 0; p < samples.size();) {
    const auto n = std::min<std::size_t>(samples.size() - p, p % 3 == 0 ? 160 : random() % 500);
    const auto* at = samples.data() + p;
    ASSERT_EQ(exact->ProcessSamples(at, static_cast<std::int32_t>(n)),
              carried->ProcessSamples(at, static_cast<std::int32_t>(n)));
    p += n;
    const FskDemodulator& a = exact->demod;
    const FskDemodulator& b = carried->demod;
    ASSERT_EQ(std::memcmp(&a, &b, offsetof(FskDemodulator, markFilter)), 0) << "sample " << p;
    ASSERT_EQ(a.state, b.state);
    ASSERT_EQ(exact->carryBytes, carried->carryBytes);
    ASSERT_EQ(exact->messageState, carried->messageState);
    ASSERT_STREQ(exact->number, carried->number);
    // The carried filters stand `ahead` samples further on.
    const int ahead = carried->carryBytes / 2;
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(a.trace[k][(a.traceIndex - 1 - i) & (kFskTraceLength - 1)],
                  b.trace[k][(b.traceIndex - 1 - ahead - i) & (kFskTraceLength - 1)]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, FskRuns,
                         ::testing::Values(Signal{"random", RandomAudio}, Signal{"extremes", ExtremesAndDecay},
                                           Signal{"callerid", CallerIdBurst}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FskRuns, DecayReachesSubnormals) {
  // The fade must really take the filter states below the normal range.
  auto r = Receiver(1);
  const std::vector<std::int16_t> signal = ExtremesAndDecay();
  std::vector<float> levels(signal.size());
  bool subnormal = false;
  for (std::size_t p = 0; p < signal.size(); p += 1000) {
    FskFilterSamples(&r->demod, signal.data() + p, static_cast<std::int32_t>(std::min<std::size_t>(1000, signal.size() - p)), levels.data() + p);
    for (double v : r->demod.markFilter.output) subnormal = subnormal || std::fpclassify(v) == FP_SUBNORMAL;
    for (float v : r->demod.trace[2]) subnormal = subnormal || std::fpclassify(v) == FP_SUBNORMAL;
  }
  EXPECT_TRUE(subnormal);
}

}  // namespace
}  // namespace quorvane
