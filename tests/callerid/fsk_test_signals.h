// Sample builders for the FSK tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "codec/ulaw.h"
#include "callerid/synth.h"

namespace quorvane::testing {

inline std::vector<std::int16_t> SteadyTone(double hz, double peak, int n) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    out[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(peak * std::sin(2 * std::numbers::pi * hz * i / 8000.0)));
  }
  return out;
}

// Linear samples of `bits` as Bell 202 FSK at -13 dBm0.
inline std::vector<std::int16_t> Bell202(const std::vector<bool>& bits) {
  std::vector<std::int16_t> out;
  ModulateFsk(bits, 1200.0, 2200.0, 5083.0, [&](double x) { out.push_back(static_cast<std::int16_t>(std::lround(x))); });
  return out;
}

inline std::vector<std::uint8_t> ToUlaw(const std::vector<std::int16_t>& samples) {
  std::vector<std::uint8_t> codes(samples.size());
  LinearBufferToUlaw(samples.data(), codes.data(), static_cast<int>(samples.size()));
  return codes;
}

// Mark lead-in, the characters, then enough mark that the receiver, which
// works only while it holds 160 samples, reaches the last character.
inline std::vector<bool> CharacterBits(const std::vector<std::uint8_t>& bytes, int leadMarkBits = 60) {
  std::vector<bool> bits(static_cast<std::size_t>(leadMarkBits), true);
  for (std::uint8_t b : bytes) AppendFskCharacter(bits, b);
  bits.insert(bits.end(), 40, true);
  return bits;
}

}  // namespace quorvane::testing
