// G.711 mu-law <-> 16-bit linear conversion by table look-up.
#pragma once

#include <array>
#include <cstdint>

namespace quorvane {

// Samples per 20 ms frame at 8000 samples/s; the unit of every file read.
inline constexpr int kUlawFrameBytes = 160;
inline constexpr int kSampleRate = 8000;

using UlawFrame = std::array<std::uint8_t, kUlawFrameBytes>;

// The one pair of tables the whole program shares.
extern const std::array<std::int16_t, 256> UlawExpandTable;
extern const std::array<std::uint8_t, 16384> UlawCompressTable;

inline std::int16_t UlawToLinear(std::uint8_t code) { return UlawExpandTable[code]; }

inline std::uint8_t LinearToUlaw(std::int16_t sample) {
  return UlawCompressTable[static_cast<std::uint16_t>(sample) >> 2];
}

// Both convert element i of `in` into element i of `out` for i < count and
// return count unchanged (a count of 0 or below converts nothing).
int UlawBufferToLinear(const std::uint8_t* in, std::int16_t* out, int count);
int LinearBufferToUlaw(const std::int16_t* in, std::uint8_t* out, int count);

}  // namespace quorvane
