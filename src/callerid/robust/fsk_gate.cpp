#include "callerid/robust/fsk_gate.h"

namespace quorvane {
namespace {

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

bool FskGateEndChunk(FskGate& g) {
  const double e0 = g.energy[0];
  const double mean = e0 > 0.0 ? g.energy[1] / e0 : 0.0;
  const double spread = e0 > 0.0 ? g.energy[2] / e0 - mean * mean : 0.0;
  g.energy[0] = g.energy[1] = g.energy[2] = 0.0;
  return e0 >= kMinEnergy && mean >= kLowestMean && mean <= kHighestMean && spread <= kMostSpread;
}

}  // namespace quorvane
