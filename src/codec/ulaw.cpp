#include "codec/ulaw.h"

namespace quorvane {
namespace {

constexpr std::int16_t ExpandCode(int code) {
  const int u = code ^ 0xFF;
  const int sign = u & 0x80;
  const int exponent = (u >> 4) & 0x07;
  const int mantissa = u & 0x0F;
  const int t = (8 * mantissa + 132) << exponent;
  return static_cast<std::int16_t>(sign ? 132 - t : t - 132);
}

// `index` is the sample's 16 bits shifted right by 2, read as a signed
// 14-bit number: floor(sample / 4).
constexpr std::uint8_t CompressIndex(int index) {
  const int v = index >= 8192 ? index - 16384 : index;
  const bool negative = v < 0;
  // The positive side uses v - 1, so samples 0..7 all give positive zero.
  int magnitude = negative ? -v - 1 : (v == 0 ? 0 : v - 1);
  int biased = magnitude + 33;
  if (biased > 8191) biased = 8191;
  int segment = 0;
  for (int top = 64; segment < 7 && biased >= top; top <<= 1) ++segment;
  const int step = (biased >> (segment + 1)) & 0x0F;
  const int code = 16 * segment + step;
  return static_cast<std::uint8_t>(negative ? code ^ 0x7F : code ^ 0xFF);
}

constexpr std::array<std::int16_t, 256> MakeExpandTable() {
  std::array<std::int16_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = ExpandCode(c);
  return table;
}

constexpr std::array<std::uint8_t, 16384> MakeCompressTable() {
  std::array<std::uint8_t, 16384> table{};
  for (int i = 0; i < 16384; ++i) table[i] = CompressIndex(i);
  return table;
}

}  // namespace

constinit const std::array<std::int16_t, 256> UlawExpandTable = MakeExpandTable();
constinit const std::array<std::uint8_t, 16384> UlawCompressTable = MakeCompressTable();

int UlawBufferToLinear(const std::uint8_t* in, std::int16_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = UlawExpandTable[in[i]];
  return count;
}

int LinearBufferToUlaw(const std::int16_t* in, std::uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = LinearToUlaw(in[i]);
  return count;
}

}  // namespace quorvane
