#include "codec/alaw.h"

#include <cstddef>

namespace quorvane {
namespace {

constexpr std::int16_t ExpandCode(int code) {
  const int a = code ^ 0x55;  // even bits travel inverted
  const int exponent = (a >> 4) & 0x07;
  const int mantissa = a & 0x0F;
  // Decision values sit mid-interval: the half step is the +8 (segment 0)
  // and the 0x108 (implicit leading one plus half step) of the others.
  const int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
  return static_cast<std::int16_t>((a & 0x80) ? magnitude : -magnitude);
}

constexpr std::array<std::int16_t, 256> MakeExpandTable() {
  std::array<std::int16_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = ExpandCode(c);
  return table;
}

}  // namespace

const std::array<std::int16_t, 256> AlawExpandTable = MakeExpandTable();

std::uint8_t LinearToAlaw(std::int16_t sample) {
  // Work on the 13-bit magnitude; negative values use one's complement so
  // that -1 .. -8 fall into the first negative interval.
  int value = sample >> 3;
  int sign = 0x80;
  if (value < 0) {
    value = -value - 1;
    sign = 0;
  }
  int exponent = 0;
  for (int top = 32; exponent < 7 && value >= top; top <<= 1) ++exponent;
  const int mantissa = exponent == 0 ? (value >> 1) & 0x0F : (value >> exponent) & 0x0F;
  return static_cast<std::uint8_t>((sign | (exponent << 4) | mantissa) ^ 0x55);
}

void AlawBufferToLinear(const std::uint8_t* in, std::int16_t* out, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out[i] = AlawExpandTable[in[i]];
}

}  // namespace quorvane
