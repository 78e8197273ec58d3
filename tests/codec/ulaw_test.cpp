#include "codec/ulaw.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvane {
namespace {

// The compression rule written out independently of the table builder:
// floor division, explicit segment bounds.
std::uint8_t CompressByRule(int x) {
  const int v = static_cast<int>(std::floor(x / 4.0));
  const bool positive = v >= 0;
  const int magnitude = positive ? (v == 0 ? 0 : v - 1) : -v - 1;
  const int b = std::min(magnitude + 33, 8191);
  static const int kSegmentTop[8] = {63, 127, 255, 511, 1023, 2047, 4095, 8191};
  int e = 0;
  while (b > kSegmentTop[e]) ++e;
  const int q = (b >> (e + 1)) & 0x0F;
  return static_cast<std::uint8_t>((16 * e + q) ^ (positive ? 0xFF : 0x7F));
}

TEST(UlawCompress, EveryTableEntryFollowsTheRule) {
  for (int x = -32768; x <= 32767; ++x) {
    ASSERT_EQ(LinearToUlaw(static_cast<std::int16_t>(x)), CompressByRule(x)) << "sample " << x;
  }
  for (int i = 0; i < 16384; ++i) {
    const int x = (i < 8192 ? i : i - 16384) * 4;
    ASSERT_EQ(UlawCompressTable[i], CompressByRule(x)) << "index " << i;
  }
}

struct ExpandCase {
  std::uint8_t code;
  std::int16_t sample;
};

TEST(UlawExpand, TellingValues) {
  const ExpandCase cases[] = {{0x00, -32124}, {0x01, -31100}, {0x0F, -16764}, {0x10, -15996},
                              {0x70, -120},   {0x7E, -8},     {0x7F, 0},      {0x80, 32124},
                              {0x8F, 16764},  {0xF0, 120},    {0xFE, 8},      {0xFF, 0}};
  for (const ExpandCase& c : cases) EXPECT_EQ(UlawToLinear(c.code), c.sample) << int(c.code);
}

TEST(UlawExpand, EveryCodeFollowsTheRule) {
  for (int c = 0; c < 256; ++c) {
    const int u = c ^ 0xFF;
    const int t = (8 * (u & 0x0F) + 132) * (1 << ((u >> 4) & 7));
    EXPECT_EQ(UlawExpandTable[c], (u & 0x80) ? 132 - t : t - 132) << c;
  }
}

TEST(UlawCompress, TellingValues) {
  const std::pair<int, std::uint8_t> cases[] = {
      {0, 0xFF},     {1, 0xFF},     {7, 0xFF},      {8, 0xFE},      {11, 0xFE},     {12, 0xFE},
      {100, 0xF3},   {1000, 0xCE},  {31612, 0x81},  {31616, 0x80},  {32767, 0x80},  {-1, 0x7F},
      {-4, 0x7F},    {-5, 0x7E},    {-8, 0x7E},     {-9, 0x7E},     {-100, 0x73},   {-1000, 0x4E},
      {-31612, 0x01}, {-31613, 0x00}, {-32768, 0x00}};
  for (const auto& [sample, code] : cases) {
    EXPECT_EQ(LinearToUlaw(static_cast<std::int16_t>(sample)), code) << sample;
  }
}

TEST(UlawRoundTrip, EveryCodeComesBackExceptNegativeZero) {
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t back = LinearToUlaw(UlawToLinear(static_cast<std::uint8_t>(c)));
    EXPECT_EQ(back, c == 0x7F ? 0xFF : c) << c;
  }
}

TEST(UlawBuffers, ConvertInOrderAndReturnTheCount) {
  const std::uint8_t codes[4] = {0x00, 0x7F, 0x80, 0xF0};
  std::int16_t samples[4] = {};
  EXPECT_EQ(UlawBufferToLinear(codes, samples, 4), 4);
  EXPECT_EQ(samples[0], -32124);
  EXPECT_EQ(samples[3], 120);
  std::uint8_t back[4] = {};
  EXPECT_EQ(LinearBufferToUlaw(samples, back, 4), 4);
  EXPECT_EQ(back[1], 0xFF);
  EXPECT_EQ(back[2], 0x80);
}

TEST(UlawBuffers, ZeroOrNegativeCountWritesNothing) {
  const std::uint8_t codes[2] = {0x00, 0x00};
  std::int16_t samples[2] = {7, 7};
  std::uint8_t out[2] = {9, 9};
  EXPECT_EQ(UlawBufferToLinear(codes, samples, 0), 0);
  EXPECT_EQ(UlawBufferToLinear(codes, samples, -5), -5);
  EXPECT_EQ(LinearBufferToUlaw(samples, out, -5), -5);
  EXPECT_EQ(samples[0], 7);
  EXPECT_EQ(out[0], 9);
}

}  // namespace
}  // namespace quorvane
