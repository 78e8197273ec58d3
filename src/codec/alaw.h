// G.711 A-law <-> 16-bit linear conversion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quorvane {

// Linear value of every A-law code, scaled like the mu-law table (the
// 13-bit G.711 magnitudes times 8).
extern const std::array<std::int16_t, 256> AlawExpandTable;

inline std::int16_t AlawToLinear(std::uint8_t code) { return AlawExpandTable[code]; }

// The A-law code whose interval holds `sample` (G.711 rounding: truncation
// within the segment, even bits inverted on the line).
std::uint8_t LinearToAlaw(std::int16_t sample);

// Expands element i of `in` into element i of `out` for i < count.
void AlawBufferToLinear(const std::uint8_t* in, std::int16_t* out, std::size_t count);

}  // namespace quorvane
