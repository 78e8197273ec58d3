// Long synthetic mu-law signals for the benchmarks.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "codec/signal_gen.h"
#include "codec/ulaw.h"

namespace quorvane::bench {

// `seconds` of mu-law audio: a dual tone for 60 ms in every 200 ms,
// low noise in between.
inline std::vector<std::uint8_t> KeysAndNoise(int seconds) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(seconds) * kSampleRate);
  GaussianNoise noise(3);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i % 1600);
    double x = 30.0 * noise.Next();
    if (t < 480) x += 7000.0 * (std::sin(2 * std::numbers::pi * 770 * t / 8000) + std::sin(2 * std::numbers::pi * 1336 * t / 8000));
    out[i] = LinearToUlaw(static_cast<std::int16_t>(std::lround(x)));
  }
  return out;
}

}  // namespace quorvane::bench
