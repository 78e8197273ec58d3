#include "callerid/robust/fsk_gate.h"

namespace quorvane {
namespace {

// Second-order Butterworth high-pass at 600 Hz (bilinear, 8 kHz): 50 Hz
// down by 43 dB, 250 Hz by 15 dB, 1200 Hz by a quarter of a dB.
constexpr float kB0 = 0.715737410f, kB1 = -1.431474820f, kB2 = 0.715737410f;
constexpr float kA1 = -1.348967745f, kA2 = 0.513981894f;
// A chunk quieter than a tone of peak 20 (about -61 dBm0) over its 256
// samples holds no burst the receiver could read.
constexpr double kMinEnergy = 256.0 * 20.0 * 20.0 / 2.0;
// Bounds on the mean of 4 sin^2(pi f / 8000) (0.82 at 1200 Hz, 2.28 at
// 2200 Hz) and its spread, after the high-pass. A burst's chunks lie near
// 1.6 and 0.5 alone, near 1.8 and 0.8 (at most 1.0) under white noise at
// 4 dB SNR, near 1.9 and 1.1 at 0 dB; white noise alone lies near 2.3 and
// spreads by 1.3 to 1.7, speech mostly near 1 (voiced lower, hiss higher).
// A chunk of mark alone (0.82) is let down: a burst's seizure and message
// open the gate.
constexpr double kLowestMean = 1.2;
constexpr double kHighestMean = 2.5;
constexpr double kMostSpread = 1.2;

}  // namespace

void FskGateInit(FskGate& g) { g = FskGate{}; }

void FskGateAdd(FskGate& g, const std::int16_t* samples, int count) {
  float in1 = g.in[0], in2 = g.in[1], out1 = g.out[0], out2 = g.out[1];
  float previous = g.previous, previousStep = g.previousStep;
  // Single precision is plenty over one chunk, and keeps the loop cheap.
  float e0 = 0.0f, e1 = 0.0f, e2 = 0.0f;
  for (int i = 0; i < count; ++i) {
    const auto x = static_cast<float>(samples[i]);
    // The newest output last: the loop waits on it from sample to sample.
    const float y = kB0 * x + kB1 * in1 + kB2 * in2 - kA2 * out2 - kA1 * out1;
    in2 = in1;
    in1 = x;
    out2 = out1;
    out1 = y;
    const float step = y - previous;
    const float bend = step - previousStep;
    previous = y;
    previousStep = step;
    e0 += y * y;
    e1 += step * step;
    e2 += bend * bend;
  }
  g.in[0] = in1;
  g.in[1] = in2;
  g.out[0] = out1;
  g.out[1] = out2;
  g.previous = previous;
  g.previousStep = previousStep;
  g.energy[0] += e0;
  g.energy[1] += e1;
  g.energy[2] += e2;
}

bool FskGateEndChunk(FskGate& g) {
  const double e0 = g.energy[0];
  const double mean = e0 > 0.0 ? g.energy[1] / e0 : 0.0;
  const double spread = e0 > 0.0 ? g.energy[2] / e0 - mean * mean : 0.0;
  g.energy[0] = g.energy[1] = g.energy[2] = 0.0;
  return e0 >= kMinEnergy && mean >= kLowestMean && mean <= kHighestMean && spread <= kMostSpread;
}

}  // namespace quorvane
