#include "callerid/exact/fsk_demodulator.h"

#include <gtest/gtest.h>

#include <memory>

#include "callerid/exact/fsk_receiver.h"
#include "callerid/fsk_test_signals.h"

namespace quorvane {
namespace {

std::unique_ptr<FskReceiver> Receiver(int mode = 1) {
  auto r = std::make_unique<FskReceiver>();
  r->Init(mode);
  return r;
}

// Demodulates all of `samples` in one pass the way the receiver does and
// returns every character.
std::vector<std::int32_t> Characters(FskDemodulator& d, const std::vector<std::int16_t>& samples) {
  std::vector<std::int32_t> out;
  const std::int16_t* p = samples.data();
  std::int32_t count = static_cast<std::int32_t>(samples.size());
  while (count >= 80) {
    const std::int32_t before = count;
    std::int32_t ch = 0;
    if (Demodulate(&d, p, &count, &ch) == 1) out.push_back(ch);
    p += before - count;
    if (before == count) break;
  }
  return out;
}

TEST(FskDemodulator, SilenceKeepsHuntingAndConsumesEverything) {
  auto r = Receiver();
  std::vector<std::int16_t> silence(1000, 0);
  std::int32_t count = 1000;
  std::int32_t ch = -7;
  EXPECT_EQ(Demodulate(&r->demod, silence.data(), &count, &ch), 0);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(r->demod.state, 1);
  EXPECT_EQ(ch, -7);
}

TEST(FskDemodulator, SteadyMarkNeverStartsACharacter) {
  for (int mode : {1, 2}) {
    auto r = Receiver(mode);
    EXPECT_TRUE(Characters(r->demod, testing::SteadyTone(mode == 2 ? 1300 : 1200, 8000, 16000)).empty());
  }
}

TEST(FskDemodulator, SteadySpaceGivesBreakCharacters) {
  auto r = Receiver();
  const auto chars = Characters(r->demod, testing::SteadyTone(2200, 8000, 8000));
  ASSERT_GT(chars.size(), 50u);
  for (std::int32_t ch : chars) EXPECT_EQ(ch, 0x200);
}

TEST(FskDemodulator, DecodesBytesWithoutFramingErrors) {
  const std::vector<std::uint8_t> bytes = {0x55, 0x00, 0xFF, 0x80, 0x01, 0xA5, 0x3C};
  auto r = Receiver();
  const auto chars = Characters(r->demod, testing::Bell202(testing::CharacterBits(bytes)));
  ASSERT_EQ(chars.size(), bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(chars[i], bytes[i]) << i;
}

TEST(FskDemodulator, ParityErrorsSetBit8) {
  // Each character is sent as 8 data bits plus a parity bit.
  const std::uint8_t byte = 0x07;  // three ones
  std::vector<bool> bits(60, true);
  for (bool parity : {false, true}) {
    bits.push_back(false);
    for (int i = 0; i < 8; ++i) bits.push_back(((byte >> i) & 1) != 0);
    bits.push_back(parity);
    bits.push_back(true);
    bits.insert(bits.end(), 5, true);
  }
  const auto samples = testing::Bell202(bits);
  for (int mode : {1, 2}) {
    auto r = Receiver();
    r->demod.parityMode = mode;
    const auto chars = Characters(r->demod, samples);
    ASSERT_EQ(chars.size(), 2u);
    // Even parity (1): an odd total of ones is an error; odd parity (2): an even total.
    EXPECT_EQ(chars[0], mode == 1 ? 0x107 : 0x007);
    EXPECT_EQ(chars[1], mode == 1 ? 0x007 : 0x107);
  }
}

TEST(FskDemodulator, ShortStepsConsumeNothing) {
  auto r = Receiver();
  const auto samples = testing::Bell202(testing::CharacterBits({0x41}));
  // One sample at a time until the hunt finds a start bit with none left.
  std::size_t pos = 0;
  for (; pos < samples.size() && r->demod.state != 2; ++pos) {
    std::int32_t count = 1;
    std::int32_t ch = 0;
    ASSERT_EQ(Demodulate(&r->demod, &samples[pos], &count, &ch), 0);
    ASSERT_EQ(count, 0);
  }
  ASSERT_EQ(r->demod.state, 2);
  std::int32_t count = 2;
  std::int32_t ch = 0;
  EXPECT_EQ(Demodulate(&r->demod, &samples[pos], &count, &ch), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(r->demod.state, 2);
  // Three samples confirm the start bit; then 79 are too few for a character.
  count = 3 + 79;
  EXPECT_EQ(Demodulate(&r->demod, &samples[pos], &count, &ch), 0);
  EXPECT_EQ(count, 79);
  EXPECT_EQ(r->demod.state, 3);
  count = 80;
  EXPECT_EQ(Demodulate(&r->demod, &samples[pos + 3], &count, &ch), 1);
  EXPECT_EQ(ch, 0x41);
  EXPECT_EQ(r->demod.state, 0);
}

TEST(FskDemodulator, TraceHoldsTheLastSamples) {
  auto r = Receiver();
  std::vector<std::int16_t> samples(kFskTraceLength + 10, 256);
  Characters(r->demod, samples);
  EXPECT_EQ(r->demod.traceIndex, (kFskTraceLength + 10) % kFskTraceLength);
  EXPECT_EQ(r->demod.trace[0][5], 1.0f);  // 256 / 256
}

}  // namespace
}  // namespace quorvane
