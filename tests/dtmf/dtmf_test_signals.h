// Sample builders for the DTMF tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "dtmf/exact/dtmf_detector.h"
#include "dtmf/synth.h"

namespace quorvane::testing {

// `n` samples of the dual tone of `key` (0 for silence), each sine of peak `peak`.
inline std::vector<std::int16_t> DualTone(char key, double peak, int n) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(n), 0);
  if (key == 0) return out;
  const int index = DtmfKeyIndex(key);
  const double w1 = 2.0 * std::numbers::pi * DtmfRowFreqs[index / 4] / 8000.0;
  const double w2 = 2.0 * std::numbers::pi * DtmfColFreqs[index % 4] / 8000.0;
  for (int i = 0; i < n; ++i) {
    out[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lround(peak * (std::sin(w1 * i) + std::sin(w2 * i))));
  }
  return out;
}

// Feeds one whole block per entry of `pattern` ('-' = silence) and returns the
// digits the detector stored, in order.
inline std::string FeedBlockPattern(DtmfDetector& d, const std::string& pattern) {
  std::string published;
  for (char key : pattern) {
    std::vector<std::int16_t> block = DualTone(key == '-' ? 0 : key, 5000.0, kDtmfBlockSize);
    std::int32_t toneFlag = 0;
    DtmfDetect(&d, block.data(), kDtmfBlockSize, DTMF_KEEP_SAMPLES, &toneFlag);
    if (d.lastDigit != 0) {
      published.push_back(static_cast<char>(d.lastDigit));
      d.lastDigit = 0;
    }
  }
  return published;
}

}  // namespace quorvane::testing
