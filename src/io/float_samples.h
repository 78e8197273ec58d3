// Floating-point samples (full scale ±1.0) to 16-bit linear.
#pragma once

#include <cmath>
#include <cstdint>

namespace quorvane::io {

inline std::int16_t FloatToSample(float value) {
  const float scaled = std::nearbyint(value * 32767.0f);
  if (!(scaled > -32768.0f)) return -32768;  // also NaN
  if (scaled > 32767.0f) return 32767;
  return static_cast<std::int16_t>(scaled);
}

}  // namespace quorvane::io
