// A DTMF test-signal synthesiser writing mu-law files.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>

#include "codec/ulaw.h"
#include "dtmf/keys.h"

namespace quorvane {

struct DtmfSynthOptions {
  std::string digits;          // keys of "123A456B789C*0#D" (a-d accepted)
  double toneMs = 50.0;        // length of each key tone
  double gapMs = 50.0;         // silence after each key tone
  double leadMs = 50.0;        // silence before the first key
  double levelDbm0 = -10.0;    // level of the row tone
  double twistDb = 0.0;        // column tone level minus row tone level
  double freqOffsetPercent = 0.0;  // both tones shifted by this much
  std::optional<double> snrDb;     // white noise relative to the dual tone's power
  std::uint64_t seed = 1;
};

// Index of `key` in the keypad map (row * 4 + column), or -1.
int DtmfKeyIndex(char key);

// `samples` of the dual tone of keypad index `index` (row * 4 + column),
// both tones scaled by `scale`, handed to `put` one linear sample at a time.
template <typename Sink>
void ModulateDtmfKey(int index, double rowPeak, double colPeak, double scale, std::int64_t samples, Sink&& put) {
  const double rowStep = 2.0 * std::numbers::pi * DtmfRowFreqs[index / 4] * scale / kSampleRate;
  const double colStep = 2.0 * std::numbers::pi * DtmfColFreqs[index % 4] * scale / kSampleRate;
  for (std::int64_t n = 0; n < samples; ++n) {
    const double t = static_cast<double>(n);
    put(rowPeak * std::sin(rowStep * t) + colPeak * std::sin(colStep * t));
  }
}

// Writes the signal to `path`. On failure returns false with the reason.
bool SynthesizeDtmf(const DtmfSynthOptions& options, const std::string& path, std::string* error);

}  // namespace quorvane
